#pragma once
// Page 5: recording.
#include "app/ui/pages/WizardPage.h"
#include "audioin/LevelGraph.h"

#include <QPointer>
#include <QTimer>
#include <memory>

namespace Ui { class PageRecord; }
namespace sv::audio { class RecordObject; }

// The lock that keeps the computer awake while a recording runs. The page
// uses the system's (logind, else the desktop portal); tests put a spy here.
class StandbyLock {
public:
    virtual ~StandbyLock() = default;
    virtual bool Acquire(const QString& reason) = 0;
    virtual void Release() = 0;
    virtual bool IsHeld() const = 0;
};

class PageRecord : public WizardPage {
    Q_OBJECT
public:
    explicit PageRecord(WizardHost& wizard);
    ~PageRecord() override;

    // Prepares and shows the page when the wizard enters it from page 4.
    void Enter();

    void cmdRec_Click();
    void cmdPause_Click();
    void cmdStop_Click();
    void StopRecording();
    void timRecord_Timer();
    void timRecordGraph_Timer();

    // Back on this page from a later one: the level graph runs again.
    void Reopen();
    // The recording turned out unreadable: Record is offered again.
    void ShowDamaged();
    // The recorded and remaining times are cleared (or set for a new run).
    void ClearTimes();
    void ResetDisplay();
    void StopGraph() { timRecordGraph.stop(); }
    void StopTimers();

    // A question about the recording (Stop, Exit) is open from Begin to End:
    // meanwhile the flip prompt and the automatic end wait. End with goOn
    // when the recording is to continue; what came due then runs at once.
    void BeginQuestion();
    void EndQuestion(bool goOn);
    // Whole seconds a stopped recording needs before Next takes it on.
    int ShortestToContinue() const;

    // Gives the standby lock back (end of a recording, a new run, exit).
    void ReleaseStandbyGuard();
    void SetStandbyLock(std::unique_ptr<StandbyLock> lock);
    const StandbyLock& Standby() const { return *m_standby; }

    int TargetSeconds = 0;   // length of the running recording
    int RecordedSeconds = 0; // whole seconds recorded so far
    sv::LevelHistory LevelHistory{};
    // The last graph computed for picRecordGraph.
    const sv::LevelGraphPoints& RecordGraph() const { return m_graph; }

Q_SIGNALS:
    // The recording reached its length and stopped: the waveform comes next.
    void recordingFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTimer timRecord;      // 1000 ms
    QTimer timRecordGraph; // 65 ms
    std::unique_ptr<Ui::PageRecord> ui;

    void ConnectRecordEvents();
    void CapturePaused();
    void CaptureStarted();
    void CaptureResumed();
    void CaptureCompleted();
    void CaptureFailed(const QString& reason);
    void ShowFlipPrompt();
    void ReadRecordedSeconds();
    // After a stop by the user or by a failure: Next only for a recording
    // longer than the minimum.
    void OfferWhatWasRecorded();
    void PaintRecordGraph();

    std::unique_ptr<StandbyLock> m_standby;
    QPointer<sv::audio::RecordObject> m_events; // the record object whose events we follow
    bool m_recording = false;  // our capture runs (from Record until it has stopped)
    bool m_flipShown = false;  // the flip prompt of this recording was shown
    int m_questionsOpen = 0;   // questions about the recording awaiting an answer
    sv::LevelGraphPoints m_graph;
    int m_clipLevel = sv::DefaultGraphClipLevel;
};
