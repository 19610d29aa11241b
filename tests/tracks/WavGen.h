#pragma once
// WAV files for the tests: a header with chosen fields and chunks, 16- or 8-bit frames from a function.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace svtest {

struct WavSpec {
    int channels = 2, rate = 44100, bits = 16, formatTag = 1;
    int blockAlign = -1;        // -1: channels x bits / 8
    QByteArray beforeData = {}; // raw bytes between "fmt " body and "data"
};

inline void le(QByteArray& b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.append(char((v >> (8 * i)) & 0xff));
}

// A chunk with id and payload (padded to even length).
inline QByteArray chunk(const char* id, const QByteArray& payload)
{
    QByteArray b(id, 4);
    le(b, std::uint32_t(payload.size()), 4);
    b += payload;
    if (payload.size() % 2)
        b.append('\0');
    return b;
}

// The 16 bytes of a PCM "fmt " chunk's body.
inline QByteArray fmtBody(const WavSpec& s)
{
    const int ba = s.blockAlign >= 0 ? s.blockAlign : s.channels * s.bits / 8;
    QByteArray f;
    const std::pair<int, int> fields[] = {{s.formatTag, 2}, {s.channels, 2}, {s.rate, 4},
                                          {s.rate * ba, 4}, {ba, 2},         {s.bits, 2}};
    for (const auto& [value, bytes] : fields)
        le(f, std::uint32_t(value), bytes);
    return f;
}

inline QByteArray wavHeader(const WavSpec& s, std::int64_t dataBytes)
{
    QByteArray b("RIFF");
    le(b, std::uint32_t(36 + s.beforeData.size() + dataBytes), 4);
    b += "WAVE" + chunk("fmt ", fmtBody(s)) + s.beforeData + "data";
    le(b, std::uint32_t(dataBytes), 4);
    return b;
}

// sample(frame, channel) on the 16-bit scale.
using SampleFn = std::function<int(std::int64_t frame, int channel)>;

inline QByteArray wavData(const WavSpec& s, std::int64_t frames, const SampleFn& sample)
{
    QByteArray d;
    d.reserve(qsizetype(frames * s.channels * s.bits / 8));
    for (std::int64_t k = 0; k < frames; ++k)
        for (int c = 0; c < s.channels; ++c) {
            const int v = sample ? sample(k, c) : 0;
            if (s.bits == 16)
                le(d, std::uint32_t(std::uint16_t(std::int16_t(v))), 2);
            else
                d.append(char((v >> 8) + 128));
        }
    return d;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeWav(const QString& path, const WavSpec& s, std::int64_t frames, const SampleFn& sample)
{
    const QByteArray data = wavData(s, frames, sample);
    return writeFile(path, wavHeader(s, data.size()) + data);
}

// A recording of segments, stereo 16-bit: each a square wave of its amplitude switching every 50
// frames (0 for silence); kind 'a' alternates the sign every frame (even frames negative), 'n'
// swings only below zero.
struct Segment { double seconds; int amplitude; char kind = 's'; };
inline bool writeSegments(const QString& path, const std::vector<Segment>& segs, int rate = 44100)
{
    std::vector<std::int64_t> ends;
    std::int64_t total = 0;
    for (const Segment& s : segs)
        ends.push_back(total += std::int64_t(s.seconds * rate + 0.5));
    const WavSpec fmt{.rate = rate};
    std::size_t i = 0;
    return writeWav(path, fmt, total, [&](std::int64_t k, int) {
        while (i + 1 < ends.size() && k >= ends[i])
            ++i;
        const Segment& s = segs[i];
        const bool up = (k / 50) % 2 == 0;
        if (s.kind == 'a')
            return k % 2 ? s.amplitude : -s.amplitude;
        if (s.kind == 'n')
            return up ? 0 : -s.amplitude;
        return up ? s.amplitude : -s.amplitude;
    });
}

} // namespace svtest
