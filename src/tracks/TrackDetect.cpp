#include "tracks/TrackDetect.h"

#include "util/modFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sv {

namespace {

// The polyline's lowest y over [a, b] (its segments are straight, so only
// the points inside and the two cut ends count). Huge where the polyline
// does not reach into the span.
double polylineMinY(const QVector<QPoint>& pts, int a, int b)
{
    double best = 1e300;
    if (pts.isEmpty() || b < pts.first().x() || a > pts.last().x())
        return best;
    auto it = std::lower_bound(pts.begin(), pts.end(), a, [](const QPoint& p, int x) { return p.x() < x; });
    const auto yAt = [&](int x, const QPoint& p0, const QPoint& p1) {
        if (p1.x() == p0.x())
            return double(std::min(p0.y(), p1.y()));
        const double t = double(x - p0.x()) / (p1.x() - p0.x());
        return p0.y() + t * (p1.y() - p0.y());
    };
    if (it != pts.begin() && (it == pts.end() || it->x() > a)) // segment crossing a
        best = std::min(best, yAt(a, *(it - 1), it == pts.end() ? *(it - 1) : *it));
    for (; it != pts.end() && it->x() <= b; ++it)
        best = std::min(best, double(it->y()));
    if (it != pts.end() && it != pts.begin()) // segment crossing b
        best = std::min(best, yAt(b, *(it - 1), *it));
    return best;
}

// The Bands method: its tracks as markers, or the whole when none stands out.
// Stays empty when progress cancelled the pass over the samples.
DetectResult bandsResult(const Waveform& wave, const WaveSamples* samples, const DetectSettings& s,
                         const DetectProgress& progress, BandLevels* levels, const TrackSpan& whole)
{
    DetectResult result;
    BandLevels own;
    BandLevels& lv = levels ? *levels : own;
    if (!lv.isComputed() && !ComputeBandLevels(*samples, lv, progress))
        return result;
    result.tracks = SpansFromSeconds(BandsTracks(lv, s.hiss, s.samples, s.minTrackLength), wave.scale());
    if (result.tracks.isEmpty()) {
        result.tracks.append(whole);
        result.message = TrackMsg::NoRecording;
    }
    return result;
}

// Whether the window of W + 1 image units from x holds sound: the polyline
// for the Image method (or without samples), else the samples themselves.
std::function<bool(std::int64_t)> windowLoudness(const Waveform& wave, const WaveSamples* samples,
                                                 const DetectSettings& s, std::int64_t W)
{
    if (s.method == DetectMethod::Image || !samples) {
        const int probe = int(RoundHalfEven(wave.height() / 2.0 - s.hiss));
        const QVector<QPoint>* line = &wave.polyline();
        return [line, probe, W](std::int64_t x) { return polylineMinY(*line, int(x), int(x + W)) <= probe; };
    }
    const int drawScale = wave.drawScale();
    const std::int64_t rate = samples->header().SampleRate;
    const std::int64_t frames = samples->frames();
    const std::int64_t level = 2 * std::int64_t(s.hiss) * 35;
    // Frames of [x / DrawScale, (x + W + 1) / DrawScale) seconds; a window
    // stops reading at its first loud frame.
    return [samples, rate, frames, level, drawScale, W](std::int64_t x) {
        const auto firstFrame = [&](std::int64_t u) { return (u * rate + drawScale - 1) / drawScale; };
        const std::int64_t to = std::min(firstFrame(x + W + 1), frames);
        int l = 0, r = 0;
        for (std::int64_t k = firstFrame(x); k < to; ++k) {
            samples->frame(k, l, r);
            if (std::abs(l + r) >= level)
                return true;
        }
        return false;
    };
}

// Steps over the image in windows of W + 1 units: a track runs from its first
// loud window to the first silent one after it and is kept when longer than
// minLength. False (tracks emptied) when progress cancelled.
bool scanWindows(const std::function<bool(std::int64_t)>& loud, int width, std::int64_t W, std::int64_t minLength,
                 const DetectProgress& progress, QVector<TrackSpan>& tracks)
{
    // A long last window can reach past the image; a marker there could never
    // be moved, so its end stops at the image's end.
    const auto add = [&](std::int64_t start, std::int64_t end) {
        tracks.append({int(start), int(std::min<std::int64_t>(end, width))});
    };
    std::int64_t x = 0, S = 0, windows = 0;
    bool inTrack = false;
    const std::int64_t totalWindows = (width + W) / (W + 1);
    while (x < width) {
        const bool silent = !loud(x);
        if (!silent && !inTrack) {
            inTrack = true;
            S = x;
        }
        if (silent && inTrack) {
            if ((x + W + 1) - S > minLength)
                add(S, x + W + 1);
            inTrack = false;
        }
        x += W + 1;
        if (progress && ++windows % 64 == 0 && !progress(windows, totalWindows)) {
            tracks.clear();
            return false;
        }
    }
    if (inTrack && (x - 20) - S > minLength)
        add(S, x - 20);
    return true;
}
} // namespace

QString MethodName(DetectMethod m)
{
    switch (m) {
    case DetectMethod::Audio:
        return QStringLiteral("Audio");
    case DetectMethod::Image:
        return QStringLiteral("Image");
    default:
        return QStringLiteral("Bands");
    }
}

DetectMethod MethodFromName(const QString& name)
{
    const QString n = name.trimmed();
    if (n.compare(QLatin1String("audio"), Qt::CaseInsensitive) == 0)
        return DetectMethod::Audio;
    if (n.compare(QLatin1String("image"), Qt::CaseInsensitive) == 0)
        return DetectMethod::Image;
    return DetectMethod::Bands;
}

QVector<TrackSpan> SpansFromSeconds(const QVector<TimeSpan>& tracks, const WaveScale& scale)
{
    QVector<TrackSpan> spans;
    const double width = scale.waveWidth();
    for (const TimeSpan& t : tracks) {
        const double a = std::clamp(std::round(t.start * scale.drawScale()), 0.0, width);
        const double b = std::clamp(std::round(t.end * scale.drawScale()), 0.0, width);
        if (b > a)
            spans.append({int(a), int(b)});
    }
    return spans;
}

int DetectWindowFor(double samples, int drawScale)
{
    const double w = std::floor(samples * drawScale);
    return w > 0 ? int(std::min(w, 1e6)) : 0;
}

DetectResult DetectTracks(const Waveform& wave, const WaveSamples* samples, const DetectSettings& s,
                          const DetectProgress& progress, BandLevels* levels)
{
    DetectResult result;
    const int width = wave.waveWidth();
    if (wave.isEmpty()) {
        result.message = TrackMsg::RecordingTooShort;
        return result;
    }
    // One track over (nearly) everything; a very short image keeps it positive.
    const TrackSpan whole = width - 120 > 15 ? TrackSpan{15, width - 120} : TrackSpan{0, width};
    if (!s.autoSplit) {
        result.tracks.append(whole);
        return result;
    }
    if (s.method == DetectMethod::Bands && (samples || (levels && levels->isComputed())))
        return bandsResult(wave, samples, s, progress, levels, whole);

    const std::int64_t W = DetectWindowFor(s.samples, wave.drawScale());
    const std::int64_t minLength = std::int64_t(s.minTrackLength) * wave.drawScale();
    if (!scanWindows(windowLoudness(wave, samples, s, W), width, W, minLength, progress, result.tracks))
        return result;
    if (result.tracks.isEmpty()) {
        result.tracks.append(whole);
        result.message = TrackMsg::NoRecording;
    }
    return result;
}

} // namespace sv
