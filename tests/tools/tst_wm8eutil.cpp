// wm8eutil, our WMA encoder, run as the WMA page runs it, on generated WAV
// files; results read back with the real ffprobe.
#include "support/TestEnv.h"
#include "support/TestRequire.h"
#include "tools/WmaCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QtTest>

#include <optional>

#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace svtest;

struct Run {
    int code = -1;
    QString err;
};

} // namespace

class TestWm8eUtil : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString m_wav; // 20 s, stereo, 16-bit, 44100 Hz
    static constexpr double kWavSeconds = 20.0;

    static QString Tool() { return QCoreApplication::applicationDirPath() + "/wm8eutil"; }

    Run Encode(const QStringList& args)
    {
        QProcess p;
        p.start(Tool(), args);
        Run r;
        if (!p.waitForFinished(120000))
            return r;
        r.err = QString::fromUtf8(p.readAllStandardError());
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return r;
    }

    // A fresh, empty folder per case, so leftovers are easy to see.
    QString NewFolder(const QString& name)
    {
        const QString dir = env.root() + "/" + name;
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        return dir;
    }

    static QStringList FilesIn(const QString& dir)
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(Tool()), "wm8eutil is not built beside the test");
        m_wav = env.writeFile("side.wav", ChordWav(44100, 2, Sample::S16, kWavSeconds));
        QVERIFY(!m_wav.isEmpty());
    }

    // Every setting on a stereo 44100 Hz side; other layouts are converted to it.
    void encodes_data()
    {
        QTest::addColumn<int>("kbps");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<double>("seconds");
        for (int kbps : {32, 64, 192})
            QTest::newRow(qPrintable(QString::number(kbps))) << kbps << 44100 << 2 << kWavSeconds;
        QTest::newRow("mono 44100") << 128 << 44100 << 1 << 7.3;
        QTest::newRow("stereo 48000") << 128 << 48000 << 2 << 7.3;
        QTest::newRow("mono 22050") << 128 << 22050 << 1 << 7.3;
    }

    void encodes()
    {
        SV_REQUIRE_TOOL(HaveFfmpeg(), "ffprobe/ffmpeg");
        QFETCH(int, kbps);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(double, seconds);
        const QString in = seconds == kWavSeconds ? m_wav : env.writeFile("layout.wav", ChordWav(rate, channels, Sample::S16, seconds));
        const QString dir = NewFolder("profile");
        const QString out = dir + "/Track 1.wma";
        const Run r = Encode({"-input", in, "-output", out, "-a_setting", QString::number(kbps) + "_44_2"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QCOMPARE(FilesIn(dir), QStringList{"Track 1.wma"});

        const QJsonObject probe = Probe(out);
        const QJsonObject format = probe["format"].toObject();
        const QJsonObject stream = probe["streams"].toArray().at(0).toObject();
        QCOMPARE(QStringList({format["format_name"].toString(), stream["codec_name"].toString(),
                              stream["sample_rate"].toString(), QString::number(stream["channels"].toInt())}),
                 QStringList({"asf", "wmav2", "44100", "2"}));
        // The whole file's rate, headers and packet framing included.
        const double duration = format["duration"].toString().toDouble();
        const double bitRate = format["size"].toString().toDouble() * 8 / duration;
        QVERIFY2(std::abs(bitRate - kbps * 1000.0) <= kbps * 100.0,
                 qPrintable(QString("%1 b/s for %2 kbps").arg(bitRate).arg(kbps)));
        QVERIFY2(std::abs(duration - seconds) <= 0.050, qPrintable(QString::number(duration)));
        QCOMPARE(DecodeErrors(out), QString());
    }

    void tagsReadBackExactly_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("quotes") << R"(He said "stop" and 'go' \"twice\")";
        QTest::newRow("command substitution") << "$(touch /tmp/wm8e-pwned) `id`";
        QTest::newRow("leading dash") << "-output";
        QTest::newRow("non-ASCII") << QString::fromUtf8("Motörhead – Ça plane pour moi · 日本の歌 🎵");
        QTest::newRow("300 characters") << QString("Long title ").repeated(27).left(297) + "end";
    }

    void tagsReadBackExactly()
    {
        SV_REQUIRE_TOOL(HaveFfmpeg(), "ffprobe/ffmpeg");
        QFETCH(QString, value);
        const QString out = NewFolder("tags") + "/t.wma";
        const Run r = Encode({"-input", m_wav, "-output", out, "-a_setting", "64_44_2", "-title", value, "-author",
                              "A " + value, "-copyright", "C " + value, "-description", "D " + value});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        const QJsonObject tags = Probe(out)["format"].toObject()["tags"].toObject();
        QCOMPARE(QStringList({tags["title"].toString(), tags["artist"].toString(), tags["copyright"].toString(),
                              tags["comment"].toString()}),
                 QStringList({value, "A " + value, "C " + value, "D " + value}));
        QVERIFY(!QFile::exists("/tmp/wm8e-pwned"));
    }

    // Without tag options no tags are written; an older file at the output is replaced.
    void noTagsOverAnOlderFile()
    {
        SV_REQUIRE_TOOL(HaveFfmpeg(), "ffprobe/ffmpeg");
        const QString dir = NewFolder("replace");
        const QString out = dir + "/t.wma";
        QVERIFY(svtest::writeFile(out, "an older, broken file"));
        // Spaces around the setting, as a command line built as text leaves them, are fine.
        QCOMPARE(Encode({"-input", m_wav, "-output", out, "-a_setting", " 64_44_2 "}).code, 0);
        QCOMPARE(DecodeErrors(out), QString());
        const QJsonObject tags = Probe(out)["format"].toObject()["tags"].toObject();
        for (const char* key : {"title", "artist", "author", "copyright", "comment"})
            QVERIFY2(!tags.contains(key), key);
        QCOMPARE(FilesIn(dir), QStringList{"t.wma"});
        QVERIFY(QFile(out).permissions() & QFileDevice::ReadOther); // not left private to us
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("input");  // a file name in tmp(), made below, or a path
        QTest::addColumn<QString>("output"); // relative to the case's folder
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason"); // part of the one-line message

        QTest::newRow("missing input") << "missing.wav" << "t.wma" << "128_44_2" << 1 << "No such file or directory";
        QTest::newRow("8-bit") << "u8.wav" << "t.wma" << "128_44_2" << 1 << "8-bit PCM audio; only 16-bit PCM";
        QTest::newRow("24-bit") << "s24.wav" << "t.wma" << "128_44_2" << 1 << "24-bit PCM audio; only 16-bit PCM";
        QTest::newRow("float") << "f32.wav" << "t.wma" << "128_44_2" << 1 << "32-bit floating-point audio";
        QTest::newRow("not a WAV") << "text.wav" << "t.wma" << "128_44_2" << 1 << "is not a WAV file";
        QTest::newRow("no sound") << "empty.wav" << "t.wma" << "128_44_2" << 1 << "holds no sound";
        QTest::newRow("input is a folder") << "." << "t.wma" << "128_44_2" << 1 << "is a folder";
        QTest::newRow("output folder missing") << "ok.wav" << "missing/t.wma" << "128_44_2" << 1
                                               << "cannot write into folder";
        QTest::newRow("output folder is a file") << "ok.wav" << "file/t.wma" << "128_44_2" << 1 << "Not a directory";
        QTest::newRow("output is a folder") << "ok.wav" << "sub" << "128_44_2" << 1 << "is a folder";
        QTest::newRow("read-only folder") << "ok.wav" << "ro/t.wma" << "128_44_2" << 1 << "Permission denied";
        QTest::newRow("unknown setting") << "ok.wav" << "t.wma" << "0_44_2" << 2 << "unknown setting";
        QTest::newRow("no output") << "ok.wav" << "" << "128_44_2" << 2 << "no output file given";
    }

    void refusals()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(QString, setting);
        QFETCH(int, code);
        QFETCH(QString, reason);
        const QString dir = NewFolder("refusal");
        QDir(dir).mkdir("sub");
        QDir(dir).mkdir("ro");
        QFile::setPermissions(dir + "/ro", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QFile flat(dir + "/file");
        QVERIFY(flat.open(QIODevice::WriteOnly));
        flat.close();
        env.writeFile("u8.wav", ChordWav(44100, 2, Sample::U8, 1));
        env.writeFile("s24.wav", ChordWav(44100, 2, Sample::S24, 1));
        env.writeFile("f32.wav", ChordWav(44100, 2, Sample::F32, 1));
        env.writeFile("text.wav", "This is a text file, not a recording.\n");
        env.writeFile("empty.wav", ChordWav(44100, 2, Sample::S16, 0));
        env.writeFile("ok.wav", ChordWav(44100, 2, Sample::S16, 1));

        const QString in = input == "." ? dir + "/sub" : env.tmp() + input;
        QStringList args{"-input", in, "-a_setting", setting};
        if (!output.isEmpty())
            args << "-output" << dir + "/" + output;
        // Folder permissions do not bind root: the read-only case runs the
        // encoder as an ordinary user, who must be able to reach the input.
        const bool asUser = QByteArray(QTest::currentDataTag()) == "read-only folder";
        if (asUser) {
            QVERIFY(svtest::OpenToOthers(env.root(), dir) && svtest::OpenToOthers(env.root(), env.tmp()));
            QVERIFY(QFile::setPermissions(in, QFile::permissions(in) | QFileDevice::ReadOther));
        }
        std::optional<svtest::AsOrdinaryUser> user;
        if (asUser)
            user.emplace();
        QVERIFY(!user || user->ok());
        const Run r = Encode(args);
        user.reset();
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.startsWith("wm8eutil: ") && r.err.endsWith('\n') && r.err.count('\n') == 1, qPrintable(r.err));
        QVERIFY2(r.err.contains(reason), qPrintable(r.err));
        if (input == "missing.wav")
            QVERIFY2(r.err.contains(in), qPrintable(r.err));
        QCOMPARE(FilesIn(dir), QStringList{"file"}); // nothing new beside the prepared file
        QCOMPARE(FilesIn(dir + "/sub"), QStringList());
        QCOMPARE(FilesIn(dir + "/ro"), QStringList());
        QFile::setPermissions(dir + "/ro", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void outputOverInputIsRefused()
    {
        const QString wav = env.writeFile("self.wav", ChordWav(44100, 2, Sample::S16, 1));
        const QByteArray before = ChordWav(44100, 2, Sample::S16, 1);
        const Run r = Encode({"-input", wav, "-output", env.tmp() + "./self.wav", "-a_setting", "128_44_2"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("is the input file itself"), qPrintable(r.err));
        QFile f(wav);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    // A write that fails halfway (a full disk; here a file-size limit) is reported and cleaned up.
    void failedWriteLeavesNothing()
    {
        const QString dir = NewFolder("limit");
        QProcess p;
        p.setChildProcessModifier([] {
            const rlimit limit{100000, 100000};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        p.start(Tool(), {"-input", m_wav, "-output", dir + "/t.wma", "-a_setting", "192_44_2"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()),
                 "wm8eutil: cannot write \"" + dir + "/t.wma\": File too large\n");
        QCOMPARE(FilesIn(dir), QStringList());
    }

    // The page may end the encoder (the user quits): the half-written file goes with it.
    void terminatedRunLeavesNothing()
    {
        const QString in = env.writeFile("long.wav", ChordWav(44100, 2, Sample::S16, 240));
        const QString dir = NewFolder("terminated");
        QProcess p;
        p.start(Tool(), {"-input", in, "-output", dir + "/t.wma", "-a_setting", "192_44_2"});
        QVERIFY(p.waitForStarted());
        QElapsedTimer t;
        t.start();
        while (FilesIn(dir).isEmpty() && p.state() == QProcess::Running && t.elapsed() < 20000)
            QTest::qWait(5);
        QVERIFY2(p.state() == QProcess::Running, "finished before it could be stopped");
        QCOMPARE(FilesIn(dir).size(), 1);
        QVERIFY2(FilesIn(dir).at(0).endsWith(".part"), qPrintable(FilesIn(dir).at(0)));
        p.terminate();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(FilesIn(dir), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestWm8eUtil)
#include "tst_wm8eutil.moc"
