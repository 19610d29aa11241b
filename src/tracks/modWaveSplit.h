#pragma once
// Reading the recording's WAV header and cutting the recording into one WAV
// file per track ("Track N.wav", each with a fresh 44-byte header).
// Positions and sizes are 64-bit, so recordings above 2 GiB do not wrap.
// Nothing here throws or shows a box: failures come back as a WaveStatus and
// a text; the caller turns them into the program's messages (TrackMessages.h).
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <functional>

namespace sv {

enum class WaveStatus {
    Ok,
    OpenFailed,   // the recording cannot be opened
    Corrupted,    // the header is rejected
    CreateFailed, // a track file cannot be created
    ReadFailed,
    WriteFailed,
    Canceled,
};

struct WaveHeader {
    QString WaveFileName;
    QString ChannelMode;       // "Stereo" or "Mono"
    int Channels = 0;          // 1 or 2
    int FormatTag = 0;         // read, never checked
    std::int32_t SampleRate = 0;
    std::int32_t BlockAlign = 0;
    int BitsPerSample = 0;     // 8 or 16
    std::int64_t DataStart = 0;   // 1-based position of the first audio byte (45 when canonical)
    std::int64_t DataSize = 0;    // as the header says
    std::int64_t Frames = 0;      // whole frames that are really there (see ReadWaveHeader)
    // Length in whole seconds, rounded to nearest, ties to even.
    std::int64_t WaveSeconds() const;
    double ExactSeconds() const { return SampleRate > 0 ? double(Frames) / SampleRate : 0.0; }
    // 0-based byte offset of frame k in the file.
    std::int64_t FrameOffset(std::int64_t k) const { return DataStart - 1 + k * BlockAlign; }
};

// Scans the header: "fmt " among the first 100 groups of 4 bytes, channels 1
// or 2, bits 8 or 16, then "data" found byte by byte with the 90-byte rule
// (a "d" found more than 90 bytes after the search (re)started and not
// followed by "ata" rejects the file). Frames = data size / block align,
// rounded half to even, and never more than the whole frames the file holds.
// A block align or sample rate that cannot describe the frames (0, or not
// channels x bits / 8) is rejected too: every later division and copy relies
// on them.
WaveStatus ReadWaveHeader(const QString& path, WaveHeader& header, QString* error = nullptr);

// The 44-byte canonical header of a track file.
QByteArray WaveHeaderBytes(int channels, std::int32_t sampleRate, int bitsPerSample, std::int64_t frames);

// Chunk size of the copy: setting "Bitesize" in section "Advanced", default
// 16 MiB; values below 1 fall back to the default.
constexpr std::int64_t DefaultBitesize = 16777216;
std::int64_t SplitBitesize();

// Called after each piece copied. Returning false cancels the work.
using CopyProgress = std::function<bool(std::int64_t bytesDone, std::int64_t bytesTotal)>;

// Creates trackPath (replacing any old file, never leaving a half-written
// one), writes the header for `frames` frames and copies frames x block align
// bytes from the 1-based byte position startPos of the recording, in pieces
// of at most `bitesize` bytes. Frames beyond the end of the recording's data
// are not copied and not counted in the header. framesWritten receives the
// count actually written.
WaveStatus CopyTrackData(const QString& recordingPath, const WaveHeader& header, const QString& trackPath,
                         std::int64_t startPos, std::int64_t frames, std::int64_t bitesize,
                         const CopyProgress& progress = {}, QString* error = nullptr,
                         std::int64_t* framesWritten = nullptr);

// One track of the split list, in whole seconds.
struct SplitItem {
    std::int64_t start = 0;
    std::int64_t length = 0;
};

// "Track " + n + ".wav"
QString TrackFileName(int number);
// "Splitting track " + n + "..."
QString SplittingTrackCaption(int number);

struct SplitProgressInfo {
    int track = 0;              // 1-based
    int count = 0;
    std::int64_t bytesDone = 0; // of this track
    std::int64_t bytesTotal = 0;
    bool trackDone = false;
};
using SplitProgress = std::function<bool(const SplitProgressInfo&)>;

struct SplitResult {
    WaveStatus status = WaveStatus::Ok;
    QString error;
    QStringList files; // the track files written, in order
};

// Cuts the recording described by header into folder/"Track i.wav", i = 1..n:
// track i starts at DataStart + start x rate x block align and holds length x
// rate frames. Stops at the first failure.
SplitResult SplitAllTracks(const WaveHeader& header, const QVector<SplitItem>& tracks, const QString& folder,
                           std::int64_t bitesize, const SplitProgress& progress = {});

// Half to even, as every "rounded to a whole number" of the waveform and the
// split does.
std::int64_t RoundHalfEven(double v);

} // namespace sv
