#pragma once
// Helpers of the WMA tests: generated WAV files in the sample formats the
// encoder meets, and WMA files read back with the real ffprobe and ffmpeg.
#include "tracks/WavGen.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <bit>
#include <cmath>

namespace svtest {

enum class Sample { U8, S16, S24, F32 };

// A WAV file of a two-tone chord with a slow swell: `seconds` long.
inline QByteArray ChordWav(int rate, int channels, Sample kind, double seconds)
{
    const int bytes = kind == Sample::U8 ? 1 : kind == Sample::S16 ? 2 : kind == Sample::S24 ? 3 : 4;
    const qint64 frames = qint64(std::llround(rate * seconds));
    QByteArray data;
    data.reserve(int(frames * channels * bytes));
    for (qint64 i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        for (int c = 0; c < channels; ++c) {
            const double v = (0.3 + 0.1 * std::sin(t)) * std::sin(2 * M_PI * (c ? 330 : 440) * t);
            if (kind == Sample::U8)
                data.append(char(128 + int(v * 127)));
            else if (kind == Sample::F32)
                le(data, std::bit_cast<quint32>(float(v)), 4);
            else
                le(data, quint32(qint32(v * (kind == Sample::S16 ? 32767 : 8388607))), bytes);
        }
    }
    WavSpec fmt;
    fmt.rate = rate, fmt.channels = channels, fmt.bits = bytes * 8;
    fmt.formatTag = kind == Sample::F32 ? 3 : 1;
    return wavHeader(fmt, data.size()) + data;
}

// ffprobe and ffmpeg come together.
inline bool HaveFfmpeg()
{
    return !QStandardPaths::findExecutable("ffprobe").isEmpty() && !QStandardPaths::findExecutable("ffmpeg").isEmpty();
}

// ffprobe's view of a file: {"format": {...}, "streams": [...]}.
inline QJsonObject Probe(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_entries",
                        "format=format_name,duration,size,bit_rate:format_tags:stream=codec_name,sample_rate,channels",
                        "-of", "json", path});
    p.waitForFinished(60000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// Errors a full decode reports; empty for a sound file.
inline QString DecodeErrors(const QString& path)
{
    QProcess p;
    p.start("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardError()) + (p.exitCode() ? "exit " + QString::number(p.exitCode()) : "");
}

} // namespace svtest
