#pragma once
// Page 6: the waveform, the track markers and the preview.
#include "app/ui/pages/WizardPage.h"
#include "tracks/TrackDetect.h"
#include "tracks/TrackList.h"
#include "tracks/Waveform.h"

#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

namespace Ui { class PageWaveform; }
namespace sv { class WaveformView; }
class QEventLoop;

class PageWaveform : public WizardPage {
    Q_OBJECT
public:
    explicit PageWaveform(WizardHost& wizard);
    ~PageWaveform() override;

    // Detection settings, read at start-up and before every detection.
    void DetectTracksLoad();
    // Leaves the record page for this one: draws the recording, detects
    // its tracks and shows them. A damaged recording goes back to the
    // record page.
    void WaveFormStep();
    // Back to the record page; the markers go.
    void WaveformBack();
    // The markers replaced by a fresh detection (or one track over the
    // whole recording when automatic detection is off).
    void DetectTracks();

    // Buttons
    void cmdWavePlay_Click();
    void cmdWaveStop_Click();
    void cmdAddTrack_Click();
    void cmdWaveSplit_Click();
    void cmdWaveCombine_Click();
    void cmdResetTracks_Click();
    void cmdTrackOptions_Click();
    void chkAutoSplit_Click();
    // Start-up: the stored choice of automatic track detection.
    void SetAutoSplit(bool on);

    // Preview
    void WaveSlide_Press();
    void WaveSlide_Release();
    // Plays the whole recording from the time at image position x.
    void StartPlay(int x);
    void WaveformTimer(bool seek, double position);
    void timWaveform_Timer() { WaveformTimer(false, 0); }
    int PlayStart() const { return m_playStart; }
    int PlayEnd() const { return m_playEnd; }

    // Scrolling
    void SetWaveform();
    void hsWave_Change();
    int ScrollDivisor = 1;
    bool ScrollChanged = false;
    bool ScrollKeyDown = false;

    // Enables the preview and editing controls (off while drawing).
    void DisableWaveformButtons(bool enabled);

    // The track list: empty when no marker is shown.
    bool HasTracks() const { return !m_tracks.isEmpty(); }
    int TrackCount() const { return m_tracks.count(); }
    void RemoveAllTracks();
    const sv::TrackList& Tracks() const { return m_tracks; }
    // Start and length of each track in whole seconds, for the split.
    QVector<sv::SplitItem> SplitList() const { return m_tracks.splitList(); }
    const sv::Waveform& Wave() const { return m_wave; }
    const sv::WaveHeader& Header() const { return m_wave.header(); }
    bool WaveValid() const { return m_waveValid; }
    // Lets go of the recording's file mapping (the file may then be deleted
    // without its space staying in use).
    void ReleaseRecording();

    sv::WaveformView* View() const;



Q_SIGNALS:
    // Drawing or detection has begun on its worker; the window keeps
    // painting until it ends.
    void busyStarted();
    // The waveform takes over from the record page, whose graph stops.
    void drawingStarted();
    // The recording could not be drawn: the record page offers Record again.
    void recordingDamaged();
    // Back to the record page: it shows again with its times cleared.
    void backToRecording();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    QTimer timWaveform; // 400 ms
    std::unique_ptr<Ui::PageWaveform> ui;
    QString RecordingFile() const;
    void LoadWaveform();
    // Runs work on a worker thread while this thread keeps painting; tick
    // runs every 50 ms meanwhile. False when the wait was abandoned (the
    // window went away), after the worker has stopped.
    bool RunBusy(const std::function<void()>& work, const std::function<void()>& tick = {});
    int Ask(sv::TrackMsg id, const sv::MessageText& box);
    sv::AskFn Asker();
    void ApplyOutcome(const sv::ReleaseOutcome& out);
    void ApplyRange();
    void SyncPanel();
    void RedetectWith(bool autoSplit);
    bool PlayFrom(int seconds);
    void ScrollTo(int value);
    void UpdateScrollRange();
    void OnDoubleClick(int index, int x);
    void SetLoading(bool loading);

    sv::Waveform m_wave;
    sv::WaveSamples m_samples;
    sv::TrackList m_tracks;
    sv::DetectSettings m_detect;
    sv::BandLevels m_bands; // the recording's band levels, computed once while it loads
    bool m_waveValid = false;
    int m_playStart = 0;
    int m_playEnd = 0;
    bool m_lineShown = false;

    QEventLoop* m_busyLoop = nullptr;
    std::atomic<bool> m_cancel{false};
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
};
