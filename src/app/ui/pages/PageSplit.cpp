#include "app/ui/pages/PageSplit.h"
#include "ui_PageSplit.h"

#include "output/SplitJob.h"
#include "output/TrackFiles.h"
#include "settings/Settings.h"
#include "tracks/TrackList.h"
#include "tracks/TrackMessages.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QPushButton>



PageSplit::PageSplit(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageSplit>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picSplit"));
}

PageSplit::~PageSplit() = default;

QString PageSplit::RecordingFile() const
{
    if (!st.RecordingPath.isEmpty())
        return st.RecordingPath;
    return sv::AddSlash(st.RecordDirectory) + QStringLiteral("recording.wav");
}

QString PageSplit::RecordFolder() const
{
    // The recording stays where it was made, even if the recording location
    // was changed since.
    if (!st.RecordingPath.isEmpty())
        return sv::AddSlash(QFileInfo(st.RecordingPath).absolutePath());
    return sv::AddSlash(st.RecordDirectory);
}

QString PageSplit::SplitErrorDetails(sv::WaveStatus status, const QString& error, int sysError)
{
    return QStringLiteral("(") + QString::number(sv::ClassicErrorNumber(status, sysError)) + QStringLiteral(") ")
        + error;
}

void PageSplit::ReportSplitFailure(const QString& details)
{
    sv::ReportCriticalError(QStringLiteral("StartSplitTracks"), details);
    // The recording and any earlier set of tracks are as they were; the
    // waveform page comes back with its markers so the split can be tried
    // again once the cause (a full disk, say) is gone.
    host.ShowPage(QStringLiteral("picWaveform"));
    host.SetEnabled(NavButton::Back, true);
    host.SetEnabled(NavButton::Next, true);
    host.ShowTutorialPage();
}

// The user may exit while the window processes its events during the split;
// the exit deletes the recording, and the split must then end quietly.
bool PageSplit::WindowClosed() const
{
    return m_windowShown && !host.IsWindowShown();
}

QVector<sv::FrameSpan> PageSplit::SplitSpans(std::int64_t sampleRate) const
{
    static const sv::TrackList none;
    const sv::TrackList& tracks = m_tracks ? *m_tracks : none;
    QVector<QPair<std::int64_t, std::int64_t>> markers;
    for (const sv::TrackMarker& t : tracks.markers())
        markers.append({t.left, t.width});
    return sv::SpansFromMarkers(markers, sampleRate, tracks.limits().scale.drawScale());
}

void PageSplit::StartSplitTracks()
{
    m_windowShown = host.IsWindowShown();
    host.SetEnabled(NavButton::Back, false);
    host.SetEnabled(NavButton::Next, false);
    Q_EMIT splitStarting();
    ui->lblSplitTrack->clear();
    ui->barTrack->setValue(0);
    host.ShowPage(this);
    host.ShowTutorialPage();
    host.RepaintWindow();
    QCoreApplication::processEvents();
    if (WindowClosed())
        return;

    const QString folder = RecordFolder();
    sv::WaveHeader header;
    if (sv::ReadWaveHeader(RecordingFile(), header) != sv::WaveStatus::Ok) {
        const sv::MessageText bad = sv::TrackMessage(sv::TrackMsg::WaveCorrupted);
        host.Msg(bad.text, bad.style, bad.title);
        host.Msg(QStringLiteral("There was an error splitting the tracks."), sv::vbCritical,
              QStringLiteral("Critical Error"));
        Q_EMIT recordingDamaged();
        // Nothing was split; the user may record again or go back.
        host.SetEnabled(NavButton::Back, true);
        return;
    }
    const QVector<sv::FrameSpan> spans = SplitSpans(header.SampleRate);
    const int count = int(spans.size());
    st.Session.adoptRecording(RecordingFile());

    ui->barTrack->setRange(0, count);
    // The tracks and the index are written, synced and committed as one set
    // on the job's thread; the window keeps turning meanwhile.
    sv::SplitJob job(header, spans, folder, sv::Settings::bitesize());
    QEventLoop loop;
    connect(&job, &sv::Job::progress, this, [this, &job](qint64 done, qint64, const QString& text) {
        if (WindowClosed())
            job.cancel();
        ui->barTrack->setValue(int(done));
        if (ui->lblSplitTrack->text() != text)
            ui->lblSplitTrack->setText(text);
    });
    connect(&job, &sv::Job::finished, &loop, &QEventLoop::quit);
    m_job = &job;
    job.start();
    if (job.isRunning())
        loop.exec();
    job.wait();
    m_job = nullptr;
    const sv::JobResult r = job.result();
    if (WindowClosed() || r.canceled())
        return; // the program is closing; the old state is kept
    if (!r.ok()) {
        ReportSplitFailure(SplitErrorDetails(sv::SplitJob::status(r), r.detail, r.errnum));
        return;
    }
    m_splitCount = count;
    st.RecordingName = sv::MakeRecordingName(QDateTime::currentDateTime());
    st.RecordingXMLPath = sv::RecordingIndexPath(folder);

    // The new set and its index are on the disk: the recording may go.
    Q_EMIT releaseRecording();
    st.Session.splitDone(count);

    host.SetEnabled(NavButton::Back, true);
    Q_EMIT splitDone(count);
    host.SetEnabled(NavButton::Next, true);
    host.ShowTutorialPage();
    host.RepaintWindow();
}

void PageSplit::ClearRecorded()
{
    // A split still running reads the recording: it ends first.
    if (m_job) {
        m_job->cancel();
        m_job->wait();
    }
    // The waveform page maps the recording; its space is only freed once
    // that mapping is gone.
    Q_EMIT releaseRecording();
    st.Session.adoptRecording(RecordingFile());
    st.Session.clear();
}
