#pragma once
// Page 3: the sound card and line lists, level monitoring into volset.wav,
// and the line scan and volume optimisation driven by timDoVolume.
#include "app/ui/pages/WizardPage.h"
#include "audioin/VolumeScan.h"

#include <QTimer>
#include <functional>
#include <memory>

namespace Ui { class PageVolume; }
namespace sv::audio { class AudioError; }

class PageVolume : public WizardPage, private sv::VolumeScan::Host {
    Q_OBJECT
public:
    explicit PageVolume(WizardHost& wizard);
    ~PageVolume() override;

    // Creates the audio engine and fills the lists, restoring the stored
    // choice. False when there is no sound card (the message has been shown).
    bool LoadMixer();
    void LoadLines();
    void cboMixer_Click();
    void cboLine_Click();
    void VolPreviewStart();
    void VolPreviewStop();
    QString VolsetPath() const;
    // Shows the page and starts the level monitoring of the chosen line; a
    // sound card failure is reported and leaves the program running.
    void Enter();
    // The level timer alone (the capture is started or stopped apart).
    void StartLevelTimer() { timDoVolume.start(); }
    void StopLevelTimer() { timDoVolume.stop(); }

    // Line scan and volume optimisation.
    void cmdScan_Click();
    void cmdAdjust_Click();
    void sliVolume_Change();
    void timDoVolume_Timer();

    // Ends a running scan without a message, giving back the mixer, line and
    // volumes it found. Runs when the page is left during a scan.
    void CancelScan();

    int ScanAttempts() const { return m_scanAttempts; }
    int AdjustPeriods() const { return m_scan.adjustPeriods(); }
    bool LevelReached() const { return m_scan.levelReached(); }


Q_SIGNALS:
    // The system's default sound device changed under the running program.
    void defaultDeviceChanged();

private:
    QTimer timDoVolume; // 200 ms
    std::unique_ptr<Ui::PageVolume> ui;
    // Runs a handler for a user action; an engine failure becomes a message.
    void Trap(const std::function<void()>& handler);
    void ReportAudioError(const sv::audio::AudioError& e);
    void Tick();
    void ShowTick(const sv::VolumeScan::Tick& t);
    void LineFound();
    void ShowVerdict(sv::VolumeScan::Verdict verdict);
    // The scan's host: selections in the lists and the failure.
    void selectLine(int index) override;
    void selectMixer(int index) override;
    void scanFailed() override;
    // RunState mirrors what the scan runs, for the window and other pages.
    void SyncFlags();
    // Gives back the line under scan, the saved mixer and line and the saved volume.
    void RestoreAfterScan();
    void EnableScanControls();
    // Ends whatever the tick was driving after an engine failure.
    void StopActivities();
    void WatchPageChanges();

    sv::VolumeScan m_scan;
    int m_savedMixerIndex = 0;
    int m_savedLineIndex = -1;
    int m_savedSliderValue = 0;
    int m_scanAttempts = 0; // for the run, never reset
    bool m_reportingError = false;
    bool m_watchingPages = false;
    QString m_scanIdleText;
    QString m_adjustIdleText;
};
