// The console runner against real programs (/bin/sh scripts), and the
// encoder percentage parser against recorded encoder output.
#include "output/DOSOutputs.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace sv;

class TestDOSOutputs : public QObject {
    Q_OBJECT

    svtest::TestEnv env;
    QStringList messages;

    static QStringList sh(const QString& script) { return {QStringLiteral("-c"), script}; }

    // Runs a script and returns the pieces it reported.
    QStringList run(DOSOutputs& dos, const QString& script, QString* result = nullptr)
    {
        QStringList pieces;
        connect(&dos, &DOSOutputs::ReceiveOutputs, this, [&](const QString& t) { pieces << t; });
        const QString r = dos.ExecuteCommand(QStringLiteral("/bin/sh"), sh(script));
        dos.disconnect(this);
        if (result)
            *result = r;
        return pieces;
    }

private Q_SLOTS:
    void init()
    {
        messages.clear();
        SetRunnerMessageHandler([this](const QString& t) { messages << t; });
    }
    void cleanupTestCase() { SetRunnerMessageHandler({}); }

    // The whole output comes back, and arrives in pieces of at most 256
    // bytes ending with an empty one.
    void outputAndExitCode_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("minPieces");
        const QString zeros(600, QLatin1Char('0'));
        QTest::newRow("600 bytes in three writes")
            << "printf '%0200d' 0; sleep 0.1; printf '%0200d' 0; sleep 0.1; printf '%0200d' 0" << zeros << 0 << 3;
        QTest::newRow("standard error merged")
            << "echo out; echo err >&2; sleep 0.05; echo out2" << "out\nerr\nout2\n" << 0 << 1;
        QTest::newRow("silent, failing") << "exit 3" << "" << 3 << 0;
        // 255 ASCII bytes then a two-byte character across the 256-byte read.
        QTest::newRow("character across pieces")
            << "printf '%0255d\\303\\251end' 0" << QString(255, u'0') + QString::fromUtf8("\xc3\xa9") + "end" << 0 << 1;
    }
    void outputAndExitCode()
    {
        QFETCH(QString, script);
        QFETCH(QString, result);
        QFETCH(int, exitCode);
        QFETCH(int, minPieces);
        DOSOutputs dos;
        QString got = QStringLiteral("x");
        const QStringList pieces = run(dos, script, &got);
        QVERIFY(messages.isEmpty());
        QCOMPARE(got, result);
        QCOMPARE(dos.Outputs(), result);
        QCOMPARE(dos.exitCode(), exitCode);
        QVERIFY(pieces.size() >= minPieces + 1);
        QCOMPARE(pieces.last(), QString()); // the end
        QCOMPARE(pieces.mid(0, pieces.size() - 1).join(QString()), result);
        for (int i = 0; i < pieces.size() - 1; ++i)
            QVERIFY(!pieces[i].isEmpty() && pieces[i].size() <= DOSOutputs::ReadSize);
    }

    void failuresAreReportedAndNeverHang_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QString() << int(RunnerFailure::CommandLineEmpty) << QStringLiteral("Command Line empty");
        QTest::newRow("not on PATH") << QStringLiteral("sonivault-no-such-tool") << int(RunnerFailure::NotFound)
                                     << QStringLiteral("File or command not found");
    }
    void failuresAreReportedAndNeverHang()
    {
        QFETCH(QString, program);
        QFETCH(int, failure);
        QFETCH(QString, message);
        DOSOutputs dos;
        QSignalSpy pieces(&dos, &DOSOutputs::ReceiveOutputs);
        QCOMPARE(dos.ExecuteCommand(program, {QStringLiteral("--brief")}), QString());
        QCOMPARE(int(dos.lastFailure()), failure);
        QCOMPARE(messages, QStringList{message});
        QCOMPARE(dos.lastMessage(), message);
        QCOMPARE(pieces.count(), 0);
        QVERIFY(!dos.isRunning());
    }

    void argumentsAreNeverGivenToAShell()
    {
        // Characters a shell would act on reach the program unchanged.
        DOSOutputs dos;
        const QString odd = QStringLiteral("AC/DC \"Live\"; $(rm -rf x) `y` & z");
        const QString r = dos.ExecuteCommand(QStringLiteral("/bin/sh"),
                                             {QStringLiteral("-c"), QStringLiteral("printf '%s' \"$1\""),
                                              QStringLiteral("sh"), odd});
        QCOMPARE(r, odd);
    }

    void windowKeepsWorkingWhileWaiting()
    {
        int ticks = 0;
        QTimer t;
        connect(&t, &QTimer::timeout, this, [&] { ++ticks; });
        t.start(10);
        DOSOutputs dos;
        run(dos, QStringLiteral("sleep 0.3; echo done"));
        QVERIFY(ticks > 0);
    }

    void cancelEndsTheProgram()
    {
        DOSOutputs dos;
        QStringList pieces;
        connect(&dos, &DOSOutputs::ReceiveOutputs, this, [&](const QString& t) {
            pieces << t;
            if (t.contains(QLatin1String("started")))
                dos.Cancel();
        });
        const QString r = dos.ExecuteCommand(QStringLiteral("/bin/sh"),
                                             sh(QStringLiteral("echo started; sleep 30; echo never")));
        QCOMPARE(r, QStringLiteral("started\n"));
        QCOMPARE(pieces.last(), QString());
        QCOMPARE(dos.exitCode(), -1);
    }

    void runnerDeletedFromItsOwnEventReturns()
    {
        auto* dos = new DOSOutputs;
        connect(dos, &DOSOutputs::ReceiveOutputs, this, [dos](const QString& t) {
            if (!t.isEmpty())
                dos->deleteLater();
        });
        QPointer<DOSOutputs> guard(dos);
        dos->ExecuteCommand(QStringLiteral("/bin/sh"), sh(QStringLiteral("echo x; sleep 30")));
        QVERIFY(!guard);
    }

    // -1: the bar is left as it is. In a piece of several lines each line is
    // read, and the last number wins.
    void encoderPercent()
    {
        const QList<std::pair<QString, int>> cases{
            {"     0/767    ( 0%)|", 0}, {"(12.5%)", -1}, {"(40.0%)", 40}, {"22%", -1}, {"(250%)", -1}, {QString(), -1},
            {"x|\n   kbps      %     %\x1b[K\n\r   100/767    (13%)|   0:00\n\r   200/767    (26%)|", 26}};
        for (const auto& [text, expected] : cases) {
            const auto v = EncoderPercent(text);
            QVERIFY2((v.has_value() ? *v : -1) == expected, qPrintable(text));
        }
    }

    void recordedEncoderOutputMovesTheBar()
    {
        // Real encoder output, cut into the runner's 256-byte pieces.
        QFile f(QString::fromLocal8Bit(qgetenv("SONIVAULT_SOURCE_DIR")) + "/tests/output/data/lame-progress.txt");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        PercentReader reader;
        QList<int> values;
        for (int i = 0; i < all.size(); i += DOSOutputs::ReadSize)
            if (const auto v = reader.feed(QString::fromLatin1(all.mid(i, DOSOutputs::ReadSize))))
                if (values.isEmpty() || values.last() != *v)
                    values << *v;
        QCOMPARE(values, (QList<int>{0, 13, 26, 39, 52, 65, 78, 91, 100}));
    }
};

QTEST_GUILESS_MAIN(TestDOSOutputs)
#include "tst_DOSOutputs.moc"
