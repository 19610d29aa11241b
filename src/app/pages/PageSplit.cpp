#include "app/pages/PageSplit.h"
#include "ui_PageSplit.h"
#include "ui_PageRecord.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "output/TrackFiles.h"
#include "tracks/TrackMessages.h"
#include "util/modFunctions.h"
#include "util/modMsgbox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>

#include <QEventLoop>
#include <QFutureWatcher>
#include <QtConcurrent>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

PageSplit::PageSplit(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageSplit>())
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

bool PageSplit::DeleteExistingTracks()
{
    return sv::DeleteExistingTracks(RecordFolder(), m_splitCount);
}

QString PageSplit::SplitErrorDetails(sv::WaveStatus status, const QString& error)
{
    int number = 57; // Device I/O error
    switch (status) {
    case sv::WaveStatus::OpenFailed: number = 53; break;   // File not found
    case sv::WaveStatus::CreateFailed: number = 75; break; // Path/File access error
    case sv::WaveStatus::WriteFailed:
        if (error.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)), Qt::CaseInsensitive))
            number = 61; // Disk full
        break;
    default: break;
    }
    return QStringLiteral("(") + QString::number(number) + QStringLiteral(") ") + error;
}

void PageSplit::ReportSplitFailure(const QString& details)
{
    sv::ReportCriticalError(QStringLiteral("StartSplitTracks"), details);
    // The recording is kept. Half a set of track files is of no use and may
    // be what filled the disk; they go, and the waveform page comes back
    // with its markers so the split can be tried again once there is room.
    DeleteExistingTracks();
    m.ShowPage(m.picWaveform());
    m.cmdBack()->setEnabled(true);
    m.cmdNext()->setEnabled(true);
    m.ShowTutorialPage();
}

// The user may exit while the window processes its events during the split;
// the exit deletes the recording, and the split must then end quietly.
bool PageSplit::WindowClosed() const
{
    return m_windowShown && !m.isVisible();
}

void PageSplit::StartSplitTracks()
{
    PageWaveform* wave = m.picWaveform();
    m_windowShown = m.isVisible();
    m.cmdBack()->setEnabled(false);
    m.cmdNext()->setEnabled(false);
    wave->cmdWaveStop_Click();
    ui->lblSplitTrack->clear();
    ui->barTrack->setValue(0);
    m.ShowPage(this);
    m.ShowTutorialPage();
    m.repaint();
    QCoreApplication::processEvents();
    if (WindowClosed())
        return;

    const QVector<sv::SplitItem> items = wave->SplitList();
    m_splitCount = int(items.size());
    const QString folder = RecordFolder();
    DeleteExistingTracks();

    sv::WaveHeader header;
    if (sv::ReadWaveHeader(RecordingFile(), header) != sv::WaveStatus::Ok) {
        const sv::MessageText bad = sv::TrackMessage(sv::TrackMsg::WaveCorrupted);
        m.Msg(bad.text, bad.style, bad.title);
        m.Msg(QStringLiteral("There was an error splitting the tracks."), sv::vbCritical,
              QStringLiteral("Critical Error"));
        m.picRecord()->timRecordGraph.start();
        m.ShowPage(m.picRecord());
        return;
    }

    ui->barTrack->setRange(0, m_splitCount);
    // The window is painted after each track and, within a track, after a
    // piece once 50 ms have passed.
    QElapsedTimer paint;
    paint.start();
    const auto progress = [&](const sv::SplitProgressInfo& p) {
        if (p.trackDone) {
            ui->barTrack->setValue(p.track);
        } else if (p.bytesDone == 0) {
            ui->lblSplitTrack->setText(sv::SplittingTrackCaption(p.track));
            ui->lblSplitTrack->repaint();
        }
        if (p.trackDone || paint.elapsed() >= 50) {
            QCoreApplication::processEvents();
            paint.restart();
        }
        return !WindowClosed();
    };
    const sv::SplitResult r = sv::SplitAllTracks(header, items, folder, sv::SplitBitesize(), progress);
    if (r.status == sv::WaveStatus::Canceled) {
        // The program is closing: what was cut so far goes too.
        DeleteExistingTracks();
        return;
    }
    if (r.status != sv::WaveStatus::Ok) {
        ReportSplitFailure(SplitErrorDetails(r.status, r.error));
        return;
    }

    st.RecordingName = sv::MakeRecordingName(QDateTime::currentDateTime());
    st.RecordingXMLPath = sv::RecordingIndexPath(folder);
    QString indexError;
    const bool indexed = sv::WriteRecordingIndex(folder, m_splitCount, &indexError, [](int) {
        QCoreApplication::processEvents();
    });
    if (WindowClosed()) {
        DeleteExistingTracks();
        return;
    }
    if (!indexed) {
        sv::DeleteFileQuiet(st.RecordingXMLPath);
        st.RecordingXMLPath.clear();
        ReportSplitFailure(SplitErrorDetails(sv::WaveStatus::WriteFailed, indexError));
        return;
    }

    // Every track and the index exist; once they are on the disk itself (not
    // just in its cache) the recording may go. The flush runs off the UI
    // thread so the window keeps painting.
    {
        QStringList files;
        for (int i = 1; i <= m_splitCount; ++i)
            files << folder + sv::TrackFileName(i);
        files << st.RecordingXMLPath << folder;
        QFutureWatcher<void> flushed;
        QEventLoop wait;
        QObject::connect(&flushed, &QFutureWatcher<void>::finished, &wait, &QEventLoop::quit);
        flushed.setFuture(QtConcurrent::run([files] {
            for (const QString& f : files) {
                const int fd = ::open(QFile::encodeName(f).constData(), O_RDONLY | O_CLOEXEC);
                if (fd >= 0) {
                    ::fsync(fd);
                    ::close(fd);
                }
            }
        }));
        if (!flushed.isFinished())
            wait.exec();
    }
    if (WindowClosed()) {
        DeleteExistingTracks();
        return;
    }
    wave->ReleaseRecording();
    sv::DeleteFileQuiet(RecordingFile());

    m.cmdBack()->setEnabled(true);
    m.picOutput()->RestoreOutputChoice();
    m.ShowPage(m.picOutput());
    m.cmdNext()->setEnabled(true);
    m.ShowTutorialPage();
    m.repaint();
}

void PageSplit::ClearRecorded()
{
    // The waveform page maps the recording; its space is only freed once
    // that mapping is gone.
    m.picWaveform()->ReleaseRecording();
    sv::ClearRecorded(RecordFolder(), st.RecordingXMLPath, m_splitCount);
}
