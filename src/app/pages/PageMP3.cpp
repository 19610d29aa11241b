#include "app/pages/PageMP3.h"
#include "ui_PageMP3.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "ui_PageFinish.h"
#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QPushButton>

PageMP3::PageMP3(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageMP3>())
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
    m.ShowPage(this);
}

// Stand-in until the encoder runs: passes through the compression page to
// the finish page.
void PageMP3::MP3PageNext()
{
    cmdMP3Stop_Click();
    if (!PageWaveCopy::CheckSaveBox(m, ui->cboMP3Save, &st.OutputFolder))
        return;
    m.ShowPage(m.picMP3Compress());
    QCoreApplication::processEvents();
    m.picFinish()->ResetFinishPage();
    m.picFinish()->ui->txtFinishSaveIn->setText(ui->cboMP3Save->currentText());
    m.ShowPage(m.picFinish());
    m.cmdNext()->setText(QStringLiteral("&Finish"));
    m.cmdNext()->setEnabled(true);
    m.cmdBack()->setEnabled(false);
    m.ShowTutorialPage();
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
