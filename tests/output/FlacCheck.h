#pragma once
// Helpers of the FLAC tests: a recording folder of generated track WAVs with
// its index, the samples of a WAV, and a FLAC file decoded with libFLAC.
#include "settings/modXML.h"
#include "tracks/WavGen.h"

#include <FLAC/stream_decoder.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace svtest {

struct TrackSpec {
    int channels = 2;
    int bits = 16;
    std::int64_t frames = 44100;
    QString name;
};

// Music-like signal: two tones plus noise, different in each channel, so the
// levels really compress differently and a swapped channel shows.
inline int musicSample(std::int64_t k, int c, std::uint32_t seed)
{
    std::uint32_t x = std::uint32_t(k) * 2654435761u ^ (seed + 977u * std::uint32_t(c));
    x ^= x >> 13;
    x *= 0x5bd1e995u;
    x ^= x >> 15;
    const double t = double(k) / 44100.0;
    const double v = 9000.0 * std::sin(2 * M_PI * (220.0 + 110 * c) * t) + 5000.0 * std::sin(2 * M_PI * 3.1 * t * (1 + seed % 7))
        + double(int(x % 2001) - 1000);
    return int(std::clamp(v, -32768.0, 32767.0));
}

// Writes "Track i.wav" for each track described and recording.xml with Tracks, Filename
// and Name (when one is given). Returns the index path.
inline QString makeRecording(const QString& folder, const QVector<TrackSpec>& specs)
{
    QDir().mkpath(folder);
    const QString index = folder + "/recording.xml";
    sv::XMLSetValue(QString::number(specs.size()), "Tracks", QString(), index);
    for (int i = 0; i < specs.size(); ++i) {
        WavSpec s;
        s.channels = specs[i].channels;
        s.bits = specs[i].bits;
        const QString wav = folder + QStringLiteral("/Track %1.wav").arg(i + 1);
        writeWav(wav, s, specs[i].frames, [i](std::int64_t k, int c) { return musicSample(k, c, i + 1); });
        const QString sec = QStringLiteral("Track%1").arg(i + 1);
        sv::XMLSetValue(wav, "Filename", sec, index);
        if (!specs[i].name.isNull())
            sv::XMLSetValue(specs[i].name, "Name", sec, index);
    }
    return index;
}

struct Pcm {
    int channels = 0, bits = 0, rate = 0;
    std::vector<std::int32_t> samples; // interleaved, signed
    bool md5Set = false;
    bool ok = false;
};

// The samples of a canonical 44-byte-header WAV, 8-bit made signed as FLAC holds them.
inline Pcm wavPcm(const QString& path)
{
    Pcm p;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return p;
    const QByteArray b = f.readAll();
    auto u16 = [&](int o) { return int(std::uint8_t(b[o])) | int(std::uint8_t(b[o + 1])) << 8; };
    p.channels = u16(22);
    p.rate = u16(24) | u16(26) << 16;
    p.bits = u16(34);
    for (qsizetype o = 44; o + p.bits / 8 <= b.size(); o += p.bits / 8)
        p.samples.push_back(p.bits == 8 ? int(std::uint8_t(b[o])) - 128 : std::int16_t(u16(int(o))));
    p.ok = true;
    return p;
}

inline Pcm decodeFlac(const QString& path)
{
    Pcm p;
    FLAC__StreamDecoder* d = FLAC__stream_decoder_new();
    FLAC__stream_decoder_set_md5_checking(d, true);
    auto write = [](const FLAC__StreamDecoder*, const FLAC__Frame* frame, const FLAC__int32* const buffer[],
                    void* data) {
        auto* pcm = static_cast<Pcm*>(data);
        for (unsigned k = 0; k < frame->header.blocksize; ++k)
            for (unsigned c = 0; c < frame->header.channels; ++c)
                pcm->samples.push_back(buffer[c][k]);
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    };
    auto meta = [](const FLAC__StreamDecoder*, const FLAC__StreamMetadata* m, void* data) {
        auto* pcm = static_cast<Pcm*>(data);
        if (m->type != FLAC__METADATA_TYPE_STREAMINFO)
            return;
        pcm->channels = int(m->data.stream_info.channels);
        pcm->bits = int(m->data.stream_info.bits_per_sample);
        pcm->rate = int(m->data.stream_info.sample_rate);
        for (unsigned char byte : m->data.stream_info.md5sum)
            pcm->md5Set = pcm->md5Set || byte != 0;
    };
    auto error = [](const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
        static_cast<Pcm*>(data)->md5Set = false;
        static_cast<Pcm*>(data)->channels = -1;
    };
    const QByteArray name = QFile::encodeName(path);
    bool ok = FLAC__stream_decoder_init_file(d, name.constData(), write, meta, error, &p) == FLAC__STREAM_DECODER_INIT_STATUS_OK
        && FLAC__stream_decoder_process_until_end_of_stream(d);
    // finish() checks the MD5 of everything decoded against the stored one.
    ok = FLAC__stream_decoder_finish(d) && ok;
    FLAC__stream_decoder_delete(d);
    p.ok = ok && p.channels > 0;
    return p;
}

inline bool hasTool(const char* name) { return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty(); }

// Runs a tool; its standard output, or a null array when it failed.
inline QByteArray runTool(const QString& tool, const QStringList& args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QByteArray();
    const QByteArray out = p.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

// Every entry of the folder, hidden ones too, sorted.
inline QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace svtest
