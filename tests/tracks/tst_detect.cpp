// Track detection on generated recordings with known gaps, both methods.
// Recordings run at 4000 frames per second: 80 frames per image unit at scale
// 50, so one column of the image is exactly one frame of every 80.
#include "support/TestEnv.h"
#include "tracks/WavGen.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "tracks/TrackDetect.h"

#include <QtTest>

using namespace sv;
using namespace svtest;

namespace {
constexpr int Rate = 4000;

// "40:8000 3:a8000 20:0": seconds:amplitude; "a" alternates the sign every
// frame (even frames negative), "n" swings only below zero; plain is a
// 40 Hz square wave.
bool writeRecording(const QString& path, const QString& desc, int channels = 2)
{
    struct Seg { std::int64_t end; int amp; QChar kind; };
    std::vector<Seg> segs;
    std::int64_t total = 0;
    for (const QString& tok : desc.split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = tok.split(':');
        QString amp = parts[1];
        QChar kind = 's';
        if (amp[0].isLetter()) {
            kind = amp[0];
            amp = amp.mid(1);
        }
        total += std::int64_t(parts[0].toDouble() * Rate + 0.5);
        segs.push_back({total, amp.toInt(), kind});
    }
    WavSpec fmt;
    fmt.rate = Rate;
    fmt.channels = channels;
    std::size_t i = 0;
    return writeWav(path, fmt, total, [&](std::int64_t k, int) {
        while (k >= segs[i].end)
            ++i;
        const Seg& s = segs[i];
        const bool up = (k / 50) % 2 == 0;
        if (s.kind == 'a')
            return k % 2 ? s.amp : -s.amp;
        if (s.kind == 'n')
            return up ? 0 : -s.amp;
        return up ? s.amp : -s.amp;
    });
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

    QString run(const QString& file, DetectMethod method, DetectSettings s = {})
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
        QTest::newRow("short track dropped, long one kept")
            << "30:8000 10:0 40:8000 10:0" << "1976-4030" << "1976-4030";
        QTest::newRow("loud to the end: 20 units before the last window's end")
            << "60:8000" << "0-2996" << "0-2996";
        QTest::newRow("all silence: one track and the message") << "60:0" << "15-2880!" << "15-2880!";
        // The picture sees one frame per column: here always a negative one.
        QTest::newRow("passage the image splits and the audio keeps")
            << "40:8000 3:a8000 40:8000 7:0" << "0-4186" << "0-2028 2132-4186";
        QTest::newRow("negative-only swing") << "60:n8000" << "0-2996" << "15-2880!";
        QTest::newRow("exactly the hiss level") << "60:875" << "0-2996" << "0-2996";
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

    // A mono frame counts its sample twice.
    void mono_data()
    {
        QTest::addColumn<int>("amplitude");
        QTest::addColumn<QString>("audio");
        QTest::newRow("875") << 875 << "0-2996";
        QTest::newRow("874") << 874 << "15-2880!";
    }
    void mono()
    {
        QFETCH(int, amplitude);
        QFETCH(QString, audio);
        const QString f = env.tmp() + "mono.wav";
        QVERIFY(writeRecording(f, QString("60:%1").arg(amplitude), 1));
        QCOMPARE(run(f, DetectMethod::Audio), audio);
    }

    // Window j covers frames ceil(26 j x 80) to ceil(26 (j + 1) x 80) - 1; the
    // track runs on to the end of the silent window after it.
    void windowSpan_data()
    {
        QTest::addColumn<int>("frame");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("image");
        QTest::newRow("first frame of window 10") << 20800 << 20000 << "260-312" << "260-312";
        QTest::newRow("last frame of window 9, between columns") << 20799 << 20000 << "234-286" << "15-2880!";
        QTest::newRow("downward click") << 20800 << -20000 << "260-312" << "15-2880!";
    }
    void windowSpan()
    {
        QFETCH(int, frame);
        QFETCH(int, level);
        QFETCH(QString, audio);
        QFETCH(QString, image);
        const QString f = env.tmp() + "click.wav";
        WavSpec fmt;
        fmt.rate = Rate;
        QVERIFY(writeWav(f, fmt, 60 * Rate, [&](std::int64_t k, int) { return k == frame ? level : 0; }));
        DetectSettings s;
        s.minTrackLength = 0;
        QCOMPARE(run(f, DetectMethod::Audio, s), audio);
        QCOMPARE(run(f, DetectMethod::Image, s), image);
    }

    void options()
    {
        const QString f = env.tmp() + "opt.wav";
        QVERIFY(writeRecording(f, "40:8000 30:0 40:8000"));
        DetectSettings s;
        s.autoSplit = false;
        QCOMPARE(run(f, DetectMethod::Audio, s), QString("15-5380"));
        s = {};
        s.minTrackLength = 10;
        s.samples = 0; // one unit per window still ends
        QCOMPARE(run(f, DetectMethod::Audio, s), QString("0-2001 3500-5480"));
        s = {};
        s.hiss = 300; // 8000 is below 2 x 300 x 35
        QCOMPARE(run(f, DetectMethod::Audio, s), QString("15-5380!"));
        QCOMPARE(run(f, DetectMethod::Image, s), QString("15-5380!"));
    }

    void settings()
    {
        DetectSettings d = LoadDetectSettings();
        QCOMPARE(d.hiss, 25);
        QCOMPARE(d.samples, 0.5);
        QCOMPARE(d.minTrackLength, 35);
        QCOMPARE(d.method, DetectMethod::Audio);
        QVERIFY(d.autoSplit);
        QCOMPARE(DetectWindowFor(d.samples, 50), 25);
        QCOMPARE(DetectWindowFor(0.3, 35), 10);
        QCOMPARE(DetectWindowFor(-1, 50), 0);

        const QString sec = "Advanced\\Track Detection";
        QVERIFY(XMLSetValue("30.7", "Hiss", sec, ""));
        QVERIFY(XMLSetValue(".3", "Samples", sec, ""));
        QVERIFY(XMLSetValue("20", "MinTrackLength", sec, ""));
        QVERIFY(XMLSetValue("image", "Method", sec, ""));
        QVERIFY(XMLSetValue("0", "AutoSplit", "WaveformOptions", ""));
        d = LoadDetectSettings();
        QCOMPARE(d.hiss, 30);
        QCOMPARE(d.samples, 0.3);
        QCOMPARE(d.minTrackLength, 20);
        QCOMPARE(d.method, DetectMethod::Image);
        QVERIFY(!d.autoSplit);
        QVERIFY(XMLSetValue("Spectral", "Method", sec, ""));
        QCOMPARE(LoadDetectSettings().method, DetectMethod::Audio);
    }
};

QTEST_GUILESS_MAIN(TestDetect)
#include "tst_detect.moc"
