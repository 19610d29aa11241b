#include "output/SplitJob.h"

#include "output/TrackFiles.h"

namespace sv {

SplitJob::SplitJob(const WaveHeader& header, const QVector<FrameSpan>& spans, const QString& recordFolder,
                   std::int64_t bitesize, QObject* parent)
    : Job(parent), m_header(header), m_spans(spans), m_folder(recordFolder), m_bitesize(bitesize)
{
}

JobResult SplitJob::toResult(const SplitResult& r)
{
    if (r.status == WaveStatus::Ok)
        return {};
    if (r.status == WaveStatus::Canceled)
        return canceledResult();
    return {JobCode::FirstOwn + int(r.status), r.sysError, r.error};
}

WaveStatus SplitJob::status(const JobResult& r)
{
    if (r.ok())
        return WaveStatus::Ok;
    if (r.canceled())
        return WaveStatus::Canceled;
    return WaveStatus(r.code - JobCode::FirstOwn);
}

JobResult SplitJob::work()
{
    const qint64 count = m_spans.size();
    report(0, count, count > 0 ? SplittingTrackCaption(1) : QString());
    const SplitResult r = SplitRecording(m_header, m_spans, m_folder, m_bitesize, [&](const SplitProgressInfo& p) {
        return report(p.trackDone ? p.track : p.track - 1, count, SplittingTrackCaption(p.track));
    });
    m_files = r.files;
    return toResult(r);
}

} // namespace sv
