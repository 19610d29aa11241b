// The helpers every area uses: formatting, parsing and file probes; jobs off
// the calling thread (reports and the end arrive in the caller's thread, a
// cancel ends one at the next report); message boxes; handing files to the
// desktop.
#include "support/MsgBoxScript.h"
#include "support/TestEnv.h"
#include "support/TestRequire.h"
#include "util/Job.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"
#include "util/ui/modShellExecute.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <atomic>
#include <functional>

#include <sys/stat.h>

using namespace sv;

namespace {

// Reports each step, held at each while the gate is shut; three steps end in
// a failure of its own.
class CountJob : public Job {
public:
    explicit CountJob(int steps, std::atomic<bool>* gate = nullptr) : m_steps(steps), m_gate(gate) {}
    QThread* workThread = nullptr;

private:
    const int m_steps;
    std::atomic<bool>* const m_gate;

    JobResult work() override
    {
        workThread = QThread::currentThread();
        for (int i = 1; i <= m_steps; ++i) {
            while (m_gate && !m_gate->load())
                QThread::msleep(1);
            if (!report(i, m_steps, QStringLiteral("step %1").arg(i)))
                return canceledResult();
        }
        return {m_steps == 3 ? JobCode::FirstOwn + 1 : JobCode::Done, m_steps == 3 ? 28 : 0, QStringLiteral("x")};
    }
};

} // namespace

class TestUtil : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

