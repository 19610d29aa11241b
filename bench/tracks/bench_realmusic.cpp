// bench_realmusic OUT.wav PIECE.wav...: joins real music (44100 Hz stereo
// 16-bit pieces) into one tape side the way a cassette would hold it (hiss
// and mains hum throughout, gaps of 0.6 to 3 s with the odd crackle), then
// detects its tracks with each method and scores them against where the
// music of each piece really starts and ends:
//   boundary F1   starts and ends found within 1 s of a true one (each true
//                 boundary matched once), harmonic mean of precision and recall
//   tracks right  pieces whose track has both edges within 1 s
//   music kept    share of the music's time that lies inside some track
#include "tracks/TrackDetect.h"
#include "tracks/Waveform.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace sv;

namespace {

struct Truth {
    double start, end;
};

void le(QByteArray& b, quint32 v, int n)
{
    for (int i = 0; i < n; ++i)
        b.append(char((v >> (8 * i)) & 0xff));
}

// Writes the tape; the true extent of each piece's music (its first and last
// sample above -60 dBFS) goes to truth.
bool writeTape(const QString& out, const QStringList& pieces, std::vector<Truth>& truth)
{
    constexpr int rate = 44100;
    const double gaps[] = {3.0, 0.8, 1.5, 2.5, 1.0, 3.0, 0.6, 2.0, 1.2, 2.8, 0.7, 1.8, 2.2, 0.9, 1.4};
    QFile f(out);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QByteArray(44, '\0'));
    std::mt19937 rng(3);
    std::normal_distribution<double> hiss(0, 110); // about -49 dBFS
    std::uniform_real_distribution<double> uni(0, 1);
    std::int64_t frame = 0;
    std::vector<qint16> buf;
    const auto emit = [&](const WaveSamples* piece, std::int64_t frames, bool gap) {
        buf.resize(std::size_t(frames) * 2);
        int l = 0, r = 0;
        for (std::int64_t i = 0; i < frames; ++i, ++frame) {
            const double t = double(frame) / rate;
            double noise = hiss(rng) + 120 * std::sin(2 * M_PI * 50 * t) + 30 * std::sin(2 * M_PI * 150 * t);
            if (gap && uni(rng) < 3.0 / rate) // crackle
                noise += (uni(rng) < 0.5 ? -1 : 1) * (6000 + 9000 * uni(rng));
            if (piece)
                piece->frame(i, l, r);
            // The music at a tape's level, a little below full scale.
            buf[std::size_t(2 * i)] = qint16(std::clamp(0.7 * l + noise, -32768.0, 32767.0));
            buf[std::size_t(2 * i + 1)] = qint16(std::clamp(0.7 * r + noise, -32768.0, 32767.0));
        }
        f.write(reinterpret_cast<const char*>(buf.data()), qint64(buf.size() * 2));
    };
    int n = 0;
    for (const QString& p : pieces) {
        WaveSamples s;
        if (s.open(p) != WaveStatus::Ok || s.header().SampleRate != rate) {
            std::fprintf(stderr, "cannot use %s\n", qPrintable(p));
            return false;
        }
        emit(nullptr, std::int64_t(gaps[n++ % std::size(gaps)] * rate), true);
        std::int64_t first = -1, last = -1;
        int l = 0, r = 0;
        for (std::int64_t i = 0; i < s.frames(); ++i) {
            s.frame(i, l, r);
            if (std::abs(0.7 * (l + r) / 2) >= 32768 * 0.001) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
        if (first >= 0)
            truth.push_back({double(frame + first) / rate, double(frame + last + 1) / rate});
        emit(&s, s.frames(), false);
    }
    emit(nullptr, 3 * rate, true);
    const std::int64_t bytes = frame * 4;
    QByteArray h("RIFF");
    le(h, quint32(36 + bytes), 4);
    h += "WAVEfmt ";
    le(h, 16, 4); le(h, 1, 2); le(h, 2, 2); le(h, rate, 4); le(h, rate * 4, 4); le(h, 4, 2); le(h, 16, 2);
    h += "data";
    le(h, quint32(bytes), 4);
    f.seek(0);
    f.write(h);
    return f.error() == QFile::NoError;
}

struct Score {
    double f1 = 0;
    int right = 0;
    double kept = 0;
    int found = 0;
};

Score score(const std::vector<Truth>& truth, const std::vector<Truth>& got)
{
    Score s;
    s.found = int(got.size());
    // Starts against starts, ends against ends; each true one used once.
    int matched = 0;
    for (int kind = 0; kind < 2; ++kind) {
        std::vector<bool> used(truth.size());
        for (const Truth& g : got) {
            const double v = kind ? g.end : g.start;
            for (std::size_t i = 0; i < truth.size(); ++i) {
                const double t = kind ? truth[i].end : truth[i].start;
                if (!used[i] && std::abs(v - t) <= 1.0) {
                    used[i] = true;
                    ++matched;
                    break;
                }
            }
        }
    }
    const double precision = got.empty() ? 0 : matched / (2.0 * got.size());
    const double recall = matched / (2.0 * truth.size());
    s.f1 = precision + recall > 0 ? 2 * precision * recall / (precision + recall) : 0;
    double music = 0, inside = 0;
    for (const Truth& t : truth) {
        music += t.end - t.start;
        for (const Truth& g : got)
            inside += std::max(0.0, std::min(t.end, g.end) - std::max(t.start, g.start));
        for (const Truth& g : got)
            if (std::abs(g.start - t.start) <= 1.0 && std::abs(g.end - t.end) <= 1.0) {
                ++s.right;
                break;
            }
    }
    s.kept = music > 0 ? inside / music : 0;
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_realmusic OUT.wav PIECE.wav...\n");
        return 2;
    }
    std::vector<Truth> truth;
    if (!writeTape(args[0], args.mid(1), truth))
        return 1;
    WaveSamples samples;
    Waveform wave;
    if (samples.open(args[0]) != WaveStatus::Ok || wave.draw(samples) != WaveStatus::Ok)
        return 1;
    std::printf("tape: %.0f s, %zu pieces\n", samples.header().ExactSeconds(), truth.size());
    std::fprintf(stderr, "truth:");
    for (const Truth& t : truth)
        std::fprintf(stderr, " %.1f-%.1f", t.start, t.end);
    std::fprintf(stderr, "\n");
    std::printf("| method | MinTrackLength | tracks found | tracks right | boundary F1 (+-1 s) | music inside tracks |\n");
    std::printf("|---|---|---|---|---|---|\n");
    const struct {
        DetectMethod method;
        int minTrack;
    } runs[] = {{DetectMethod::Bands, 10}, {DetectMethod::Audio, 10}, {DetectMethod::Image, 10},
                {DetectMethod::Audio, 35}, {DetectMethod::Image, 35}};
    for (const auto& run : runs) {
        DetectSettings s;
        s.method = run.method;
        s.minTrackLength = run.minTrack;
        const DetectResult r = DetectTracks(wave, &samples, s);
        std::vector<Truth> got;
        for (const TrackSpan& t : r.tracks)
            got.push_back({double(t.start) / wave.drawScale(), double(t.end) / wave.drawScale()});
        const Score sc = score(truth, got);
        // The details on stderr, for a look at what went wrong.
        std::fprintf(stderr, "%s %d:", qPrintable(MethodName(run.method)), run.minTrack);
        for (const Truth& g : got)
            std::fprintf(stderr, " %.1f-%.1f", g.start, g.end);
        std::fprintf(stderr, "\n");
        std::printf("| %s | %d | %d | %d of %zu | %.2f | %.1f %% |\n", qPrintable(MethodName(run.method)), run.minTrack,
                    sc.found, sc.right, truth.size(), sc.f1, 100 * sc.kept);
    }
    return 0;
}
