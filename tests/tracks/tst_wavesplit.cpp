// The split into track files, on generated files.
#include "support/TestEnv.h"
#include "tracks/WavGen.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "tracks/modWaveSplit.h"

#include <QDir>
#include <cerrno>
#include <limits>
#include <QtTest>

using namespace sv;
using namespace svtest;

class TestWaveSplit : public QObject {
    Q_OBJECT
    TestEnv env;
    QString dir;

    QString path(const QString& name) const { return dir + name; }
    QString folder(const QString& name) const { return QDir().mkpath(dir + name) ? dir + name : QString(); }

private Q_SLOTS:
    void initTestCase()
    {
        SetSettingsFile(UserDataFolder() + "settings.xml");
        dir = env.tmp() + "split/";
        QDir().mkpath(dir);
    }

    // Every track holds exactly the bytes of its stretch, also behind an extra chunk, and nothing past
    // the end of the data; its header is checked against one built field by field.
    void splitExactBytes()
    {
        const WavSpec s{.rate = 1000, .beforeData = chunk("LIST", QByteArray(20, 'z'))};
        const std::int64_t frames = 5 * 1000 + 300;
        const QByteArray data = wavData(s, frames, [](std::int64_t k, int c) { return int((k * 7 + c * 13) % 65536) - 32768; });
        const QString rec = path("rec.wav");
        QVERIFY(writeFile(rec, wavHeader(s, data.size()) + data));
        WaveHeader h;
        QCOMPARE(ReadWaveHeader(rec, h), WaveStatus::Ok);

        const QString out = folder("out1/");
        QVERIFY(writeFile(out + "Track 1.wav", QByteArray(100000, 'q'))); // an older, longer take is replaced
        const QVector<SplitItem> tracks{{0, 2}, {1, 3}, {4, 0}, {3, 9}, {7, 2}};
        int calls = 0;
        const SplitResult r = SplitAllTracks(h, tracks, out, 777, [&](const SplitProgressInfo& p) {
            ++calls;
            return p.count == 5;
        });
        QCOMPARE(r.status, WaveStatus::Ok);
        QCOMPARE(r.files.size(), 5);
        QVERIFY(calls > 10); // progress in pieces, not per track
        for (int i = 0; i < tracks.size(); ++i) {
            QCOMPARE(r.files[i], out + QString("Track %1.wav").arg(i + 1));
            const qint64 from = tracks[i].start * 4000;
            const qint64 len = qBound<qint64>(0, std::min<qint64>(tracks[i].length * 4000, data.size() - from), data.size());
            QCOMPARE(readFile(r.files[i]), wavHeader(WavSpec{2, 1000}, len) + data.mid(from, len));
        }
        QCOMPARE(WaveHeaderBytes(1, 8000, 8, 10), wavHeader(WavSpec{1, 8000, 8}, 10));
        QCOMPARE(readFile(r.files[2]).size(), 44); // zero length: header only
        QCOMPARE(readFile(r.files[4]).size(), 44); // starts past the data
    }