private Q_SLOTS:
    // Times and sizes as the pages show them.
    void formats()
    {
        const QList<QPair<int, QString>> times = {
            {0, "0:00"}, {9, "0:09"}, {599, "9:59"}, {600, "10:00"}, {3599, "59:59"}, {3661, "1:01:01"}, {-5, "0:00"},
            // Long takes (low rates, mono) pass the 16-bit range and still read true.
            {32768, "9:06:08"}, {100000, "27:46:40"}};
        for (const auto& [seconds, text] : times)
            QCOMPARE(FormatTime(seconds), text);
        // 1024 stays bytes, 1 GiB is 1024 MB, a 92-minute profile, no division past GB.
        const QList<QPair<double, QString>> sizes = {
            {700, "700 bytes"}, {1024, "1024 bytes"}, {1536, "1.5 KB"}, {1073741824.0, "1024 MB"},
            {1218029400.0, "1.13 GB"}, {5.0 * 1099511627776.0, "5120 GB"}};
        for (const auto& [bytes, text] : sizes)
            QCOMPARE(FormatBytes(bytes), text);
    }

    void numbersAndNames()
    {
        QCOMPARE(RoundTo(1.125, 2), 1.13);
        QCOMPARE(RoundTo(-2.5, 0), -2.0);
        QCOMPARE(Val("  3.5 min"), 3.5);
        QCOMPARE(Val("abc"), 0.0);
        QCOMPARE(Val("1e3"), 1000.0);
        for (const char* number : {"12", " 3.5", "1e3"})
            QVERIFY2(!NotNumeric(number), number);
        for (const char* text : {"", "abc", "5 min"})
            QVERIFY2(NotNumeric(text), text);
        QCOMPARE(LeadingInt("20.9", 7), 20);
        QCOMPARE(LeadingInt("", 7), 7);
        QCOMPARE(LeadingInt("junk", 7), 7);
        QCOMPARE(LeadingInt("99999999999", 7), 7);
        QCOMPARE(ShortNumber(1.5), QString("1.5"));
        QCOMPARE(AddSlash(""), QString(""));
        QCOMPARE(AddSlash("/rec/"), QString("/rec/"));
        QCOMPARE(GetFileNameFromPath("/a/b/Track 1.wav"), QString("Track 1.wav"));
        QCOMPARE(GetFileNameFromPath("/a/b/"), QString(""));
        QCOMPARE(SafeFilename("AC/DC: Back?"), QString("ACDC Back"));
        QCOMPARE(SafeFilename("\\/?:*\"<>|"), QString(""));
        QCOMPARE(SafeFilename("12\" Single. v2"), QString("12 Single. v2"));
    }

    void writeableProbeLeavesUserFilesAlone()
    {
        const QString dir = env.tmp() + "w";
        QVERIFY(QDir().mkpath(dir));
        // A file named like the old probe must survive the check untouched.
        QVERIFY(!env.writeFile("w/test.txt", "the user's notes").isEmpty());
        QVERIFY(IsFolderWriteable(dir) && IsFolderWriteable(dir + "/"));
        QFile again(dir + "/test.txt");
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), QByteArray("the user's notes"));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QVERIFY(!IsFolderWriteable("") && !IsFolderWriteable(dir + "/missing"));

        // A folder the user may not write into, beside one open to all: the
        // check answers for the user, also when the tests run as root.
        const QString ro = env.tmp() + "ro", open = env.tmp() + "open";
        QVERIFY(QDir().mkpath(ro) && QDir().mkpath(open));
        QVERIFY(::chmod(qPrintable(ro), 0555) == 0 && ::chmod(qPrintable(open), 0777) == 0);
        QVERIFY(svtest::OpenToOthers(env.root(), env.tmp()));
        {
            svtest::AsOrdinaryUser user;
            QVERIFY(user.ok());
            QVERIFY(!IsFolderWriteable(ro));
            QVERIFY(IsFolderWriteable(open));
        }
        QCOMPARE(QDir(ro).entryList(QDir::Files | QDir::Hidden) + QDir(open).entryList(QDir::Files | QDir::Hidden),
                 QStringList());
        ::chmod(qPrintable(ro), 0755);
    }

    void folders()
    {
        QCOMPARE(UserDataFolder(), env.dataFolder());
        QVERIFY(FolderExists(env.dataFolder()) && !FolderExists(env.tmp() + "missing") && !FolderExists(""));
        const QString file = env.writeFile("a.txt", "x");
        QVERIFY(FileExists(file) && !FileExists(env.tmp()));
        DeleteFileQuiet(file);
        QVERIFY(!FileExists(file));
        DeleteFileQuiet(file); // a missing file is no error
        // A folder that does not exist yet is measured on its parent's volume.
        QVERIFY(GetFreeSpaceOf(env.tmp() + "not/yet/there") > 0);
    }

    void startedJobReportsToTheCallersThread()
    {
        CountJob job(5);
        QList<QThread*> seenIn;
        connect(&job, &Job::progress, this, [&] { seenIn << QThread::currentThread(); });
        QSignalSpy done(&job, &Job::finished);
        job.start();
        // The spy records in the job's thread: a job may be done before any wait begins.
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);
        QVERIFY(job.workThread != QThread::currentThread());
        QTRY_COMPARE(seenIn, QList<QThread*>(5, QThread::currentThread()));
        QVERIFY(job.result().ok() && !job.isRunning());

        // Run directly, in this thread, with a failure of its own.
        CountJob failing(3);
        const JobResult r = failing.run();
        QCOMPARE(failing.workThread, QThread::currentThread());
        QCOMPARE(r.code, JobCode::FirstOwn + 1);
        QCOMPARE(r.errnum, 28);
        QVERIFY(!r.ok() && !r.canceled());
    }

    // The event loop keeps turning while a job is held; cancel ends it.
    void cancelEndsAHeldJob()
    {
        std::atomic<bool> gate{false};
        CountJob job(1000, &gate);
        QSignalSpy done(&job, &Job::finished);
        job.start();
        int turns = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] { ++turns; });
        tick.start(5);
        QTRY_VERIFY(turns >= 5);
        QVERIFY(job.isRunning());
        job.cancel();
        gate.store(true);
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);
        QVERIFY(job.result().canceled());
        // A finished job can run again.
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 5000);
        QVERIFY(job.result().ok());
    }

    // Boxes sit over the main window, or mid-screen while it is minimised.
    void boxPlacement()
    {
        // Work area 0,0 1000x800; owner at 100,50 400x300; box 201x101. Top-centre's
        // 399.5 rounds to even 400.
        const QList<QPair<int, QPoint>> rows = {{2, {400, 0}}, {4, {799, 699}}, {6, {400, 350}}, {7, {200, 150}}};
        for (const auto& [mode, at] : rows) {
            int x = -1, y = -1;
            QVERIFY(MsgBoxPosition(mode, {0, 0, 1000, 800}, {100, 50, 400, 300}, 201, 101, x, y));
            QCOMPARE(QPoint(x, y), at);
        }
        // An unknown mode leaves the box where it is.
        int x = 5, y = 6;
        QVERIFY(!MsgBoxPosition(8, {0, 0, 10, 10}, {0, 0, 10, 10}, 1, 1, x, y));
        QCOMPARE(QPoint(x, y), QPoint(5, 6));

        svtest::MsgBoxScript script;
        QMainWindow main;
        main.show();
        SetMsgBoxMainWindow(&main);
        int pos = 7;
        script.answer(vbOK);
        MsgBoxEx("a", 0, "t", &pos);
        QCOMPARE(script.last().position, 7);
        main.showMinimized();
        if (main.isMinimized()) { // the offscreen platform may ignore minimising
            script.answer(vbOK);
            MsgBoxEx("b", 0, "t", &pos);
            QCOMPARE(script.last().position, 6);
        }
        SetMsgBoxMainWindow(nullptr);
    }

    // Without a responder the real QMessageBox is shown: the answer comes from its buttons.
    void realBoxMapsButtons()
    {
        const auto onNextBox = [](std::function<void(QMessageBox*)> act) {
            QTimer::singleShot(50, [act] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    act(box);
            });
        };
        onNextBox([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        QCOMPARE(PlainMsgBox("Real?", vbYesNo, "Real"), int(vbYes));
        onNextBox([](QMessageBox* box) {
            QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
            QCOMPARE(box->windowTitle(), QString("Sonivault"));
            box->reject();
        });
        QCOMPARE(PlainMsgBox("Real?", vbYesNo + vbDefaultButton2, ""), int(vbNo));

        // The question about one of several files offers the "to all" answers.
        QStringList labels;
        onNextBox([&labels](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons())
                labels << b->text().remove(QLatin1Char('&'));
            box->button(QMessageBox::NoToAll)->click();
        });
        QCOMPARE(MsgBoxEx("Replace?", vbYesNoAllCancel + vbQuestion, "Confirm"), int(vbNoToAll));
        labels.sort();
        QCOMPARE(labels, (QStringList{"Cancel", "No", "No to All", "Yes", "Yes to All"}));
        onNextBox([](QMessageBox* box) { box->button(QMessageBox::YesToAll)->click(); });
        QCOMPARE(MsgBoxEx("Replace?", vbYesNoAllCancel, "Confirm"), int(vbYesToAll));
        onNextBox([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(MsgBoxEx("Replace?", vbYesNoAllCancel, "Confirm"), int(vbCancel));
    }

    void criticalErrorText()
    {
        svtest::MsgBoxScript script;
        script.answer(vbOK);
        ReportCriticalError("Split", "(61) Disk full");
        QCOMPARE(script.last().style, 16);
        QCOMPARE(script.last().title, QString("Sonivault"));
        QCOMPARE(script.last().text,
                 QString("Sonivault experienced a critical error. Sonivault will try to continue, but if problems "
                         "continue, please restart your computer.\r\n\r\nComponent: Split\r\n\r\nDetails:\r\n(61) "
                         "Disk full\r\n\r\nIf you continue to experience this problem, please contact Velmora "
                         "Technical Support, providing the information in this message."));
    }

    void shellErrors()
    {
        SetShellHandler([](const QString&, const QStringList&, const QString&) { return 2; });
        QVERIFY(!ShellOpen("/nowhere/x"));
        QCOMPARE(LastShellError().number, 53);
        QCOMPARE(LastShellError().description, QString("File not found"));
        QCOMPARE(OpenDocument(""), 1);
        SetShellHandler([](const QString&, const QStringList&, const QString&) { return 42; });
        QVERIFY(ShellOpen("pavucontrol"));
        SetShellHandler({});
        // The real hand-over reports a missing file rather than pretending.
        QVERIFY(!ShellOpen("/definitely/not/here.txt"));
        QCOMPARE(LastShellError().number, 76);
    }
};

QTEST_MAIN(TestUtil)
#include "test_util.moc"
