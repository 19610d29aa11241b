#include "output/CopyJob.h"

#include <QFileInfo>

namespace sv {

CopyJob::CopyJob(const QStringList& files, const QString& destination, FileOp op,
                 const QHash<QString, OverwriteAnswer>& answers, QObject* parent)
    : Job(parent), m_files(files), m_destination(destination), m_op(op), m_answers(answers)
{
}

JobResult CopyJob::toResult(const FileOpResult& r)
{
    if (r.ok())
        return {};
    if (r.code == FileOpCode::Canceled)
        return canceledResult();
    return {JobCode::FirstOwn + int(r.code), r.errnum, r.text};
}

JobResult CopyJob::work()
{
    FileOpCallbacks cb;
    cb.progress = [this](qint64 done, qint64 total, const QString& file) { return report(done, total, file); };
    cb.confirmOverwrite = [this](const QString& target) {
        const auto it = m_answers.constFind(QFileInfo(target).filePath());
        if (it != m_answers.constEnd())
            return *it;
        return m_ask ? m_ask(target) : OverwriteAnswer::Replace;
    };
    return toResult(RunFileOperation(m_files, m_destination, m_op, cb));
}

} // namespace sv
