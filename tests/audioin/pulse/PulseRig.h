#pragma once
// A private PulseAudio daemon for tests and benchmarks: a null sink
// ("Speakers") and a pipe source ("Tape Deck") fed from memory by a paced
// feeder thread. It lives in XDG_RUNTIME_DIR (point that at a temporary
// folder first, e.g. with svtest::TestEnv) and never touches a system or
// session daemon. Works as root (CI) with --system=no.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace svtest {

// Fills `frames` stereo frames starting at absolute frame `start`.
using FeedFunction = std::function<void(std::int16_t* out, int frames, std::int64_t start)>;

// Something that sounds like music: a melody of plucked notes with overtones
// over a bass line, plus a little deterministic noise so that no stretch of it
// repeats (tests find where a recording starts in it). Peaks near half scale.
inline std::vector<std::int16_t> MakeMusic(double seconds, int rate = 44100)
{
    const std::int64_t frames = std::int64_t(seconds * rate);
    std::vector<std::int16_t> pcm(std::size_t(frames) * 2);
    static const double scale[] = {261.63, 293.66, 329.63, 392.00, 440.00, 523.25, 587.33, 659.25};
    std::uint32_t seed = 12345;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return double(std::int32_t(seed >> 8) - (1 << 23)) / double(1 << 23);
    };
    const int noteFrames = rate / 4;
    for (std::int64_t i = 0; i < frames; ++i) {
        const std::int64_t note = i / noteFrames;
        const double t = double(i % noteFrames) / rate, tt = double(i) / rate;
        const double f = scale[(note * 5 + note / 3) % 8], bass = scale[(note / 4) % 4] / 4;
        const double melody = std::exp(-t * 6.0)
            * (std::sin(2 * M_PI * f * tt) + 0.4 * std::sin(4 * M_PI * f * tt) + 0.2 * std::sin(6 * M_PI * f * tt));
        const double low = 0.5 * std::sin(2 * M_PI * bass * tt);
        pcm[std::size_t(i) * 2] = std::int16_t(std::lround((0.28 * melody + 0.2 * low + 0.01 * noise()) * 32767));
        pcm[std::size_t(i) * 2 + 1] = std::int16_t(std::lround((0.22 * melody + 0.24 * low + 0.01 * noise()) * 32767));
    }
    return pcm;
}

class PulseRig {
public:
    static constexpr int kRate = 44100;

    ~PulseRig() { stop(); }

    static bool Installed() { return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty(); }