    void failuresAndCancel()
    {
        QVERIFY(writeWav(path("c.wav"), WavSpec{.rate = 100}, 500, {}));
        WaveHeader h;
        QCOMPARE(ReadWaveHeader(path("c.wav"), h), WaveStatus::Ok);

        const QString out = folder("out3/");
        SplitResult r = SplitAllTracks(h, {{0, 2}, {2, 2}}, out, 100, [](const SplitProgressInfo& p) {
            return !(p.track == 2 && p.bytesDone >= 200);
        });
        QCOMPARE(r.status, WaveStatus::Canceled);
        QCOMPARE(r.files, QStringList{out + "Track 1.wav"});
        QVERIFY(!QFile::exists(out + "Track 2.wav") && !QFile::exists(out + "Track 2.wav.part"));

        QFile::remove(path("c.wav"));
        r = SplitAllTracks(h, {{0, 1}}, out, 1000);
        QCOMPARE(r.status, WaveStatus::OpenFailed);
        // A quota reads as "Disk full" (61) like a full disk, not as a general failure.
        QCOMPARE(ClassicErrorNumber(WaveStatus::WriteFailed, EDQUOT), 61);
    }
    // Tracks are cut where their markers' edges stand (1.6 s, not 2 s); neighbours share an edge frame.
    void exactFrameSpans()
    {
        const WavSpec s{.rate = 1000};
        const std::int64_t frames = 6000;
        const QByteArray data = wavData(s, frames, [](std::int64_t k, int c) { return int((k * 3 + c) % 30000); });
        const QString rec = path("exact.wav");
        QVERIFY(writeFile(rec, wavHeader(s, data.size()) + data));
        WaveHeader h;
        QCOMPARE(ReadWaveHeader(rec, h), WaveStatus::Ok);
        // drawScale 20 units a second: 32 units = 1.6 s; 53 units = 2.65 s.
        const QVector<FrameSpan> spans = SpansFromMarkers({{32, 21}, {53, 30}, {83, 1}}, 1000, 20);
        QCOMPARE(spans, (QVector<FrameSpan>{{1600, 1050}, {2650, 1500}, {4150, 50}}));
        QCOMPARE(FrameAtUnits(1, 3, 2), std::int64_t(2));         // 1.5 rounds up
        QCOMPARE(FrameAtUnits(std::int64_t(1) << 62, 44100, 20), std::int64_t(-1));

        const QString out = folder("exact/");
        const SplitResult r = SplitAllSpans(h, spans, out, 999);
        QCOMPARE(r.status, WaveStatus::Ok);
        QByteArray joined;
        for (const QString& f : r.files)
            joined += readFile(f).mid(44);
        // No frame twice, none missing: the three tracks are one stretch.
        QCOMPARE(joined, data.mid(1600 * 4, (4200 - 1600) * 4));
        QCOMPARE(readFile(r.files[0]).left(44), wavHeader(WavSpec{2, 1000}, 1050 * 4));
    }

    // The recording folder may be the shared temporary one: a link planted as a part is not followed.
    void plantedLinksAreNotFollowed()
    {
        QVERIFY(writeWav(path("l.wav"), WavSpec{.rate = 100}, 300, {}));
        WaveHeader h;
        QCOMPARE(ReadWaveHeader(path("l.wav"), h), WaveStatus::Ok);
        const QString out = folder("links/");
        QVERIFY(writeFile(path("victim"), "precious") && QFile::link(path("victim"), out + "Track 1.wav.part"));
        const SplitResult r = SplitAllTracks(h, {{0, 1}}, out, 1000);
        QCOMPARE(r.status, WaveStatus::CreateFailed);
        QCOMPARE(r.sysError, EEXIST);
        QCOMPARE(readFile(path("victim")), QByteArray("precious"));
        QVERIFY(!QFile::exists(out + "Track 1.wav"));
    }

    // Positions that overflow 64 bits and tracks a WAV header cannot describe are refused first.
    void oversizedTracksRefused()
    {
        QVERIFY(writeWav(path("o.wav"), WavSpec{}, 10, {}));
        WaveHeader h;
        QCOMPARE(ReadWaveHeader(path("o.wav"), h), WaveStatus::Ok);
        h.Frames = std::int64_t(1) << 40;
        const QString out = folder("huge/");
        // 4 GiB of audio: one frame more than a header can hold.
        const std::int64_t maxFrames = (0xFFFFFFFFLL - 36) / 4;
        SplitResult r = SplitAllSpans(h, QVector<FrameSpan>{{0, maxFrames + 1}}, out, 1000);
        QCOMPARE(r.status, WaveStatus::TooLarge);
        QVERIFY2(r.error.contains("4 GiB"), qPrintable(r.error));
        r = SplitAllTracks(h, QVector<SplitItem>{{std::int64_t(1) << 50, 1}}, out, 1000);
        QCOMPARE(r.status, WaveStatus::TooLarge);
        h.Frames = std::numeric_limits<std::int64_t>::max();
        r = SplitAllSpans(h, QVector<FrameSpan>{{std::int64_t(1) << 62, 10}}, out, 1000);
        QCOMPARE(r.status, WaveStatus::TooLarge);
        QVERIFY(QDir(out).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWaveSplit)
#include "tst_wavesplit.moc"
