#pragma once
// The track files of a split recording, their index recording.xml, and the
// save locations the finished files go to.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

#include "tracks/modWaveSplit.h" // TrackFileName

namespace sv {

// Recording folder + "Track " + number + ".wav".
QString TrackFilePath(const QString& recordFolder, int number);
// Recording folder + "recording.xml".
QString RecordingIndexPath(const QString& recordFolder);

// "Recording " + short time + two spaces + short date, in the given locale's
// formats (the system's by default).
QString MakeRecordingName(const QDateTime& when, const QLocale& locale = QLocale::system());

// Writes recording.xml anew for count tracks: Tracks at the root, then for
// each track its section with Filename and Name, in one durable write.
// Returns false with a reason when the index could not be written.
bool WriteRecordingIndex(const QString& recordFolder, int count, QString* error = nullptr);

// Writes the index of a split to indexPath: Tracks, then for each track
// Filename (absolute), Name, Start and Length in whole seconds (rounded half
// to even) and the exact StartFrame and Frames, in one durable write.
bool WriteRecordingIndex(const QString& indexPath, const QString& recordFolder, const QVector<FrameSpan>& spans,
                         std::int64_t sampleRate, QString* error = nullptr);

// The split as one transaction: every track is written and synced under a
// ".part" name and the new index under a temporary name; renaming that to
// "recording.xml.new" commits the set, which then replaces the old one (the
// old index's other "Track N.wav" files are removed). A kill at any point
// leaves the old set with its index or, once RecoverSplit has run, the new
// set with its index. Nothing is written when an output would be the
// recording itself, or would replace tracks marked as delivered.
// Runs on any thread; SplitJob runs it off the UI thread.
SplitResult SplitRecording(const WaveHeader& header, const QVector<FrameSpan>& spans, const QString& recordFolder,
                           std::int64_t bitesize, const SplitProgress& progress = {});
// Finishes a committed split that was interrupted, or removes what an
// uncommitted one left (".part" files, the unfinished index). False with a
// reason when the folder could not be brought into order.
bool RecoverSplit(const QString& recordFolder, QString* error = nullptr);
// The folder as an absolute path with a trailing slash.
QString AbsoluteFolder(const QString& folder);

// True when the index says its track files were delivered (WAV copies saved
// into the recording folder are the track files themselves): no split and
// no clean-up removes them (RecordingSession records it).
bool IsDelivered(const QString& indexPath);

// Filename of sections Track1 .. Trackcount of the index, "" where missing.
QStringList TrackFilesFromIndex(const QString& indexPath, int count);

// The path without one trailing slash.
QString RemoveSlash(const QString& path);

// The three names of well-known folders in the save-location boxes.
enum class SpecialFolder { Desktop, Documents, Music };
// The folder's path (created when it does not exist yet), "" when unknown.
QString GetSpecialFolderPath(SpecialFolder folder);
// "Desktop", "Documents" or "Music" in any letter case gives that folder's
// path; any other text is taken as a path.
QString ResolveSaveLocation(const QString& boxText);

enum class SaveCheck { Ok, Empty, IsFile, NotFound, ReadOnly };

struct SaveLocationResult {
    SaveCheck code = SaveCheck::Ok;
    QString path;     // with a trailing slash when the check passed
    QString message;  // the box to show when it did not (style and title below)
    QString title;
    int style = 0;
    bool ok() const { return code == SaveCheck::Ok; }
};

// The checks made on Next of the WAV-copy, MP3 and WMA pages.
SaveLocationResult CheckSaveLocation(const QString& boxText);

// The last save location typed into the MP3 or WMA box (default "Desktop").
QString SaveIn();
bool SetSaveIn(const QString& text);

// Items of a save-location box and the one SaveIn selects: the three special
// names, plus SaveIn itself when it is none of them.
struct SaveInChoices {
    QStringList items;
    int current = 0;
};
SaveInChoices MakeSaveInChoices(const QString& saveIn);

// The status line of the WAV-copy page after a failed or cancelled copy.
QString WaveCopyFailureText(const QString& details);

} // namespace sv
