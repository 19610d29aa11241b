#pragma once
// Page 7: splitting the recording into track files.
#include "app/ui/pages/WizardPage.h"
#include "tracks/modWaveSplit.h"
#include "util/Job.h"

#include <memory>

namespace Ui { class PageSplit; }
namespace sv { class TrackList; }

class PageSplit : public WizardPage {
    Q_OBJECT
public:
    explicit PageSplit(WizardHost& wizard);
    ~PageSplit() override;

    // Splits the recording into track files, writes recording.xml, deletes
    // the recording, then shows the output page. A damaged recording goes
    // back to the record page (Back on); a failure while writing keeps the
    // recording and any earlier set of tracks.
    void StartSplitTracks();
    // Deletes the recording and the track files its index names.
    void ClearRecorded();
    // The track markers the split cuts by (the waveform page's list).
    void UseTracks(const sv::TrackList& tracks) { m_tracks = &tracks; }

    // Number of tracks of the current recording (0 before the first split).
    int SplitCount() const { return m_splitCount; }
    // The folder that holds recording.wav, its tracks and recording.xml.
    QString RecordFolder() const;
    QString RecordingFile() const;

    // The classic run-time error number and text for a failed split step,
    // as the critical-error report shows them: "(61) ...".
    static QString SplitErrorDetails(sv::WaveStatus status, const QString& error, int sysError = 0);
    // The exact stretch of each marker of the waveform page, in frames.
    QVector<sv::FrameSpan> SplitSpans(std::int64_t sampleRate) const;


Q_SIGNALS:
    // The split begins: any preview must stop.
    void splitStarting();
    // The recording's file mapping must go before the file is deleted.
    void releaseRecording();
    // The recording could not be read: back to the record page.
    void recordingDamaged();
    // count track files and their index are written; the output page comes next.
    void splitDone(int count);

private:
    std::unique_ptr<Ui::PageSplit> ui;
    const sv::TrackList* m_tracks = nullptr;
    void ReportSplitFailure(const QString& details);
    bool WindowClosed() const;

    sv::Job* m_job = nullptr; // the split while it runs
    int m_splitCount = 0;
    bool m_windowShown = false;
};
