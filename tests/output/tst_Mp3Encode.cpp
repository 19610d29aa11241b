// The MP3 encode job and sonivault-cli encode mp3 with the real lame on
// generated tracks: tags as the files carry them, encoder options, names,
// failures of the encoder, cancel, several encoders at once.
#include "output/FakeTool.h"
#include "output/Mp3Job.h"
#include "output/Mp3Options.h"
#include "output/TrackTags.h"
#include "settings/modXML.h"
#include "support/TestEnv.h"
#include "support/TestRequire.h"
#include "tracks/WavGen.h"
#include "util/modFunctions.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QtTest>

#include <cmath>
#include <thread>
#include <tuple>

using namespace sv;

namespace {

bool HaveLame()
{
    return !QStandardPaths::findExecutable("lame").isEmpty();
}

// A 16-bit stereo WAV: a different tone on each side.
bool WriteTone(const QString& path, double seconds, double hz)
{
    return svtest::writeWav(path, {}, qint64(seconds * 44100), [hz](std::int64_t i, int c) {
        return int(8000 * std::sin(2 * M_PI * hz * (c ? 1.5 : 1.0) * double(i) / 44100));
    });
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The tags of an MP3 file as a player reads them: ID3v2.3 text frames
// (Latin-1 or UTF-16) and the ID3v1 block at the end.
struct Tags {
    bool v2 = false, v1 = false;
    QMap<QByteArray, QString> frames;
    QString v1Title, v1Artist, v1Album, v1Year, v1Comment;
    int v1Track = 0, v1Genre = -1;
    int audioStart = 0;
};

QString DecodeText(int enc, const QByteArray& b)
{
    if (enc == 0)
        return QString::fromLatin1(b).section(QChar(0), 0, 0);
    QStringDecoder utf16(QStringDecoder::Utf16); // follows the byte-order mark
    return QString(utf16(b)).section(QChar(0), 0, 0);
}

Tags ReadTags(const QByteArray& f)
{
    Tags t;
    if (f.startsWith("ID3")) {
        t.v2 = true;
        const int size = (f[6] & 0x7f) << 21 | (f[7] & 0x7f) << 14 | (f[8] & 0x7f) << 7 | (f[9] & 0x7f);
        t.audioStart = 10 + size;
        for (int p = 10; p + 10 <= 10 + size && f[p] != 0;) {
            const QByteArray id = f.mid(p, 4);
            const int len = int(uchar(f[p + 4])) << 24 | uchar(f[p + 5]) << 16 | uchar(f[p + 6]) << 8 | uchar(f[p + 7]);
            const QByteArray body = f.mid(p + 10, len);
            const int enc = body.isEmpty() ? 0 : body[0];
            if (id == "COMM") { // encoding, language, description, text
                QByteArray rest = body.mid(4);
                const int term = enc == 1 ? rest.indexOf(QByteArray("\0\0", 2)) : rest.indexOf('\0');
                rest = rest.mid(term + (enc == 1 ? 2 : 1));
                t.frames[id] = DecodeText(enc, rest);
            } else if (id.startsWith('T')) {
                t.frames[id] = DecodeText(enc, body.mid(1));
            }
            p += 10 + len;
        }
    }
    if (f.size() >= 128 && f.mid(f.size() - 128, 3) == "TAG") {
        t.v1 = true;
        const QByteArray b = f.right(128);
        auto field = [&](int at, int n) { return QString::fromLatin1(b.mid(at, n)).section(QChar(0), 0, 0).trimmed(); };
        t.v1Title = field(3, 30);
        t.v1Artist = field(33, 30);
        t.v1Album = field(63, 30);
        t.v1Year = field(93, 4);
        t.v1Comment = field(97, 28);
        t.v1Track = b[125] == 0 ? uchar(b[126]) : 0;
        t.v1Genre = uchar(b[127]);
    }
    return t;
}

// The header of the second MPEG frame (the first is lame's info frame).
struct FrameHeader {
    int bitrate = 0; // kbit/s
    int mode = -1;   // 0 stereo, 1 joint stereo, 3 mono
    bool crc = false;
    int marks = -1;  // copyright bit * 2 + original bit
};

FrameHeader SecondFrame(const QByteArray& f, int start)
{
    static const int mpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int mpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static const int rate1[] = {44100, 48000, 32000, 0};
    FrameHeader h;
    for (int p = start, n = 0; p + 4 <= f.size(); ++n) {
        if (uchar(f[p]) != 0xff || (uchar(f[p + 1]) & 0xe0) != 0xe0)
            return {};
        const bool v1 = (uchar(f[p + 1]) & 0x18) == 0x18;
        const int idx = uchar(f[p + 2]) >> 4;
        h.bitrate = v1 ? mpeg1[idx] : mpeg2[idx];
        const int rate = rate1[(uchar(f[p + 2]) >> 2) & 3] / (v1 ? 1 : 2);
        h.mode = uchar(f[p + 3]) >> 6;
        h.crc = (uchar(f[p + 1]) & 1) == 0;
        h.marks = (uchar(f[p + 3]) >> 2) & 3;
        if (n == 1 || rate == 0)
            return h;
        p += (v1 ? 144000 : 72000) * h.bitrate / rate + ((uchar(f[p + 2]) >> 1) & 1);
    }
    return {};
}

QString Md5(const QString& path)
{
    return QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Md5).toHex();
}

} // namespace

