// Track detection on generated recordings. Audio and Image: 4000 frames a second, one image column
// per 80 frames at scale 50. Bands: tape-like sides at real rates, boundaries to +-50 ms.
#include "support/TestEnv.h"
#include "tracks/WavGen.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "tracks/TrackDetect.h"

#include <QtTest>

#include <cmath>
#include <random>

using namespace sv;
using namespace svtest;

namespace {
constexpr int Rate = 4000;

// A tape side from pieces "kind+seconds": g hiss and hum only, z digital silence, t chords (notes
// that swell and decay), n noise music, q a soft 1 kHz tone, f the chords fading 60 dB into the
// hiss, c hiss with a click every quarter second. All but z lie under hiss (-51 dBFS) and hum.
struct Tape { int rate = 44100, channels = 2; double hum = 50; };

bool writeTape(const QString& path, const QString& desc, const Tape& tape = {})
{
    struct Piece { QChar kind; std::int64_t begin, end; };
    std::vector<Piece> pieces;
    std::int64_t total = 0;
    for (const QString& tok : desc.split(' ', Qt::SkipEmptyParts)) {
        const std::int64_t n = std::llround(tok.mid(1).toDouble() * tape.rate);
        pieces.push_back({tok[0], total, total + n});
        total += n;
    }
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> uni(-1, 1);
    const double twoPi = 2 * M_PI;
    std::size_t i = 0;
    double hissSample = 0;
    const WavSpec fmt{.channels = tape.channels, .rate = tape.rate};
    return writeWav(path, fmt, total, [&](std::int64_t k, int channel) {
        while (k >= pieces[i].end)
            ++i;
        const Piece& p = pieces[i];
        if (p.kind == 'z')
            return 0;
        if (channel == 0)
            hissSample = 150 * uni(rng);
        const double t = double(k) / tape.rate, local = double(k - p.begin) / tape.rate;
        double v = hissSample + 200 * std::sin(twoPi * tape.hum * t) + 40 * std::sin(twoPi * 3 * tape.hum * t);
        const double note = 0.45 + 0.55 * std::exp(-std::fmod(local, 0.5) * 4);
        const auto chords = [&] {
            return 2500 * note * (std::sin(twoPi * 220 * t) + std::sin(twoPi * 554 * t) + std::sin(twoPi * 1318 * t));
        };
        switch (p.kind.toLatin1()) {
        case 't': v += chords(); break;
        case 'n': v += 7000 * note * uni(rng); break;
        case 'q': v += 250 * std::sin(twoPi * 1000 * t); break;
        case 'f': v += chords() * std::pow(10.0, -3.0 * local / ((p.end - p.begin) / double(tape.rate))); break;
        case 'c': if ((k - p.begin) % (tape.rate / 4) == tape.rate / 8) v = 20000; break;
        }
        return int(std::lround(std::clamp(v, -32768.0, 32767.0)));
    });
}

// "2-22 22.6-37.6 2-25~34": boundaries in seconds, a start within 50 ms, an end from 50 ms before
// to 100 ms after (an abrupt stop gets a short decay), or either inside a range lo~hi.
QString checkTracks(const QVector<TimeSpan>& got, const QString& expected)
{
    const QStringList want = expected.split(' ', Qt::SkipEmptyParts);
    QStringList have;
    for (const TimeSpan& t : got)
        have << QString("%1-%2").arg(t.start, 0, 'f', 3).arg(t.end, 0, 'f', 3);
    if (want.size() != got.size())
        return "tracks " + have.join(' ');
    const auto within = [](double v, const QString& w, double after) {
        const QStringList r = w.split('~');
        return r.size() == 2 ? v >= r[0].toDouble() && v <= r[1].toDouble()
                             : v >= w.toDouble() - 0.05 && v <= w.toDouble() + after;
    };
    for (int i = 0; i < want.size(); ++i) {
        const QStringList se = want[i].split('-');
        if (!within(got[i].start, se[0], 0.05) || !within(got[i].end, se[1], 0.1))
            return "tracks " + have.join(' ');
    }
    return "ok";
}

QVector<TimeSpan> bandsOf(const QString& file, int hiss = 25, double samples = 0.5, double minTrack = 10)
{
    WaveSamples w;
    BandLevels levels;
    if (w.open(file) != WaveStatus::Ok || !ComputeBandLevels(w, levels))
        return {{-1, -1}};
    return BandsTracks(levels, hiss, samples, minTrack);
}

QString describe(const DetectResult& r)
{
    QStringList out;
    for (const TrackSpan& t : r.tracks)
        out << QString("%1-%2").arg(t.start).arg(t.end);
    return out.join(' ') + (r.message == TrackMsg::NoRecording         ? "!"
                            : r.message == TrackMsg::RecordingTooShort ? "short"
                                                                       : "");
}
} // namespace

