#include "app/pages/PageWMA.h"
#include "ui_PageWMA.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "ui_PageFinish.h"
#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QPushButton>

PageWMA::PageWMA(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageWMA>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWMA"));
    timMP3WMA.setObjectName(QStringLiteral("timMP3WMA"));
    timMP3WMA.setInterval(250);
    connect(ui->cmdWMAStop, &QPushButton::clicked, this, &PageWMA::cmdWMAStop_Click);
}

PageWMA::~PageWMA() = default;

void PageWMA::ResetTrackState()
{
    ShownTrack = -1;
    Busy = false;
}

// The track list, tags and options are filled here by the encoder's page
// work; for now the page is shown as it is.
void PageWMA::LoadWMAPage()
{
    m.ShowPage(this);
}

// Stand-in until the encoder runs: passes through the compression page to
// the finish page.
void PageWMA::WMAPageNext()
{
    cmdWMAStop_Click();
    if (!PageWaveCopy::CheckSaveBox(m, ui->cboWMASave, &st.OutputFolder))
        return;
    m.ShowPage(m.picWMACompress());
    QCoreApplication::processEvents();
    m.picFinish()->ResetFinishPage();
    m.picFinish()->ui->txtFinishSaveIn->setText(ui->cboWMASave->currentText());
    m.ShowPage(m.picFinish());
    m.cmdNext()->setText(QStringLiteral("&Finish"));
    m.cmdNext()->setEnabled(true);
    m.cmdBack()->setEnabled(false);
    m.ShowTutorialPage();
}

void PageWMA::cmdWMAStop_Click()
{
    timMP3WMA.stop();
    if (auto* play = st.Play()) {
        try {
            play->StopPlay();
        } catch (const sv::audio::AudioError&) {
        }
    }
}

void PageWMA::lstWMATracks_Click() {}
void PageWMA::WMABitratesLoad() {}
