#include "tracks/modWaveSplit.h"

#include "util/modFunctions.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace sv {

std::int64_t RoundHalfEven(double v)
{
    return static_cast<std::int64_t>(std::nearbyint(v)); // default rounding mode: ties to even
}

std::int64_t WaveHeader::WaveSeconds() const
{
    if (SampleRate <= 0)
        return 0;
    // Integer half-to-even of Frames / SampleRate.
    const std::int64_t q = Frames / SampleRate, r = Frames % SampleRate;
    if (2 * r > SampleRate || (2 * r == SampleRate && (q & 1)))
        return q + 1;
    return q;
}

namespace {


void putLe32(QByteArray& b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}
void putLe16(QByteArray& b, int at, quint16 v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}

} // namespace

QByteArray WaveHeaderBytes(int channels, std::int32_t rate, int bits, std::int64_t frames)
{
    QByteArray b(44, '\0');
    const int blockAlign = bits / 8 * channels;
    const std::int64_t dataSize = frames * blockAlign;
    memcpy(b.data(), "RIFF", 4);
    putLe32(b, 4, quint32(36 + dataSize));
    memcpy(b.data() + 8, "WAVEfmt ", 8);
    putLe32(b, 16, 16);
    putLe16(b, 20, 1);
    putLe16(b, 22, quint16(channels));
    putLe32(b, 24, quint32(rate));
    putLe32(b, 28, quint32(std::int64_t(rate) * blockAlign));
    putLe16(b, 32, quint16(blockAlign));
    putLe16(b, 34, quint16(bits));
    memcpy(b.data() + 36, "data", 4);
    putLe32(b, 40, quint32(dataSize));
    return b;
}

QString SystemErrorText(int e)
{
    switch (e) {
    case 0: return QString();
    case ENOSPC:
    case EDQUOT: return QStringLiteral("Disk full");
    case EACCES:
    case EPERM: return QStringLiteral("Permission denied");
    case EROFS: return QStringLiteral("Read-only file system");
    case ENOENT: return QStringLiteral("File or folder not found");
    case EEXIST: return QStringLiteral("A file of that name is in the way");
    case ELOOP: return QStringLiteral("Refused a symbolic link");
    case ENOTDIR: return QStringLiteral("Not a folder");
    case EIO: return QStringLiteral("Device I/O error");
    case ENAMETOOLONG: return QStringLiteral("Name too long");
    default: return QString::fromLocal8Bit(std::strerror(e));
    }
}

int ClassicErrorNumber(WaveStatus status, int e)
{
    switch (e) {
    case ENOSPC:
    case EDQUOT: return 61; // Disk full
    case EACCES:
    case EPERM:
    case EROFS:
    case ELOOP: return 75;  // Path/File access error
    case ENOENT: return 53; // File not found
    case EEXIST: return 58; // File already exists
    default: break;
    }
    switch (status) {
    case WaveStatus::OpenFailed: return 53;
    case WaveStatus::CreateFailed: return 75;
    case WaveStatus::TooLarge: return 6; // Overflow
    case WaveStatus::SameAsInput: return 58;
    default: return 57; // Device I/O error
    }
}

