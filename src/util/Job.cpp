#include "util/Job.h"

#include <QThread>

namespace sv {

Job::Job(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<sv::JobResult>();
}

Job::~Job()
{
    cancel();
    wait();
}

void Job::start()
{
    if (m_running.exchange(true))
        return;
    m_cancel.store(false);
    wait(); // a thread of an earlier run
    m_thread = QThread::create([this] { finish(work()); });
    m_thread->start();
}

JobResult Job::run()
{
    m_running.store(true);
    m_cancel.store(false);
    finish(work());
    return m_result;
}

void Job::wait()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
}

bool Job::report(qint64 done, qint64 total, const QString& text)
{
    Q_EMIT progress(done, total, text);
    return !isCanceled();
}

void Job::finish(const JobResult& r)
{
    m_result = r;
    m_running.store(false);
    Q_EMIT finished(m_result);
}

} // namespace sv
