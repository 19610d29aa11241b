#pragma once
// Reading back what a backend recorded, and finding it in what was fed.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace svtest {

struct RecordedWav {
    bool ok = false;
    QString problem;
    int channels = 0;
    int rate = 0;
    std::int64_t frames = 0;
    std::vector<std::int16_t> pcm;
};

// Reads a file the engine wrote: a canonical 44-byte header whose sizes must
// agree with the file's length.
inline RecordedWav ReadRecordedWav(const QString& path)
{
    RecordedWav w;
    QFile f(path);
    const QByteArray all = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    auto u32 = [&all](int at) {
        std::uint32_t v;
        std::memcpy(&v, all.constData() + at, 4);
        return v;
    };
    auto u16 = [&u32](int at) { return std::uint16_t(u32(at) & 0xffff); };
    auto problem = [&w](const QString& why) {
        w.problem = why;
        return w;
    };
    if (all.size() < 44 || !all.startsWith("RIFF") || all.mid(8, 8) != "WAVEfmt " || all.mid(36, 4) != "data")
        return problem(QStringLiteral("not a canonical WAV header: ") + path);
    if (u16(20) != 1)
        return problem(QStringLiteral("not PCM"));
    w.channels = u16(22);
    w.rate = int(u32(24));
    const int bits = u16(34);
    const std::uint32_t dataBytes = u32(40);
    if (u32(4) != std::uint32_t(all.size() - 8) || dataBytes != std::uint32_t(all.size() - 44))
        return problem(QStringLiteral("header sizes (%1, %2) disagree with the file size %3")
                           .arg(u32(4))
                           .arg(dataBytes)
                           .arg(all.size()));
    if (w.channels < 1 || bits != 16 || u16(32) != w.channels * 2 || u32(28) != std::uint32_t(w.rate * w.channels * 2))
        return problem(QStringLiteral("inconsistent format chunk"));
    w.frames = dataBytes / (w.channels * 2);
    w.pcm.resize(std::size_t(w.frames) * w.channels);
    std::memcpy(w.pcm.data(), all.constData() + 44, w.pcm.size() * 2);
    w.ok = true;
    return w;
}

// How many stereo frames of `recorded` differ from the looped signal `fed`
// by more than `tolerance` after scaling the fed one by `gain`, aligned where
// the recording's first 2048 frames sit in the loop; -1 when they are nowhere.
inline std::int64_t MismatchesAgainstLoop(const std::vector<std::int16_t>& fed, const std::vector<std::int16_t>& recorded,
                                          double gain, int tolerance)
{
    const std::int64_t length = std::int64_t(fed.size() / 2), frames = std::int64_t(recorded.size() / 2);
    auto differs = [&](std::int64_t offset, std::int64_t i) {
        const std::size_t f = std::size_t((offset + i) % length) * 2, r = std::size_t(i) * 2;
        return std::abs(std::lround(fed[f] * gain) - recorded[r]) > tolerance
            || std::abs(std::lround(fed[f + 1] * gain) - recorded[r + 1]) > tolerance;
    };
    for (std::int64_t offset = 0; offset < length; ++offset) {
        std::int64_t i = 0;
        while (i < std::min<std::int64_t>(2048, frames) && !differs(offset, i))
            ++i;
        if (i < std::min<std::int64_t>(2048, frames))
            continue;
        std::int64_t bad = 0;
        for (; i < frames; ++i)
            bad += differs(offset, i) ? 1 : 0;
        return bad;
    }
    return -1;
}

} // namespace svtest
