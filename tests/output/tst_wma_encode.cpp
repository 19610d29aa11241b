// WMA encoding with the real wm8eutil on generated track files: the files,
// their tags read back with ffprobe, duplicate titles, the profile, failing
// and missing encoders, cancel, parallel runs and the CLI.
#include "output/FakeTool.h"
#include "output/WmaEncode.h"
#include "settings/modXML.h"
#include "support/TestEnv.h"
#include "support/TestRequire.h"
#include "tools/WmaCheck.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

using namespace sv;

namespace {

bool WriteTrack(const QString& path, double seconds)
{
    return svtest::writeFile(path, svtest::ChordWav(44100, 2, svtest::Sample::S16, seconds));
}

// Every file below a folder (hidden ones too), relative, sorted.
QStringList Tree(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

QByteArray Hash(const QString& dir)
{
    QCryptographicHash h(QCryptographicHash::Sha1);
    for (const QString& f : Tree(dir)) {
        QFile file(dir + "/" + f);
        if (file.open(QIODevice::ReadOnly))
            h.addData(f.toUtf8() + file.readAll());
    }
    return h.result();
}

} // namespace

class TestWmaEncode : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString m_rec;   // recording folder with its track files and recording.xml
    QString m_index;
    QString m_save;

    // A split recording of count tracks, each `seconds` long, named as given.
    void MakeRecording(const QStringList& names, double seconds = 2.0)
    {
        m_rec = env.root() + "/rec";
        m_save = env.root() + "/save";
        QDir(m_rec).removeRecursively();
        QDir(m_save).removeRecursively();
        QDir().mkpath(m_rec);
        QDir().mkpath(m_save);
        m_index = m_rec + "/recording.xml";
        XMLSetValue(QString::number(names.size()), "Tracks", "", m_index);
        for (int k = 1; k <= names.size(); ++k) {
            const QString file = m_rec + "/Track " + QString::number(k) + ".wav";
            QVERIFY(WriteTrack(file, seconds));
            XMLSetValue(file, "Filename", "Track" + QString::number(k), m_index);
            XMLSetValue(names[k - 1], "Name", "Track" + QString::number(k), m_index);
        }
    }

    // Encodes and moves as the page does; the move's result.
    JobResult EncodeAndMove(WmaEncodeJob& job)
    {
        const JobResult r = job.run();
        if (!r.ok())
            return r;
        WmaMoveJob move(job.outputs(), m_save + "/");
        const JobResult m = move.run();
        job.discard();
        return m;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QDir().mkpath(env.dataFolder());
        SetSettingsFile(env.dataFolder() + "settings.xml");
        QVERIFY2(QFile::exists(QCoreApplication::applicationDirPath() + "/wm8eutil"), "wm8eutil is not built");
    }

