// The CD writer as a process: images checked with libburn's own CUE reader
// and byte by byte, refusals, the no-drive path, cancel, and the reading of
// its progress output.
#include "cdburner/CdBurnerOutput.h"
#include "settings/modXML.h"
#include "support/TestEnv.h"
#include "tracks/WavGen.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <libburn/libburn.h>

#include <csignal>
#include <cstdint>

using namespace burn;

namespace {

constexpr int Sector = 2352;
constexpr int Rate = 44100;

struct Wav {
    int channels = 2;
    int rate = Rate;
    int bits = 16;
    std::int64_t frames = 5 * Rate;
    bool sparse = false; // data as a hole in the file: long tracks without the disk use
    bool written = true;
};

svtest::WavSpec formatOf(const Wav& w)
{
    svtest::WavSpec s;
    s.channels = w.channels, s.rate = w.rate, s.bits = w.bits;
    return s;
}

// Writes a WAV of noise (every byte differs from its neighbours, so a
// swapped, shifted or dropped byte shows) and returns its data bytes.
QByteArray writeWav(const QString& path, const Wav& w, std::uint32_t seed)
{
    const std::int64_t bytes = w.frames * w.channels * w.bits / 8;
    if (w.sparse) {
        QFile f(path);
        const bool ok = f.open(QIODevice::WriteOnly) && f.write(svtest::wavHeader(formatOf(w), bytes)) == 44 && f.resize(44 + bytes);
        return ok ? QByteArray("sparse") : QByteArray();
    }
    QByteArray data(qsizetype(bytes), Qt::Uninitialized);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : data) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    return svtest::writeFile(path, svtest::wavHeader(formatOf(w), bytes) + data) ? data : QByteArray();
}

struct Track {
    QString file, name, artist, album;
};

bool writeIndex(const QString& path, const QList<Track>& tracks)
{
    QFile::remove(path);
    bool ok = sv::XMLSetValue(QString::number(tracks.size()), "Tracks", "", path);
    for (int i = 0; i < tracks.size(); ++i) {
        const QString section = QStringLiteral("Track%1").arg(i + 1);
        ok = ok && sv::XMLSetValue(tracks[i].file, "Filename", section, path)
             && sv::XMLSetValue(tracks[i].name, "Name", section, path);
        if (!tracks[i].artist.isEmpty())
            ok = ok && sv::XMLSetValue(tracks[i].artist, "Artist", section, path);
        if (!tracks[i].album.isEmpty())
            ok = ok && sv::XMLSetValue(tracks[i].album, "Album", section, path);
    }
    return ok;
}

// "Track N.wav" for each WAV (named "TN") and their recording.xml in folder.
bool writeRecording(const QString& folder, const QList<Wav>& wavs)
{
    QList<Track> tracks;
    for (int i = 0; i < wavs.size(); ++i) {
        tracks << Track{folder + QStringLiteral("Track %1.wav").arg(i + 1), QStringLiteral("T%1").arg(i + 1), {}, {}};
        if (wavs[i].written && writeWav(tracks.last().file, wavs[i], std::uint32_t(i)).isEmpty())
            return false;
    }
    return writeIndex(folder + "recording.xml", tracks);
}

struct Run {
    int code = -1;
    QString out, err;
};

QString burner()
{
    return QCoreApplication::applicationDirPath() + "/cdburner";
}

