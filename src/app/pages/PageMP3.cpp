#include "app/pages/PageMP3.h"
#include "ui_PageMP3.h"

#include "app/pages/PageWaveCopy.h"

#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QPushButton>

PageMP3::PageMP3(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageMP3>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picMP3"));
    timMP3WMA.setObjectName(QStringLiteral("timMP3WMA"));
    timMP3WMA.setInterval(250);
    connect(ui->cmdMP3Stop, &QPushButton::clicked, this, &PageMP3::cmdMP3Stop_Click);
    ui->picID3->hide();
}

PageMP3::~PageMP3() = default;

void PageMP3::ResetTrackState()
{
    ShownTrack = -1;
    Busy = false;
}

// The track list, tags and options are filled here by the encoder's page
// work; for now the page is shown as it is.
void PageMP3::LoadMP3Page()
{
    host.ShowPage(this);
}

// Stand-in until the encoder runs: passes through the compression page to
// the finish page.
void PageMP3::SaveLocationLoad()
{
    PageWaveCopy::PrepareSaveBox(ui->cboMP3Save, ui->cmdBrowseMP3Location, true);
}

void PageMP3::MP3PageNext()
{
    cmdMP3Stop_Click();
    if (!PageWaveCopy::CheckSaveBox(host, ui->cboMP3Save, &st.OutputFolder))
        return;
    host.ShowPage(QStringLiteral("picMP3Compress"));
    QCoreApplication::processEvents();
    Q_EMIT delivered(ui->cboMP3Save->currentText(), Delivery::MP3);
}

void PageMP3::cmdMP3Stop_Click()
{
    timMP3WMA.stop();
    if (auto* play = st.Play()) {
        try {
            play->StopPlay();
        } catch (const sv::audio::AudioError&) {
        }
    }
}

void PageMP3::lstMP3Tracks_Click() {}
void PageMP3::MP3OptionsLoad() {}
