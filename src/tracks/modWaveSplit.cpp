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
