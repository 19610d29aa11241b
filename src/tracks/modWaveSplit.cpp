#include "tracks/modWaveSplit.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QFile>
#include <QStringList>

#include <cstring>

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

quint32 le32(const uchar* p) { return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24; }
quint16 le16(const uchar* p) { return quint16(p[0] | p[1] << 8); }

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

WaveStatus fail(WaveStatus s, const QString& text, QString* error)
{
    if (error)
        *error = text;
    return s;
}

} // namespace

WaveStatus ReadWaveHeader(const QString& path, WaveHeader& h, QString* error)
{
    h = WaveHeader{};
    h.WaveFileName = path;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(WaveStatus::OpenFailed, f.errorString(), error);
    const std::int64_t fileSize = f.size();
    // The scan's limits keep every accepted header near the start (a chain of
    // stray "d"s can stretch it, hence the generous prefix); read it once
    // instead of seeking byte by byte.
    const QByteArray head = f.read(1 << 20);
    const auto* b = reinterpret_cast<const uchar*>(head.constData());
    const qint64 n = head.size();
    const auto corrupted = [&](const char* why) {
        return fail(WaveStatus::Corrupted, QString::fromLatin1(why), error);
    };

    qint64 pos = -1;
    for (int g = 0; g < 100 && (g + 1) * 4 <= n; ++g) {
        if (memcmp(b + g * 4, "fmt ", 4) == 0) {
            pos = (g + 1) * 4;
            break;
        }
    }
    if (pos < 0)
        return corrupted("no fmt chunk");
    if (pos + 20 > n)
        return corrupted("fmt chunk cut short");
    pos += 4; // chunk size
    h.FormatTag = le16(b + pos);
    h.Channels = le16(b + pos + 2);
    h.SampleRate = qint32(le32(b + pos + 4));
    h.BlockAlign = le16(b + pos + 12);
    h.BitsPerSample = le16(b + pos + 14);
    pos += 16;
    if (h.Channels != 1 && h.Channels != 2)
        return corrupted("channels not 1 or 2");
    if (h.BitsPerSample != 8 && h.BitsPerSample != 16)
        return corrupted("bits per sample not 8 or 16");
    h.ChannelMode = h.Channels == 2 ? QStringLiteral("Stereo") : QStringLiteral("Mono");
    if (h.SampleRate <= 0 || h.BlockAlign != h.Channels * h.BitsPerSample / 8)
        return corrupted("sample rate or block align invalid");

    // "data": a "d" within 100 bytes, followed by "ata"; a "d" that is not
    // the chunk is passed one byte at a time, unless it was found more than
    // 90 bytes after the search (re)started.
    for (;;) {
        int k = 0;
        bool foundD = false;
        while (k < 100) {
            if (pos >= n)
                return corrupted("no data chunk");
            ++k;
            if (b[pos++] == 'd') {
                foundD = true;
                break;
            }
        }
        if (!foundD)
            k = 101;
        if (pos + 3 > n)
            return corrupted("no data chunk");
        if (memcmp(b + pos, "ata", 3) == 0) {
            pos += 3;
            break;
        }
        if (k > 90)
            return corrupted("no data chunk");
    }
    if (pos + 4 > n)
        return corrupted("data size missing");
    h.DataSize = le32(b + pos);
    pos += 4;
    h.DataStart = pos + 1;

    const std::int64_t q = h.DataSize / h.BlockAlign, r = h.DataSize % h.BlockAlign;
    std::int64_t frames = q;
    if (2 * r > h.BlockAlign || (2 * r == h.BlockAlign && (q & 1)))
        ++frames;
    // A header may promise more than the file holds (a capture cut short);
    // reading or copying past the end would invent audio.
    const std::int64_t present = std::max<std::int64_t>(0, fileSize - pos) / h.BlockAlign;
    h.Frames = std::min(frames, present);
    return WaveStatus::Ok;
}

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

std::int64_t SplitBitesize()
{
    const int v = XMLGetInt(QStringLiteral("Bitesize"), QStringLiteral("Advanced"), QString(), int(DefaultBitesize));
    return v >= 1 ? v : DefaultBitesize;
}

