#include "output/TrackFiles.h"

#include "settings/Settings.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv {

namespace {
const QString kNl = QStringLiteral("\r\n");
const QString kStyle48Title = QStringLiteral("Save In");
} // namespace

QString TrackFilePath(const QString& recordFolder, int number)
{
    return AddSlash(recordFolder) + TrackFileName(number);
}

QString RecordingIndexPath(const QString& recordFolder)
{
    return AddSlash(recordFolder) + QStringLiteral("recording.xml");
}

QString MakeRecordingName(const QDateTime& when, const QLocale& locale)
{
    return QStringLiteral("Recording ") + locale.toString(when.time(), QLocale::ShortFormat) + QStringLiteral("  ")
        + locale.toString(when.date(), QLocale::ShortFormat);
}

bool WriteRecordingIndex(const QString& recordFolder, int count, QString* error)
{
    const QString index = RecordingIndexPath(recordFolder);
    QVector<XMLValue> values{{QStringLiteral("Tracks"), QString(), QString::number(count)}};
    for (int i = 1; i <= count; ++i) {
        const QString section = QStringLiteral("Track") + QString::number(i);
        values.append({QStringLiteral("Filename"), section, TrackFilePath(AbsoluteFolder(recordFolder), i)});
        values.append({QStringLiteral("Name"), section, QStringLiteral("Track ") + QString::number(i)});
    }
    if (XMLWriteFile(index, values))
        return true;
    if (error)
        *error = QStringLiteral("Could not write ") + index + QStringLiteral(".");
    return false;
}

QString AbsoluteFolder(const QString& folder)
{
    return AddSlash(QDir::cleanPath(QFileInfo(folder.isEmpty() ? QStringLiteral(".") : folder).absoluteFilePath()));
}

