// The one WAV header reader: a walk over the RIFF chunks.
#include "tracks/modWaveSplit.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace sv {

namespace {

quint32 le32(const uchar* p) { return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24; }
quint16 le16(const uchar* p) { return quint16(p[0] | p[1] << 8); }
quint64 le64(const uchar* p) { return quint64(le32(p)) | quint64(le32(p + 4)) << 32; }

constexpr std::int64_t FourGiB = std::int64_t(1) << 32;
// Real files carry a handful of chunks before the audio; a file of millions of
// empty ones is not a recording, and walking it would take minutes.
constexpr int MaxChunks = 10000;

// The tail every standard EXTENSIBLE sub-format GUID shares after its 16-bit tag.
const uchar GuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

QString formatName(int tag)
{
    switch (tag) {
    case 0x0002: return QStringLiteral("Microsoft ADPCM");
    case 0x0003: return QStringLiteral("floating-point");
    case 0x0006: return QStringLiteral("A-law");
    case 0x0007: return QStringLiteral("\u03bc-law");
    case 0x0011: return QStringLiteral("IMA ADPCM");
    case 0x0031: return QStringLiteral("GSM 6.10");
    case 0x0050: return QStringLiteral("MPEG audio");
    case 0x0055: return QStringLiteral("MP3");
    default: return QStringLiteral("format 0x%1").arg(tag, 4, 16, QLatin1Char('0'));
    }
}

WaveStatus fail(WaveStatus s, const QString& text, QString* error)
{
    if (error)
        *error = text;
    return s;
}

// Frames the data size describes, rounded half to even, capped at what the
// file really holds after the data start: a capture cut short promises more.
std::int64_t frameCount(std::int64_t dataSize, std::int64_t present, int blockAlign)
{
    const std::int64_t q = dataSize / blockAlign, r = dataSize % blockAlign;
    std::int64_t frames = q;
    if (2 * r > blockAlign || (2 * r == blockAlign && (q & 1)))
        ++frames;
    return std::min(frames, present / blockAlign);
}

} // namespace

WaveStatus ParseWaveFormat(const WaveReadAt& readAt, std::int64_t fileSize, WaveFormat& w, QString* error)
{
    w = WaveFormat{};
    const auto corrupted = [&](const char* why) { return fail(WaveStatus::Corrupted, QString::fromLatin1(why), error); };
    const auto read = [&](std::int64_t at, uchar* buf, std::int64_t len) {
        return at >= 0 && at + len <= fileSize && readAt(at, reinterpret_cast<char*>(buf), len) == len;
    };

    uchar riff[12];
    if (!read(0, riff, 12))
        return corrupted("not a WAV file: too short");
    if (memcmp(riff, "RIFX", 4) == 0 && memcmp(riff + 8, "WAVE", 4) == 0)
        return fail(WaveStatus::Unsupported, UnsupportedWaveText(QStringLiteral("big-endian (RIFX)")), error);
    const bool rf64 = memcmp(riff, "RF64", 4) == 0;
    if ((!rf64 && memcmp(riff, "RIFF", 4) != 0) || memcmp(riff + 8, "WAVE", 4) != 0)
        return corrupted("not a WAV file: no RIFF WAVE header");

    bool haveFormat = false;
    std::int64_t ds64DataSize = -1;
    std::int64_t pos = 12;
    for (int n = 0;; ++n) {
        uchar ch[8];
        if (n >= MaxChunks || !read(pos, ch, 8))
            return corrupted(haveFormat ? "no data chunk" : "no fmt chunk");
        const std::int64_t size = le32(ch + 4);
        const std::int64_t body = pos + 8;
        if (memcmp(ch, "fmt ", 4) == 0) {
            if (size < 16)
                return corrupted("fmt chunk cut short");
            uchar f[40] = {};
            const std::int64_t want = std::min<std::int64_t>(size, 40);
            if (!read(body, f, want))
                return corrupted("fmt chunk cut short");
            w.tag = le16(f);
            w.channels = le16(f + 2);
            w.rate = qint32(le32(f + 4));
            w.blockAlign = le16(f + 12);
            w.bits = le16(f + 14);
            if (w.tag == 0xFFFE) {
                if (want < 40 || le16(f + 16) < 22)
                    return corrupted("extensible fmt chunk cut short");
                if (memcmp(f + 26, GuidTail, sizeof GuidTail) != 0)
                    return fail(WaveStatus::Unsupported, UnsupportedWaveText(QStringLiteral("non-standard extensible")),
                                error);
                w.tag = le16(f + 24);
            }
            haveFormat = true;
        } else if (rf64 && memcmp(ch, "ds64", 4) == 0) {
            uchar d[16];
            if (size < 16 || !read(body, d, 16))
                return corrupted("ds64 chunk cut short");
            ds64DataSize = std::int64_t(std::min<quint64>(le64(d + 8), quint64(INT64_MAX)));
        } else if (memcmp(ch, "data", 4) == 0) {
            if (!haveFormat)
                return corrupted("the audio data comes before its format");
            w.present = std::max<std::int64_t>(0, fileSize - body);
            w.dataSize = size;
            if (rf64 && size == 0xFFFFFFFF && ds64DataSize >= 0)
                w.dataSize = ds64DataSize;
            else if (size == 0xFFFFFFFF)
                w.dataSize = w.present; // a streaming writer that never came back to fill it in
            else if (w.present >= FourGiB && w.present > size)
                w.dataSize = size + (w.present - size) / FourGiB * FourGiB; // the 32-bit field wrapped
            w.dataOffset = body;
            return WaveStatus::Ok;
        }
        pos = body + size + (size & 1);
    }
}