Run runBurner(const QStringList& args)
{
    QProcess p;
    p.start(burner(), args);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// libburn's own reading of a CUE sheet, with its tracks' sectors and titles.
struct CueRead {
    int result = 0;
    QList<int> sectors;
    QList<QByteArray> titles;
    QList<QByteArray> performers;
    QByteArray albumTitle;
    QByteArray albumPerformer;
};

QByteArray text(unsigned char* payload, int length)
{
    return payload ? QByteArray(reinterpret_cast<char*>(payload), qMax(0, length - 1)) : QByteArray();
}

CueRead readCue(const QString& cuePath)
{
    CueRead r;
    // The reader opens the FILE named in the sheet relative to the working folder.
    const QString before = QDir::currentPath();
    QDir::setCurrent(QFileInfo(cuePath).absolutePath());
    burn_session* s = burn_session_create();
    int packs = 0;
    QByteArray path = QFile::encodeName(cuePath);
    r.result = burn_session_by_cue_file(s, path.data(), 0, nullptr, nullptr, &packs, 0);
    int count = 0;
    burn_track** tracks = burn_session_get_tracks(s, &count);
    const auto cdText = [](auto get, auto* of, const char* key) {
        unsigned char* payload = nullptr;
        int length = 0;
        get(of, 0, 0, const_cast<char*>(key), &payload, &length, 0);
        return text(payload, length);
    };
    for (int i = 0; i < count; ++i) {
        r.sectors << burn_track_get_sectors(tracks[i]);
        r.titles << cdText(burn_track_get_cdtext, tracks[i], "TITLE");
        r.performers << cdText(burn_track_get_cdtext, tracks[i], "PERFORMER");
    }
    r.albumTitle = cdText(burn_session_get_cdtext, s, "TITLE");
    r.albumPerformer = cdText(burn_session_get_cdtext, s, "PERFORMER");
    burn_session_free(s);
    QDir::setCurrent(before);
    return r;
}

} // namespace

class TstCdBurner : public QObject {
    Q_OBJECT

    svtest::TestEnv env;
    QString folder;   // the recording folder, with a space in its name
    QString failFile;

