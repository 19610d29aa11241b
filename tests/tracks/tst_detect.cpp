// Track detection on generated recordings with known answers.
// Audio and Image: recordings at 4000 frames per second, 80 frames per image
// unit at scale 50, so one column of the image is exactly one frame of 80.
// Bands: tape-like recordings (hiss, hum, music of tones or noise, fades,
// clicks) at real rates, boundaries to +-50 ms where the signal sets them.
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

// "40:8000 3:a8000 20:0": seconds:amplitude, an "a" or "n" before the
// amplitude for the kinds of segment (WavGen.h).
bool writeRecording(const QString& path, const QString& desc)
{
    std::vector<Segment> segs;
    for (const QString& tok : desc.split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = tok.split(':');
        const bool kind = parts[1][0].isLetter();
        segs.push_back({parts[0].toDouble(), parts[1].mid(kind).toInt(), kind ? parts[1][0].toLatin1() : 's'});
    }
    return writeSegments(path, segs, Rate);
}


// A tape side from pieces "kind+seconds": g hiss and hum only, z digital
// silence, t chords (notes that swell and decay, never silent), n noise
// music, q a quiet passage (a soft 1 kHz tone), f the chords fading 60 dB
// into the hiss, c hiss with a click every quarter second. Every piece but
// z lies under hiss (about -51 dBFS) and mains hum.
struct Tape {
    int rate = 44100;
    int channels = 2;
    double hum = 50;
};

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
    WavSpec fmt;
    fmt.rate = tape.rate;
    fmt.channels = tape.channels;
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

// "2-22 22.6-37.6 2-25~34": track boundaries in seconds, a start within
// 50 ms, an end from 50 ms before to 100 ms after (an abrupt stop gets the
// short decay of a fade), or either inside a range lo~hi.
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
    QString s = out.join(' ');
    if (r.message == TrackMsg::NoRecording)
        s += '!';
    if (r.message == TrackMsg::RecordingTooShort)
        s += "short";
    return s;
}
} // namespace

class TestDetect : public QObject {
    Q_OBJECT
    TestEnv env;

    // The window methods with the old minimum length, for the rows below.
    static DetectSettings windowed()
    {
        DetectSettings s;
        s.minTrackLength = 35;
        return s;
    }

    QString run(const QString& file, DetectMethod method, DetectSettings s = windowed())
    {
        WaveSamples samples;
        if (samples.open(file) != WaveStatus::Ok)
            return "unreadable";
        Waveform w;
        if (w.draw(samples) != WaveStatus::Ok)
            return "not drawn";
        s.method = method;
        return describe(DetectTracks(w, &samples, s));
    }

private Q_SLOTS:
    void initTestCase() { SetSettingsFile(UserDataFolder() + "settings.xml"); }

    void bands_data()
    {
        QTest::addColumn<QString>("tape");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("tracks");
        QTest::newRow("tone music, gaps of 0.6 to 3 s")
            << "g2 t20 g0.6 t15 g1 t18 g3 t12 g2" << 44100 << 2 << "2-22 22.6-37.6 38.6-56.6 59.6-71.6";
        QTest::newRow("noise music") << "g1.5 n30 g1.2 n20 g2" << 44100 << 2 << "1.5-31.5 32.7-52.7";
        QTest::newRow("quiet passage inside a track") << "g2 t15 q4 t15 g2" << 44100 << 2 << "2-36";
        QTest::newRow("dip shorter than the gap") << "g2 n15 g0.4 n15 g2" << 44100 << 2 << "2-32.4";
        // The fade is under the hiss from about 5 s on; none of it may be lost.
        QTest::newRow("fade-out into hiss") << "g2 t20 f8 g4 t15 g2" << 44100 << 2 << "2-27~34 34-49";
        QTest::newRow("clicks in a gap") << "g2 t15 c3 t15 g2" << 44100 << 2 << "2-17 20-35";
        QTest::newRow("digital silence before the tape")
            << "z10 g2 t15 g1 t15 g2" << 44100 << 2 << "12-27 28-43";
        QTest::newRow("48 kHz") << "g2 t20 g0.6 n15 g2" << 48000 << 2 << "2-22 22.6-37.6";
        QTest::newRow("mono, 60 Hz hum") << "g2 t20 g0.6 n15 g2" << 44100 << 1 << "2-22 22.6-37.6";
        QTest::newRow("no gap at all") << "t40" << 44100 << 2 << "0-40";
        QTest::newRow("short song 1 s from one, 5 s from the other, joins the near one")
            << "g2 t20 g1 t5 g5 t20 g2" << 44100 << 2 << "2-28 33-53";
        QTest::newRow("short song far from both goes") << "g2 t20 g5 t5 g5 t20 g2" << 44100 << 2 << "2-22 37-57";
    }
    void bands()
    {
        QFETCH(QString, tape);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(QString, tracks);
        const QString f = env.tmp() + "tape.wav";
        QVERIFY(writeTape(f, tape, {rate, channels, channels == 1 ? 60.0 : 50.0}));
        QCOMPARE(checkTracks(bandsOf(f), tracks), QString("ok"));
    }

