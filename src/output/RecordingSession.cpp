#include "output/RecordingSession.h"

#include "output/TrackFiles.h"
#include "settings/modXML.h"

#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace sv {

namespace {

bool sameFolder(const QString& a, const QString& b)
{
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString canonical(const QString& path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? QFileInfo(path).absoluteFilePath() : c;
}

} // namespace

QString RecordingSession::folder() const
{
    return m_recording.isEmpty() ? QString() : AbsoluteFolder(QFileInfo(m_recording).absolutePath());
}

QStringList RecordingSession::trackFiles() const
{
    return m_index.isEmpty() ? QStringList() : TrackFilesFromIndex(m_index, m_tracks);
}

void RecordingSession::startRecording(const QString& path)
{
    adoptRecording(path);
    remove(path);
}

void RecordingSession::adoptRecording(const QString& path)
{
    if (path == m_recording && m_state != State::Empty)
        return;
    m_recording = path;
    m_state = State::Recorded;
}

void RecordingSession::splitDone(int count)
{
    m_index = RecordingIndexPath(folder());
    m_tracks = count;
    m_state = State::Split;
    remove(m_recording);
}

void RecordingSession::delivered(DeliveryKind kind, const QString& folder, const QStringList& files)
{
    Delivery d{kind, folder.isEmpty() ? QString() : AbsoluteFolder(folder), {}};
    for (const QString& f : files)
        d.files << canonical(f);
    if (kind == DeliveryKind::Wav && !m_index.isEmpty() && !folder.isEmpty() && sameFolder(this->folder(), folder)) {
        XMLSetValue(QStringLiteral("1"), QStringLiteral("Delivered"), QString(), m_index);
        for (const QString& f : trackFiles())
            d.files << canonical(f);
    }
    m_deliveries.append(d);
}

bool RecordingSession::isDelivered(const QString& path) const
{
    const QString c = canonical(path);
    for (const Delivery& d : m_deliveries)
        if (d.files.contains(c))
            return true;
    // Marked in an index of an earlier run: its tracks are the user's.
    const QFileInfo fi(path);
    return fi.fileName().startsWith(QLatin1String("Track ")) && IsDelivered(RecordingIndexPath(fi.absolutePath()))
        && TrackFilesFromIndex(RecordingIndexPath(fi.absolutePath()),
                               XMLGetInt(QStringLiteral("Tracks"), QString(), RecordingIndexPath(fi.absolutePath()), 0))
               .contains(AbsoluteFolder(fi.absolutePath()) + fi.fileName());
}

void RecordingSession::discardRecording()
{
    remove(m_recording);
    if (m_state == State::Recorded)
        m_state = State::Empty;
}

void RecordingSession::clear()
{
    remove(m_recording);
    if (!m_index.isEmpty() && QFileInfo::exists(m_index) && !IsDelivered(m_index)) {
        const QStringList files = trackFiles();
        for (int i = 0; i < files.size(); ++i) {
            // An index edited by hand must not be able to delete other files.
            if (QFileInfo(files[i]).fileName() == TrackFileName(i + 1))
                remove(files[i]);
        }
    }
    m_state = State::Empty;
    m_index.clear();
    m_tracks = 0;
}

void RecordingSession::remove(const QString& path) const
{
    if (path.isEmpty() || isDelivered(path))
        return;
    ::unlink(QFile::encodeName(path).constData());
}

} // namespace sv