namespace {

WaveError sysFail(WaveStatus st, int e, const QString& what)
{
    return {st, e, what + QStringLiteral(": ") + SystemErrorText(e)};
}

// Runs step(done, left) (a write or read returning what it moved) until n
// bytes are through. A step that moves nothing fails with errno set to
// stalled: a full disk for writes, a short file for reads.
template <class Step>
bool transferAll(std::int64_t n, int stalled, Step step)
{
    std::int64_t done = 0;
    while (done < n) {
        const ssize_t k = step(done, n - done);
        if (k < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (k == 0) {
            errno = stalled;
            return false;
        }
        done += k;
    }
    return true;
}

bool writeAll(int fd, const char* p, std::int64_t n)
{
    return transferAll(n, ENOSPC, [&](std::int64_t done, std::int64_t left) {
        return ::write(fd, p + done, size_t(std::min<std::int64_t>(left, 1 << 30)));
    });
}

// Reads exactly n bytes at off; a short file is an I/O error.
bool readAllAt(int fd, char* p, std::int64_t n, std::int64_t off)
{
    return transferAll(n, EIO, [&](std::int64_t done, std::int64_t left) {
        return ::pread(fd, p + done, size_t(left), off_t(off + done));
    });
}

constexpr std::int64_t MaxWaveData = 0xFFFFFFFFLL - 36; // what the RIFF size field can describe

} // namespace

WaveError WriteTrackPart(const QString& recordingPath, const WaveHeader& h, const QString& partPath,
                         std::int64_t firstFrame, std::int64_t frames, std::int64_t bitesize,
                         const CopyProgress& progress, std::int64_t* framesWritten)
{
    if (framesWritten)
        *framesWritten = 0;
    if (bitesize < 1)
        bitesize = DefaultBitesize;
    const int channels = h.ChannelMode == QLatin1String("Stereo") ? 2 : 1;
    const int blockAlign = h.BitsPerSample / 8 * channels;
    if (blockAlign <= 0 || h.BlockAlign != blockAlign || h.DataStart < 1)
        return {WaveStatus::Corrupted, 0, QStringLiteral("no header read")};

    // Only frames that exist in the recording's data are copied.
    firstFrame = std::max<std::int64_t>(firstFrame, 0);
    frames = std::clamp<std::int64_t>(frames, 0, std::max<std::int64_t>(0, h.Frames - firstFrame));
    std::int64_t total = 0, skip = 0, from = 0;
    if (__builtin_mul_overflow(frames, std::int64_t(blockAlign), &total)
        || __builtin_mul_overflow(firstFrame, std::int64_t(blockAlign), &skip)
        || __builtin_add_overflow(h.DataStart - 1, skip, &from))
        return {WaveStatus::TooLarge, 0, QStringLiteral("the track's position does not fit in a file offset")};
    if (total > MaxWaveData)
        return {WaveStatus::TooLarge, 0,
                QStringLiteral("the track is larger than 4 GiB, more than a WAV file can describe; split it into "
                               "shorter tracks")};

    const QByteArray inName = QFile::encodeName(recordingPath);
    const QByteArray outName = QFile::encodeName(partPath);
    const int in = ::open(inName.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return sysFail(WaveStatus::OpenFailed, errno, QStringLiteral("cannot open ") + recordingPath);
    // Always a new file: a planted file or link of this name (the recording
    // folder may be the shared temporary folder) must not be written through.
    const int out = ::open(outName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        return sysFail(WaveStatus::CreateFailed, e, QStringLiteral("cannot create ") + partPath);
    }
    const auto abandon = [&](WaveStatus st, int e, const QString& what) {
        ::close(in);
        ::close(out);
        ::unlink(outName.constData());
        return e ? sysFail(st, e, what) : WaveError{st, 0, what};
    };
    const QByteArray head = WaveHeaderBytes(channels, h.SampleRate, h.BitsPerSample, frames);
    if (!writeAll(out, head.constData(), head.size()))
        return abandon(WaveStatus::WriteFailed, errno, QStringLiteral("cannot write ") + partPath);

    QByteArray piece;
    std::int64_t done = 0;
    while (done < total) {
        const std::int64_t size = std::min(bitesize, total - done);
        piece.resize(qsizetype(size));
        if (!readAllAt(in, piece.data(), size, from + done))
            return abandon(WaveStatus::ReadFailed, errno, QStringLiteral("cannot read ") + recordingPath);
        if (!writeAll(out, piece.constData(), size))
            return abandon(WaveStatus::WriteFailed, errno, QStringLiteral("cannot write ") + partPath);
        done += size;
        if (progress && !progress(done, total))
            return abandon(WaveStatus::Canceled, 0, QString());
    }
    piece = QByteArray(); // no chunk outlives the copy
    // The split commits the set only once every part is on the disk itself.
    if (::fdatasync(out) != 0)
        return abandon(WaveStatus::WriteFailed, errno, QStringLiteral("cannot write ") + partPath);
    ::close(in);
    if (::close(out) != 0) {
        const int e = errno;
        ::unlink(outName.constData());
        return sysFail(WaveStatus::WriteFailed, e, QStringLiteral("cannot write ") + partPath);
    }
    if (framesWritten)
        *framesWritten = frames;
    return {};
}

WaveStatus CopyTrackData(const QString& recordingPath, const WaveHeader& h, const QString& trackPath,
                         std::int64_t startPos, std::int64_t frames, std::int64_t bitesize,
                         const CopyProgress& progress, QString* error, std::int64_t* framesWritten)
{
    const std::int64_t firstFrame =
        h.BlockAlign > 0 ? std::max<std::int64_t>(startPos - h.DataStart, 0) / h.BlockAlign : 0;
    const QString part = trackPath + QStringLiteral(".part");
    const WaveError e = WriteTrackPart(recordingPath, h, part, firstFrame, frames, bitesize, progress, framesWritten);
    if (e.status == WaveStatus::Ok
        && ::rename(QFile::encodeName(part).constData(), QFile::encodeName(trackPath).constData()) != 0) {
        const WaveError r = sysFail(WaveStatus::WriteFailed, errno, QStringLiteral("cannot rename ") + part);
        ::unlink(QFile::encodeName(part).constData());
        if (error)
            *error = r.text;
        return r.status;
    }
    if (error)
        *error = e.text;
    return e.status;
}

QString TrackFileName(int number)
{
    return QStringLiteral("Track ") + QString::number(number) + QStringLiteral(".wav");
}

QString SplittingTrackCaption(int number)
{
    return QStringLiteral("Splitting track ") + QString::number(number) + QStringLiteral("...");
}

std::int64_t FrameAtUnits(std::int64_t units, std::int64_t rate, std::int64_t drawScale)
{
    std::int64_t n = 0;
    if (drawScale <= 0 || units < 0 || rate < 0 || __builtin_mul_overflow(units, rate, &n))
        return -1;
    const std::int64_t q = n / drawScale, r = n % drawScale;
    return 2 * r >= drawScale ? q + 1 : q;
}

QVector<FrameSpan> SpansFromMarkers(const QVector<QPair<std::int64_t, std::int64_t>>& markers, std::int64_t rate,
                                    std::int64_t drawScale)
{
    QVector<FrameSpan> spans;
    for (const auto& [left, width] : markers) {
        const std::int64_t a = FrameAtUnits(left, rate, drawScale);
        const std::int64_t b = FrameAtUnits(left + width, rate, drawScale);
        spans.append(a < 0 || b < a ? FrameSpan{-1, -1} : FrameSpan{a, b - a});
    }
    return spans;
}

bool SpansFromSeconds(const QVector<SplitItem>& items, std::int64_t rate, QVector<FrameSpan>& spans)
{
    spans.clear();
    for (const SplitItem& t : items) {
        FrameSpan s;
        if (__builtin_mul_overflow(std::max<std::int64_t>(t.start, 0), rate, &s.startFrame)
            || __builtin_mul_overflow(std::max<std::int64_t>(t.length, 0), rate, &s.frames))
            return false;
        spans.append(s);
    }
    return true;
}

SplitResult SplitAllTracks(const WaveHeader& h, const QVector<SplitItem>& tracks, const QString& folder,
                           std::int64_t bitesize, const SplitProgress& progress)
{
    QVector<FrameSpan> spans;
    if (!SpansFromSeconds(tracks, h.SampleRate, spans)) {
        SplitResult r;
        r.status = WaveStatus::TooLarge;
        r.error = QStringLiteral("a track's start or length is too large");
        return r;
    }
    return SplitAllSpans(h, spans, folder, bitesize, progress, false);
}

SplitResult SplitAllSpans(const WaveHeader& h, const QVector<FrameSpan>& spans, const QString& folder,
                           std::int64_t bitesize, const SplitProgress& progress, bool keepParts)
{
    SplitResult result;
    QStringList parts;
    const auto stop = [&](WaveStatus st, int e, const QString& text) {
        for (const QString& p : parts)
            ::unlink(QFile::encodeName(p).constData());
        if (keepParts)
            result.files.clear();
        result.status = st;
        result.sysError = e;
        result.error = text;
        return result;
    };
    const int count = int(spans.size());
    for (int i = 1; i <= count; ++i) {
        const FrameSpan& t = spans[i - 1];
        if (t.startFrame < 0 || t.frames < 0)
            return stop(WaveStatus::TooLarge, 0, QStringLiteral("track %1 lies outside the recording").arg(i));
        const QString path = AddSlash(folder) + TrackFileName(i);
        const QString part = path + QStringLiteral(".part");
        std::int64_t bytes = 0;
        if (__builtin_mul_overflow(t.frames, std::int64_t(std::max(h.BlockAlign, 0)), &bytes))
            return stop(WaveStatus::TooLarge, 0, QStringLiteral("track %1 is too large").arg(i));
        SplitProgressInfo info{i, count, 0, bytes, false};
        if (progress && !progress(info))
            return stop(WaveStatus::Canceled, 0, QString());
        const CopyProgress pieceDone = [&](std::int64_t done, std::int64_t total) {
            info.bytesDone = done;
            info.bytesTotal = total;
            return !progress || progress(info);
        };
        const WaveError e = WriteTrackPart(h.WaveFileName, h, part, t.startFrame, t.frames, bitesize, pieceDone);
        if (e.status != WaveStatus::Ok)
            return stop(e.status, e.sysError, e.text);
        if (keepParts) {
            parts.append(part);
        } else if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
            const int err = errno;
            ::unlink(QFile::encodeName(part).constData());
            return stop(WaveStatus::WriteFailed, err, QStringLiteral("cannot rename ") + part + QStringLiteral(": ")
                                                          + SystemErrorText(err));
        }
        result.files.append(path);
        info.trackDone = true;
        info.bytesDone = info.bytesTotal;
        if (progress && !progress(info))
            return stop(WaveStatus::Canceled, 0, QString());
    }
    return result;
}

} // namespace sv
