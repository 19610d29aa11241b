#pragma once
// Long work (split, copy, index write, encoders, the CD writer) as a job: it
// runs off the UI thread, reports progress, can be cancelled and ends with a
// typed result. Jobs never show a widget or a message; a page (or the CLI)
// shows what they report. The program and sonivault-cli run the same jobs.
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace sv {

struct JobResult {
    int code = 0;     // 0: done; otherwise the job's own error number (see JobCode and each job's enum)
    int errnum = 0;   // errno of the cause where the system gave one, else 0
    QString detail;   // what it concerns, for the message: a file name, a tool's last output
    bool ok() const { return code == 0; }
    bool canceled() const;
};

// Codes every job shares; a job's own codes start at JobCode::FirstOwn.
namespace JobCode {
constexpr int Done = 0;
constexpr int Canceled = 1;
constexpr int FirstOwn = 100;
} // namespace JobCode

inline bool JobResult::canceled() const { return code == JobCode::Canceled; }

class Job : public QObject {
    Q_OBJECT
public:
    explicit Job(QObject* parent = nullptr);
    ~Job() override; // cancels and waits for a running job

    // Runs work() on a thread of its own. progress() and finished() are
    // delivered to receivers in their own threads (queued to the UI thread).
    void start();
    // Runs work() on the calling thread (the CLI, tests); signals are direct.
    JobResult run();
    // Safe from any thread; the job ends at its next check with Canceled.
    void cancel() { m_cancel.store(true); }
    bool isCanceled() const { return m_cancel.load(); }
    bool isRunning() const { return m_running.load(); }
    // Blocks until a started job has finished (not for the UI thread).
    void wait();
    JobResult result() const { return m_result; }

Q_SIGNALS:
    void progress(qint64 done, qint64 total, const QString& text);
    void finished(const sv::JobResult& result);

protected:
    virtual JobResult work() = 0;
    // From work(): reports progress; false once the job was cancelled.
    bool report(qint64 done, qint64 total, const QString& text = QString());
    static JobResult canceledResult() { return {JobCode::Canceled, 0, {}}; }

private:
    void finish(const JobResult& r);

    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_running{false};
    JobResult m_result;
    QThread* m_thread = nullptr;
};

} // namespace sv

Q_DECLARE_METATYPE(sv::JobResult)
