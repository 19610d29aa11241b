// The job type: work runs off the calling thread, its reports and its end
// arrive in the caller's thread, and a cancel ends it at the next report.
#include "util/Job.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>

using namespace sv;

namespace {

// Reports each step, held at each while the gate is shut; three steps end in
// a failure of its own.
class CountJob : public Job {
public:
    explicit CountJob(int steps, std::atomic<bool>* gate = nullptr) : m_steps(steps), m_gate(gate) {}
    QThread* workThread = nullptr;

protected:
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

private:
    int m_steps;
    std::atomic<bool>* m_gate;
};

} // namespace

class TestJob : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
};

QTEST_GUILESS_MAIN(TestJob)
#include "test_job.moc"
