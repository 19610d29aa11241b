// Capture CPU use and level latency of the pulse backend, against a private
// PulseAudio daemon whose deck is fed with generated music (see README.md).
//   bench_pulse_capture [seconds of capture, default 10] [latency trials, default 20]
#include "PulseRig.h"
#include "support/TestEnv.h"

#include "audioin/engine/Backends.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace sv::audio;
using Clock = std::chrono::steady_clock;

namespace {

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds the sound server has used so far (its share of the capture).
double daemonCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0.0;
    const QByteArray line = stat.readAll();
    // Fields after the parenthesised command name; utime and stime are 14 and 15.
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13)
        return 0.0;
    return double(f.at(11).toLongLong() + f.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// Like the UI thread: wake for the level meter every 65 ms.
void pumpFor(std::chrono::milliseconds span, RecordObject* rec)
{
    const auto end = Clock::now() + span;
    while (Clock::now() < end) {
        QCoreApplication::processEvents();
        (void)rec->GetLevel1();
        std::this_thread::sleep_for(std::chrono::milliseconds(65));
    }
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int trials = argc > 2 ? std::max(1, atoi(argv[2])) : 20;

    svtest::TestEnv env;
    svtest::PulseRig rig;
    rig.feedLoop(svtest::MakeMusic(20.0));
    QString error;
    if (!rig.start(&error)) {
        std::fprintf(stderr, "cannot start the private daemon: %s\n", qPrintable(error));
        return 1;
    }
    auto engine = CreatePulseEngine();
    if (!engine) {
        std::fprintf(stderr, "the pulse backend found no server\n");
        return 1;
    }
    RecordObject* rec = engine->record.get();
    int deck = -1;
    for (int i = 0; i < rec->GetMixerCount(); ++i)
        if (rec->GetMixerName(i) == QLatin1String("Tape Deck"))
            deck = i;
    rec->SetMixer(deck);
    rec->SetVolume(100);

    // 1. CPU while recording music, without the feeder thread's share.
    rec->SetFileName(env.tmp() + QStringLiteral("bench.wav"));
    rec->StartCapture(2, 44100);
    pumpFor(std::chrono::milliseconds(500), rec); // settle
    const double cpu0 = processCpuSeconds(), feed0 = rig.feederCpuSeconds();
    const double daemon0 = daemonCpuSeconds(rig.daemonPid());
    const double recorded0 = rec->GetRecordedSeconds();
    const auto t0 = Clock::now();
    pumpFor(std::chrono::seconds(seconds), rec);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = processCpuSeconds() - cpu0 - (rig.feederCpuSeconds() - feed0);
    const double daemon = daemonCpuSeconds(rig.daemonPid()) - daemon0;
    const double recorded = rec->GetRecordedSeconds() - recorded0;
    rec->StopCapture();
    std::printf("capture: %.1f s wall, %.1f s recorded, CPU %.2f %% of one core (sound server: %.2f %%)\n", wall,
                recorded, 100.0 * cpu / wall, 100.0 * daemon / wall);

    // 2. Level latency: silence, then a step to half scale; time from the
    // step's block entering the pipe to GetLevel1 above the scan minimum.
    std::atomic<std::int64_t> stepFrame{-1};
    std::atomic<std::int64_t> stepWrittenNs{0};
    rig.setWritten([&](std::int64_t start, Clock::time_point at) {
        const std::int64_t s = stepFrame.load();
        if (s >= 0 && start >= s && stepWrittenNs.load() == 0)
            stepWrittenNs.store(at.time_since_epoch().count());
    });
    rec->SetFileName(env.tmp() + QStringLiteral("latency.wav"));
    rec->StartCapture(2, 44100);
    std::vector<double> latencies;
    int missed = 0;
    for (int t = 0; t < trials; ++t) {
        rig.setFeed([](std::int16_t* out, int frames, std::int64_t) { std::fill(out, out + 2 * frames, 0); });
        pumpFor(std::chrono::milliseconds(400), rec);
        stepWrittenNs.store(0);
        // The next block the feeder asks for starts the step.
        rig.setFeed([&stepFrame](std::int16_t* out, int frames, std::int64_t start) {
            std::int64_t expected = -1;
            stepFrame.compare_exchange_strong(expected, start);
            for (int i = 0; i < frames; ++i)
                out[2 * i] = out[2 * i + 1] = std::int16_t(((start + i) / 50) % 2 ? 16000 : -16000);
        });
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        bool seen = false;
        while (Clock::now() < deadline) {
            if (rec->GetLevel1() > 600 && stepWrittenNs.load() != 0) {
                seen = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto now = Clock::now().time_since_epoch().count();
        if (seen)
            latencies.push_back(double(now - stepWrittenNs.load()) / 1e6);
        else
            ++missed;
        stepFrame.store(-1);
    }
    rec->StopCapture();
    rig.setWritten(nullptr);
    std::printf("level latency over %d steps: median %.1f ms, 90th percentile %.1f ms, max %.1f ms, missed %d\n",
                int(latencies.size()), percentile(latencies, 0.5), percentile(latencies, 0.9),
                percentile(latencies, 1.0), missed);
    engine.reset();
    rig.stop();
    return 0;
}
