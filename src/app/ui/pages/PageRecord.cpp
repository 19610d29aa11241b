#include "app/ui/pages/PageRecord.h"
#include "ui_PageRecord.h"

#include "audioin/ui/modStandby.h"
#include "settings/Settings.h"
#include "settings/modXML.h"
#include "tracks/TrackMessages.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QEvent>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>

#include <cmath>

using sv::audio::AudioError;

namespace {

const QString kPause = QStringLiteral("&Pause");
const QString kResume = QStringLiteral("&Resume");
const QString kRecording = QStringLiteral("Recording...");

class SystemStandbyLock : public StandbyLock {
public:
    bool Acquire(const QString& reason) override { return m_guard.Acquire(reason); }
    void Release() override { m_guard.Release(); }
    bool IsHeld() const override { return m_guard.IsHeld(); }

private:
    sv::StandbyGuard m_guard;
};

} // namespace

PageRecord::PageRecord(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageRecord>()), m_standby(std::make_unique<SystemStandbyLock>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picRecord"));
    timRecord.setObjectName(QStringLiteral("timRecord"));
    timRecord.setParent(this); // found by name, like the widgets
    timRecord.setInterval(1000);
    timRecordGraph.setObjectName(QStringLiteral("timRecordGraph"));
    timRecordGraph.setParent(this); // found by name, like the widgets
    timRecordGraph.setInterval(65);
    connect(&timRecord, &QTimer::timeout, this, &PageRecord::timRecord_Timer);
    connect(&timRecordGraph, &QTimer::timeout, this, &PageRecord::timRecordGraph_Timer);
    connect(ui->cmdRec, &QPushButton::clicked, this, &PageRecord::cmdRec_Click);
    connect(ui->cmdPause, &QPushButton::clicked, this, &PageRecord::cmdPause_Click);
    connect(ui->cmdStop, &QPushButton::clicked, this, &PageRecord::cmdStop_Click);
    ui->cmdStop->setEnabled(false);
    ui->picRecordGraph->setAutoFillBackground(true);
    ui->picRecordGraph->setBackgroundRole(QPalette::Base);
    ui->picRecordGraph->installEventFilter(this);
}

PageRecord::~PageRecord()
{
    timRecord.stop();
    ReleaseStandbyGuard();
}

void PageRecord::Enter()
{
    ui->cmdPause->setVisible(st.PauseSeconds < 1);
    ui->mblRecorded->clear();
    ui->mblRemain->clear();
    ui->lblRecStatus->setText(QStringLiteral("You are now ready to record. If necessary, rewind your cassette tape. "
                                             "Click Record above and press the Play button on your player."));
    // The graph marks clipping where Adjust would lower the volume.
    m_clipLevel = sv::Settings::clipThreshold();
    host.ShowPage(this);
    timRecordGraph.start();
    host.SetEnabled(NavButton::Next, false);
    ui->cmdRec->setFocus();
    host.ShowTutorialPage();
}

void PageRecord::SetStandbyLock(std::unique_ptr<StandbyLock> lock)
{
    ReleaseStandbyGuard();
    if (lock)
        m_standby = std::move(lock);
}

void PageRecord::Reopen()
{
    host.ShowPage(this);
    timRecordGraph.start();
}

void PageRecord::ShowDamaged()
{
    ui->cmdRec->setEnabled(true);
    ui->lblRecStatus->setText(sv::RecordingDamagedStatus());
}

void PageRecord::ClearTimes()
{
    ui->mblRecorded->clear();
    ui->mblRemain->clear();
}

void PageRecord::ResetDisplay()
{
    ui->mblRecorded->setText(QStringLiteral("00:00"));
    ui->lblRecStatus->setText(QStringLiteral("Sonivault is ready to start. Press record to begin."));
}

void PageRecord::StopTimers()
{
    timRecord.stop();
    timRecordGraph.stop();
}

void PageRecord::ReleaseStandbyGuard()
{
    m_standby->Release();
    st.IsSubclassed = false;
}

// The engine is made after the pages, and the volume page's level capture
// raises the same events: follow them once, act on them only for our own
// recording.
void PageRecord::ConnectRecordEvents()
{
    auto* rec = st.Record();
    if (!rec || m_events == rec)
        return;
    m_events = rec;
    using sv::audio::RecordObject;
    connect(rec, &RecordObject::CaptureStarted, this, &PageRecord::CaptureStarted);
    connect(rec, &RecordObject::CapturePaused, this, &PageRecord::CapturePaused);
    connect(rec, &RecordObject::CaptureResumed, this, &PageRecord::CaptureResumed);
    connect(rec, &RecordObject::CaptureCompleted, this, &PageRecord::CaptureCompleted);
    connect(rec, &RecordObject::CaptureFailed, this, &PageRecord::CaptureFailed);
}

