#pragma once
// Page 3: the sound card and line lists, level monitoring into volset.wav,
// and the line scan and volume optimisation driven by timDoVolume.
#include "app/pages/WizardPage.h"

#include <QTimer>
#include <functional>
#include <memory>

namespace Ui { class PageVolume; }
namespace sv::audio { class AudioError; }

// The numeric rules of the scan, the adjustment and the level bar, kept free
// of widgets and of the engine so they can be checked on their own.
namespace volume_rules {

constexpr int FullVolume = 32768;    // handed to SetVolume; the engine takes it as 100
constexpr int BarCap = 30000;
constexpr int TicksPerStep = 12;     // 2.4 s per line, device or adjust period
constexpr int PreviewRestartTicks = 120;
constexpr int AdjustPeriodsNeeded = 10;
constexpr int VolumeStep = 10;
constexpr int LowestVolume = 20;     // at or below this a too-loud signal is the player's fault

// Default settings (Advanced\Scanning Minimum and Threshold, Advanced\Adjusting Minimum).
constexpr int DefaultScanMinimum = 600;
constexpr int DefaultClipThreshold = 22000;
constexpr int DefaultAdjustMinimum = 1000;

// The level of a tick: the mean of both channels' peaks.
double Level(int level1, int level2);
// Nearest whole number, halves to even.
int RoundHalfEven(double value);
// The level bar's next value: jumps to eight times the level, falls by half
// (plus three times the level) per tick, never above BarCap.
int NextBarValue(int bar, double level);

enum class LoudAction { None, Lower, GiveUp };
// What a tick of the adjustment does about the level: nothing when it is at or
// below the threshold; lower the volume while it is above LowestVolume; give up otherwise.
LoudAction OnLevel(double level, int threshold, int volume);

// "Optimizing volume...30%" for three periods.
QString AdjustProgressText(int periods);

} // namespace volume_rules

class PageVolume : public WizardPage {
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
    int AdjustPeriods() const { return m_adjustPeriods; }
    bool LevelReached() const { return m_levelReached; }


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
    void ScanStep();
    void ScanFailed();
    // Gives back the line under scan, the saved mixer and line and the saved volume.
    void RestoreAfterScan();
    void AdjustTick();
    double CurrentLevel() const;
    void EnableScanControls();
    // Ends whatever the tick was driving after an engine failure.
    void StopActivities();
    void WatchPageChanges();

    // Scan
    int m_savedMixerIndex = 0;
    int m_savedLineIndex = -1;
    int m_savedSliderValue = 0;
    int m_scanAttempts = 0; // for the run, never reset
    int m_scanTicks = 0;
    // Adjust
    int m_adjustPeriods = 0;
    bool m_levelReached = false;
    // Level capture restart
    int m_previewTicks = 0;
    bool m_reportingError = false;
    bool m_watchingPages = false;
    QString m_scanIdleText;
    QString m_adjustIdleText;
};
