// sonivault-cli's output commands, run as a user would run them.
#include "output/TrackFiles.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

using namespace sv;

class TestCliOutput : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

    int cli(const QStringList& args, QString* out = nullptr, QString* err = nullptr)
    {
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/sonivault-cli", args);
        if (!p.waitForFinished(30000))
            return -1;
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private Q_SLOTS:
    void saveCheck()
    {
        QString out, err;
        QCOMPARE(cli({"save-check", "MUSIC"}, &out), 0);
        QCOMPARE(out.trimmed(), env.root() + "/home/Music/");
        QCOMPARE(cli({"save-check", env.root() + "/missing/"}, nullptr, &err), 1);
        QCOMPARE(err.trimmed(), "Folder not found: " + env.root()
                                    + "/missing / This location cannot be found. / Please choose another.");
        QCOMPARE(cli({"save-check"}), 2);
    }

    void copyTracksOfASplitRecording()
    {
        const QString rec = env.root() + "/rec/";
        const QString dest = env.root() + "/dest";
        QDir().mkpath(rec);
        QDir().mkpath(dest);
        for (int i = 1; i <= 3; ++i) {
            QFile f(TrackFilePath(rec, i));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(1000 * i, char('a' + i)));
        }
        QVERIFY(WriteRecordingIndex(rec, 3));
        QString out, err;
        QCOMPARE(cli({"copy-tracks", RecordingIndexPath(rec), dest}, &out, &err), 0);
        for (int i = 1; i <= 3; ++i) {
            QFile f(dest + "/" + TrackFileName(i));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray(1000 * i, char('a' + i)));
        }
        QFile::remove(TrackFilePath(rec, 2));
        QCOMPARE(cli({"copy-tracks", RecordingIndexPath(rec), dest}, &out, &err), 1);
        QVERIFY(err.startsWith("Error moving or copying files. Click Back to try again. Details: "));
        QVERIFY(err.contains(TrackFilePath(rec, 2)));
    }
};

QTEST_GUILESS_MAIN(TestCliOutput)
#include "tst_CliOutput.moc"
