#include "output/TrackFiles.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

bool DeleteExistingTracks(const QString& recordFolder, int count)
{
    for (int i = 1; i <= count; ++i) {
        const QString path = TrackFilePath(recordFolder, i);
        if (FileExists(path))
            DeleteFileQuiet(path);
    }
    return true;
}

bool WriteRecordingIndex(const QString& recordFolder, int count, QString* error,
                         const std::function<void(int track)>& afterTrack)
{
    const QString index = RecordingIndexPath(recordFolder);
    DeleteFileQuiet(index);
    // The store reports a failed write only as false; the caller must learn
    // of it, since every output later works from this file.
    auto set = [&](const QString& value, const QString& key, const QString& section) {
        if (XMLSetValue(value, key, section, index))
            return true;
        if (error)
            *error = QStringLiteral("Could not write ") + index + QStringLiteral(" (") + key + QStringLiteral(").");
        return false;
    };
    if (!set(QString::number(count), QStringLiteral("Tracks"), QString()))
        return false;
    for (int i = 1; i <= count; ++i) {
        const QString section = QStringLiteral("Track") + QString::number(i);
        if (!set(TrackFilePath(recordFolder, i), QStringLiteral("Filename"), section)
            || !set(QStringLiteral("Track ") + QString::number(i), QStringLiteral("Name"), section))
            return false;
        if (afterTrack)
            afterTrack(i);
    }
    return true;
}

QStringList TrackFilesFromIndex(const QString& indexPath, int count)
{
    QStringList files;
    for (int i = 1; i <= count; ++i)
        files << XMLGetValue(QStringLiteral("Filename"), QStringLiteral("Track") + QString::number(i), indexPath,
                             QString());
    return files;
}

void ClearRecorded(const QString& recordFolder, const QString& indexPath, int count)
{
    DeleteFileQuiet(AddSlash(recordFolder) + QStringLiteral("recording.wav"));
    if (indexPath.isEmpty() || !QFileInfo::exists(indexPath))
        return;
    const QStringList files = TrackFilesFromIndex(indexPath, count);
    for (int i = 0; i < files.size(); ++i) {
        // An index edited by hand must not be able to delete other files.
        if (QFileInfo(files[i]).fileName() == TrackFileName(i + 1))
            DeleteFileQuiet(files[i]);
    }
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
    return XMLGetValue(QStringLiteral("SaveIn"), QString(), QString(), QStringLiteral("Desktop"));
}

bool SetSaveIn(const QString& text)
{
    return XMLSetValue(text, QStringLiteral("SaveIn"), QString(), QString());
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
