// bench_detect FILE.wav [bands|audio|image]: one detection as the waveform
// page runs it (header, waveform polyline, detection), timed per step, with
// the process's anonymous memory (heap and stacks: everything but the mapped
// recording and the program's own files) sampled every millisecond.
#include "tracks/TrackDetect.h"
#include "tracks/Waveform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <atomic>
#include <cstdio>
#include <thread>

using namespace sv;

namespace {
// RssAnon of /proc/self/status in KiB.
long rssAnonKib()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').value(0).toLong();
    return -1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_detect FILE.wav [bands|audio|image]\n");
        return 2;
    }
    std::atomic<bool> done{false};
    std::atomic<long> peak{rssAnonKib()};
    const long before = peak;
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak.load(), rssAnonKib());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    QElapsedTimer clock;
    clock.start();
    WaveSamples samples;
    Waveform wave;
    if (samples.open(args[0]) != WaveStatus::Ok || wave.draw(samples) != WaveStatus::Ok) {
        done = true;
        sampler.join();
        return 1;
    }
    const qint64 drawn = clock.nsecsElapsed();
    DetectSettings s;
    s.method = MethodFromName(args.value(1, QStringLiteral("bands")));
    BandLevels levels;
    if (s.method == DetectMethod::Bands)
        ComputeBandLevels(samples, levels);
    const qint64 passed = clock.nsecsElapsed();
    const DetectResult r = DetectTracks(wave, &samples, s, {}, &levels);
    const qint64 detected = clock.nsecsElapsed();
    done = true;
    sampler.join();
    peak = std::max(peak.load(), rssAnonKib());
    std::printf("%s: %.0f s of audio, %d tracks\n", qPrintable(MethodName(s.method)),
                samples.header().ExactSeconds(), int(r.tracks.size()));
    std::printf("header + waveform %.3f s, pass over the samples %.3f s, detection %.3f s, total %.3f s\n",
                drawn / 1e9, (passed - drawn) / 1e9, (detected - passed) / 1e9, detected / 1e9);
    std::printf("anonymous memory: %.1f MiB at start, peak %.1f MiB\n", before / 1024.0, peak / 1024.0);
    return 0;
}
