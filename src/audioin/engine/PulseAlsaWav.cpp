#include "audioin/engine/PulseAlsaWav.h"

#include "audioin/engine/AudioEngine.h"

#include "tracks/modWaveSplit.h"

#include <QFile>

#include <algorithm>

namespace sv::audio {

bool ReadPlayWavInfo(const QString& path, PlayWavInfo* info, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!QFile::exists(path))
        return fail(QStringLiteral("File not found"));
    WaveFormat w;
    QString why;
    switch (ReadWaveFormat(path, w, &why)) {
    case WaveStatus::Ok: break;
    case WaveStatus::Unsupported: return fail(QStringLiteral("Unsupported sample format"));
    case WaveStatus::Corrupted: return fail(QStringLiteral("Not a playable WAV file: ") + why);
    default: return fail(why);
    }
    PlayWavInfo out;
    out.channels = w.channels;
    out.rate = w.rate;
    out.bits = w.bits;
    out.blockAlign = w.blockAlign;
    const bool pcm = w.tag == 1 && (w.bits == 8 || w.bits == 16 || w.bits == 24 || w.bits == 32);
    const bool flt = w.tag == 3 && w.bits == 32;
    if (!pcm && !flt)
        return fail(QStringLiteral("Unsupported sample format"));
    if (out.channels < 1 || out.channels > 8 || out.rate < 1000 || out.rate > 384000
        || out.blockAlign != out.channels * out.bits / 8)
        return fail(QStringLiteral("Damaged format chunk"));
    out.isFloat = flt;
    out.dataOffset = w.dataOffset;
    out.dataBytes = std::min(w.dataSize, w.present);
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
