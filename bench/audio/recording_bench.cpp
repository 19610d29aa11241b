// A whole recording through the record page at real speed while the other
// core is busy: frames the deck produced against frames in recording.wav,
// and the longest time the UI thread did not get round to its events.
//
//   bench_recording [seconds=600] [load=stress-ng|spin|none]
#include "app/ui/frmMain.h"
#include "support/FindChild.h"
#include "app/ui/pages/Pages.h"
#include "audioin/engine/VirtualBackend.h"
#include "settings/modXML.h"
#include "support/MsgBoxScript.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

qint64 DataFrames(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray h = f.read(44);
    if (h.size() < 44)
        return -1;
    const quint32 data = quint32(quint8(h[40])) | quint32(quint8(h[41])) << 8 | quint32(quint8(h[42])) << 16
        | quint32(quint8(h[43])) << 24;
    return data == quint32(f.size() - 44) ? qint64(data) / 4 : -2; // -2: header disagrees with the file
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
    svtest::TestEnv env;
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 600;
    const QString load = argc > 2 ? QString::fromLatin1(argv[2]) : QStringLiteral("stress-ng");

    // The other core: stress-ng when installed, else a spinning thread.
    QProcess stress;
    std::atomic<bool> spin{false};
    std::thread spinner;
    QString loadUsed = QStringLiteral("none");
    if (load == QLatin1String("stress-ng") && !QStandardPaths::findExecutable(QStringLiteral("stress-ng")).isEmpty()) {
        stress.start(QStringLiteral("stress-ng"), {QStringLiteral("--cpu"), QStringLiteral("1"), QStringLiteral("--quiet")});
        stress.waitForStarted();
        loadUsed = QStringLiteral("stress-ng --cpu 1");
    } else if (load != QLatin1String("none")) {
        spin = true;
        spinner = std::thread([&] {
            volatile unsigned long n = 0;
            while (spin)
                n = n + 1;
        });
        loadUsed = QStringLiteral("busy loop");
    }

    sv::audio::VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Bench Card"), {{QStringLiteral("Line In"), sv::audio::VirtualSignal::noise(8000), 60}}}};
    deck.speed = 1;
    sv::audio::SetEngineFactory([&] { return sv::audio::CreateVirtualEngine(deck); });
    sv::SetSettingsFile(env.dataFolder() + QStringLiteral("settings.xml"));
    QDir().mkpath(env.dataFolder());
    sv::XMLSetValue(QStringLiteral("1"), QStringLiteral("IsFirstRun"), QStringLiteral("Messages\\Startup"),
                    env.dataFolder() + QStringLiteral("settings.xml"));
    svtest::MsgBoxScript boxes;

    frmMain w;
    sv::SetMsgBoxMainWindow(&w);
    if (!w.Load())
        return 1;
    w.timWaitSec_Timer();
    RunState& st = w.State();
    st.RecordSeconds = seconds;
    st.PauseSeconds = 0;
    PageRecord* rp = w.picRecord();
    rp->Enter();

    // A 5 ms heartbeat on the UI thread: its longest gap is the longest stall.
    QElapsedTimer clock;
    qint64 last = -1, worstGap = 0, beats = 0, stopGap = 0;
    qint64 startNs = 0, stopNs = 0;
    QTimer heart;
    heart.setTimerType(Qt::PreciseTimer);
    heart.setInterval(5);
    QObject::connect(&heart, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        // Gaps while the capture runs; the one holding the stop (closing the
        // file and showing the next page) is reported on its own.
        if (last >= 0 && startNs > 0 && last >= startNs) {
            if (stopNs == 0)
                worstGap = std::max(worstGap, now - last);
            else if (last <= stopNs)
                stopGap = std::max(stopGap, now - last);
        }
        last = now;
        ++beats;
    });

    auto* rec = st.Record();
    QObject::connect(rec, &sv::audio::RecordObject::CaptureStarted, [&] { startNs = clock.nsecsElapsed(); });
    QObject::connect(rec, &sv::audio::RecordObject::CaptureCompleted, [&] {
        stopNs = clock.nsecsElapsed();
        // exit(), not quit(): quit() would ask the window to close first.
        QTimer::singleShot(0, &app, [&] { app.exit(0); });
    });
    clock.start();
    heart.start();
    const qint64 clickNs = clock.nsecsElapsed();
    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    const double clickMs = (clock.nsecsElapsed() - clickNs) / 1e6;
    if (!rec->IsCapturing()) {
        for (const auto& b : boxes.shown)
            std::fprintf(stderr, "%s: %s\n", qPrintable(b.title), qPrintable(b.text));
        std::fprintf(stderr, "the recording did not start\n");
        return 1;
    }
    app.exec();
    heart.stop();

    spin = false;
    if (spinner.joinable())
        spinner.join();
    if (stress.state() != QProcess::NotRunning) {
        stress.terminate();
        stress.waitForFinished(5000);
    }

    const double captured = (stopNs - startNs) / 1e9;
    const qint64 expected = qint64(captured * 44100.0);
    const qint64 written = DataFrames(st.RecordingPath);
    std::printf("load                      %s\n", qPrintable(loadUsed));
    std::printf("profile length            %d s\n", seconds);
    std::printf("capture ran (wall)        %.3f s\n", captured);
    std::printf("frames expected (wall)    %lld\n", static_cast<long long>(expected));
    std::printf("frames written (file)     %lld\n", static_cast<long long>(written));
    std::printf("difference                %lld frames (%.1f ms)\n", static_cast<long long>(expected - written),
                (expected - written) / 44.1);
    std::printf("engine count              %lld\n", static_cast<long long>(rec->FramesWritten()));
    std::printf("ended on page             %s\n", qPrintable(w.IsPageVisible(w.picWaveform()) ? "picWaveform" : "other"));
    std::printf("UI heartbeats (5 ms)      %lld\n", static_cast<long long>(beats));
    std::printf("Record click              %.1f ms\n", clickMs);
    std::printf("longest UI stall          %.1f ms (while recording)\n", worstGap / 1e6);
    std::printf("stop and hand-over        %.1f ms\n", stopGap / 1e6);
    sv::SetMsgBoxMainWindow(nullptr);
    return written > 0 ? 0 : 2;
}