WaveStatus CopyTrackData(const QString& recordingPath, const WaveHeader& h, const QString& trackPath,
                         std::int64_t startPos, std::int64_t frames, std::int64_t bitesize,
                         const CopyProgress& progress, QString* error, std::int64_t* framesWritten)
{
    if (framesWritten)
        *framesWritten = 0;
    if (bitesize < 1)
        bitesize = DefaultBitesize;
    const int channels = h.ChannelMode == QLatin1String("Stereo") ? 2 : 1;
    const int blockAlign = h.BitsPerSample / 8 * channels;
    if (blockAlign <= 0)
        return fail(WaveStatus::Corrupted, QStringLiteral("no header read"), error);

    QFile in(recordingPath);
    if (!in.open(QIODevice::ReadOnly))
        return fail(WaveStatus::OpenFailed, in.errorString(), error);

    // Only frames that exist in the recording's data are copied.
    const std::int64_t dataEnd = h.DataStart - 1 + h.Frames * h.BlockAlign; // 0-based, exclusive
    const std::int64_t from = std::max<std::int64_t>(startPos - 1, 0);
    const std::int64_t avail = std::max<std::int64_t>(0, dataEnd - from) / blockAlign;
    frames = std::clamp<std::int64_t>(frames, 0, avail);
    const std::int64_t total = frames * blockAlign;

    // Written under a temporary name and renamed when complete, so a failed
    // or canceled copy never leaves a track file that looks whole. No fsync
    // per track: it would cost more than the copy itself.
    const QString partPath = trackPath + QStringLiteral(".part");
    QFile out(partPath);
    const auto abandon = [&](WaveStatus st, const QString& why) {
        out.close();
        out.remove();
        return fail(st, why, error);
    };
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(WaveStatus::CreateFailed, out.errorString(), error);
    if (out.write(WaveHeaderBytes(channels, h.SampleRate, h.BitsPerSample, frames)) != 44)
        return abandon(WaveStatus::WriteFailed, out.errorString());
    if (total > 0 && !in.seek(from))
        return abandon(WaveStatus::ReadFailed, in.errorString());

    QByteArray piece;
    std::int64_t done = 0;
    while (done < total) {
        const std::int64_t size = std::min(bitesize, total - done);
        piece.resize(qsizetype(size));
        if (in.read(piece.data(), size) != size)
            return abandon(WaveStatus::ReadFailed, in.errorString());
        if (out.write(piece) != size)
            return abandon(WaveStatus::WriteFailed, out.errorString());
        done += size;
        if (progress && !progress(done, total))
            return abandon(WaveStatus::Canceled, QString());
    }
    piece = QByteArray(); // no chunk outlives the copy
    if (!out.flush())
        return abandon(WaveStatus::WriteFailed, out.errorString());
    out.close();
    if (out.error() != QFileDevice::NoError)
        return abandon(WaveStatus::WriteFailed, out.errorString());
    QFile::remove(trackPath);
    if (!out.rename(trackPath))
        return abandon(WaveStatus::WriteFailed, out.errorString());
    if (framesWritten)
        *framesWritten = frames;
    return WaveStatus::Ok;
}

QString TrackFileName(int number)
{
    return QStringLiteral("Track ") + QString::number(number) + QStringLiteral(".wav");
}

QString SplittingTrackCaption(int number)
{
    return QStringLiteral("Splitting track ") + QString::number(number) + QStringLiteral("...");
}

SplitResult SplitAllTracks(const WaveHeader& h, const QVector<SplitItem>& tracks, const QString& folder,
                           std::int64_t bitesize, const SplitProgress& progress)
{
    SplitResult result;
    const int count = int(tracks.size());
    for (int i = 1; i <= count; ++i) {
        const SplitItem& t = tracks[i - 1];
        const QString path = AddSlash(folder) + TrackFileName(i);
        const std::int64_t startPos = h.DataStart + std::max<std::int64_t>(t.start, 0) * h.SampleRate * h.BlockAlign;
        const std::int64_t frames = std::max<std::int64_t>(t.length, 0) * h.SampleRate;
        SplitProgressInfo info{i, count, 0, frames * h.BlockAlign, false};
        if (progress && !progress(info)) {
            result.status = WaveStatus::Canceled;
            return result;
        }
        const CopyProgress pieceDone = [&](std::int64_t done, std::int64_t total) {
            info.bytesDone = done;
            info.bytesTotal = total;
            return !progress || progress(info);
        };
        result.status = CopyTrackData(h.WaveFileName, h, path, startPos, frames, bitesize, pieceDone, &result.error);
        if (result.status != WaveStatus::Ok)
            return result;
        result.files.append(path);
        info.trackDone = true;
        info.bytesDone = info.bytesTotal;
        if (progress && !progress(info)) {
            result.status = WaveStatus::Canceled;
            return result;
        }
    }
    return result;
}

} // namespace sv