class TestDetect : public QObject {
    Q_OBJECT
    TestEnv env;

    // The window methods with the old minimum length, for the rows below.
    static DetectSettings windowed() { DetectSettings s; s.minTrackLength = 35; return s; }

    QString run(const QString& file, DetectMethod method, DetectSettings s = windowed())
    {
        WaveSamples samples;
        Waveform w;
        if (samples.open(file) != WaveStatus::Ok || w.draw(samples) != WaveStatus::Ok)
            return "unreadable";
        s.method = method;
        return describe(DetectTracks(w, &samples, s));
    }

private Q_SLOTS:
    void initTestCase() { SetSettingsFile(UserDataFolder() + "settings.xml"); }

    void bands()
    {
        struct Row { const char* tape; const char* tracks; int rate = 44100, channels = 2; };
        const Row rows[] = {
            {"g2 t20 g0.6 t15 g1 t18 g3 t12 g2", "2-22 22.6-37.6 38.6-56.6 59.6-71.6"}, // gaps of 0.6 to 3 s
            {"g1.5 n30 g1.2 n20 g2", "1.5-31.5 32.7-52.7"},  // noise music
            {"g2 t15 q4 t15 g2", "2-36"},                    // quiet passage inside a track
            {"g2 n15 g0.4 n15 g2", "2-32.4"},                // dip shorter than the gap
            // The fade is under the hiss from about 5 s on; none of it may be lost.
            {"g2 t20 f8 g4 t15 g2", "2-27~34 34-49"},
            {"g2 t15 c3 t15 g2", "2-17 20-35"},              // clicks in a gap
            {"z10 g2 t15 g1 t15 g2", "12-27 28-43"},         // digital silence before the tape
            {"g2 t20 g0.6 n15 g2", "2-22 22.6-37.6", 48000},
            {"g2 t20 g0.6 n15 g2", "2-22 22.6-37.6", 44100, 1}, // mono, 60 Hz hum
            {"t40", "0-40"},                                 // no gap at all
            // A short song 1 s from one and 5 s from the other joins the near one; far from both, it goes.
            {"g2 t20 g1 t5 g5 t20 g2", "2-28 33-53"},
            {"g2 t20 g5 t5 g5 t20 g2", "2-22 37-57"},
        };
        const QString f = env.tmp() + "tape.wav";
        for (const Row& r : rows) {
            QVERIFY(writeTape(f, r.tape, {r.rate, r.channels, r.channels == 1 ? 60.0 : 50.0}));
            const QString got = checkTracks(bandsOf(f), r.tracks);
            QVERIFY2(got == "ok", qPrintable(r.tape + (": " + got)));
        }
    }

    // Hiss caps the quiet level, Samples is the shortest gap, MinTrackLength the shortest track.
    void bandsSettings()
    {
        struct Row { int hiss; double samples, minTrack; const char* tracks; };
        const Row rows[] = {
            {25, 0.5, 10, "2-22 22.6-34.6 37.6-52.6"}, // the 2 s piece joins the song 1 s before it
            {25, 1.0, 10, "2-34.6 37.6-52.6"},         // a gap of 1 s: the 0.6 s gap joins
            {25, 0.5, 13, "2-34.6 37.6-52.6"},         // the 12 s song joins its neighbour 0.6 s away
            {25, 0.5, 25, "2-52.6"},                   // everything within 3 s joins
            {1, 0.5, 10, "0-54.6"},                    // a level at or above the hiss is never quiet
        };
        const QString f = env.tmp() + "settings.wav";
        QVERIFY(writeTape(f, "g2 t20 g0.6 t12 g3 n12 g1 t2 g2"));
        for (const Row& r : rows) {
            const QString got = checkTracks(bandsOf(f, r.hiss, r.samples, r.minTrack), r.tracks);
            QVERIFY2(got == "ok", qPrintable(QString("%1 %2 %3: ").arg(r.hiss).arg(r.samples).arg(r.minTrack) + got));
        }
    }

