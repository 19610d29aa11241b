#include "audioin/engine/PulseAlsaWav.h"

#include "audioin/engine/AudioEngine.h"

#include <QFile>

#include <cstring>

namespace sv::audio {

namespace {

std::uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t le16(const unsigned char* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

} // namespace

bool ReadPlayWavInfo(const QString& path, PlayWavInfo* info, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QFile file(path);
    if (!file.exists())
        return fail(QStringLiteral("File not found"));
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const std::int64_t fileSize = file.size();

    unsigned char riff[12];
    if (file.read(reinterpret_cast<char*>(riff), 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0
        || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return fail(QStringLiteral("Not a WAV file"));

    PlayWavInfo out;
    bool haveFormat = false;
    std::uint16_t tag = 0;
    std::int64_t pos = 12;
    while (pos + 8 <= fileSize) {
        unsigned char head[8];
        if (!file.seek(pos) || file.read(reinterpret_cast<char*>(head), 8) != 8)
            break;
        const std::uint32_t size = le32(head + 4);
        const std::int64_t body = pos + 8;
        if (std::memcmp(head, "fmt ", 4) == 0) {
            unsigned char fmt[40] = {};
            const qint64 want = qMin<qint64>(size, sizeof fmt);
            if (size < 16 || file.read(reinterpret_cast<char*>(fmt), want) != want)
                return fail(QStringLiteral("Damaged format chunk"));
            tag = le16(fmt);
            out.channels = le16(fmt + 2);
            out.rate = int(le32(fmt + 4));
            out.blockAlign = le16(fmt + 12);
            out.bits = le16(fmt + 14);
            if (tag == kFormatExtensible && size >= 40)
                tag = le16(fmt + 24); // first two bytes of the sub-format GUID
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFormat)
                return fail(QStringLiteral("The data comes before the format"));
            out.dataOffset = body;
            std::int64_t bytes = size;
            if (size == 0xFFFFFFFFu || body + bytes > fileSize)
                bytes = fileSize - body;
            out.dataBytes = bytes;
            break;
        }
        pos = body + size + (size & 1);
    }
    if (!haveFormat || out.dataOffset == 0)
        return fail(QStringLiteral("No audio data in the file"));

    const bool pcm = tag == kFormatPcm && (out.bits == 8 || out.bits == 16 || out.bits == 24 || out.bits == 32);
    const bool flt = tag == kFormatFloat && out.bits == 32;
    if (!pcm && !flt)
        return fail(QStringLiteral("Unsupported sample format"));
    if (out.channels < 1 || out.channels > 8 || out.rate < 1000 || out.rate > 384000
        || out.blockAlign != out.channels * out.bits / 8)
        return fail(QStringLiteral("Damaged format chunk"));
    out.isFloat = flt;
    out.dataBytes -= out.dataBytes % out.blockAlign;
    *info = out;
    return true;
}

void OpenPlayWav(const QString& path, PlayWavInfo& info, QFile& file)
{
    QString error;
    if (!ReadPlayWavInfo(path, &info, &error))
        throw AudioError(error == QLatin1String("File not found") ? 53 : 321,
                         QStringLiteral("Cannot play %1: %2").arg(path, error));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AudioError(75, QStringLiteral("Cannot play %1: %2").arg(path, file.errorString()));
}

} // namespace sv::audio
