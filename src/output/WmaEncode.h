#pragma once
// WMA output: one wm8eutil run per track of a split recording, into a private
// work folder beside the tracks, then a move of the finished files into the
// save folder. The program and sonivault-cli run the same jobs.
#include "output/EncoderFailure.h"
#include "output/FileOperation.h"
#include "output/WmaTags.h"
#include "util/Job.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <memory>

namespace sv {

// The encoder's file name in the program folder.
inline const QString kWmaEncoderName = QStringLiteral("wm8eutil");

// The encoder's arguments: input, output and setting, then each tag option
// only when its field is non-empty, every value a separate argument.
QStringList WmaArguments(const QString& input, const QString& output, const QString& aSetting, const WmaTags& tags);

// The command line as messages show it (quotes around paths and tags, values
// as they are). For display only: the encoder never gets it.
QString WmaCommandLineText(const QString& encoder, const QString& input, const QString& output,
                           const QString& aSetting, const WmaTags& tags);

// File name (without ".wma") for a track: SafeFilename of its Name, "Track " +
// number when it has none or nothing usable is left of it; control characters
// go, and very long names are shortened so the file can be made.
QString WmaFileBase(const QString& name, int number);

// Makes each base unique within the list, ignoring letter case: the second
// "Song" becomes "Song (2)", the third "Song (3)", ... ("Song (2)" typed by
// the user stays taken).
QStringList UniqueFileBases(const QStringList& bases);

struct WmaTrack {
    int number = 0;      // 1-based
    QString listItem;    // what the status line names ("Compressing " + listItem)
    QString input;       // the track's WAV file (Filename in recording.xml)
    QString output;      // the WMA file in the work folder
    QStringList arguments;
    QString commandLine; // for messages
};

// Builds one entry per track 1 .. count of the index: the profile's setting,
// the encoding tags, unique file names. outputFolder is where the WMA files
// are written (the job's work folder).
QVector<WmaTrack> PlanWmaTracks(const QString& indexPath, int count, const QString& outputFolder,
                                const QString& profile, const QString& encoder);

// The job's own result codes; WmaFailureText gives the message for each.
namespace WmaCode {
constexpr int EncoderMissing = EncoderCode::Missing;
constexpr int EncoderFailed = EncoderCode::Failed; // detail: its one-line reason
constexpr int FileMissing = EncoderCode::NotCreated;
constexpr int WorkFolder = EncoderCode::FirstJobOwn;     // detail: what could not be made
constexpr int MoveFailed = EncoderCode::FirstJobOwn + 1; // detail: the move's error text
} // namespace WmaCode

// The text for lblWMACompressError (or the CLI's error line); empty for
// success. A cancelled run gives "Move canceled." for the move, else empty.
QString WmaFailureText(const JobResult& result);

// Encodes every track of a split recording. The files are made in a hidden
// work folder inside the recording folder and stay there until moved (see
// WmaMoveJob) or until the job is destroyed; after a failure or a cancel the
// work folder is emptied at once. The track WAV files are only read.
class WmaEncodeJob : public Job {
    Q_OBJECT
public:
    struct Options {
        QString indexPath;     // recording.xml
        int count = 0;         // tracks 1 .. count; 0: the index's Tracks
        QString profile;       // Profile text; empty: the stored one (default "64")
        QString programFolder; // where wm8eutil is; empty: the program's folder
        int parallel = 1;      // encoders at once (the page: 1)
    };

    explicit WmaEncodeJob(Options options, QObject* parent = nullptr);
    ~WmaEncodeJob() override;

    // The encoder's path as checked (program folder + "wm8eutil").
    QString encoderPath() const;
    // The tracks in order with their outputs and command lines; read them once
    // the job has finished (the job's thread fills them in).
    QVector<WmaTrack> tracks() const { return m_tracks; }
    // The finished files, in track order, after a successful run.
    QStringList outputs() const;
    // The track a failure concerns (1-based), 0 when none.
    int failedTrack() const { return m_failedTrack; }
    // Removes the work folder with whatever it still holds (after the move,
    // or when the files are not wanted); not while the job runs.
    void discard();

Q_SIGNALS:
    // A finished track, delivered in track order even when encoders run in
    // parallel. path is its file in the work folder.
    void trackFinished(int number, const QString& path);

protected:
    JobResult work() override;

private:
    JobResult encodeAll();

    Options m_options;
    QVector<WmaTrack> m_tracks;
    std::unique_ptr<QTemporaryDir> m_work;
    int m_failedTrack = 0;
};

// Moves finished files into the save folder: a rename on the same file
// system, otherwise a careful copy (a failure or a cancel never leaves a half
// file there). progress counts bytes. A file of the same name in the folder
// is replaced unless confirmOverwrite says otherwise; it is called on the
// job's thread, so a page asks its question through a blocking queued call.
class WmaMoveJob : public Job {
    Q_OBJECT
public:
    WmaMoveJob(QStringList files, QString saveFolder, FileOpCallbacks callbacks = {}, QObject* parent = nullptr);

protected:
    JobResult work() override;

private:
    QStringList m_files;
    QString m_saveFolder;
    FileOpCallbacks m_callbacks;
};

} // namespace sv