QString UnsupportedWaveText(const QString& what)
{
    return QStringLiteral("the file is a %1 WAV file; Sonivault reads PCM WAV files with 8 or 16 bits per "
                          "sample, mono or stereo").arg(what);
}

WaveStatus ParseWaveHeader(const WaveReadAt& readAt, std::int64_t fileSize, WaveHeader& h, QString* error)
{
    const QString name = h.WaveFileName;
    h = WaveHeader{};
    h.WaveFileName = name;
    WaveFormat w;
    const WaveStatus st = ParseWaveFormat(readAt, fileSize, w, error);
    if (st != WaveStatus::Ok)
        return st;
    const auto unsupported = [&](const QString& what) {
        return fail(WaveStatus::Unsupported, UnsupportedWaveText(what), error);
    };
    h.FormatTag = w.tag;
    h.Channels = w.channels;
    h.SampleRate = w.rate;
    h.BlockAlign = w.blockAlign;
    h.BitsPerSample = w.bits;
    if (w.tag != 1)
        return unsupported(formatName(w.tag));
    if (h.Channels < 1)
        return fail(WaveStatus::Corrupted, QStringLiteral("no channels"), error);
    if (h.Channels > 2)
        return unsupported(QStringLiteral("%1-channel").arg(h.Channels));
    if (h.BitsPerSample != 8 && h.BitsPerSample != 16)
        return unsupported(QStringLiteral("%1-bit").arg(h.BitsPerSample));
    if (h.SampleRate <= 0 || h.BlockAlign != h.Channels * h.BitsPerSample / 8)
        return fail(WaveStatus::Corrupted, QStringLiteral("sample rate or block align invalid"), error);
    h.ChannelMode = h.Channels == 2 ? QStringLiteral("Stereo") : QStringLiteral("Mono");
    h.DataStart = w.dataOffset + 1;
    h.DataSize = w.dataSize;
    h.Frames = frameCount(w.dataSize, w.present, h.BlockAlign);
    return WaveStatus::Ok;
}

namespace {

// Opens a regular file without blocking (a FIFO would hang us before the
// check) and hands a reader over it to `parse`.
WaveStatus withRegularFile(const QString& path, QString* error,
                           const std::function<WaveStatus(const WaveReadAt&, std::int64_t)>& parse)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(WaveStatus::OpenFailed, QString::fromLocal8Bit(strerror(errno)), error);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(WaveStatus::OpenFailed, QStringLiteral("not a regular file"), error);
    }
    const WaveReadAt readAt = [fd](std::int64_t offset, char* buf, std::int64_t len) -> std::int64_t {
        std::int64_t done = 0;
        while (done < len) {
            const ssize_t n = pread(fd, buf + done, size_t(len - done), off_t(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        return done;
    };
    const WaveStatus result = parse(readAt, std::int64_t(st.st_size));
    ::close(fd);
    return result;
}

} // namespace

WaveStatus ReadWaveFormat(const QString& path, WaveFormat& format, QString* error)
{
    return withRegularFile(path, error, [&](const WaveReadAt& at, std::int64_t size) {
        return ParseWaveFormat(at, size, format, error);
    });
}

WaveStatus ReadWaveHeader(const QString& path, WaveHeader& h, QString* error)
{
    h = WaveHeader{};
    h.WaveFileName = path;
    return withRegularFile(path, error, [&](const WaveReadAt& at, std::int64_t size) {
        return ParseWaveHeader(at, size, h, error);
    });
}

} // namespace sv
