// FLAC track files: exact audio, tags as typed, names, several workers, and
// nothing half-made after a full disk or a cancel.
#include "output/FlacCheck.h"
#include "output/FlacEncoder.h"
#include "output/SmallDisk.h"
#include "support/TestEnv.h"
#include "support/TestRequire.h"

#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <tuple>
#include <unistd.h>

using namespace sv;
using namespace svtest;

class TestFlacEncoder : public QObject {
    Q_OBJECT
    TestEnv env;
    int serial = 0;

    // A fresh recording folder and an empty output folder.
    QString newFolder(const QString& what)
    {
        const QString f = env.tmp() + QStringLiteral("%1-%2").arg(what).arg(++serial);
        QDir().mkpath(f + "/out");
        return f;
    }

    static QVector<FlacTrack> tracksOf(const QString& index)
    {
        QVector<FlacTrack> t;
        QString why;
        if (!FlacTracksFromIndex(index, t, &why))
            qWarning() << why;
        return t;
    }

    // Each output decodes to exactly its WAV's samples and format, MD5 checked.
    static void compareAudio(const QStringList& outputs, const QVector<FlacTrack>& tracks)
    {
        QCOMPARE(outputs.size(), tracks.size());
        for (int i = 0; i < outputs.size(); ++i) {
            const Pcm want = wavPcm(tracks[i].wavPath);
            const Pcm got = decodeFlac(outputs[i]);
            QVERIFY2(got.ok, qPrintable(outputs[i]));
            QVERIFY(got.md5Set);
            QVERIFY(std::tie(got.channels, got.bits, got.rate) == std::tie(want.channels, want.bits, want.rate));
            QCOMPARE(got.samples.size(), want.samples.size());
            QVERIFY2(got.samples == want.samples, qPrintable(outputs[i]));
        }
    }

private Q_SLOTS:
    // Two workers, five tracks of every format we take, one of them empty;
    // progress per track and in total; the level reaches the encoder.
    void levelsDecodeExactly()
    {
        QHash<int, qint64> sizeAt;
        QStringList outputs;
        for (int level : {0, 8}) {
            const QString f = newFolder("levels");
            const auto tracks = tracksOf(makeRecording(f, {{2, 16, 3 * 44100 + 17, "One"}, {1, 16, 44100, "Two"},
                                                           {2, 8, 2 * 44100, "Three"}, {1, 8, 22050 + 3, "Four"},
                                                           {2, 16, 0, "Empty"}}));
            FlacJob job(tracks, f + "/out", {level, 2});
            QCOMPARE(job.workerCount(), 2);
            QSignalSpy done(&job, &Job::finished);
            QSignalSpy total(&job, &Job::progress);
            QSignalSpy perTrack(&job, &FlacJob::trackProgress);
            QSignalSpy finished(&job, &FlacJob::trackFinished);
            job.start();
            QVERIFY(done.wait(60000));
            QVERIFY2(job.result().ok(), qPrintable(FlacResultText(job.result())));
            QCOMPARE(job.outputFiles().first(), f + "/out/One.flac");
            compareAudio(job.outputFiles(), tracks);
            QCOMPARE(folderEntries(f + "/out"), QStringList({"Empty.flac", "Four.flac", "One.flac", "Three.flac", "Two.flac"}));
            QCOMPARE(finished.size(), 5);
            const qint64 frames = 6 * 44100 + 17 + 22050 + 3;
            QCOMPARE(total.last().mid(0, 2), QVariantList({frames, frames}));
            QHash<int, qint64> last;
            for (const auto& s : perTrack) {
                QVERIFY(s.at(1).toLongLong() >= last.value(s.at(0).toInt()));
                last[s.at(0).toInt()] = s.at(1).toLongLong();
            }
            QCOMPARE(last.value(1), qint64(3 * 44100 + 17));
            QCOMPARE(last.value(3), qint64(2 * 44100));
            sizeAt[level] = QFileInfo(job.outputFiles()[0]).size();
            outputs << job.outputFiles();
        }
        QVERIFY(sizeAt.value(8) < sizeAt.value(0)); // 8 packs the same audio smaller than 0
        // The reference decoder agrees (flac -t checks every frame and the MD5).
        SV_REQUIRE_TOOL(hasTool("flac"), "flac");
        for (const QString& out : outputs)
            QVERIFY2(!runTool("flac", {"-t", "-s", out}).isNull(), qPrintable(out));
    }

