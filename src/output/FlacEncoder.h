#pragma once
// FLAC track files, encoded in-process with libFLAC: tags from the track
// index, safe and unique file names, and the encoding job that runs several
// tracks at once on a small pool of worker threads.
#include "util/Job.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <functional>

namespace sv {

// The tag fields of one track as the FLAC files carry them. An empty field
// is not written.
struct FlacTags {
    QString title, artist, album, date, genre, comment;
    int trackNumber = 0;
    int trackTotal = 0;
};

// The fields of section "Track" + number of the index: Name, Artist, Album,
// Year, Genre, Comments. Artist, Album, Year and Genre missing in the track's
// own section come from Track1; missing there too, they take "New Artist",
// "New Album", the current year and "Other". A missing Name gives
// "Track " + number. Stored values, even empty ones, are used as they are.
FlacTags FlacTagsFromIndex(const QString& indexPath, int number, int count);

// The Vorbis comments of a track, "NAME=value", in the order they are written.
QStringList FlacVorbisComments(const FlacTags& tags);

struct FlacTrack {
    QString wavPath; // the track's WAV file
    FlacTags tags;
};

// Every track of the index (key Tracks, sections Track1 ..). False with a
// reason when the index is missing or lists no track.
bool FlacTracksFromIndex(const QString& indexPath, QVector<FlacTrack>& tracks, QString* error = nullptr);

// File names (without folder) for the titles, in order: SafeFilename of the
// title + ".flac"; a title with nothing usable left becomes "Track " + n;
// names too long for the file system are shortened; a name used by an earlier
// title (letter case aside) or by a file taken(name) reports as existing gets
// " (2)", " (3)" ... before the extension.
QStringList FlacFileNames(const QStringList& titles, const std::function<bool(const QString& name)>& taken = {});

// Result codes of the FLAC job beside JobCode::Done and JobCode::Canceled.
namespace FlacCode {
constexpr int NoTracks = JobCode::FirstOwn + 20;      // detail: why
constexpr int ReadFailed = JobCode::FirstOwn + 21;    // a track WAV cannot be read; detail: its path
constexpr int Unsupported = JobCode::FirstOwn + 22;   // a track WAV in a format we do not encode
constexpr int CreateFailed = JobCode::FirstOwn + 23;  // the output file cannot be made; detail: its path
constexpr int WriteFailed = JobCode::FirstOwn + 24;   // writing it failed (errnum ENOSPC: disk full)
constexpr int EncoderFailed = JobCode::FirstOwn + 25; // libFLAC refused; detail: its state
constexpr int BadFolder = JobCode::FirstOwn + 26;     // the save folder does not exist
} // namespace FlacCode

// A short text for people about a failed result ("The disk is full: ...").
QString FlacResultText(const JobResult& result);

struct FlacOptions {
    int level = 5; // compression level 0 (fastest) to 8 (smallest)
    int jobs = 0;  // tracks encoded at once; 0: one per processor core
};

// Encodes every track into outFolder. Each file is written as name + ".part"
// (created new, never through an existing file or link), and renamed to its
// final name when complete, never over an existing file. After a failure or
// a cancel no ".part" file is left, and the files this run already finished
// are removed too, so a retry makes the same names again. The WAV tracks are
// never touched.
//
// progress(done, total, text) counts sample frames of all tracks, text is the
// title of a track being encoded. All signals come from the thread that runs
// work(): the job's own thread after start(), the caller's after run().
class FlacJob : public Job {
    Q_OBJECT
public:
    FlacJob(QVector<FlacTrack> tracks, QString outFolder, FlacOptions options = {}, QObject* parent = nullptr);

    // The final paths, in track order, decided when the work starts ("" before).
    QStringList outputFiles() const;
    int workerCount() const;

    // For tests: every output file's write fails with ENOSPC once it would
    // exceed this many bytes; -1 switches it off.
    static void InjectWriteFailureAfterBytes(std::int64_t bytes);

Q_SIGNALS:
    // 1-based track number; frames of that track.
    void trackProgress(int track, qint64 done, qint64 total);
    // A track's file is complete under its final path.
    void trackFinished(int track, const QString& path);

protected:
    JobResult work() override;

private:
    struct Shared;
    void encodeTracks(Shared& shared);
    void followWorkers(Shared& shared);

    QVector<FlacTrack> m_tracks;
    QString m_outFolder;
    FlacOptions m_options;
    QStringList m_outputs;
    int m_workers = 0;
};

} // namespace sv
