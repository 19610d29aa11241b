#pragma once
// The line scan and the volume optimisation of the volume page, driven by a
// 200 ms tick over the record object. The scan tries each line (or device)
// for TicksPerStep ticks until one carries a level above the scan minimum;
// the optimisation starts at full volume, lowers it while the level is too
// loud and gives its verdict after AdjustPeriodsNeeded quiet periods.
// The page selects lines in its lists and shows what a tick reports.
#include "settings/Settings.h"

#include <QString>

namespace sv {

namespace audio { class RecordObject; }

namespace volume_rules {

constexpr int FullVolume = 32768;    // handed to SetVolume; the engine takes it as 100
constexpr int FoundVolume = 50;      // half the slider: where a found line starts
constexpr int BarCap = 30000;
constexpr int TicksPerStep = 12;     // 2.4 s per line, device or adjust period
constexpr int PreviewRestartTicks = 120;
constexpr int AdjustPeriodsNeeded = 10;
constexpr int VolumeStep = 10;
constexpr int LowestVolume = 20;     // at or below this a too-loud signal is the player's fault

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

class VolumeScan {
public:
    // What the page does when the scan moves on; called inside tick().
    class Host {
    public:
        virtual ~Host() = default;
        virtual void selectLine(int index) = 0;
        virtual void selectMixer(int index) = 0;
        // Every line and device was tried; the scan has ended.
        virtual void scanFailed() = 0;
    };

    enum class Verdict { None, Optimized, TooLow, TooHigh };

    struct Tick {
        bool found = false;          // the scan stopped on a line with music
        bool syncSlider = false;     // idle: the slider shows the line's volume
        bool adjusted = false;       // an adjustment tick ran; adjustText holds its progress
        QString adjustText;
        bool volumeLowered = false;
        Verdict verdict = Verdict::None;
        int bar = 0;                 // the level bar's new value
        bool restartPreview = false; // start the throw-away level file anew
    };

    // Starts at the first mixer (and its first line); the adjustment ends.
    void startScan(const VolumeSettings& settings);
    // A line or device was selected by the scan: its own volume is kept to be
    // given back, and it is tried at full volume.
    void lineSelected(audio::RecordObject& rec);
    void giveBackLineVolume(audio::RecordObject& rec) const;
    void endScan() { m_scanning = false; }

    void startAdjust(audio::RecordObject& rec, const VolumeSettings& settings);
    // Ends whatever runs (an engine failure).
    void stop();

    Tick tick(audio::RecordObject& rec, Host& host);

    bool scanning() const { return m_scanning; }
    bool adjusting() const { return m_adjusting; }
    int adjustPeriods() const { return m_adjustPeriods; }
    bool levelReached() const { return m_levelReached; }
    int mixer() const { return m_mixer; }
    int line() const { return m_line; }

private:
    void step(audio::RecordObject& rec, Host& host);
    void adjustTick(audio::RecordObject& rec, double level, Tick& t);

    VolumeSettings m_settings;
    bool m_scanning = false;
    bool m_adjusting = false;
    int m_mixer = 0;
    int m_line = 0;
    int m_lineVolume = 0;
    int m_scanTicks = 0;
    int m_previewTicks = 0;
    int m_adjustPeriods = 0;
    bool m_levelReached = false;
    int m_bar = 0;
};

} // namespace sv
