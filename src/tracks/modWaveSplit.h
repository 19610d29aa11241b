#pragma once
// Reading the recording's WAV header and cutting the recording into one WAV
// file per track ("Track N.wav", each with a fresh 44-byte header).
// Positions and sizes are 64-bit, so recordings above 2 GiB do not wrap.
// Nothing here throws or shows a box: failures come back as a WaveStatus and
// a text; the caller turns them into the program's messages (TrackMessages.h).
#include <QString>
#include <QStringList>
#include <QPair>
#include <QVector>

#include <cstdint>
#include <functional>

namespace sv {

enum class WaveStatus {
    Ok,
    OpenFailed,   // the recording cannot be opened
    Corrupted,    // the header is rejected
    Unsupported,  // a WAV file in a format we do not read (float, u-law, 24-bit...)
    CreateFailed, // a track file cannot be created
    ReadFailed,
    WriteFailed,
    Canceled,
    TooLarge,     // a track a WAV header cannot describe, or positions that overflow
    SameAsInput,  // an output would replace or remove the recording itself
};

// The reason of a failed file operation, from the system's error number:
// "Disk full" for a full disk or quota, and so on; "" for 0.
QString SystemErrorText(int sysError);
// The classic run-time error number the critical-error report shows for a
// system error (61 for a full disk, 75 for access, 53 for a missing file, 57
// for anything else).
int ClassicErrorNumber(WaveStatus status, int sysError);

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

// Walks the RIFF chunks by their sizes (odd sizes padded) up to "data",
// accepting any chunks on the way, and takes the format from "fmt ": PCM (or
// EXTENSIBLE with PCM inside), 1 or 2 channels, 8 or 16 bits. Other formats
// come back as Unsupported with a reason that names them; broken headers as
// Corrupted. A data size that wrapped past 4 GiB or holds 0xFFFFFFFF is taken
// from the file. Frames = data size / block align, rounded half to even, and
// never more than the whole frames the file holds. Only regular files are
// read: a FIFO or a device would block or never end.
WaveStatus ReadWaveHeader(const QString& path, WaveHeader& header, QString* error = nullptr);

// The same on any byte source: readAt(offset, buffer, length) returns the
// bytes read (fewer at the end). For tests and fuzzing.
using WaveReadAt = std::function<std::int64_t(std::int64_t offset, char* buffer, std::int64_t length)>;
WaveStatus ParseWaveHeader(const WaveReadAt& readAt, std::int64_t fileSize, WaveHeader& header,
                           QString* error = nullptr);

// The chunk walk alone, for readers that take more formats than the split
// (playback): the format as the file says (EXTENSIBLE resolved to its inner
// tag), where the audio starts and how many bytes it has. Only RIFX and
// non-standard EXTENSIBLE files are Unsupported here.
struct WaveFormat {
    int tag = 0;
    int channels = 0;
    std::int32_t rate = 0;
    int blockAlign = 0;
    int bits = 0;
    std::int64_t dataOffset = 0; // 0-based
    std::int64_t dataSize = 0;   // as described (wrapped and streaming sizes mended)
    std::int64_t present = 0;    // bytes really there from dataOffset to the end of the file
};
WaveStatus ParseWaveFormat(const WaveReadAt& readAt, std::int64_t fileSize, WaveFormat& format,
                           QString* error = nullptr);
WaveStatus ReadWaveFormat(const QString& path, WaveFormat& format, QString* error = nullptr);
// "the file is a X WAV file; Sonivault reads ..."
QString UnsupportedWaveText(const QString& what);

// The 44-byte canonical header of a track file.
QByteArray WaveHeaderBytes(int channels, std::int32_t sampleRate, int bitsPerSample, std::int64_t frames);

// Chunk size of the copy when the settings give none (16 MiB).
constexpr std::int64_t DefaultBitesize = 16777216;

// Called after each piece copied. Returning false cancels the work.
using CopyProgress = std::function<bool(std::int64_t bytesDone, std::int64_t bytesTotal)>;

// Where a failed step went wrong: the status, the system's error number
// (0 when the failure was not the system's) and a text for people.
struct WaveError {
    WaveStatus status = WaveStatus::Ok;
    int sysError = 0;
    QString text;
};

// Creates trackPath (replacing any old file, never leaving a half-written
// one), writes the header for `frames` frames and copies frames x block align
// bytes from the 1-based byte position startPos of the recording, in pieces
// of at most `bitesize` bytes. Frames beyond the end of the recording's data
// are not copied and not counted in the header. framesWritten receives the
// count actually written. The file is written under trackPath + ".part",
// created new (an existing file or link of that name refuses the copy),
// synced, then renamed.
WaveStatus CopyTrackData(const QString& recordingPath, const WaveHeader& header, const QString& trackPath,
                         std::int64_t startPos, std::int64_t frames, std::int64_t bitesize,
                         const CopyProgress& progress = {}, QString* error = nullptr,
                         std::int64_t* framesWritten = nullptr);
// The same, leaving the synced result under partPath (never renamed), with
// the system's error number of a failure.
WaveError WriteTrackPart(const QString& recordingPath, const WaveHeader& header, const QString& partPath,
                         std::int64_t firstFrame, std::int64_t frames, std::int64_t bitesize,
                         const CopyProgress& progress = {}, std::int64_t* framesWritten = nullptr);

// One track of the split list, in whole seconds.
struct SplitItem {
    std::int64_t start = 0;
    std::int64_t length = 0;
};

// One track in sample frames of the recording: the exact stretch it holds.
struct FrameSpan {
    std::int64_t startFrame = 0;
    std::int64_t frames = 0;
    bool operator==(const FrameSpan&) const = default;
};

// The frame an image position stands for: units x rate / drawScale, rounded
// to the nearest frame. Neighbouring markers share an edge, so they share
// this frame and meet without a gap or an overlap. -1 when it does not fit.
std::int64_t FrameAtUnits(std::int64_t units, std::int64_t rate, std::int64_t drawScale);
// Spans of markers given as (left, width) in image units.
QVector<FrameSpan> SpansFromMarkers(const QVector<QPair<std::int64_t, std::int64_t>>& markers, std::int64_t rate,
                                    std::int64_t drawScale);
// Spans of whole-second items: start x rate, length x rate. False when a
// product overflows.
bool SpansFromSeconds(const QVector<SplitItem>& items, std::int64_t rate, QVector<FrameSpan>& spans);

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
    int sysError = 0;
    QStringList files; // the track files written, in order
};

// Cuts the recording described by header into folder/"Track i.wav", i = 1..n,
// each file written whole under its name. Stops at the first failure.
SplitResult SplitAllTracks(const WaveHeader& header, const QVector<SplitItem>& tracks, const QString& folder,
                           std::int64_t bitesize, const SplitProgress& progress = {});
// The same for exact spans. With keepParts the files stay under their
// "Track i.wav.part" names (synced) for the caller to commit; files lists the
// final names either way. A failure or cancel removes the parts it wrote.
SplitResult SplitAllSpans(const WaveHeader& header, const QVector<FrameSpan>& spans, const QString& folder,
                           std::int64_t bitesize, const SplitProgress& progress = {}, bool keepParts = false);

// Half to even, as every "rounded to a whole number" of the waveform and the
// split does.
std::int64_t RoundHalfEven(double v);

} // namespace sv