    void filesAndHostileTags()
    {
        SV_REQUIRE_TOOL(svtest::HaveFfmpeg(), "ffprobe");
        const QStringList hostile{R"(He said "stop" \"twice\")", "$(touch /tmp/wma-pwned) `id`; rm -rf ~",
                                  QString::fromUtf8("Motörhead – Ça plane 日本の歌 🎵"), "-output"};
        MakeRecording(hostile + QStringList{""});
        for (int k = 1; k <= hostile.size(); ++k) {
            const QString s = "Track" + QString::number(k);
            XMLSetValue("A " + hostile[k - 1], "Artist", s, m_index);
            XMLSetValue("C " + hostile[k - 1], "Copyright", s, m_index);
            XMLSetValue("D " + hostile[k - 1], "Description", s, m_index);
        }
        const QByteArray before = Hash(m_rec);
        WmaEncodeJob job({m_index, 0, "128 kbps Normal Quality", {}, 1});
        QSignalSpy progress(&job, &Job::progress);
        QCOMPARE(EncodeAndMove(job).code, 0);

        QStringList expected{"Track 5.wma"};
        for (int k = 1; k <= hostile.size(); ++k)
            expected << WmaFileBase(hostile[k - 1], k) + ".wma";
        expected.sort();
        QCOMPARE(Tree(m_save), expected);
        QVERIFY(expected.contains("-output.wma"));
        for (int k = 1; k <= hostile.size(); ++k) {
            const QString file = m_save + "/" + WmaFileBase(hostile[k - 1], k) + ".wma";
            const QJsonObject probe = svtest::Probe(file);
            QCOMPARE(probe["streams"].toArray().at(0).toObject()["codec_name"].toString(), "wmav2");
            const QJsonObject tags = probe["format"].toObject()["tags"].toObject();
            QCOMPARE(QStringList({tags["title"].toString(), tags["artist"].toString(), tags["copyright"].toString(),
                                  tags["comment"].toString()}),
                     QStringList({hostile[k - 1], "A " + hostile[k - 1], "C " + hostile[k - 1], "D " + hostile[k - 1]}));
        }
        // A track without a name: the file is named after it, and has no title.
        const QJsonObject untitled = svtest::Probe(m_save + "/Track 5.wma")["format"].toObject()["tags"].toObject();
        QVERIFY(!untitled.contains("title") && !untitled.contains("artist"));
        QVERIFY(!QFile::exists("/tmp/wma-pwned"));
        QCOMPARE(Hash(m_rec), before); // the tracks untouched, no work folder left
        QCOMPARE(progress.first().at(2).toString(), "Compressing " + hostile[0]);
        QCOMPARE(progress.last().at(0).toLongLong(), 5);
    }

