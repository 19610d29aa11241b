#include "app/pages/PageWaveform.h"
#include "ui_PageWaveform.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "ui_PageRecord.h"

#include <QPushButton>

PageWaveform::PageWaveform(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageWaveform>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWaveform"));
    timWaveform.setObjectName(QStringLiteral("timWaveform"));
    timWaveform.setInterval(400);
    for (QWidget* w : {static_cast<QWidget*>(ui->picWaveInfo), static_cast<QWidget*>(ui->picLoading),
                       static_cast<QWidget*>(ui->imgReg), static_cast<QWidget*>(ui->imgSel),
                       static_cast<QWidget*>(ui->imgCombine), static_cast<QWidget*>(ui->linJoin),
                       static_cast<QWidget*>(ui->linPOS)})
        w->hide();
    ui->picSlider->setAutoFillBackground(true);
    ui->picSlider->setBackgroundRole(QPalette::Base);
    connect(ui->cmdWaveStop, &QPushButton::clicked, this, &PageWaveform::cmdWaveStop_Click);
    connect(ui->cmdResetTracks, &QPushButton::clicked, this, &PageWaveform::cmdResetTracks_Click);
}

PageWaveform::~PageWaveform() = default;

void PageWaveform::DetectTracksLoad() {}

// Until the waveform is drawn and tracks are detected, the whole recording
// stands as one track so the pages after this one can be reached.
void PageWaveform::WaveFormStep()
{
    m.cmdCancel()->setEnabled(true);
    m.ShowPage(this);
    m.picRecord()->timRecordGraph.stop();
    m.ShowTutorialPage();
    cmdResetTracks_Click();
    m.cmdBack()->setEnabled(true);
    m.cmdNext()->setEnabled(true);
}

void PageWaveform::WaveformBack()
{
    RemoveAllTracks();
    cmdWaveStop_Click();
    m.picRecord()->ui->mblRecorded->clear();
    m.picRecord()->ui->mblRemain->clear();
    m.ShowPage(m.picRecord());
    m.picRecord()->timRecordGraph.start();
    m.cmdNext()->setEnabled(false);
}

void PageWaveform::cmdWaveStop_Click()
{
    timWaveform.stop();
    if (auto* play = st.Play()) {
        try {
            play->StopPlay();
        } catch (const sv::audio::AudioError&) {
        }
    }
}

void PageWaveform::cmdResetTracks_Click()
{
    m_trackCount = 1;
    ui->lblWaveTrackName->setText(QStringLiteral("Track 1"));
}

void PageWaveform::RemoveAllTracks()
{
    m_trackCount = 0;
    ui->lblWaveTrackName->clear();
}
