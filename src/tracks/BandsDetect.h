#pragma once
// Track detection against each recording's own noise floor. One pass over the
// samples turns the recording into band energies on a ~10 ms block grid (the
// only work that grows with the recording); everything after that works on
// those few values per block, so redetecting with other settings is instant.
//
// Bands (mid of the two channels, decimated to about 11 kHz): 100-400 Hz,
// 400-1000 Hz and 1000-2500 Hz. Tape hiss lives above them, hum and rumble
// below, and the ringing of clicks mostly above, while the tails of music keep
// their energy inside.
#include "tracks/Waveform.h"

#include <QVector>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace sv {

constexpr int BandCount = 3;

struct BandLevels {
    int rate = 0;           // frames per second of the recording
    int decimation = 1;     // frames per decimated sample
    int blockFrames = 0;    // frames per block, a multiple of decimation
    std::int64_t frames = 0;
    // Mean square per block of each band, on the 16-bit scale.
    std::array<std::vector<double>, BandCount> energy;

    std::int64_t blocks() const { return std::int64_t(energy[0].size()); }
    // Seconds per block.
    double dt() const { return rate > 0 ? double(blockFrames) / rate : 0.0; }
    bool isComputed() const { return rate > 0; }
};

// Called every few hundred blocks with blocks done and total; false cancels.
using BandProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// The pass over the samples. False when progress cancelled (levels then
// stay uncomputed).
bool ComputeBandLevels(const WaveSamples& samples, BandLevels& levels, const BandProgress& progress = {});

struct TimeSpan {
    double start = 0; // seconds
    double end = 0;
    bool operator==(const TimeSpan&) const = default;
};

// The tracks in seconds, ascending and not overlapping; empty when no part
// of the recording stands above its noise floor.
//  hiss            caps the quiet level: a block is never quiet when some band
//                  is at or above (hiss x 35)^2 / 2 (16-bit scale, squared)
//  gapSeconds      the shortest quiet run that separates two tracks
//  minTrackSeconds a shorter track joins a neighbour at most 3 s away, or goes
QVector<TimeSpan> BandsTracks(const BandLevels& levels, int hiss, double gapSeconds, double minTrackSeconds);

} // namespace sv