void PageRecord::cmdRec_Click()
{
    auto* rec = st.Record();
    if (!rec)
        return;
    ConnectRecordEvents();
    // Without any bus to ask, the recording goes on unguarded.
    if (!st.IsSubclassed)
        st.IsSubclassed = m_standby->Acquire(QStringLiteral("Sonivault is recording"));

    st.RecordingPath = st.RecordDirectory + QStringLiteral("recording.wav");
    st.Session.startRecording(st.RecordingPath);
    m_flipShown = false;
    ui->cmdPause->setText(kPause);
    try {
        rec->StopCapture();
        rec->SetFileName(st.RecordingPath);
        rec->SetRecordSwitch(false);
        rec->SetRecordMode(31);
        m_recording = true;
        rec->StartCapture(2, 44100);
    } catch (const AudioError& e) {
        m_recording = false;
        ReleaseStandbyGuard();
        host.Msg(QStringLiteral("Sonivault cannot record from the sound card.\r\nError Information ")
                  + QString::number(e.number()) + QStringLiteral("  ") + e.description(),
              sv::vbExclamation, QStringLiteral("Recording"));
        return;
    }
    TargetSeconds = st.RecordSeconds;
    RecordedSeconds = 0;
    ui->mblRemain->setText(sv::FormatTime(TargetSeconds));
    ui->mblRecorded->setText(QStringLiteral("00:00"));
    ui->lblRecStatus->setText(kRecording);
    timRecord.start();
    ui->cmdRec->setEnabled(false);
    host.SetEnabled(NavButton::Back, false);
    host.SetEnabled(NavButton::Next, false);
    host.SetEnabled(NavButton::Exit, false);
    ui->cmdStop->setEnabled(true);
    ui->cmdPause->setEnabled(true);
    st.HasRecorded = true;
}

void PageRecord::cmdPause_Click()
{
    auto* rec = st.Record();
    if (!rec)
        return;
    if (ui->cmdPause->text() == kPause) {
        ui->cmdPause->setText(kResume);
        rec->PauseCapture();
    } else {
        ui->cmdPause->setText(kPause);
        rec->ResumeCapture();
    }
}

void PageRecord::cmdStop_Click()
{
    BeginQuestion();
    const bool stop = host.Msg(QStringLiteral("Are you sure you want to stop recording?"),
                            sv::vbYesNo + sv::vbDefaultButton2, QStringLiteral("Recording"))
        == sv::vbYes;
    EndQuestion(!stop);
    // The recording may have failed while the question was open.
    if (!stop || !m_recording)
        return;
    StopRecording();
    OfferWhatWasRecorded();
}

void PageRecord::BeginQuestion()
{
    ++m_questionsOpen;
}

void PageRecord::EndQuestion(bool goOn)
{
    if (m_questionsOpen > 0)
        --m_questionsOpen;
    // What came due while the user was deciding (the flip, the end) happens now.
    if (goOn && m_questionsOpen == 0 && m_recording)
        timRecord_Timer();
}

int PageRecord::ShortestToContinue() const
{
    return st.MinRecordingLength * 60 + 1;
}

void PageRecord::OfferWhatWasRecorded()
{
    const int shortest = ShortestToContinue();
    ui->lblRecStatus->setText(QStringLiteral("This recording is shorter than %1 %2, too short to continue with. "
                                             "Click Record to start over, or click Back to change settings.")
                                  .arg(shortest)
                                  .arg(shortest == 1 ? QStringLiteral("second") : QStringLiteral("seconds")));
    st.HasRecorded = false;
    if (RecordedSeconds >= shortest) {
        ui->lblRecStatus->setText(QStringLiteral("Click Record to start over, Back to change settings, or Next to "
                                                 "continue with what you've recorded."));
        host.SetEnabled(NavButton::Next, true);
        host.SetEnabled(NavButton::Exit, true);
        st.HasRecorded = true;
    }
}

void PageRecord::StopRecording()
{
    timRecord.stop();
    ui->lblRecStatus->setText(QStringLiteral("Recording finished. Closing recording..."));
    ui->lblRecStatus->repaint();
    ReleaseStandbyGuard();
    if (auto* rec = st.Record()) {
        try {
            rec->StopCapture();
        } catch (const AudioError&) {
            // The file holds what was captured; there is nothing more to close.
        }
    }
    m_recording = false;
    // The file's own length decides what follows, not the last tick's count.
    ReadRecordedSeconds();
    ui->lblRecStatus->clear();
    host.SetEnabled(NavButton::Next, false);
    host.SetEnabled(NavButton::Back, true);
    host.SetEnabled(NavButton::Exit, true);
    ui->cmdRec->setEnabled(true);
    ui->cmdStop->setEnabled(false);
    ui->cmdPause->setEnabled(false);
    ui->cmdPause->setText(kPause);
}

void PageRecord::ReadRecordedSeconds()
{
    if (auto* rec = st.Record())
        RecordedSeconds = int(std::nearbyint(rec->GetRecordedSeconds()));
    ui->mblRecorded->setText(sv::FormatTime(RecordedSeconds));
    // A late tick can find the recording past its end; the clock stops at 0.
    ui->mblRemain->setText(sv::FormatTime(qMax(0, TargetSeconds - RecordedSeconds)));
}

