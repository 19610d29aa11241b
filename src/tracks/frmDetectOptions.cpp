#include "tracks/frmDetectOptions.h"
#include "ui_frmDetectOptions.h"

#include "settings/modXML.h"
#include "tracks/TrackMessages.h"
#include "util/modFunctions.h"
#include "util/modMsgbox.h"

#include <cmath>

namespace sv {

namespace {
const QString Section = QStringLiteral("Advanced\\Track Detection");
}

frmDetectOptions::frmDetectOptions(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmDetectOptions>())
{
    ui->setupUi(this);
    connect(ui->cmdDefault, &QPushButton::clicked, this, &frmDetectOptions::cmdDefault_Click);
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmDetectOptions::cmdOK_Click);
}

frmDetectOptions::~frmDetectOptions() = default;

void frmDetectOptions::SetValues(const DetectOptionValues& v)
{
    ui->sliNoise->setValue(v.noise);
    ui->sliCompare->setValue(v.compare);
    ui->txtMinTrack->setText(v.minTrack);
}

DetectOptionValues frmDetectOptions::Values() const
{
    return {ui->sliNoise->value(), ui->sliCompare->value(), ui->txtMinTrack->text()};
}

void frmDetectOptions::cmdDefault_Click()
{
    SetValues({});
}

void frmDetectOptions::cmdOK_Click()
{
    const double v = Val(ui->txtMinTrack->text());
    if (v < 10 || v > 60) {
        const MessageText m = TrackMessage(TrackMsg::MinTrackRange);
        PlainMsgBox(m.text, m.style, m.title);
        ui->txtMinTrack->setFocus();
        return;
    }
    accept();
}

DetectOptionValues frmDetectOptions::Load()
{
    DetectOptionValues v;
    const double hiss = Val(XMLGetValue(QStringLiteral("Hiss"), Section, QString(), QStringLiteral("25")));
    const double samples = Val(XMLGetValue(QStringLiteral("Samples"), Section, QString(), QStringLiteral(".5")));
    // The sliders hold their own ranges; a stored value outside them shows at the nearest end.
    v.noise = int(std::clamp(std::trunc(hiss), -1e6, 1e6));
    v.compare = int(std::clamp(std::round(samples * 100), -1e6, 1e6));
    v.minTrack = XMLGetValue(QStringLiteral("MinTrackLength"), Section, QString(), QStringLiteral("10"));
    return v;
}

void frmDetectOptions::Store(const DetectOptionValues& v)
{
    XMLSetValue(QString::number(v.noise), QStringLiteral("Hiss"), Section, QString());
    XMLSetValue(QString::number(v.compare / 100.0), QStringLiteral("Samples"), Section, QString());
    XMLSetValue(v.minTrack, QStringLiteral("MinTrackLength"), Section, QString());
}

} // namespace sv