    QString failText() const
    {
        QFile f(failFile);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(burner()), "cdburner is built beside the tests");
        QVERIFY(burn_initialize());
        failFile = env.dataFolder() + "cd_fail.txt";
    }
    void cleanupTestCase() { burn_finish(); }

    void init()
    {
        folder = env.tmp() + QStringLiteral("my recordings %1/").arg(QTest::currentTestFunction());
        QVERIFY(QDir().mkpath(folder));
        QFile::remove(failFile);
    }

    void imageHoldsEveryTrackBitExact()
    {
        // 4 s is exactly 300 sectors; the others end inside a sector.
        const QList<std::int64_t> frames = {4 * Rate, 5 * Rate + 17, 7 * Rate + 1};
        QList<Track> tracks;
        QList<QByteArray> pcm;
        for (int i = 0; i < frames.size(); ++i) {
            Track t{folder + QStringLiteral("Track %1.wav").arg(i + 1), QStringLiteral("Song %1").arg(i + 1),
                    "The Band", "Side A"};
            pcm << writeWav(t.file, Wav{2, Rate, 16, frames[i]}, std::uint32_t(i + 1));
            QVERIFY(!pcm.last().isEmpty());
            tracks << t;
        }
        const QString index = folder + "recording.xml";
        QVERIFY(writeIndex(index, tracks));
        const QString out = env.tmp() + "image out/";
        QVERIFY(QDir().mkpath(out));
        const QString cue = out + "my disc.cue";
        // A report left over from an earlier failure does not outlive a success.
        QVERIFY(QDir().mkpath(env.dataFolder()) && QFile(failFile).open(QIODevice::WriteOnly));

        const Run r = runBurner({index, "--image", cue});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err + failText()));
        QVERIFY(!QFile::exists(failFile));
        QCOMPARE(sv::ParseCdBurnerPercent(r.out), 100);
        QCOMPARE(entries(out), QStringList({"my disc.bin", "my disc.cue"}));

        QFile bin(out + "my disc.bin");
        QVERIFY(bin.open(QIODevice::ReadOnly));
        const QByteArray all = bin.readAll();
        qsizetype at = 0;
        QList<int> expectedSectors;
        for (const QByteArray& data : pcm) {
            const qsizetype padded = (data.size() + Sector - 1) / Sector * Sector;
            expectedSectors << int(padded / Sector);
            QVERIFY(all.mid(at, data.size()) == data);
            QCOMPARE(all.mid(at + data.size(), padded - data.size()), QByteArray(padded - data.size(), '\0'));
            at += padded;
        }
        QCOMPARE(all.size(), at);

        const CueRead read = readCue(cue);
        QVERIFY2(read.result > 0, "libburn accepts the sheet");
        QCOMPARE(read.sectors, expectedSectors);
        QCOMPARE(read.titles, QList<QByteArray>({"Song 1", "Song 2", "Song 3"}));
        QCOMPARE(read.albumTitle, QByteArray("Side A"));
        QCOMPARE(read.albumPerformer, QByteArray("The Band"));

        // Nothing of the user's recording went away.
        QCOMPARE(entries(folder), QStringList({"Track 1.wav", "Track 2.wav", "Track 3.wav", "recording.xml"}));
    }

    void hostileNamesStayInsideTheirQuotes()
    {
        const QList<Track> tracks = {
            {folder + "Track 1.wav", QStringLiteral("He said \"hi\""), QStringLiteral("$(rm -rf ~) `id`"),
             QStringLiteral("The \"Best\" of; Café Müller")},
            {folder + "Track 2.wav", QStringLiteral("Line one\nFILE \"/etc/passwd\" BINARY"),
             QStringLiteral("Ωmega & Sons"), QString()},
            {folder + "Track 3.wav", QStringLiteral("Caf\u00e9 \u2013 na\u00efve\u0001second line"), QString(),
             QString()},
        };
        for (int i = 0; i < tracks.size(); ++i)
            QVERIFY(!writeWav(tracks[i].file, Wav{}, std::uint32_t(10 + i)).isEmpty());
        QVERIFY(writeIndex(folder + "recording.xml", tracks));
        const QString cue = env.tmp() + "names $(x).cue";

        const Run r = runBurner({folder + "recording.xml", "--image", cue});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err + failText()));

        QFile f(cue);
        QVERIFY(f.open(QIODevice::ReadOnly));
        // Header: REM, TITLE, PERFORMER, FILE; then four lines per track; a final empty piece.
        QCOMPARE(f.readAll().split('\n').size(), 4 + 3 * 4 + 1);

        const CueRead read = readCue(cue);
        QVERIFY2(read.result > 0, "libburn accepts the sheet");
        QCOMPARE(read.titles, QList<QByteArray>({"He said 'hi'", "Line one FILE '/etc/passwd' BINARY",
                                                 "Caf\xe9 ? na\xefve second line"}));
        QCOMPARE(read.performers.mid(0, 2), QList<QByteArray>({"$(rm -rf ~) `id`", "?mega & Sons"}));
        QCOMPARE(read.albumTitle, QByteArray("The 'Best' of; Caf\xe9 M\xfcller"));
        QCOMPARE(read.albumPerformer, QByteArray("Various Artists"));
    }

    void refusesUnfitTracks_data()
    {
        QTest::addColumn<QList<Wav>>("wavs");
        QTest::addColumn<QString>("reason");
        const Wav ok;
        QTest::newRow("3 seconds") << QList<Wav>{ok, Wav{2, Rate, 16, 3 * Rate}} << "at least 4 seconds";
        QTest::newRow("8-bit") << QList<Wav>{Wav{2, Rate, 8, 5 * Rate}, ok} << "8-bit";
        QTest::newRow("mono") << QList<Wav>{ok, Wav{1, Rate, 16, 5 * Rate}} << "mono";
        QTest::newRow("48 kHz") << QList<Wav>{Wav{2, 48000, 16, 5 * 48000}} << "48000 Hz";
        const Wav half{2, Rate, 16, std::int64_t(81 * 60 / 2) * Rate, true};
        QTest::newRow("81 minutes") << QList<Wav>{half, half} << "79:57";
        // Counted before any file is opened.
        QTest::newRow("100 tracks") << QList<Wav>(100, Wav{2, Rate, 16, 0, false, false}) << "at most 99 tracks";
    }

    void refusesUnfitTracks()
    {
        QFETCH(QList<Wav>, wavs);
        QFETCH(QString, reason);
        QVERIFY(writeRecording(folder, wavs));
        // An image the user made earlier under the same name survives a refusal.
        const QString out = env.tmp() + "refused/";
        QVERIFY(QDir().mkpath(out));
        QFile old(out + "disc.cue");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier sheet\n") > 0);
        old.close();
        const QStringList before = entries(folder);

        const Run r = runBurner({folder + "recording.xml", "--image", out + "disc.cue"});
        QVERIFY(r.code != 0);
        QVERIFY2(failText().contains(reason), qPrintable(failText()));
        QCOMPARE(entries(out), QStringList({"disc.cue"}));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("earlier sheet\n"));
        QCOMPARE(entries(folder), before);
    }

    void badArgumentsAndIndexesFail_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nothing") << QStringList{} << "No track list";
        QTest::newRow("no index file") << QStringList{"INDEX-MISSING"} << "cannot be found";
        QTest::newRow("speed") << QStringList{"INDEX", "--speed", "fast"} << "not a CD speed";
        QTest::newRow("unknown option") << QStringList{"INDEX", "--erase"} << "Unknown option";
        QTest::newRow("image folder missing") << QStringList{"INDEX", "--image", "IMAGEnot here/x.cue"} << "cannot be found";
        QTest::newRow("quote in image name") << QStringList{"INDEX", "--image", "IMAGE\"x.cue"} << "cannot be used";
    }

    void badArgumentsAndIndexesFail()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        const QString index = folder + "recording.xml";
        QVERIFY(writeRecording(folder, {Wav{}}));
        args.replaceInStrings("INDEX-MISSING", folder + "missing.xml");
        args.replaceInStrings("INDEX", index);
        args.replaceInStrings("IMAGE", folder);
        const QStringList before = entries(folder);

        const Run r = runBurner(args);
        QVERIFY(r.code != 0);
        QVERIFY2(failText().contains(reason), qPrintable(failText()));
        QCOMPARE(entries(folder), before);
    }

    void noDriveIsReportedAsFailure()
    {
        if (!QDir("/dev").entryList({"sr*"}, QDir::System).isEmpty()) {
            if (!qEnvironmentVariableIsEmpty("CI"))
                QFAIL("the CI machine must not have an optical drive");
            QSKIP("this machine has an optical drive; a real disc might be written");
        }
        QVERIFY(writeRecording(folder, {Wav{}}));

        const Run r = runBurner({folder + "recording.xml"});
        QVERIFY(r.code > 0);
        QVERIFY2(failText().contains("No CD writer was found"), qPrintable(failText() + r.err));
        QCOMPARE(entries(folder), QStringList({"Track 1.wav", "recording.xml"}));
    }

    void cancelLeavesNoImage()
    {
        QVERIFY(writeRecording(folder, QList<Wav>(12, Wav{2, Rate, 16, 40 * Rate})));
        const QString out = env.tmp() + "cancelled/";
        QVERIFY(QDir().mkpath(out));

        QProcess p;
        p.start(burner(), {folder + "recording.xml", "--image", out + "disc.cue"});
        QVERIFY(p.waitForStarted());
        // Hold the writer still at its first percentage, so the cancel
        // arrives in the middle of the image whatever the machine's speed.
        QString seen;
        while (sv::ParseCdBurnerPercent(seen) < 0 && p.state() == QProcess::Running) {
            p.waitForReadyRead(1000);
            seen += QString::fromLocal8Bit(p.readAllStandardOutput());
        }
        QVERIFY(::kill(pid_t(p.processId()), SIGSTOP) == 0);
        QVERIFY2(sv::ParseCdBurnerPercent(seen) < 100, qPrintable(seen));
        ::kill(pid_t(p.processId()), SIGTERM);
        ::kill(pid_t(p.processId()), SIGCONT);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY(p.exitCode() != 0);
        QVERIFY2(failText().contains("cancelled"), qPrintable(failText()));
        QCOMPARE(entries(out), QStringList());
        QCOMPARE(entries(folder).size(), 13);
    }

    void progressIsReadFromPieces()
    {
        QCOMPARE(sv::ParseCdBurnerPercent(""), -1);
        QCOMPARE(sv::ParseCdBurnerPercent("Checking the tracks...\nWriting the audio CD: 4"), -1);
        QCOMPARE(sv::ParseCdBurnerPercent("Writing the audio CD: 4\nWriting the audio CD: 42%\n"), 42);
        QCOMPARE(sv::ParseCdBurnerPercent("Writing the audio CD: 7%\nWriting the audio CD: 100%\nDone.\n"), 100);
        QCOMPARE(sv::ParseCdBurnerPercent("Writing: 1000%"), -1);
    }
};

QTEST_GUILESS_MAIN(TstCdBurner)
#include "tst_cdburner.moc"
