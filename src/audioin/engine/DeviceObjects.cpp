#include "audioin/engine/DeviceObjects.h"

#include "tracks/modWaveSplit.h"

#include <QMetaObject>

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

// ---- record object ------------------------------------------------------

int DeviceRecordObject::GetMixerCount()
{
    m_mixerCount = listMixers();
    m_listed = true;
    return m_mixerCount;
}

int DeviceRecordObject::listedMixer(int index)
{
    if (!m_listed)
        GetMixerCount();
    checkIndex(index, m_mixerCount);
    return index;
}

void DeviceRecordObject::shutDown()
{
    blockSignals(true);
    if (IsCapturing())
        StopCapture();
    stopStream();
}

void DeviceRecordObject::checkIndex(qsizetype index, qsizetype count)
{
    if (index < 0 || index >= count)
        throw AudioError(9, QStringLiteral("Subscript out of range"));
}

void DeviceRecordObject::checkFormat(int channels, int rate)
{
    if (channels < 1 || channels > 2 || rate < 8000 || rate > 192000)
        throw AudioError(5, QStringLiteral("Invalid procedure call or argument"));
}

void DeviceRecordObject::postFailure(unsigned generation, const QString& reason)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, reason] {
            if (m_generation == generation)
                reportFailure(reason);
        },
        Qt::QueuedConnection);
}

// ---- play object --------------------------------------------------------

void DevicePlayObject::PlayFile(const QString& path)
{
    StopPlay();
    OpenPlayWav(path, m_info, m_file);
    m_open = true;
    try {
        startAt(0);
    } catch (...) {
        StopPlay();
        throw;
    }
}

void DevicePlayObject::StopPlay()
{
    closeStream();
    m_file.close();
    m_open = false;
    m_ended.store(false);
}

void DevicePlayObject::startAt(int seconds)
{
    closeStream();
    const std::int64_t startFrame = std::min<std::int64_t>(std::int64_t(seconds) * m_info.rate, m_info.frames());
    if (!m_file.seek(m_info.dataOffset + startFrame * m_info.blockAlign))
        throw AudioError(75, m_file.errorString());
    m_baseSeconds = seconds;
    m_ended.store(false);
    openStream(startFrame);
}

void DevicePlayObject::finishIfEnded()
{
    if (m_open && m_ended.load())
        StopPlay();
}

double DevicePlayObject::GetPlayPosition()
{
    finishIfEnded();
    if (!m_open)
        return 0.0;
    return std::min(m_baseSeconds + playedSeconds(), m_info.seconds());
}

double DevicePlayObject::GetPlayLength()
{
    finishIfEnded();
    return m_open ? m_info.seconds() : 0.0;
}

void DevicePlayObject::SetPlayPosition(int seconds)
{
    finishIfEnded();
    if (!m_open)
        return;
    seconds = std::max(0, seconds);
    if (std::int64_t(seconds) * m_info.rate >= m_info.frames()) {
        StopPlay(); // at or past the end: nothing is left to play
        return;
    }
    try {
        startAt(seconds);
    } catch (...) {
        StopPlay();
        throw;
    }
}

} // namespace sv::audio
