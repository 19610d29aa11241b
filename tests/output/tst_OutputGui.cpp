// The runner's messages and the copy with its replace question, as the user
// sees them.
#include "output/DOSOutputs.h"
#include "output/ui/FileOperationDialog.h"
#include "output/ui/RunnerMessages.h"
#include "support/MsgBoxScript.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProgressDialog>
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
    // The runner's message texts are the core's; here they reach a box.
    void runnerMessagesUseThePlainBox()
    {
        InstallRunnerMessageBoxes();
        svtest::MsgBoxScript boxes;
        boxes.answer(vbOK);
        DOSOutputs dos;
        QCOMPARE(dos.ExecuteCommand(QStringLiteral("/nonexistent/lame"), {}), QString());
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.last().text, QStringLiteral("File or command not found"));
        QCOMPARE(boxes.last().title, QStringLiteral("Sonivault"));
        QCOMPARE(boxes.last().style, 16);
        QVERIFY(boxes.last().plain);
        SetRunnerMessageHandler({});
    }

    // Tracks 1-3 in the recording folder; the destination holds older files
    // of the tracks listed in `existing`.
    QString prepare(const QList<int>& existing)
    {
        const QString dst = env.root() + "/dst";
        for (const QString& d : {src(), dst}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        for (int i = 1; i <= 3; ++i)
            writeFile(sources()[i - 1], "new " + QByteArray::number(i));
        for (int i : existing)
            writeFile(dst + QString("/Track %1.wav").arg(i), "old");
        return dst;
    }
    QString src() const { return env.root() + "/src/"; }
    QStringList sources() const { return {src() + "Track 1.wav", src() + "Track 2.wav", src() + "Track 3.wav"}; }

    void replacingExistingFilesAsksFirst_data()
    {
        QTest::addColumn<QList<int>>("existing");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QList<int>>("styles"); // button set of each question
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("after"); // per track: n new, o old, - none
        const int one = vbYesNoCancel + vbQuestion, many = vbYesNoAllCancel + vbQuestion;
        QTest::newRow("one, cancel") << QList<int>{2} << QList<int>{vbCancel} << QList<int>{one} << kMoveCanceled
                                     << "-o-";
        QTest::newRow("yes to all") << QList<int>{1, 2, 3} << QList<int>{vbYesToAll} << QList<int>{many} << ""
                                    << "nnn";
        QTest::newRow("yes, then no to all") << QList<int>{1, 2, 3} << QList<int>{vbYes, vbNoToAll}
                                             << QList<int>{many, many} << "" << "noo";
        QTest::newRow("no, no, last asks plainly") << QList<int>{1, 2, 3} << QList<int>{vbNo, vbNo, vbYes}
                                                   << QList<int>{many, many, one} << "" << "oon";
        // Nothing is copied before every question is answered.
        QTest::newRow("cancel at the second") << QList<int>{1, 3} << QList<int>{vbYes, vbCancel}
                                              << QList<int>{many, one} << kMoveCanceled << "o-o";
    }
    void replacingExistingFilesAsksFirst()
    {
        QFETCH(QList<int>, existing);
        QFETCH(QList<int>, answers);
        QFETCH(QList<int>, styles);
        QFETCH(QString, result);
        QFETCH(QString, after);
        const QString dst = prepare(existing);
        svtest::MsgBoxScript boxes;
        for (int a : answers)
            boxes.answer(a);
        QCOMPARE(ShellFileOperation(nullptr, sources(), dst, FileOp::Copy, "Please Wait..."), result);
        QVERIFY2(!boxes.unexpected(), qPrintable(boxes.unexpectedText()));
        QCOMPARE(boxes.shown.size(), styles.size());
        for (int i = 0; i < styles.size(); ++i) {
            QCOMPARE(boxes.shown[i].title, QStringLiteral("Confirm File Replace"));
            QCOMPARE(boxes.shown[i].style, styles[i]);
        }
        QVERIFY(boxes.shown[0].text.contains(QString("\"Track %1.wav\"").arg(existing[0])));
        for (int i = 1; i <= 3; ++i) {
            const QByteArray got = readFile(dst + QString("/Track %1.wav").arg(i));
            const QChar want = after[i - 1];
            QCOMPARE(got, want == 'n' ? "new " + QByteArray::number(i) : want == 'o' ? QByteArray("old") : QByteArray());
        }
    }

    // A user takes time to answer; no progress box may come up over the
    // question meanwhile, or the question cannot be answered.
    void questionIsNotCovered()
    {
        const QString dst = prepare({1, 2});
        QWidget main;
        main.resize(400, 300);
        main.show();
        int asked = 0;
        SetMsgBoxResponder([&](const MsgBoxShown&) {
            QTest::qWait(700);
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<QProgressDialog*>(w) && w->isVisible())
                    return int(vbCancel);
            ++asked;
            return int(vbYes);
        });
        const QString r = ShellFileOperation(&main, sources(), dst, FileOp::Copy, "Please Wait...");
        SetMsgBoxResponder({});
        QCOMPARE(r, QString());
        QCOMPARE(asked, 2);
        QCOMPARE(readFile(dst + "/Track 2.wav"), QByteArray("new 2"));
    }
};

QTEST_MAIN(TestOutputGui)
#include "tst_OutputGui.moc"
