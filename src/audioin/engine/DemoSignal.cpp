#include "audioin/engine/DemoSignal.h"

#include "audioin/engine/CaptureSink.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace sv::audio {

QList<double> DemoTrackStarts(const DemoLayout& l)
{
    QList<double> starts;
    double t = l.leadIn;
    for (double len : l.tracks) {
        starts.append(t);
        t += len + l.gap;
    }
    return starts;
}

bool WriteDemoSide(const QString& path, const DemoLayout& l)
{
    WavWriter w;
    if (!w.open(path, l.channels, l.rate, nullptr))
        return false;
    std::mt19937 rng(l.seed);
    std::uniform_int_distribution<int> hiss(-l.hiss, l.hiss);
    // A few chords of a major key, as frequency triples.
    static const double chords[][3] = {{261.63, 329.63, 392.00}, {220.00, 261.63, 329.63},
                                       {174.61, 220.00, 261.63}, {196.00, 246.94, 293.66},
                                       {293.66, 369.99, 440.00}, {164.81, 207.65, 246.94}};
    const double twoPi = 6.283185307179586;
    const QList<double> starts = DemoTrackStarts(l);
    double total = l.leadIn + l.tail;
    for (double len : l.tracks)
        total += len;
    total += l.gap * std::max<qsizetype>(0, l.tracks.size() - 1);
    const std::int64_t frames = std::int64_t(total * l.rate);
    const int block = 4410;
    std::vector<std::int16_t> buf(size_t(block) * l.channels);
    for (std::int64_t f0 = 0; f0 < frames; f0 += block) {
        const int n = int(std::min<std::int64_t>(block, frames - f0));
        for (int i = 0; i < n; ++i) {
            const double t = double(f0 + i) / l.rate;
            double music = 0;
            for (int k = 0; k < starts.size(); ++k) {
                const double local = t - starts[k];
                if (local < 0 || local >= l.tracks[k])
                    continue;
                // Half-second notes with a soft attack and a decay that never
                // falls silent inside a song; fade in and out at the ends.
                const double beat = std::fmod(local, 0.5);
                const double env = 0.45 + 0.55 * std::exp(-beat * 4.0) * std::min(1.0, beat * 200.0);
                const double edge = std::min({1.0, local / 0.05, (l.tracks[k] - local) / 0.05});
                const auto& c = chords[(int(local / 2.0) + k * 2) % 6];
                double s = 0;
                for (double fr : c)
                    s += std::sin(twoPi * fr * (k % 2 ? 1.0 : 0.5) * t) + 0.3 * std::sin(twoPi * fr * 2.0 * t);
                music = s / 3.9 * env * edge;
            }
            for (int ch = 0; ch < l.channels; ++ch) {
                const double v = music * l.peak * (ch == 0 ? 1.0 : 0.93) + hiss(rng);
                buf[size_t(i) * l.channels + ch] = std::int16_t(std::clamp(v, -32768.0, 32767.0));
            }
        }
        if (!w.append(buf.data(), n, nullptr))
            return false;
    }
    w.close();
    return true;
}

} // namespace sv::audio