class TestMp3Encode : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString rec, index, out;

    void makeRecording(int count, double seconds = 2.0)
    {
        QDir(rec).removeRecursively();
        QDir(out).removeRecursively();
        QDir().mkpath(rec);
        QDir().mkpath(out);
        XMLSetValue(QString::number(count), "Tracks", "", index);
        for (int k = 1; k <= count; ++k) {
            const QString wav = rec + QString("Track %1.wav").arg(k);
            QVERIFY(WriteTone(wav, seconds, 220.0 * k));
            QVERIFY(XMLSetValue(wav, "Filename", TrackSection(k), index));
        }
    }

    Mp3JobSettings settings(Mp3EncoderOptions o, int jobs = 1)
    {
        Mp3JobSettings s;
        s.indexPath = index;
        s.outputFolder = out;
        s.jobs = jobs;
        s.options = o;
        s.currentYear = 2026;
        s.programFolder = env.tmp() + "noprogram";
        return s;
    }

    // A stand-in encoder in a program folder of its own; $out is its output file.
    QString fakeLame(const QString& body)
    {
        return svtest::fakeProgram(env.tmp() + "fakeprog/", "lame", "for a; do out=$a; done\n" + body.toUtf8());
    }

    // Every file of the recording folder (hidden ones too) with its checksum.
    QStringList recFolder()
    {
        QStringList files;
        for (const QString& n : QDir(rec).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            files << n + " " + Md5(rec + n);
        return files;
    }
    // The recording as it was, and nothing in the output folder.
    void expectNothingLeft(const QStringList& before)
    {
        QCOMPARE(recFolder(), before);
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

private Q_SLOTS:
    void initTestCase()
    {
        rec = env.root() + "/rec dir/";
        out = env.root() + "/Out $(x) & more/";
        index = rec + "recording.xml";
        SetSettingsFile(UserDataFolder() + "settings.xml"); // where sonivault-cli looks
    }

    void hostileTagsReachVersion2Exactly()
    {
        SV_REQUIRE_TOOL(HaveLame(), "lame");
        makeRecording(2);
        const QString comment = QString(280, 'c') + "\"$(id)\";</x>ü";
        TrackTags t1{"Say \"$(touch " + env.tmp() + "pwned)\"; `id` </Param>", "Mötley & Crüe 日本",
                     "-q 9", "1987", "Hard Rock", comment};
        QVERIFY(SaveTrackTags(index, 1, t1));
        TrackTags t2{"--help", "", "", "", "no such genre", ""};
        QVERIFY(SaveTrackTags(index, 2, t2));
        Mp3EncoderOptions o;
        o.id3 = 3;
        Mp3Job job(settings(o));
        const JobResult r = job.run();
        QVERIFY2(r.ok(), qPrintable(Mp3FailureText(r)));
        QVERIFY(!QFile::exists(env.tmp() + "pwned"));
        QCOMPARE(job.finishedFiles().size(), 2);
        const Tags a = ReadTags(ReadAll(job.finishedFiles()[0]));
        QVERIFY(a.v2 && !a.v1);
        const QStringList want{t1.name, t1.artist, t1.album, t1.year, comment, "1", "Hard Rock"};
        QStringList got;
        for (const char* frame : {"TIT2", "TPE1", "TALB", "TYER", "COMM", "TRCK", "TCON"})
            got << a.frames[frame];
        QCOMPARE(got, want);
        const Tags b = ReadTags(ReadAll(job.finishedFiles()[1]));
        // Unknown genre names are genre 1.
        QCOMPARE(QStringList({b.frames["TIT2"], b.frames["TRCK"], b.frames["TCON"]}),
                 QStringList({"--help", "2", "Classic Rock"}));
        QCOMPARE(QFileInfo(job.finishedFiles()[1]).fileName(), "--help.mp3");
    }

    void version1TagsAndGenreNumbers()
    {
        SV_REQUIRE_TOOL(HaveLame(), "lame");
        makeRecording(3);
        TrackTags t{"Short Title", "Artist", "Album", "1971", "Synthpop", "A comment"};
        QVERIFY(SaveTrackTags(index, 1, t));
        t = {"Two", "B", "C", "1980", "Alt. Rock", ""};
        QVERIFY(SaveTrackTags(index, 2, t));
        XMLSetValue("rock", "Genre", "Track3", index); // letter case differs
        for (int id3 : {2, 1}) {
            Mp3EncoderOptions o;
            o.id3 = id3;
            Mp3Job job(settings(o));
            QVERIFY(job.run().ok());
            const Tags a = ReadTags(ReadAll(out + "Short Title.mp3"));
            QVERIFY(a.v1);
            QCOMPARE(a.v2, id3 == 1 ? a.v2 : false); // automatic may add version 2
            QCOMPARE(QStringList({a.v1Title, a.v1Artist, a.v1Album, a.v1Year, a.v1Comment}),
                     QStringList({"Short Title", "Artist", "Album", "1971", "A comment"}));
            QVERIFY(a.v1Track == 1 && a.v1Genre == 147);
            QCOMPARE(ReadTags(ReadAll(out + "Two.mp3")).v1Genre, 40);
            const Tags c = ReadTags(ReadAll(out + "Track 3.mp3"));
            QCOMPARE(c.v1Genre, 1);
            QCOMPARE(QStringList({c.v1Title, c.v1Artist, c.v1Year}), QStringList({"Track3", "New Artist", "2026"}));
        }
        Mp3EncoderOptions none;
        QVERIFY(Mp3Job(settings(none)).run().ok());
        const Tags n = ReadTags(ReadAll(out + "Two.mp3"));
        QVERIFY(!n.v1);
        QVERIFY(!n.frames.contains("TIT2"));
    }

    void bitrateChannelsAndCrc()
    {
        SV_REQUIRE_TOOL(HaveLame(), "lame");
        makeRecording(1);
        struct Case {
            QString bitrate, channels;
            bool crc, marked; // marked: copyrighted and not original
            int mode;
        };
        for (const Case& c : {Case{"64", "2", false, false, 0}, Case{"320", "3", true, true, 1}, Case{"128", "1", false, false, 1}}) {
            Mp3EncoderOptions o;
            o.bitrate = c.bitrate;
            o.channels = c.channels;
            o.crc = c.crc;
            o.copyright = o.nonOriginal = c.marked;
            Mp3Job job(settings(o));
            QVERIFY2(job.run().ok(), qPrintable(c.bitrate));
            const QByteArray f = ReadAll(out + "Track 1.mp3");
            const FrameHeader h = SecondFrame(f, ReadTags(f).audioStart);
            QVERIFY(std::tie(h.bitrate, h.mode, h.crc, h.marks) == std::make_tuple(c.bitrate.toInt(), c.mode, c.crc, c.marked ? 2 : 1));
        }
    }

    void duplicateTitlesAndParallelEncodersGiveTheSameFiles()
    {
        SV_REQUIRE_TOOL(HaveLame(), "lame");
        makeRecording(4, 3.0);
        for (int k = 1; k <= 4; ++k)
            QVERIFY(XMLSetValue(k == 3 ? "Other" : "Same: Song", "Name", TrackSection(k), index));
        Mp3EncoderOptions o;
        o.id3 = 1;
        QMap<QString, QString> sums;
        for (int jobs : {1, 3}) {
            Mp3Job job(settings(o, jobs));
            QList<int> order;
            connect(&job, &Mp3Job::trackEncoded, this, [&](int i, const QString&) { order << i; });
            QVERIFY(job.run().ok());
            QCOMPARE(order, QList<int>({0, 1, 2, 3}));
            QCOMPARE(job.fileNames(),
                     QStringList({"Same Song.mp3", "Same Song (2).mp3", "Other.mp3", "Same Song (3).mp3"}));
            QStringList inFolder = QDir(out).entryList(QDir::Files);
            QCOMPARE(inFolder.size(), 4);
            for (const QString& n : inFolder) {
                if (jobs == 1)
                    sums[n] = Md5(out + n);
                else
                    QCOMPARE(Md5(out + n), sums[n]);
            }
        }
    }

    void progressFollowsTheEncoder()
    {
        SV_REQUIRE_TOOL(HaveLame(), "lame");
        makeRecording(2, 20.0);
        Mp3Job job(settings(Mp3EncoderOptions{}));
        QList<int> percents;
        QStringList started;
        qint64 lastDone = -1, total = 0;
        connect(&job, &Mp3Job::trackPercent, this, [&](int i, int p) {
            if (i == 0)
                percents << p;
        });
        connect(&job, &Mp3Job::trackStarted, this, [&](int, int, const QString& s) { started << s; });
        connect(&job, &Job::progress, this, [&](qint64 d, qint64 t, const QString&) {
            QVERIFY(d >= lastDone);
            lastDone = d;
            total = t;
        });
        QVERIFY(job.run().ok());
        QCOMPARE(started, QStringList({"Compressing Track-1", "Compressing Track-2"}));
        QVERIFY2(percents.size() >= 3, qPrintable(QString::number(percents.size())));
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        QVERIFY(percents.last() >= 90);
        QVERIFY(total == 200 && lastDone == 200);
    }

    void failingEncoderLeavesNothing()
    {
        makeRecording(3);
        const QStringList before = recFolder();
        // Writes part of a file, complains, fails.
        Mp3JobSettings s = settings(Mp3EncoderOptions{}, 2);
        s.programFolder = fakeLame("echo partial > \"$out\"; echo 'Error: boom on input' >&2; exit 3");
        Mp3Job job(s);
        JobResult r = job.run();
        QCOMPARE(job.encoderPath(), s.programFolder + "lame"); // the program folder comes first
        QCOMPARE(r.code, Mp3Code::EncodeFailed);
        QVERIFY(Mp3FailureText(r).startsWith("Compressing the file failed: "));
        QVERIFY(Mp3FailureText(r).contains("Error: boom on input"));
        expectNothingLeft(before);

        // Ends well but writes no file.
        s.programFolder = fakeLame("exit 0");
        Mp3Job job2(s);
        r = job2.run();
        QCOMPARE(r.code, Mp3Code::OutputMissing);
        QVERIFY(Mp3FailureText(r).startsWith("The compressed file was not created. Commandline= " +
                                             s.programFolder + "lame --brief -b 128"));
        expectNothingLeft(before);
    }

    void cancelStopsTheEncoder()
    {
        makeRecording(2);
        const QStringList before = recFolder();
        Mp3JobSettings s = settings(Mp3EncoderOptions{}, 2);
        s.programFolder = fakeLame("echo partial > \"$out\"; exec sleep 60");
        Mp3Job job(s);
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            job.cancel();
        });
        const JobResult r = job.run();
        canceller.join();
        QVERIFY(r.canceled());
        expectNothingLeft(before);
    }

    void cliEncodesWithStoredOptions()
    {
        SV_REQUIRE_TOOL(HaveLame(), "lame");
        makeRecording(3);
        TrackTags t{"A/B", "Art", "Alb", "2001", "Jazz", ""};
        QVERIFY(SaveTrackTags(index, 1, t));
        XMLSetValue("A/B", "Name", "Track2", index);
        QVERIFY(XMLSetValue("64", "Bitrate", kMp3Section, ""));
        QVERIFY(XMLSetValue("4", "Channels", kMp3Section, ""));
        QVERIFY(XMLSetValue("2", "ID3", kMp3Section, ""));
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/sonivault-cli",
                {"encode", "mp3", index, out, "--jobs", "2"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
                 out + "AB.mp3\n" + out + "AB (2).mp3\n" + out + "Track 3.mp3\n");
        // The stored options: 64 kbit/s mono, version 1 tags only.
        const QByteArray f = ReadAll(out + "AB.mp3");
        QVERIFY(ReadTags(f).v1 && !ReadTags(f).v2);
        QVERIFY(SecondFrame(f, 0).bitrate == 64 && SecondFrame(f, 0).mode == 3);
    }
};

QTEST_GUILESS_MAIN(TestMp3Encode)
#include "tst_Mp3Encode.moc"
