#pragma once
// Automatic track detection, three methods behind one call:
//  - Bands (default): band levels against the recording's own noise floor
//    (BandsDetect.h); tracks keep their quiet passages, fades and edges.
// The other two scan the recording in contiguous windows of DetectWindow + 1
// image units; a run of loud windows that ends in a silent one becomes a
// track when it is longer than MinTrackLength seconds. A window is loud when
//  - Audio: any frame of the recording inside the window's time span has
//    |left + right| >= 2 x Hiss x 35 (mono counts its sample twice);
//  - Image: the drawn polyline reaches the probe line (y <= centre - Hiss)
//    anywhere in [x, x + DetectWindow].
#include "tracks/BandsDetect.h"
#include "tracks/TrackMessages.h"
#include "tracks/Waveform.h"

#include <QVector>

#include <functional>
#include <optional>

namespace sv {

enum class DetectMethod { Bands, Audio, Image };

struct DetectSettings {
    int hiss = 25;             // image units above the centre line
    double samples = 0.5;      // silent gap that ends a track, seconds
    int minTrackLength = 10;   // seconds
    DetectMethod method = DetectMethod::Bands;
    bool autoSplit = true;
};

QString MethodName(DetectMethod m); // "Bands" / "Audio" / "Image"
// Case-insensitive; anything unknown is Bands.
DetectMethod MethodFromName(const QString& name);

// DetectWindow in image units: whole part of samples x DrawScale, never negative.
int DetectWindowFor(double samples, int drawScale);

struct TrackSpan {
    int start = 0; // image units
    int end = 0;
    int width() const { return end - start; }
    bool operator==(const TrackSpan&) const = default;
};

struct DetectResult {
    QVector<TrackSpan> tracks;
    // NoRecording when nothing was found (one track covers everything), or
    // RecordingTooShort for an empty image (no track at all).
    std::optional<TrackMsg> message;
};

// Called every 64 windows; false cancels (the result is then empty).
using DetectProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// samples may be null for the Image method. Bands works from levels; when
// they are null or not yet computed, they are computed from samples first
// (into levels when given, so that the next detection reuses them).
DetectResult DetectTracks(const Waveform& wave, const WaveSamples* samples, const DetectSettings& settings,
                          const DetectProgress& progress = {}, BandLevels* levels = nullptr);

// Bands tracks as markers: seconds x DrawScale, to the nearest image unit,
// inside the image.
QVector<TrackSpan> SpansFromSeconds(const QVector<TimeSpan>& tracks, const WaveScale& scale);

} // namespace sv
