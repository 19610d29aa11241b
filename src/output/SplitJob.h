#pragma once
// The split of a recording into its track files and their index, as a job:
// the same transaction (SplitRecording) for the split page and sonivault-cli.
#include "tracks/modWaveSplit.h"
#include "util/Job.h"

namespace sv {

class SplitJob : public Job {
    Q_OBJECT
public:
    // Progress: tracks finished of all tracks, with "Splitting track N..."
    // as the text (reported as each track starts and after every piece).
    SplitJob(const WaveHeader& header, const QVector<FrameSpan>& spans, const QString& recordFolder,
             std::int64_t bitesize, QObject* parent = nullptr);

    // A failed result's code is FirstOwn + the WaveStatus of the failed step.
    static JobResult toResult(const SplitResult& r);
    static WaveStatus status(const JobResult& r);
    // The track files written (after a successful run).
    QStringList files() const { return m_files; }

protected:
    JobResult work() override;

private:
    WaveHeader m_header;
    QVector<FrameSpan> m_spans;
    QString m_folder;
    std::int64_t m_bitesize;
    QStringList m_files;
};

} // namespace sv