    // Every field as typed, however hostile, in the index's key names; the
    // fields missing in a track come from Track1, then the defaults.
    void tagsReadBackExactly()
    {
        SV_REQUIRE_TOOL(hasTool("metaflac"), "metaflac");
        const QString f = newFolder("tags");
        const QString index = makeRecording(f, {{2, 16, 4410, QString()}, {1, 16, 4410, QString()}, {2, 8, 4410, QString()}});
        const QString longTitle = QString(300, QChar(u'ä'));
        const QStringList hostile = {QStringLiteral("\"quoted\" 'single' $(rm -rf ~) `id`; echo </x>"),
                                     QStringLiteral("Ünïcødé ñ 日本語 😀 Ελληνικά"), QStringLiteral("line one\nline two\r\nthree"),
                                     QStringLiteral("a=b=c"), QStringLiteral("   spaces   ")};
        auto set = [&](const QString& v, const char* key, int t) {
            QVERIFY(XMLSetValue(v, key, QStringLiteral("Track%1").arg(t), index));
        };
        set(hostile[0], "Name", 1);
        set(hostile[1], "Artist", 1);
        set(hostile[4], "Album", 1);
        set(QStringLiteral("1977; DROP"), "Year", 1);
        set(hostile[3], "Genre", 1);
        set(hostile[2], "Comments", 1);
        set(longTitle, "Name", 2);
        set(QStringLiteral("Other Artist"), "Artist", 2);
        set(QString(), "Album", 2); // stored empty: no ALBUM, no fallback
        set(QStringLiteral("Track 3"), "Name", 3);
        QVERIFY(XMLSetValue("2", "Tracks", QString(), index)); // count 2 for the first run
        QVERIFY(XMLSetValue("3", "Tracks", QString(), index));

        const auto tracks = tracksOf(index);
        FlacJob job(tracks, f + "/out", {5, 2});
        QVERIFY(job.run().ok());
        const QString year = QString::number(QDate::currentDate().year());
        const QStringList want[3] = {
            {"TITLE=" + hostile[0], "ARTIST=" + hostile[1], "ALBUM=" + hostile[4], "DATE=1977; DROP", "GENRE=" + hostile[3],
             "COMMENT=" + hostile[2], "TRACKNUMBER=1", "TRACKTOTAL=3"},
            {"TITLE=" + longTitle, "ARTIST=Other Artist", "DATE=1977; DROP", "GENRE=" + hostile[3], "TRACKNUMBER=2",
             "TRACKTOTAL=3"},
            {"TITLE=Track 3", "ARTIST=" + hostile[1], "ALBUM=" + hostile[4], "DATE=1977; DROP", "GENRE=" + hostile[3],
             "TRACKNUMBER=3", "TRACKTOTAL=3"}};
        for (int i = 0; i < 3; ++i) {
            const QByteArray got = runTool("metaflac", {"--export-tags-to=-", job.outputFiles()[i]});
            QCOMPARE(QString::fromUtf8(got), want[i].join('\n') + '\n');
        }
        // Names lose only what a file name cannot hold and fit the system's limit.
        QCOMPARE(QFileInfo(job.outputFiles()[0]).fileName(), QStringLiteral("quoted 'single' $(rm -rf ~) `id`; echo x.flac"));
        const QString second = QFileInfo(job.outputFiles()[1]).fileName();
        QVERIFY(second.startsWith(QString(100, QChar(u'ä'))) && second.endsWith(".flac"));
        QVERIFY(QFile::encodeName(second + ".part").size() <= 255);

        // Defaults when even Track1 has nothing.
        const QString g = newFolder("defaults");
        const FlacTags d = FlacTagsFromIndex(makeRecording(g, {{2, 16, 10, QString()}}), 1, 1);
        QCOMPARE(FlacVorbisComments(d), QStringList({"TITLE=Track 1", "ARTIST=New Artist", "ALBUM=New Album",
                                                     "DATE=" + year, "GENRE=Other", "TRACKNUMBER=1", "TRACKTOTAL=1"}));
    }

    void fileNames()
    {
        const auto names = [](const QStringList& titles, const QStringList& taken = {}) {
            return FlacFileNames(titles, [&](const QString& n) { return taken.contains(n); });
        };
        QCOMPARE(names({"Song", "Song", "song", "Other", "Song"}),
                 QStringList({"Song.flac", "Song (2).flac", "song (3).flac", "Other.flac", "Song (4).flac"}));
        QCOMPARE(names({"A", "A"}, {"A.flac", "A (2).flac"}), QStringList({"A (3).flac", "A (4).flac"}));
        QCOMPARE(names({"", "   ", "..", "/?*", "AC/DC: Live?", "a.flac"}),
                 QStringList({"Track 1.flac", "Track 2.flac", "Track 3.flac", "Track 4.flac", "ACDC Live.flac",
                              "a.flac.flac"}));
        QCOMPARE(names({"a/b", "ab"}), QStringList({"ab.flac", "ab (2).flac"}));
    }

