#include "app/pages/PageRecord.h"
#include "ui_PageRecord.h"

#include "app/frmMain.h"
#include "util/modFunctions.h"
#include "util/modMsgbox.h"

#include <QPushButton>

#include <cmath>

PageRecord::PageRecord(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageRecord>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picRecord"));
    timRecord.setObjectName(QStringLiteral("timRecord"));
    timRecord.setInterval(1000);
    timRecordGraph.setObjectName(QStringLiteral("timRecordGraph"));
    timRecordGraph.setInterval(65);
    connect(&timRecord, &QTimer::timeout, this, &PageRecord::timRecord_Timer);
    connect(&timRecordGraph, &QTimer::timeout, this, &PageRecord::timRecordGraph_Timer);
    connect(ui->cmdRec, &QPushButton::clicked, this, &PageRecord::cmdRec_Click);
    connect(ui->cmdPause, &QPushButton::clicked, this, &PageRecord::cmdPause_Click);
    connect(ui->cmdStop, &QPushButton::clicked, this, &PageRecord::cmdStop_Click);
    ui->cmdStop->setEnabled(false);
    ui->picRecordGraph->setAutoFillBackground(true);
    ui->picRecordGraph->setBackgroundRole(QPalette::Base);
}

PageRecord::~PageRecord() = default;

void PageRecord::Enter()
{
    ui->cmdPause->setVisible(st.PauseSeconds < 1);
    ui->mblRecorded->clear();
    ui->mblRemain->clear();
    ui->lblRecStatus->setText(QStringLiteral("You are now ready to record. If necessary, rewind your cassette tape. "
                                             "Click Record above and press the Play button on your player."));
    m.ShowPage(this);
    timRecordGraph.start();
    m.cmdNext()->setEnabled(false);
    ui->cmdRec->setFocus();
    m.ShowTutorialPage();
}

// A plain start and stop stands in until the recording clock, the flip
// prompt and the standby guard are built on this page.
void PageRecord::cmdRec_Click()
{
    auto* rec = st.Record();
    st.RecordingPath = st.RecordDirectory + QStringLiteral("recording.wav");
    sv::DeleteFileQuiet(st.RecordingPath);
    try {
        rec->StopCapture();
        rec->SetFileName(st.RecordingPath);
        rec->SetRecordSwitch(false);
        rec->SetRecordMode(31);
        rec->StartCapture(2, 44100);
    } catch (const sv::audio::AudioError& e) {
        sv::MsgBoxEx(QStringLiteral("Sonivault cannot record from the sound card.\r\nError Information ")
                         + QString::number(e.number()) + QStringLiteral("  ") + e.description(),
                     sv::vbExclamation, QStringLiteral("Recording"));
        return;
    }
    m_targetSeconds = st.RecordSeconds;
    ui->mblRemain->setText(sv::FormatTime(m_targetSeconds));
    ui->mblRecorded->setText(QStringLiteral("00:00"));
    ui->lblRecStatus->setText(QStringLiteral("Recording..."));
    timRecord.start();
    ui->cmdRec->setEnabled(false);
    m.cmdBack()->setEnabled(false);
    m.cmdNext()->setEnabled(false);
    m.cmdCancel()->setEnabled(false);
    ui->cmdStop->setEnabled(true);
    ui->cmdPause->setEnabled(true);
    st.HasRecorded = true;
}

void PageRecord::cmdPause_Click()
{
    auto* rec = st.Record();
    if (ui->cmdPause->text() == QLatin1String("&Pause")) {
        ui->cmdPause->setText(QStringLiteral("&Resume"));
        rec->PauseCapture();
    } else {
        ui->cmdPause->setText(QStringLiteral("&Pause"));
        rec->ResumeCapture();
    }
}

void PageRecord::cmdStop_Click()
{
    StopRecording();
    m.cmdNext()->setEnabled(true);
}

void PageRecord::StopRecording()
{
    timRecord.stop();
    try {
        st.Record()->StopCapture();
    } catch (const sv::audio::AudioError&) {
        // The file holds what was captured; nothing more to do here.
    }
    ui->lblRecStatus->clear();
    m.cmdBack()->setEnabled(true);
    m.cmdCancel()->setEnabled(true);
    ui->cmdRec->setEnabled(true);
    ui->cmdStop->setEnabled(false);
    ui->cmdPause->setEnabled(false);
}

void PageRecord::timRecord_Timer()
{
    const int recorded = int(std::nearbyint(st.Record()->GetRecordedSeconds()));
    ui->mblRecorded->setText(sv::FormatTime(recorded));
    ui->mblRemain->setText(sv::FormatTime(qMax(0, m_targetSeconds - recorded)));
}

void PageRecord::timRecordGraph_Timer() {}
