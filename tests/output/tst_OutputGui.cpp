// The runner's messages and the copy with its replace question, as the user
// sees them.
#include "output/DOSOutputs.h"
#include "output/FileOperationDialog.h"
#include "output/RunnerMessages.h"
#include "support/MsgBoxScript.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace sv;

class TestOutputGui : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void runnerMessagesUseThePlainBox_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString() << "Command Line empty";
        QTest::newRow("missing") << "/nonexistent/lame" << "File or command not found";
    }
    void runnerMessagesUseThePlainBox()
    {
        QFETCH(QString, program);
        QFETCH(QString, text);
        InstallRunnerMessageBoxes();
        svtest::MsgBoxScript boxes;
        boxes.answer(vbOK);
        DOSOutputs dos;
        QCOMPARE(dos.ExecuteCommand(program, {}), QString());
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.last().text, text);
        QCOMPARE(boxes.last().title, QStringLiteral("Sonivault"));
        QCOMPARE(boxes.last().style, 16);
        QVERIFY(boxes.last().plain);
        SetRunnerMessageHandler({});
    }

    void replacingAnExistingFileAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("yes") << int(vbYes) << "" << true;
        QTest::newRow("no") << int(vbNo) << "" << false;
        QTest::newRow("cancel") << int(vbCancel) << "Move canceled." << false;
    }
    void replacingAnExistingFileAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(QString, result);
        QFETCH(bool, replaced);
        const QString src = env.root() + "/src/";
        const QString dst = env.root() + "/dst";
        QDir(src).removeRecursively();
        QDir(dst).removeRecursively();
        QDir().mkpath(src);
        QDir().mkpath(dst);
        writeFile(src + "Track 1.wav", "new track");
        writeFile(src + "Track 2.wav", "second");
        writeFile(dst + "/Track 1.wav", "old");
        svtest::MsgBoxScript boxes;
        boxes.answer(answer);
        QCOMPARE(ShellFileOperation(nullptr, {src + "Track 1.wav", src + "Track 2.wav"}, dst, FileOp::Copy,
                                    "Please Wait..."),
                 result);
        QVERIFY2(!boxes.unexpected(), qPrintable(boxes.unexpectedText()));
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("Confirm File Replace"));
        QVERIFY(boxes.last().text.contains(QLatin1String("\"Track 1.wav\"")));
        QCOMPARE(boxes.last().style, vbYesNoCancel + vbQuestion);
        QCOMPARE(readFile(dst + "/Track 1.wav"), replaced ? QByteArray("new track") : QByteArray("old"));
        QCOMPARE(QFile::exists(dst + "/Track 2.wav"), result.isEmpty());
    }
};

QTEST_MAIN(TestOutputGui)
#include "tst_OutputGui.moc"