    // Starts the daemon in $XDG_RUNTIME_DIR. False with the reason (and the
    // daemon's own words) when it does not come up within 15 s.
    bool start(QString* error)
    {
        // Only our daemon: no server named from outside, no autospawned one.
        unsetenv("PULSE_SERVER");
        unsetenv("PULSE_RUNTIME_PATH");
        unsetenv("PULSE_COOKIE");
        const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
        if (runtime.isEmpty() || !QDir(runtime).exists())
            return fail(error, QStringLiteral("XDG_RUNTIME_DIR does not name a folder"));
        m_fifo = runtime + QStringLiteral("/deck.fifo");
        QFile::remove(m_fifo); // the pipe source refuses a FIFO that already exists
        const QString script = runtime + QStringLiteral("/rig.pa");
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(error, QStringLiteral("cannot write ") + script);
        f.write(QStringLiteral(
                    "load-module module-native-protocol-unix\n"
                    "load-module module-null-sink sink_name=speakers sink_properties=device.description=Speakers\n"
                    "load-module module-pipe-source source_name=deck file=%1 format=s16le rate=44100 channels=2 "
                    "source_properties=\"device.description='Tape Deck'\"\n"
                    "set-default-sink speakers\nset-default-source deck\n")
                    .arg(m_fifo)
                    .toUtf8());
        f.close();
        m_daemon.setProgram(QStringLiteral("pulseaudio"));
        m_daemon.setArguments(QStringLiteral("-n --daemonize=no --system=no --exit-idle-time=-1 --use-pid-file=no "
                                             "--disallow-exit --log-target=stderr -F")
                                  .split(QLatin1Char(' '))
                              << script);
        m_daemon.setProcessChannelMode(QProcess::MergedChannels);
        m_daemon.start();
        if (!m_daemon.waitForStarted(5000))
            return fail(error, QStringLiteral("pulseaudio did not start: ") + m_daemon.errorString());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            if (m_daemon.state() != QProcess::Running)
                return fail(error, QStringLiteral("pulseaudio exited: ") + QString::fromLocal8Bit(m_daemon.readAll()));
            bool ok = false;
            const QString sources = pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")}, &ok);
            if (ok && sources.contains(QStringLiteral("deck")) && QFile::exists(m_fifo))
                return startFeeder(error);
            QThread::msleep(50);
        }
        return fail(error, QStringLiteral("pulseaudio did not answer: ") + QString::fromLocal8Bit(m_daemon.readAll()));
    }

    void stop()
    {
        m_stop = true;
        if (m_feeder.joinable())
            m_feeder.join();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000)) {
                m_daemon.kill();
                m_daemon.waitForFinished(5000);
            }
        }
    }

    QString pactl(const QStringList& args, bool* ok = nullptr)
    {
        QProcess p;
        p.start(QStringLiteral("pactl"), args);
        const bool done = p.waitForFinished(10000);
        if (!done)
            p.kill();
        if (ok)
            *ok = done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    // Adds a pipe source nobody feeds (a device that stays silent, or that
    // can be unplugged); its module number, empty on failure.
    QString addSilentSource(const QString& name, const QString& description)
    {
        bool ok = false;
        const QString module = pactl({"load-module", "module-pipe-source", "source_name=" + name,
                                      "file=" + QFileInfo(m_fifo).path() + "/" + name + ".fifo",
                                      "source_properties=device.description=" + description},
                                     &ok);
        return ok ? module.trimmed() : QString();
    }

    // What the feeder writes into the deck from now on.
    void setFeed(FeedFunction feed)
    {
        std::lock_guard<std::mutex> l(m_feedMutex);
        m_feed = std::move(feed);
    }
    // Loops a stereo buffer; frame i of the stream is pcm[(i mod length)].
    void feedLoop(std::vector<std::int16_t> pcm)
    {
        auto data = std::make_shared<std::vector<std::int16_t>>(std::move(pcm));
        setFeed([data](std::int16_t* out, int frames, std::int64_t start) {
            const std::int64_t length = std::int64_t(data->size() / 2);
            for (int i = 0; i < frames; ++i)
                std::copy_n(data->data() + std::size_t((start + i) % length) * 2, 2, out + 2 * i);
        });
    }
    // Called on the feeder thread after each block went into the pipe, with
    // the block's first frame and the time just before the write.
    void setWritten(std::function<void(std::int64_t, std::chrono::steady_clock::time_point)> written)
    {
        std::lock_guard<std::mutex> l(m_feedMutex);
        m_written = std::move(written);
    }
    // CPU time the feeder thread used (benchmarks subtract it).
    double feederCpuSeconds() const { return m_feederCpu.load(); }
    qint64 daemonPid() const { return m_daemon.processId(); }

private:
    static bool fail(QString* error, const QString& why)
    {
        if (error)
            *error = why;
        return false;
    }

    bool startFeeder(QString* error)
    {
        // A daemon that dies leaves the pipe without a reader: a write then
        // must fail with EPIPE rather than kill the test program.
        ::signal(SIGPIPE, SIG_IGN);
        m_fd = ::open(QFile::encodeName(m_fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return fail(error, QStringLiteral("cannot open the deck's pipe: ") + QString::fromLocal8Bit(strerror(errno)));
        m_stop = false;
        m_feeder = std::thread([this] { feederLoop(); });
        return true;
    }

    // Writes blocks of exactly PIPE_BUF bytes (1024 frames): a write of that
    // size into a pipe is all or nothing, so the source only ever sees whole
    // frames. Paced to real time, at most ~50 ms ahead; while nobody records
    // the pipe fills up and the feeder waits without building a backlog.
    void feederLoop()
    {
        using clock = std::chrono::steady_clock;
        using std::chrono::milliseconds;
        constexpr int kBlock = 1024;
        const auto blockTime = std::chrono::nanoseconds(std::int64_t(1e9 * kBlock / kRate));
        std::vector<std::int16_t> block(kBlock * 2);
        bool pending = false;
        auto due = clock::now();
        while (!m_stop.load()) {
            if (!pending) {
                std::lock_guard<std::mutex> l(m_feedMutex);
                if (m_feed)
                    m_feed(block.data(), kBlock, m_framesFed.load());
                else
                    std::fill(block.begin(), block.end(), 0);
                pending = true;
            }
            const auto now = clock::now();
            if (due > now + milliseconds(50)) {
                std::this_thread::sleep_for(std::min<clock::duration>(due - now - milliseconds(50), milliseconds(20)));
                continue;
            }
            const auto at = clock::now();
            const ssize_t n = ::write(m_fd, block.data(), block.size() * 2);
            if (n == ssize_t(block.size() * 2)) {
                pending = false;
                {
                    std::lock_guard<std::mutex> l(m_feedMutex);
                    if (m_written)
                        m_written(m_framesFed.load(), at);
                }
                m_framesFed += kBlock;
                due = std::max(due, now - milliseconds(100)) + blockTime;
            } else if (n < 0 && errno == EPIPE) {
                return;
            } else {
                pollfd p{m_fd, POLLOUT, 0};
                ::poll(&p, 1, 20);
                due = std::max(due, clock::now()); // no catching up after a full pipe
            }
            timespec ts;
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
            m_feederCpu.store(double(ts.tv_sec) + ts.tv_nsec / 1e9);
        }
    }

    QProcess m_daemon;
    QString m_fifo;
    int m_fd = -1;
    std::thread m_feeder;
    std::atomic<bool> m_stop{false};
    std::mutex m_feedMutex;
    FeedFunction m_feed;
    std::function<void(std::int64_t, std::chrono::steady_clock::time_point)> m_written;
    std::atomic<std::int64_t> m_framesFed{0};
    std::atomic<double> m_feederCpu{0};
};

} // namespace svtest
