#pragma once
// Encodes the tracks of a recording to MP3 with lame into a private work
// folder beside the tracks, then moves the files into the save folder (the
// CLI), or leaves them for the caller to move with its own questions (the
// page). The page runs one encoder, sonivault-cli one per core; both get the
// same files, names and tags.
#include "output/EncoderFailure.h"
#include "output/FileOperation.h"
#include "output/Mp3Options.h"
#include "util/Job.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QTemporaryDir;

namespace sv {

namespace Mp3Code {
constexpr int EncoderMissing = EncoderCode::Missing;
constexpr int EncodeFailed = EncoderCode::Failed;
constexpr int OutputMissing = EncoderCode::NotCreated;
constexpr int MoveFailed = EncoderCode::FirstJobOwn;   // detail: the move's error text
constexpr int NoTracks = EncoderCode::FirstJobOwn + 1; // detail: the index path
} // namespace Mp3Code

// The text the compression page shows for a failed run ("" for success and
// for a cancel).
QString Mp3FailureText(const JobResult& r);

// lame in the program folder, else on the search path; "" when neither.
QString FindLame(const QString& programFolder, const QString& searchPath);

// A track's file name without extension: SafeFilename of the title, control
// characters removed, shortened to fit a file name; "Track " + number when
// nothing is left.
QString OutputBaseName(const QString& title, int number);
// base + ext for each, the second of the same name (letter case ignored, as
// some save folders do) getting " (2)", then " (3)", ... before ext.
QStringList UniqueFileNames(const QStringList& bases, const QString& ext);

// One track's encoder run.
struct Mp3Track {
    QString status;  // "Compressing " + the track's list text
    QStringList args;
    QString encoded; // the file in the work folder
};

struct Mp3JobSettings {
    QString indexPath;      // recording.xml
    QString outputFolder;   // the save folder; empty: the files stay in the work folder (encodedFiles())
    int jobs = 1;           // encoders at once
    QString programFolder;  // where lame is looked for first (default: the program's folder)
    std::optional<QString> searchPath; // default: PATH
    std::optional<Mp3EncoderOptions> options; // default: as stored in settings.xml
    int currentYear = 0;    // default: this year
};

class Mp3Job : public Job {
    Q_OBJECT
public:
    explicit Mp3Job(Mp3JobSettings settings, QObject* parent = nullptr);
    ~Mp3Job() override;

    // After the run: the encoded files' names (track order) and their paths in
    // the save folder once moved; the encoder used.
    QStringList fileNames() const { return m_names; }
    QStringList finishedFiles() const { return m_finished; }
    QString encoderPath() const { return m_encoder; }
    // The encoder's command line of a track, for messages only.
    QString commandLine(int index) const { return m_commandLines.value(index); }
    // Without an output folder, after a successful run: the encoded files in
    // the work folder, track order. They stay until discard() or the job goes.
    QStringList encodedFiles() const;
    // Removes the work folder with whatever it still holds; not while running.
    void discard();

Q_SIGNALS:
    // index 0-based; status "Compressing " + the track's list text.
    void trackStarted(int index, int count, const QString& status);
    void trackPercent(int index, int percent);
    void trackEncoded(int index, const QString& fileName);
    // The move into the save folder.
    void moving(qint64 bytesDone, qint64 bytesTotal, const QString& file);

protected:
    JobResult work() override;

private:
    JobResult plan(std::vector<Mp3Track>& items);
    JobResult encodeAll(const std::vector<Mp3Track>& items);
    JobResult moveIntoFolder(const std::vector<Mp3Track>& items);

    Mp3JobSettings m_s;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_encoder;
    QStringList m_names;
    QStringList m_finished;
    QStringList m_commandLines;
};

} // namespace sv
