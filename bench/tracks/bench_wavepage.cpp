// bench_wavepage [FILE.wav] [runs]: WaveFormStep on a recording (default: a
// generated 46-minute stereo side in the temporary folder), in the main
// window on the offscreen platform. Reports the time until the markers are
// shown and the longest pause of the window's event loop meanwhile (a 10 ms
// timer stands in for the repaints).
#include "app/ui/RunState.h"
#include "app/ui/frmMain.h"
#include "app/ui/pages/PageRecord.h"
#include "app/ui/pages/PageWaveform.h"
#include "audioin/engine/VirtualBackend.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void le(QByteArray& b, quint32 v, int n)
{
    for (int i = 0; i < n; ++i)
        b.append(char((v >> (8 * i)) & 0xff));
}

// 46 minutes: eleven 4-minute tones with 10-second gaps of faint hiss, then
// silence, written in pieces.
bool writeSide(const QString& path)
{
    const qint64 rate = 44100, frames = 2760 * rate;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray h("RIFF");
    le(h, quint32(36 + frames * 4), 4);
    h += "WAVEfmt ";
    le(h, 16, 4); le(h, 1, 2); le(h, 2, 2); le(h, rate, 4); le(h, rate * 4, 4); le(h, 4, 2); le(h, 16, 2);
    h += "data";
    le(h, quint32(frames * 4), 4);
    f.write(h);
    std::vector<qint16> buf;
    const qint64 piece = rate * 10;
    std::srand(1);
    for (qint64 k0 = 0; k0 < frames; k0 += piece) {
        const qint64 n = std::min(piece, frames - k0);
        buf.resize(size_t(n * 2));
        for (qint64 i = 0; i < n; ++i) {
            const double t = double(k0 + i) / rate;
            const bool song = std::fmod(t, 250.0) < 240.0 && t < 2750;
            const double a = song ? (0.2 + 0.1 * std::sin(t / 7)) * 32767 : 60.0 * (std::rand() / double(RAND_MAX) - 0.5);
            buf[size_t(2 * i)] = qint16(a * (song ? std::sin(2 * M_PI * 440 * t) : 1));
            buf[size_t(2 * i + 1)] = qint16(a * (song ? std::sin(2 * M_PI * 330 * t) : 1));
        }
        f.write(reinterpret_cast<const char*>(buf.data()), qint64(buf.size() * 2));
    }
    return f.error() == QFile::NoError;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/sv-bench-XXXXXX"));
    for (const char* sub : {"data", "run"})
        QDir(home.path()).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(home.path() + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (home.path() + "/run").toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QString wav = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (wav.isEmpty()) {
        wav = home.path() + QStringLiteral("/recording.wav");
        std::printf("generating a 46-minute side...\n");
        if (!writeSide(wav))
            return 1;
    }

    sv::audio::SetEngineFactory([] {
        sv::audio::VirtualDeck deck = sv::audio::VirtualDeck::Demo();
        return sv::audio::CreateVirtualEngine(deck);
    });
    int boxes = 0;
    sv::SetMsgBoxResponder([&boxes](const sv::MsgBoxShown& b) {
        ++boxes;
        std::printf("box: %s: %s\n", qPrintable(b.title), qPrintable(b.text));
        return int(sv::vbOK);
    });
    // No first-run dialog: it would wait for a click inside the page's work.
    sv::SetSettingsFile(sv::UserDataFolder() + QStringLiteral("settings.xml"));
    sv::XMLSetValue(QStringLiteral("1"), QStringLiteral("IsFirstRun"), QStringLiteral("Messages\\Startup"), QString());
    frmMain w;
    if (!w.Load())
        return 1;
    w.timWaitSec.stop();
    w.timWaitSec_Timer();
    w.resize(900, 650);
    w.State().RecordingPath = wav;

    std::printf("run  total_ms  longest_pause_ms  tracks\n");
    for (int r = 0; r < runs; ++r) {
        w.ShowPage(w.picRecord());
        QElapsedTimer clock, since;
        qint64 longest = 0;
        QTimer tick;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, since.restart());
        });
        clock.start();
        since.start();
        tick.start();
        w.picWaveform()->WaveFormStep();
        longest = std::max(longest, since.elapsed());
        tick.stop();
        std::printf("%3d  %8lld  %16lld  %6d\n", r + 1, clock.elapsed(), longest, w.picWaveform()->TrackCount());
    }
    sv::SetMsgBoxResponder({});
    return boxes ? 2 : 0;
}
