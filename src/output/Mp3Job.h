#pragma once
// Encodes the tracks of a recording to MP3 with lame and moves the files into
// the save folder. The page runs it with one encoder, sonivault-cli with one
// per core; both get the same files, names and tags.
#include "output/FileOperation.h"
#include "output/Mp3Options.h"
#include "util/Job.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace sv {

namespace Mp3Code {
constexpr int EncoderMissing = JobCode::FirstOwn; // detail: the encoder path looked for
constexpr int EncodeFailed = JobCode::FirstOwn + 1;  // detail: the encoder's output (or why it did not start)
constexpr int OutputMissing = JobCode::FirstOwn + 2; // detail: the command line, for display
constexpr int MoveFailed = JobCode::FirstOwn + 3;    // detail: the move's error text
constexpr int NoTracks = JobCode::FirstOwn + 4;      // detail: the index path
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

struct Mp3JobSettings {
    QString indexPath;      // recording.xml
    QString outputFolder;   // the save folder
    int jobs = 1;           // encoders at once
    QString programFolder;  // where lame is looked for first (default: the program's folder)
    std::optional<QString> searchPath; // default: PATH
    std::optional<Mp3EncoderOptions> options; // default: as stored in settings.xml
    int currentYear = 0;    // default: this year
    // Asked (on the job's thread) before a file in the save folder is replaced.
    std::function<OverwriteAnswer(const QString& target)> confirmOverwrite;
};

class Mp3Job : public Job {
    Q_OBJECT
public:
    explicit Mp3Job(Mp3JobSettings settings, QObject* parent = nullptr);

    // After the run: the encoded files' names (track order) and their paths in
    // the save folder once moved; the encoder used.
    QStringList fileNames() const { return m_names; }
    QStringList finishedFiles() const { return m_finished; }
    QString encoderPath() const { return m_encoder; }
    // The encoder's command line of a track, for messages only.
    QString commandLine(int index) const { return m_commandLines.value(index); }

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
    Mp3JobSettings m_s;
    QString m_encoder;
    QStringList m_names;
    QStringList m_finished;
    QStringList m_commandLines;
};

} // namespace sv
