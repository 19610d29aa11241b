#include "tracks/ui/frmDetectOptions.h"
#include "ui_frmDetectOptions.h"

#include "settings/Settings.h"
#include "tracks/TrackMessages.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <cmath>

namespace sv {

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
    // The sliders hold their own ranges; a stored value outside them shows at the nearest end.
    v.noise = Settings::hiss();
    v.compare = int(std::clamp(std::round(Settings::samples() * 100), -1e6, 1e6));
    v.minTrack = QString::number(Settings::minTrackLength());
    return v;
}

void frmDetectOptions::Store(const DetectOptionValues& v)
{
    Settings::setDetection(v.noise, v.compare / 100.0, v.minTrack);
}

} // namespace sv