void PageRecord::timRecord_Timer()
{
    auto* rec = st.Record();
    if (!rec || !m_recording)
        return;
    try {
        ReadRecordedSeconds();
        // While the user answers a question about this recording, nothing
        // may open on top of it or move the wizard on behind it.
        if (m_questionsOpen > 0)
            return;
        // Reached or passed: a tick that comes late must not skip the flip,
        // or the second side would go unrecorded.
        if (!m_flipShown && st.PauseSeconds > 0 && RecordedSeconds >= st.PauseSeconds
            && RecordedSeconds < TargetSeconds)
            ShowFlipPrompt();
        if (m_recording && RecordedSeconds >= TargetSeconds) {
            StopRecording();
            Q_EMIT recordingFinished();
        }
    } catch (const AudioError&) {
        // A failing step is skipped; the next tick tries again.
    }
}

void PageRecord::ShowFlipPrompt()
{
    auto* rec = st.Record();
    m_flipShown = true;
    const bool wasPaused = rec->IsPaused();
    if (!wasPaused)
        cmdPause_Click();
    timRecord.stop();
    host.Msg(QStringLiteral("Please flip the cassette or LP over and click OK."), sv::vbExclamation,
          QStringLiteral("Flip Cassette or LP"));
    // The capture may have ended while the prompt was open (a write failure).
    if (!m_recording || !rec->IsCapturing())
        return;
    if (!wasPaused)
        cmdPause_Click();
    timRecord.start();
}

void PageRecord::CapturePaused()
{
    if (m_recording)
        ui->lblRecStatus->setText(QStringLiteral("Recording paused. Press Pause again to continue."));
}

void PageRecord::CaptureStarted()
{
    if (m_recording)
        ui->lblRecStatus->setText(kRecording);
}

void PageRecord::CaptureResumed()
{
    if (m_recording)
        ui->lblRecStatus->setText(kRecording);
}

void PageRecord::CaptureCompleted()
{
    if (!m_recording)
        return;
    // Also reached when the capture is ended from elsewhere (the exit): the
    // recording is over, so the computer may sleep again.
    ReleaseStandbyGuard();
    ui->lblRecStatus->setText(QStringLiteral("Recording completed."));
    timRecord.stop();
    host.SetEnabled(NavButton::Back, true);
    ui->cmdStop->setEnabled(false);
    ui->cmdPause->setEnabled(false);
    ui->cmdRec->setEnabled(false);
}

// The engine has already stopped the capture and finished the file's header;
// everything written until then stays usable.
void PageRecord::CaptureFailed(const QString& reason)
{
    if (!m_recording)
        return;
    m_recording = false;
    timRecord.stop();
    ReleaseStandbyGuard();
    ReadRecordedSeconds();
    ui->cmdRec->setEnabled(true);
    ui->cmdStop->setEnabled(false);
    ui->cmdPause->setEnabled(false);
    ui->cmdPause->setText(kPause);
    host.SetEnabled(NavButton::Next, false);
    host.SetEnabled(NavButton::Back, true);
    host.SetEnabled(NavButton::Exit, true);
    OfferWhatWasRecorded();
    const bool enough = st.HasRecorded;
    host.Msg(QStringLiteral("Sonivault had to stop recording: %1\r\n\r\n"
                         "The %2 recorded until then are kept in %3.\r\n%4")
              .arg(reason, sv::FormatTime(RecordedSeconds), st.RecordingPath,
                   enough ? QStringLiteral("Click Next to continue with this recording, or Record to start over.")
                          : QStringLiteral("This is too short to continue with. Make room on the disk or choose "
                                           "another recording location, then record again.")),
          sv::vbExclamation, QStringLiteral("Recording Stopped"));
}

void PageRecord::timRecordGraph_Timer()
{
    auto* rec = st.Record();
    const int l1 = rec ? rec->GetLevel1() : 0;
    const int l2 = rec ? rec->GetLevel2() : 0;
    sv::PushLevel(LevelHistory, l1, l2);
    const QRect inner = ui->picRecordGraph->contentsRect();
    m_graph = sv::ComputeLevelGraph(LevelHistory, inner.width(), inner.height(), m_clipLevel);
    ui->picRecordGraph->update();
}

bool PageRecord::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->picRecordGraph && event->type() == QEvent::Paint)
        PaintRecordGraph(); // then the frame draws itself over the edge
    return WizardPage::eventFilter(watched, event);
}

void PageRecord::PaintRecordGraph()
{
    const QRect inner = ui->picRecordGraph->contentsRect();
    QPainter p(ui->picRecordGraph);
    p.setClipRect(inner);
    p.translate(inner.topLeft());
    p.setPen(QColor(178, 178, 178));
    const int y0 = int(m_graph.baseline);
    p.drawLine(0, y0, inner.width(), y0);
    QPolygon pixels;
    pixels.reserve(m_graph.points.size());
    for (const QPointF& pt : m_graph.points)
        pixels.append(QPoint(qRound(pt.x()), qRound(pt.y())));
    p.setPen(QColor(0, 192, 0));
    p.drawPoints(pixels);
    pixels.clear();
    for (const QPointF& pt : m_graph.clipping)
        pixels.append(QPoint(qRound(pt.x()), qRound(pt.y())));
    p.setPen(QColor(224, 0, 0));
    p.drawPoints(pixels);
}