namespace {

const QString kJournal = QStringLiteral("recording.xml.new");  // the committed new index
const QString kNextIndex = QStringLiteral("recording.xml.next"); // the new index while written

QByteArray enc(const QString& p) { return QFile::encodeName(p); }

// Whole seconds of a frame position, half to even.
std::int64_t wholeSeconds(std::int64_t frames, std::int64_t rate)
{
    if (rate <= 0)
        return 0;
    const std::int64_t q = frames / rate, r = frames % rate;
    return (2 * r > rate || (2 * r == rate && (q & 1))) ? q + 1 : q;
}

int syncPath(const QString& path)
{
    const int fd = ::open(enc(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    const int rc = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return rc;
}

bool isRegularNoLink(const QString& path)
{
    struct stat sb {};
    return ::lstat(enc(path).constData(), &sb) == 0 && S_ISREG(sb.st_mode);
}

bool exists(const QString& path)
{
    struct stat sb {};
    return ::lstat(enc(path).constData(), &sb) == 0;
}

// Track numbers of "Track N.wav" files the index at indexPath lists in folder.
QVector<int> listedTracks(const QString& indexPath, const QString& folder)
{
    QVector<int> out;
    if (!isRegularNoLink(indexPath))
        return out;
    const int n = XMLGetInt(QStringLiteral("Tracks"), QString(), indexPath, 0);
    const QStringList files = TrackFilesFromIndex(indexPath, std::clamp(n, 0, 100000));
    for (int i = 0; i < files.size(); ++i) {
        const QFileInfo fi(files[i]);
        if (fi.isAbsolute() && fi.fileName() == TrackFileName(i + 1) && AddSlash(fi.absolutePath()) == folder)
            out.append(i + 1);
    }
    return out;
}

// Renames the committed parts over the old set, removes the old index's
// other tracks, then puts the new index in place. Every step can be redone.
bool rollForward(const QString& folder, QString* error, int* errnum = nullptr)
{
    const QString journal = folder + kJournal, index = RecordingIndexPath(folder);
    const int n = XMLGetInt(QStringLiteral("Tracks"), QString(), journal, -1);
    if (n < 0) {
        if (error)
            *error = QStringLiteral("cannot read ") + journal;
        return false;
    }
    const auto fail = [&](const QString& what, int e) {
        if (error)
            *error = what + QStringLiteral(": ") + SystemErrorText(e);
        if (errnum)
            *errnum = e;
        return false;
    };
    for (int i : listedTracks(index, folder))
        if (i > n && ::unlink(enc(folder + TrackFileName(i)).constData()) != 0 && errno != ENOENT)
            return fail(QStringLiteral("cannot remove ") + folder + TrackFileName(i), errno);
    for (int i = 1; i <= n; ++i) {
        const QString track = folder + TrackFileName(i), part = track + QStringLiteral(".part");
        if (isRegularNoLink(part) && ::rename(enc(part).constData(), enc(track).constData()) != 0)
            return fail(QStringLiteral("cannot rename ") + part, errno);
    }
    if (const int e = syncPath(folder))
        return fail(QStringLiteral("cannot sync ") + folder, e);
    if (::rename(enc(journal).constData(), enc(index).constData()) != 0)
        return fail(QStringLiteral("cannot rename ") + journal, errno);
    if (const int e = syncPath(folder))
        return fail(QStringLiteral("cannot sync ") + folder, e);
    return true;
}

// The first name among what a split of n tracks in folder would create,
// replace or remove that is the recording itself, or "".
QString outputThatIsInput(const QString& recording, const QString& folder, int n)
{
    struct stat in {};
    if (::stat(enc(recording).constData(), &in) != 0)
        return QString();
    QStringList names{RecordingIndexPath(folder), folder + kJournal, folder + kNextIndex};
    int highest = n;
    for (int i : listedTracks(RecordingIndexPath(folder), folder))
        highest = std::max(highest, i);
    for (int i = 1; i <= highest; ++i)
        names << folder + TrackFileName(i) << folder + TrackFileName(i) + QStringLiteral(".part");
    const QRegularExpression part(QStringLiteral("^Track [0-9]+\\.wav\\.part$"));
    for (const QString& e : QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden))
        if (part.match(e).hasMatch())
            names << folder + e;
    for (const QString& p : names) {
        struct stat sb {};
        if (::stat(enc(p).constData(), &sb) == 0 && sb.st_dev == in.st_dev && sb.st_ino == in.st_ino)
            return p;
    }
    return QString();
}

} // namespace

bool RecoverSplit(const QString& recordFolder, QString* error)
{
    const QString folder = AbsoluteFolder(recordFolder);
    const QString journal = folder + kJournal;
    if (isRegularNoLink(journal)) {
        if (!rollForward(folder, error))
            return false;
    } else if (exists(journal)) {
        ::unlink(enc(journal).constData());
    }
    // What an unfinished split left: its parts and its unfinished index.
    const QRegularExpression part(QStringLiteral("^Track [0-9]+\\.wav\\.part$"));
    const QDir dir(folder);
    for (const QString& e : dir.entryList(QDir::Files | QDir::System | QDir::Hidden))
        if (part.match(e).hasMatch() || e.startsWith(kNextIndex))
            ::unlink(enc(folder + e).constData());
    // A dangling link is no file to QDir; remove such leftovers by name too.
    const QString index = RecordingIndexPath(folder);
    const int listed = isRegularNoLink(index) ? XMLGetInt(QStringLiteral("Tracks"), QString(), index, 0) : 0;
    const int high = 1 + std::max(listed, 0);
    for (int i = 1; i <= std::min(high, 100000); ++i)
        ::unlink(enc(folder + TrackFileName(i) + QStringLiteral(".part")).constData());
    ::unlink(enc(folder + kNextIndex).constData());
    ::unlink(enc(folder + kNextIndex + QStringLiteral(".tmp")).constData());
    return true;
}

bool WriteRecordingIndex(const QString& indexPath, const QString& recordFolder, const QVector<FrameSpan>& spans,
                         std::int64_t rate, QString* error)
{
    const QString folder = AbsoluteFolder(recordFolder);
    QVector<XMLValue> values{{QStringLiteral("Tracks"), QString(), QString::number(spans.size())}};
    for (int i = 1; i <= spans.size(); ++i) {
        const FrameSpan& t = spans[i - 1];
        const QString section = QStringLiteral("Track") + QString::number(i);
        const std::int64_t start = wholeSeconds(t.startFrame, rate);
        const std::int64_t length = wholeSeconds(t.startFrame + t.frames, rate) - start;
        values.append({QStringLiteral("Filename"), section, folder + TrackFileName(i)});
        values.append({QStringLiteral("Name"), section, QStringLiteral("Track ") + QString::number(i)});
        values.append({QStringLiteral("Start"), section, QString::number(start)});
        values.append({QStringLiteral("Length"), section, QString::number(length)});
        values.append({QStringLiteral("StartFrame"), section, QString::number(t.startFrame)});
        values.append({QStringLiteral("Frames"), section, QString::number(t.frames)});
    }
    if (XMLWriteFile(indexPath, values))
        return true;
    if (error)
        *error = QStringLiteral("Could not write ") + indexPath + QStringLiteral(".");
    return false;
}

SplitResult SplitRecording(const WaveHeader& h, const QVector<FrameSpan>& given, const QString& recordFolder,
                           std::int64_t bitesize, const SplitProgress& progress)
{
    SplitResult r;
    // The index tells what each file holds: a marker running past the end
    // of the audio (the image is whole seconds long) ends with the audio.
    QVector<FrameSpan> spans = given;
    for (FrameSpan& s : spans) {
        if (s.startFrame < 0 || s.frames < 0)
            continue;
        s.startFrame = std::min(s.startFrame, h.Frames);
        s.frames = std::min(s.frames, h.Frames - s.startFrame);
    }
    const QString folder = AbsoluteFolder(recordFolder);
    const auto fail = [&](WaveStatus st, int e, const QString& text) {
        r.status = st;
        r.sysError = e;
        r.error = text;
        r.files.clear();
        return r;
    };
    // Before anything is written or removed.
    const QString clash = outputThatIsInput(h.WaveFileName, folder, int(spans.size()));
    if (!clash.isEmpty())
        return fail(WaveStatus::SameAsInput, 0,
                    QStringLiteral("the recording %1 is itself one of the split's output files; rename or move it "
                                   "first").arg(clash));
    const QString index = RecordingIndexPath(folder);
    if (IsDelivered(index)) {
        for (int i : listedTracks(index, folder))
            if (exists(folder + TrackFileName(i)))
                return fail(WaveStatus::CreateFailed, EEXIST,
                            QStringLiteral("%1 holds the saved tracks of an earlier recording; move them or choose "
                                           "another folder").arg(RemoveSlash(folder)));
    }
    QString why;
    if (!RecoverSplit(folder, &why))
        return fail(WaveStatus::WriteFailed, 0, why);

    SplitResult parts = SplitAllSpans(h, spans, folder, bitesize, progress, true);
    if (parts.status != WaveStatus::Ok)
        return parts;

    const QString next = folder + kNextIndex;
    const auto undo = [&](WaveStatus st, int e, const QString& text) {
        for (const QString& f : parts.files)
            ::unlink(enc(f + QStringLiteral(".part")).constData());
        ::unlink(enc(next).constData());
        return fail(st, e, text);
    };
    QString indexError;
    if (!WriteRecordingIndex(next, folder, spans, h.SampleRate, &indexError))
        return undo(WaveStatus::WriteFailed, 0, indexError);
    // Every output finds its files through the index: it must read back.
    const QStringList listed = TrackFilesFromIndex(next, int(spans.size()));
    for (int i = 0; i < listed.size(); ++i)
        if (listed[i] != folder + TrackFileName(i + 1))
            return undo(WaveStatus::WriteFailed, 0,
                        QStringLiteral("the folder name %1 cannot be stored in the track index").arg(folder));
    if (const int e = syncPath(next))
        return undo(WaveStatus::WriteFailed, e, QStringLiteral("cannot sync ") + next + QStringLiteral(": ") + SystemErrorText(e));
    if (const int e = syncPath(folder))
        return undo(WaveStatus::WriteFailed, e, QStringLiteral("cannot sync ") + folder + QStringLiteral(": ") + SystemErrorText(e));
    if (::rename(enc(next).constData(), enc(folder + kJournal).constData()) != 0) {
        const int e = errno;
        return undo(WaveStatus::WriteFailed, e, QStringLiteral("cannot rename ") + next + QStringLiteral(": ") + SystemErrorText(e));
    }
    // Committed: from here a kill is finished by the next RecoverSplit.
    int rollErrno = 0;
    if (!rollForward(folder, &why, &rollErrno))
        return fail(WaveStatus::WriteFailed, rollErrno, why);
    r.files = parts.files;
    return r;
}

bool IsDelivered(const QString& indexPath)
{
    return isRegularNoLink(indexPath)
        && XMLGetValue(QStringLiteral("Delivered"), QString(), indexPath, QString()) == QLatin1String("1");
}

QStringList TrackFilesFromIndex(const QString& indexPath, int count)
{
    QStringList files;
    for (int i = 1; i <= count; ++i)
        files << XMLGetValue(QStringLiteral("Filename"), QStringLiteral("Track") + QString::number(i), indexPath,
                             QString());
    return files;
}

QString RemoveSlash(const QString& path)
{
    return path.endsWith(QLatin1Char('/')) ? path.left(path.size() - 1) : path;
}

QString GetSpecialFolderPath(SpecialFolder folder)
{
    QStandardPaths::StandardLocation loc = QStandardPaths::DesktopLocation;
    switch (folder) {
    case SpecialFolder::Desktop: loc = QStandardPaths::DesktopLocation; break;
    case SpecialFolder::Documents: loc = QStandardPaths::DocumentsLocation; break;
    case SpecialFolder::Music: loc = QStandardPaths::MusicLocation; break;
    }
    const QString path = QStandardPaths::writableLocation(loc);
    if (path.isEmpty())
        return QString();
    // A fresh account may not have its Music or Desktop folder yet; choosing
    // it by name should work all the same.
    QDir().mkpath(path);
    return path;
}

QString ResolveSaveLocation(const QString& boxText)
{
    const QString upper = boxText.toUpper();
    if (upper == QLatin1String("DOCUMENTS"))
        return GetSpecialFolderPath(SpecialFolder::Documents);
    if (upper == QLatin1String("MUSIC"))
        return GetSpecialFolderPath(SpecialFolder::Music);
    if (upper == QLatin1String("DESKTOP"))
        return GetSpecialFolderPath(SpecialFolder::Desktop);
    return boxText;
}

SaveLocationResult CheckSaveLocation(const QString& boxText)
{
    SaveLocationResult r;
    r.style = 48;
    if (boxText.isEmpty()) {
        r.code = SaveCheck::Empty;
        r.title = kStyle48Title;
        r.message = QStringLiteral("Please choose a location to save the finished files.");
        return r;
    }
    QString path = ResolveSaveLocation(boxText);
    if (FileExists(path) || (!path.isEmpty() && QFileInfo(path).isFile())) {
        r.code = SaveCheck::IsFile;
        r.title = kStyle48Title;
        r.message = path + kNl + QStringLiteral("This is a file. Please select a folder.");
        r.path = path;
        return r;
    }
    path = AddSlash(path);
    r.path = path;
    if (!FolderExists(path)) {
        r.code = SaveCheck::NotFound;
        r.title = QStringLiteral("Folder not found");
        r.message = RemoveSlash(path) + kNl + QStringLiteral("This location cannot be found.") + kNl
            + QStringLiteral("Please choose another.");
        return r;
    }
    if (!IsFolderWriteable(path)) {
        r.code = SaveCheck::ReadOnly;
        r.title = QStringLiteral("Folder Read-Only");
        r.message = RemoveSlash(path) + kNl + QStringLiteral("This location exists, but you cannot write files to it.")
            + kNl + QStringLiteral("Please choose another.");
        return r;
    }
    r.code = SaveCheck::Ok;
    r.style = 0;
    return r;
}

QString SaveIn()
{
    return Settings::saveIn();
}

bool SetSaveIn(const QString& text)
{
    return Settings::setSaveIn(text);
}

SaveInChoices MakeSaveInChoices(const QString& saveIn)
{
    SaveInChoices c;
    c.items = {QStringLiteral("Desktop"), QStringLiteral("Documents"), QStringLiteral("Music")};
    for (int i = 0; i < c.items.size(); ++i) {
        if (c.items[i].compare(saveIn, Qt::CaseInsensitive) == 0) {
            c.current = i;
            return c;
        }
    }
    c.items << saveIn;
    c.current = int(c.items.size()) - 1;
    return c;
}

QString WaveCopyFailureText(const QString& details)
{
    return QStringLiteral("Error moving or copying files. Click Back to try again. Details: ") + details;
}

} // namespace sv
