#include "audioin/VolumeScan.h"

#include "audioin/engine/AudioEngine.h"

#include <algorithm>
#include <cmath>

namespace sv {

namespace volume_rules {

double Level(int level1, int level2)
{
    return (double(level1) + double(level2)) / 2.0;
}

int RoundHalfEven(double value)
{
    return int(std::nearbyint(value)); // the default rounding mode rounds halves to even
}

int NextBarValue(int bar, double level)
{
    int next = RoundHalfEven((std::max(bar, 0) + level * 6) / 2);
    if (level * 8 > next)
        next = RoundHalfEven(level * 8);
    return std::clamp(next, 0, BarCap);
}

LoudAction OnLevel(double level, int threshold, int volume)
{
    if (!(level > threshold))
        return LoudAction::None;
    return volume > LowestVolume ? LoudAction::Lower : LoudAction::GiveUp;
}

QString AdjustProgressText(int periods)
{
    return QStringLiteral("Optimizing volume...") + QString::number(periods * 100 / AdjustPeriodsNeeded)
        + QStringLiteral("%");
}

} // namespace volume_rules

namespace vr = volume_rules;

namespace {
double LevelOf(const audio::RecordObject& rec)
{
    return vr::Level(rec.GetLevel1(), rec.GetLevel2());
}
} // namespace

void VolumeScan::startScan(const VolumeSettings& settings)
{
    // The scan moves to other lines and volumes, so an adjustment under way
    // would end with a verdict about a line it never measured.
    m_settings = settings;
    m_adjusting = false;
    m_scanning = true;
    m_mixer = 0;
    m_line = 0;
    m_scanTicks = 0;
}

void VolumeScan::lineSelected(audio::RecordObject& rec)
{
    m_lineVolume = rec.GetVolume();
    rec.SetVolume(vr::FullVolume);
}

void VolumeScan::giveBackLineVolume(audio::RecordObject& rec) const
{
    rec.SetVolume(m_lineVolume);
}

void VolumeScan::startAdjust(audio::RecordObject& rec, const VolumeSettings& settings)
{
    m_settings = settings;
    m_adjusting = true;
    m_adjustPeriods = 0;
    m_levelReached = false;
    rec.SetVolume(vr::FullVolume);
}

void VolumeScan::stop()
{
    m_scanning = false;
    m_adjusting = false;
}

void VolumeScan::step(audio::RecordObject& rec, Host& host)
{
    const bool deviceMode = rec.IsDeviceMode();
    if (!deviceMode && m_line < rec.GetLineCount() - 1) {
        rec.StopCapture();
        rec.SetVolume(m_lineVolume);
        host.selectLine(++m_line);
    } else if (m_mixer < rec.GetMixerCount() - 1) {
        rec.StopCapture();
        rec.SetVolume(m_lineVolume);
        m_line = 0;
        host.selectMixer(++m_mixer);
        // Devices have no line handler to start the level capture.
        if (deviceMode)
            rec.StartCapture(2, 44100);
    } else {
        host.scanFailed();
        m_scanning = false;
    }
}

void VolumeScan::adjustTick(audio::RecordObject& rec, double level, Tick& t)
{
    t.adjusted = true;
    t.adjustText = vr::AdjustProgressText(m_adjustPeriods);
    if (m_adjustPeriods >= vr::AdjustPeriodsNeeded) {
        // The verdict is final: this tick neither changes the volume after
        // "Optimized" nor adds "too high" to "too low".
        m_adjusting = false;
        t.verdict = m_levelReached ? Verdict::Optimized : Verdict::TooLow;
        return;
    }
    if (level > m_settings.adjustMinimum)
        m_levelReached = true;
    const int volume = rec.GetVolume();
    switch (vr::OnLevel(level, m_settings.clipThreshold, volume)) {
    case vr::LoudAction::None:
        break;
    case vr::LoudAction::Lower:
        rec.SetVolume(volume - vr::VolumeStep);
        t.volumeLowered = true;
        m_adjustPeriods = 0;
        break;
    case vr::LoudAction::GiveUp:
        m_adjusting = false;
        m_adjustPeriods = 0;
        t.verdict = Verdict::TooHigh;
        break;
    }
}

VolumeScan::Tick VolumeScan::tick(audio::RecordObject& rec, Host& host)
{
    Tick t;
    ++m_previewTicks;
    ++m_scanTicks;
    if (m_scanTicks == vr::TicksPerStep) {
        m_scanTicks = 0;
        if (m_adjusting)
            ++m_adjustPeriods;
        if (m_scanning)
            step(rec, host);
    }
    if (m_scanning && LevelOf(rec) > m_settings.scanMinimum) {
        rec.SetVolume(vr::FoundVolume);
        m_scanning = false;
        t.found = true;
    }
    t.syncSlider = !m_scanning && !m_adjusting;
    if (!m_scanning && m_adjusting)
        adjustTick(rec, LevelOf(rec), t);

    m_bar = vr::NextBarValue(m_bar, LevelOf(rec));
    t.bar = m_bar;

    if (m_previewTicks > vr::PreviewRestartTicks) {
        m_previewTicks = 0;
        t.restartPreview = rec.IsCapturing();
    }
    return t;
}

} // namespace sv