    // A file already in the save folder is never replaced; a link where the
    // part file would go is not followed.
    void existingFilesAndLinksKept()
    {
        const QString f = newFolder("existing");
        const auto tracks = tracksOf(makeRecording(f, {{2, 16, 4410, "Same"}, {2, 16, 4410, "Same"}}));
        const QString victim = f + "/victim.txt";
        writeFile(victim, "keep me");
        writeFile(f + "/out/Same.flac", "older file");
        QVERIFY(QFile::link(victim, f + "/out/Same (2).flac.part"));
        FlacJob job(tracks, f + "/out", {5, 2});
        QVERIFY(job.run().ok());
        QCOMPARE(job.outputFiles(), QStringList({f + "/out/Same (3).flac", f + "/out/Same (4).flac"}));
        compareAudio(job.outputFiles(), tracks);
        QFile old(f + "/out/Same.flac"), v(victim);
        QVERIFY(old.open(QIODevice::ReadOnly) && v.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("older file"));
        QCOMPARE(v.readAll(), QByteArray("keep me"));
    }

    // A real full disk (a small tmpfs) on the third track: ENOSPC, and no
    // file of the run is left, not even the two finished ones.
    void fullDiskLeavesNothing()
    {
        const QString f = newFolder("full");
        const auto tracks = tracksOf(makeRecording(f, {{2, 16, 4410, "a"}, {2, 16, 4410, "b"}, {2, 16, 10 * 44100, "big"}}));
        SmallDisk disk(f + "/disk", 512 * 1024);
        SV_REQUIRE_MOUNTED(disk);
        writeFile(disk.path + "/mine.txt", "x");
        FlacJob job(tracks, disk.path, {5, 1});
        QSignalSpy finished(&job, &FlacJob::trackFinished);
        const JobResult r = job.run();
        QCOMPARE(r.code, FlacCode::WriteFailed);
        QCOMPARE(r.errnum, ENOSPC);
        QCOMPARE(r.detail, disk.path + "/big.flac.part");
        QVERIFY(FlacResultText(r).startsWith("The disk is full"));
        QCOMPARE(finished.size(), 2);
        QCOMPARE(folderEntries(disk.path), QStringList({"mine.txt"}));
        QVERIFY(job.outputFiles().isEmpty());
        QVERIFY(QFileInfo::exists(tracks[2].wavPath));
    }

    // Cancelled after the first file is done, while the others are on their way.
    void cancelLeavesNothing()
    {
        const QString f = newFolder("cancel");
        const auto tracks = tracksOf(makeRecording(
            f, {{2, 16, 4410, "first"}, {2, 16, 60 * 44100, "long1"}, {2, 16, 60 * 44100, "long2"}, {2, 16, 60 * 44100, "long3"}}));
        FlacJob job(tracks, f + "/out", {8, 1});
        connect(&job, &FlacJob::trackFinished, &job, [&](int track) {
            if (track == 1)
                job.cancel();
        });
        QSignalSpy done(&job, &Job::finished);
        job.start();
        QVERIFY(done.wait(60000));
        QVERIFY(job.result().canceled());
        QCOMPARE(folderEntries(f + "/out"), QStringList());
    }

    void badInput()
    {
        const QString f = newFolder("bad");
        QVector<FlacTrack> t;
        QString why;
        QVERIFY(!FlacTracksFromIndex(f + "/none.xml", t, &why));
        QVERIFY(why.contains("cannot be found"));
        const auto tracks = tracksOf(makeRecording(f, {{2, 16, 4410, "ok"}, {2, 16, 4410, "gone"}}));
        QFile::remove(tracks[1].wavPath);
        FlacJob job(tracks, f + "/out", {5, 2});
        JobResult r = job.run();
        QCOMPARE(r.code, FlacCode::ReadFailed);
        QCOMPARE(r.detail, tracks[1].wavPath);
        QCOMPARE(folderEntries(f + "/out"), QStringList());
        FlacJob nowhere(tracks, f + "/missing-folder", {});
        QCOMPARE(nowhere.run().code, FlacCode::BadFolder);
    }

    void commandLine()
    {
        const QString f = newFolder("cli");
        const QString index = makeRecording(f, {{2, 16, 44100, "One"}, {1, 8, 44100, "One"}});
        const QString cli = QCoreApplication::applicationDirPath() + "/sonivault-cli";
        QProcess p;
        p.start(cli, {"encode", "flac", index, f + "/out", "--jobs", "2", "--level", "8"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        lines.sort();
        QCOMPARE(lines, QStringList({f + "/out/One (2).flac", f + "/out/One.flac"}));
        compareAudio({f + "/out/One.flac", f + "/out/One (2).flac"}, tracksOf(index));
        for (const QStringList& bad : {QStringList{"--level", "9"}, QStringList{"--jobs", "0"}, QStringList{"--fast"}}) {
            p.start(cli, QStringList{"encode", "flac", index, f + "/out"} + bad);
            QVERIFY(p.waitForFinished(10000));
            QCOMPARE(p.exitCode(), 2);
        }
        p.start(cli, {"encode", "flac", f + "/nothing.xml", f + "/out"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFlacEncoder)
#include "tst_FlacEncoder.moc"
