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
    int bits = 0;
    std::int64_t frames = 0;
    std::vector<std::int16_t> pcm;
};

// Reads a file the engine wrote: a canonical 44-byte header whose sizes must
// agree with the file's length.
inline RecordedWav ReadRecordedWav(const QString& path)
{
    RecordedWav w;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        w.problem = QStringLiteral("cannot open ") + path;
        return w;
    }
    const QByteArray all = f.readAll();
    auto u32 = [&all](int at) {
        std::uint32_t v;
        std::memcpy(&v, all.constData() + at, 4);
        return v;
    };
    auto u16 = [&all](int at) {
        std::uint16_t v;
        std::memcpy(&v, all.constData() + at, 2);
        return v;
    };
    if (all.size() < 44 || !all.startsWith("RIFF") || all.mid(8, 8) != "WAVEfmt " || all.mid(36, 4) != "data") {
        w.problem = QStringLiteral("not a canonical WAV header");
        return w;
    }
    if (u16(20) != 1) {
        w.problem = QStringLiteral("not PCM");
        return w;
    }
    w.channels = u16(22);
    w.rate = int(u32(24));
    w.bits = u16(34);
    const std::uint32_t dataBytes = u32(40);
    if (u32(4) != std::uint32_t(all.size() - 8) || dataBytes != std::uint32_t(all.size() - 44)) {
        w.problem = QStringLiteral("header sizes (%1, %2) disagree with the file size %3")
                        .arg(u32(4))
                        .arg(dataBytes)
                        .arg(all.size());
        return w;
    }
    if (w.channels < 1 || w.bits != 16 || u16(32) != w.channels * 2 || u32(28) != std::uint32_t(w.rate * w.channels * 2)) {
        w.problem = QStringLiteral("inconsistent format chunk");
        return w;
    }
    w.frames = dataBytes / (w.channels * 2);
    w.pcm.resize(std::size_t(w.frames) * w.channels);
    std::memcpy(w.pcm.data(), all.constData() + 44, w.pcm.size() * 2);
    w.ok = true;
    return w;
}

// Where `recorded` (from frame `from`, `count` frames) sits in the looped
// stereo signal `fed`, allowing each sample to be off by `tolerance` after
// scaling the fed one by `gain`. -1 when nowhere.
inline std::int64_t FindInLoop(const std::vector<std::int16_t>& fed, const std::vector<std::int16_t>& recorded,
                               std::int64_t from, std::int64_t count, double gain, int tolerance)
{
    const std::int64_t length = std::int64_t(fed.size() / 2);
    for (std::int64_t offset = 0; offset < length; ++offset) {
        std::int64_t i = 0;
        for (; i < count; ++i) {
            const std::size_t f = std::size_t((offset + i) % length) * 2;
            const std::size_t r = std::size_t(from + i) * 2;
            if (std::abs(std::lround(fed[f] * gain) - recorded[r]) > tolerance
                || std::abs(std::lround(fed[f + 1] * gain) - recorded[r + 1]) > tolerance)
                break;
        }
        if (i == count)
            return offset;
    }
    return -1;
}

// Frames of `recorded` (from `from`) that differ from the fed loop, aligned at
// `offset`, by more than `tolerance` after scaling by `gain`.
inline std::int64_t CountMismatches(const std::vector<std::int16_t>& fed, const std::vector<std::int16_t>& recorded,
                                    std::int64_t from, std::int64_t offset, double gain, int tolerance)
{
    const std::int64_t length = std::int64_t(fed.size() / 2);
    const std::int64_t frames = std::int64_t(recorded.size() / 2);
    std::int64_t bad = 0;
    for (std::int64_t i = from; i < frames; ++i) {
        const std::size_t f = std::size_t((offset + i - from) % length) * 2;
        const std::size_t r = std::size_t(i) * 2;
        if (std::abs(std::lround(fed[f] * gain) - recorded[r]) > tolerance
            || std::abs(std::lround(fed[f + 1] * gain) - recorded[r + 1]) > tolerance)
            ++bad;
    }
    return bad;
}

} // namespace svtest