    // The same tape through the three methods, as markers (DrawScale 50): the
    // quiet passage (250 against a hiss level of 875) splits the windowed ones.
    void methods()
    {
        const QString f = env.tmp() + "methods.wav";
        QVERIFY(writeTape(f, "g2 t15 q4 t15 g2"));
        DetectSettings s;
        QCOMPARE(run(f, DetectMethod::Bands, s), QString("99-1802"));
        s.minTrackLength = 10;
        QCOMPARE(run(f, DetectMethod::Audio, s) + " / " + run(f, DetectMethod::Image, s),
                 QString("78-884 1040-1846 / 78-884 1040-1846"));
        // Hiss only: one track over everything and the message.
        QVERIFY(writeTape(f, "g20"));
        QCOMPARE(run(f, DetectMethod::Bands, DetectSettings{}), QString("15-880!"));
    }

    // Levels computed once serve any number of detections; a cancelled pass leaves nothing behind.
    void levelsReused()
    {
        const QString f = env.tmp() + "reuse.wav";
        QVERIFY(writeTape(f, "g2 t15 g1 t15 g2"));
        WaveSamples samples;
        QCOMPARE(samples.open(f), WaveStatus::Ok);
        Waveform w;
        QCOMPARE(w.draw(samples), WaveStatus::Ok);
        BandLevels levels;
        QVERIFY(!ComputeBandLevels(samples, levels, [](std::int64_t, std::int64_t) { return false; }));
        QVERIFY(!levels.isComputed());
        QCOMPARE(describe(DetectTracks(w, &samples, {}, {}, &levels)), QString("99-854 899-1652"));
        QVERIFY(levels.isComputed());
        DetectSettings s;
        s.samples = 2;
        QCOMPARE(describe(DetectTracks(w, &samples, s, {}, &levels)), QString("99-1652"));
    }

    void markers()
    {
        const WaveScale scale(20, 100);
        QCOMPARE(SpansFromSeconds({{1.234, 20.026}, {50, 120}, {3, 3.01}}, scale),
                 (QVector<TrackSpan>{{25, 401}, {1000, 2000}}));
    }

    void recordings()
    {
        struct Row { std::vector<Segment> recording; const char* audio; const char* image; };
        const Row rows[] = {
            // A track ends at the end of its first completely silent window.
            {{{40, 8000}, {30, 0}, {20, 8000}}, "0-2028", "0-2028"},                 // the 20 s song goes
            {{{20, 8000}, {0.45, 0}, {20, 8000}, {4.55, 0}}, "0-2054", "0-2054"},    // gap under a window
            {{{60, 8000}}, "0-2996", "0-2996"},                                      // loud to the end
            {{{60, 0}}, "15-2880!", "15-2880!"},                                     // one track, the message
            // The picture sees one frame per column: here always a negative one.
            {{{40, 8000}, {3, 8000, 'a'}, {40, 8000}, {7, 0}}, "0-4186", "0-2028 2132-4186"},
            {{{60, 8000, 'n'}}, "0-2996", "15-2880!"},
            {{{60, 874}}, "15-2880!", "0-2996"},                                     // just under the hiss
            {{{0.3, 8000}}, "short", "short"},                                       // 0 whole seconds
        };
        const QString f = env.tmp() + "rec.wav";
        for (const Row& r : rows) {
            QVERIFY(writeSegments(f, r.recording, Rate));
            const QString got = run(f, DetectMethod::Audio) + " / " + run(f, DetectMethod::Image);
            QVERIFY2(got == QString(r.audio) + " / " + r.image, qPrintable(QString::number(&r - rows) + ": " + got));
        }
    }
};

QTEST_GUILESS_MAIN(TestDetect)
#include "tst_detect.moc"
