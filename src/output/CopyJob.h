#pragma once
// The copy or move of finished files into the save folder, as a job. The
// replace questions are answered before it starts; a file that appears in
// the folder while it runs is asked about through lateQuestion.
#include "output/FileOperation.h"
#include "util/Job.h"

#include <QHash>

namespace sv {

class CopyJob : public Job {
    Q_OBJECT
public:
    // answers: destination path -> Replace or Skip, for the files that
    // existed when the questions were asked.
    CopyJob(const QStringList& files, const QString& destination, FileOp op,
            const QHash<QString, OverwriteAnswer>& answers = {}, QObject* parent = nullptr);

    // Asked, from the job's thread, about a clash nobody answered before.
    // Without it such files are replaced.
    void setLateQuestion(std::function<OverwriteAnswer(const QString& target)> ask) { m_ask = std::move(ask); }

    // Codes of a failed result: FirstOwn + FileOpCode.
    static JobResult toResult(const FileOpResult& r);
    // Progress: bytes done of all bytes, the file being worked on as text.

protected:
    JobResult work() override;

private:
    QStringList m_files;
    QString m_destination;
    FileOp m_op;
    QHash<QString, OverwriteAnswer> m_answers;
    std::function<OverwriteAnswer(const QString&)> m_ask;
};

} // namespace sv