    void failingEncoder_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text"); // the message; "COMMAND" stands for the second track's command line
        // Fails on the second track, after writing part of its file.
        const QString second = R"(case "$2" in *"Track 2.wav") echo partial > "$4"; )";
        QTest::newRow("fails with a reason")
            << second + R"(echo 'wm8eutil: cannot write "x": No space left on device' >&2; exit 1;; esac; echo ok > "$4")"
            << WmaCode::EncoderFailed << R"(Compressing the file failed: cannot write "x": No space left on device  In wm8eutil)";
        QTest::newRow("fails silently") << second + R"(exit 3;; esac; echo ok > "$4")" << WmaCode::EncoderFailed
                                        << "Compressing the file failed: exit code 3  In wm8eutil";
        QTest::newRow("makes no file") << R"(case "$2" in *"Track 2.wav") exit 0;; esac; echo ok > "$4")"
                                       << WmaCode::FileMissing << "The compressed file was not created. Commandline= COMMAND";
        QTest::newRow("crashes") << second + R"(kill -SEGV $$;; esac; echo ok > "$4")" << WmaCode::EncoderFailed
                                 << "Compressing the file failed: the encoder stopped unexpectedly  In wm8eutil";
    }

    void failingEncoder()
    {
        QFETCH(QString, script);
        QFETCH(int, code);
        QFETCH(QString, text);
        MakeRecording({"One", "Two", "Three"}, 0.5);
        const QByteArray before = Hash(m_rec);
        const QString bin = svtest::fakeProgram(env.root() + "/fakebin", "wm8eutil", script.toUtf8());
        WmaEncodeJob job({m_index, 0, "128 kbps Normal Quality", bin, 1});
        const JobResult r = job.run();
        QCOMPARE(r.code, code);
        QCOMPARE(job.failedTrack(), 2);
        const WmaTrack second = job.tracks().at(1);
        QVERIFY(second.commandLine.startsWith(bin + "/wm8eutil -input \"" + m_rec + "/Track 2.wav\" -output \""));
        QVERIFY(second.commandLine.endsWith("/Two.wma\" -a_setting 128_44_2  -title \"Two\""));
        QCOMPARE(WmaFailureText(r), QString(text).replace("COMMAND", second.commandLine));
        QCOMPARE(job.outputs(), QStringList());
        QCOMPARE(Hash(m_rec), before); // neither the first track's file nor the partial one stays
    }

    void missingEncoder()
    {
        MakeRecording({"One"}, 0.5);
        const QString bin = env.root() + "/emptybin";
        QDir().mkpath(bin);
        WmaEncodeJob job({m_index, 0, {}, bin, 1});
        const JobResult r = job.run();
        QCOMPARE(WmaFailureText(r), "The WMA encoder can't be found. Please reinstall Sonivault. STR=" + bin + "/wm8eutil");
        QCOMPARE(Tree(m_rec), QStringList({"Track 1.wav", "recording.xml"}));
    }

    // The page's Cancel (or the window closing) mid-track: nothing half made stays.
    void cancelLeavesNothing()
    {
        MakeRecording({"Long", "Longer"}, 120.0);
        const QByteArray before = Hash(m_rec);
        WmaEncodeJob job({m_index, 0, "192 kbps High Quality", {}, 1});
        QSignalSpy finished(&job, &Job::finished);
        job.start();
        QElapsedTimer t;
        t.start();
        auto partFile = [this] {
            return Tree(m_rec).filter(".part").size() == 1;
        };
        while (!partFile() && job.isRunning() && t.elapsed() < 20000)
            QTest::qWait(5);
        QVERIFY2(partFile(), "the encoder did not start writing");
        job.cancel();
        QVERIFY(finished.wait(20000));
        QVERIFY(job.result().canceled());
        QCOMPARE(WmaFailureText(job.result()), QString());
        QCOMPARE(Hash(m_rec), before);
        QCOMPARE(Tree(m_save), QStringList());
    }

    void moveCancelAndFailure()
    {
        MakeRecording({"One", "Two"}, 0.5);
        WmaEncodeJob job({m_index, 0, {}, {}, 1});
        QVERIFY(job.run().ok());
        FileOpCallbacks stopAtOnce;
        stopAtOnce.progress = [](qint64, qint64, const QString&) { return false; };
        WmaMoveJob canceled(job.outputs(), m_save, stopAtOnce);
        QCOMPARE(WmaFailureText(canceled.run()), "Error moving or copying files. Move canceled.");
        QCOMPARE(Tree(m_save), QStringList());
        WmaMoveJob missing(job.outputs(), m_save + "/gone");
        const JobResult r = missing.run();
        QCOMPARE(r.code, WmaCode::MoveFailed);
        QVERIFY(WmaFailureText(r).startsWith("Error moving or copying files. "));
    }

    // Several encoders at once: duplicate titles named apart, finished
    // tracks reported in track order.
    void parallelRunKeepsOrderAndNames()
    {
        MakeRecording({"Song", "Song", "AC/DC", "song", "E"}, 1.0);
        // The first track is the longest, so later ones finish before it.
        QVERIFY(WriteTrack(m_rec + "/Track 1.wav", 15.0));
        QVERIFY(SetWmaProfile("32 kbps Very Low Quality")); // no profile given: the stored one
        WmaEncodeJob job({m_index, 0, {}, {}, 3});
        QSignalSpy done(&job, &WmaEncodeJob::trackFinished);
        QCOMPARE(EncodeAndMove(job).code, 0);
        QVERIFY(job.tracks().at(0).commandLine.endsWith("-a_setting 32_44_2  -title \"Song\""));
        QCOMPARE(done.size(), 5);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(done.at(i).at(0).toInt(), i + 1);
        QCOMPARE(Tree(m_save), QStringList({"ACDC.wma", "E.wma", "Song (2).wma", "Song.wma", "song (3).wma"}));
        if (svtest::HaveFfmpeg())
            QCOMPARE(svtest::Probe(m_save + "/Song (2).wma")["format"].toObject()["tags"].toObject()["title"].toString(), "Song");
    }

    void cli()
    {
        MakeRecording({"First", "Second", "First"}, 1.0);
        const QString tool = QCoreApplication::applicationDirPath() + "/sonivault-cli";
        QProcess p;
        p.start(tool, {"encode", "wma", m_index, m_save, "--jobs", "2"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()), QString());
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
                 m_save + "/First.wma\n" + m_save + "/Second.wma\n" + m_save + "/First (2).wma\n");
        QCOMPARE(Tree(m_rec), QStringList({"Track 1.wav", "Track 2.wav", "Track 3.wav", "recording.xml"}));
        p.start(tool, {"encode", "wma", m_index, m_save, "--jobs", "0"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestWmaEncode)
#include "tst_wma_encode.moc"
