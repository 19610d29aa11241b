#include "app/pages/PageWMA.h"
#include "ui_PageWMA.h"

#include "app/pages/PageWaveCopy.h"

#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QPushButton>

PageWMA::PageWMA(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageWMA>())
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
    host.ShowPage(this);
}

// Stand-in until the encoder runs: passes through the compression page to
// the finish page.
void PageWMA::SaveLocationLoad()
{
    PageWaveCopy::PrepareSaveBox(ui->cboWMASave, ui->cmdBrowseWMA, true);
}

void PageWMA::WMAPageNext()
{
    cmdWMAStop_Click();
    if (!PageWaveCopy::CheckSaveBox(host, ui->cboWMASave, &st.OutputFolder))
        return;
    host.ShowPage(QStringLiteral("picWMACompress"));
    QCoreApplication::processEvents();
    Q_EMIT delivered(ui->cboWMASave->currentText(), Delivery::WMA);
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