    // Hiss caps the quiet level, Samples is the shortest gap, MinTrackLength
    // the shortest track.
    void bandsSettings_data()
    {
        QTest::addColumn<int>("hiss");
        QTest::addColumn<double>("samples");
        QTest::addColumn<double>("minTrack");
        QTest::addColumn<QString>("tracks");
        // The 2 s piece joins the song 1 s before it.
        QTest::newRow("defaults") << 25 << 0.5 << 10.0 << "2-22 22.6-34.6 37.6-52.6";
        QTest::newRow("gap of 1 s: the 0.6 s gap joins") << 25 << 1.0 << 10.0 << "2-34.6 37.6-52.6";
        QTest::newRow("min length 13: the 12 s song joins its neighbour 0.6 s away")
            << 25 << 0.5 << 13.0 << "2-34.6 37.6-52.6";
        QTest::newRow("min length 25: everything within 3 s joins")
            << 25 << 0.5 << 25.0 << "2-52.6";
        // A level at or above the hiss setting is never quiet: no gap at all.
        QTest::newRow("hiss 1") << 1 << 0.5 << 10.0 << "0-54.6";
    }
    void bandsSettings()
    {
        QFETCH(int, hiss);
        QFETCH(double, samples);
        QFETCH(double, minTrack);
        QFETCH(QString, tracks);
        const QString f = env.tmp() + "settings.wav";
        if (!QFile::exists(f))
            QVERIFY(writeTape(f, "g2 t20 g0.6 t12 g3 n12 g1 t2 g2"));
        QCOMPARE(checkTracks(bandsOf(f, hiss, samples, minTrack), tracks), QString("ok"));
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
        QCOMPARE(run(f, DetectMethod::Audio, s), QString("78-884 1040-1846"));
        QCOMPARE(run(f, DetectMethod::Image, s), QString("78-884 1040-1846"));
        // Off: one track over everything, whatever the method.
        s.autoSplit = false;
        QCOMPARE(run(f, DetectMethod::Bands, s), QString("15-1780"));
        // Hiss only: one track over everything and the message.
        QVERIFY(writeTape(f, "g20"));
        QCOMPARE(run(f, DetectMethod::Bands, DetectSettings{}), QString("15-880!"));
    }

    // Levels computed once serve any number of detections; a cancelled pass
    // leaves nothing behind.
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
        QCOMPARE(levels.blocks(), 35 * 44100 / 440);
        // Without the samples, the stored levels alone.
        DetectSettings s;
        s.samples = 2;
        QCOMPARE(describe(DetectTracks(w, nullptr, s, {}, &levels)), QString("99-1652"));
    }

    void markers()
    {
        const WaveScale scale(20, 100);
        QCOMPARE(SpansFromSeconds({{1.234, 20.026}, {50, 120}, {3, 3.01}}, scale),
                 (QVector<TrackSpan>{{25, 401}, {1000, 2000}}));
    }

    void recordings_data()
    {
        QTest::addColumn<QString>("recording");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("image");
        // A track ends at the end of its first completely silent window.
        QTest::newRow("40 s song, 30 s gap, 20 s song dropped")
            << "40:8000 30:0 20:8000" << "0-2028" << "0-2028";
        QTest::newRow("gap shorter than a window never ends a track")
            << "20:8000 0.45:0 20:8000 4.55:0" << "0-2054" << "0-2054";
        QTest::newRow("loud to the end: 20 units before the last window's end")
            << "60:8000" << "0-2996" << "0-2996";
        QTest::newRow("all silence: one track and the message") << "60:0" << "15-2880!" << "15-2880!";
        // The picture sees one frame per column: here always a negative one.
        QTest::newRow("passage the image splits and the audio keeps")
            << "40:8000 3:a8000 40:8000 7:0" << "0-4186" << "0-2028 2132-4186";
        QTest::newRow("negative-only swing") << "60:n8000" << "0-2996" << "15-2880!";
        QTest::newRow("just under the hiss level") << "60:874" << "15-2880!" << "0-2996";
        QTest::newRow("0 whole seconds") << "0.3:8000" << "short" << "short";
    }
    void recordings()
    {
        QFETCH(QString, recording);
        QFETCH(QString, audio);
        QFETCH(QString, image);
        const QString f = env.tmp() + "rec.wav";
        QVERIFY(writeRecording(f, recording));
        QCOMPARE(run(f, DetectMethod::Audio), audio);
        QCOMPARE(run(f, DetectMethod::Image), image);
    }
};

QTEST_GUILESS_MAIN(TestDetect)
#include "tst_detect.moc"
