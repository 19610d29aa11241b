#include "audioin/engine/CaptureSink.h"

#include "tracks/modWaveSplit.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace sv::audio {

namespace {
std::atomic<std::int64_t> g_failAfter{-1};

void put32(unsigned char* p, std::uint32_t v)
{
    p[0] = v & 0xff; p[1] = (v >> 8) & 0xff; p[2] = (v >> 16) & 0xff; p[3] = (v >> 24) & 0xff;
}

// Header every ~0.5 s of audio keeps the file readable up to about then if
// the program dies while recording.
constexpr std::int64_t kHeaderEveryFrames = 22050;
// The largest data size a RIFF header can state.
constexpr std::int64_t kMaxDataBytes = 0xFFFFFFFFll - 36;
} // namespace

void WavWriter::InjectFailureAfterBytes(std::int64_t bytes) { g_failAfter.store(bytes); }

WavWriter::~WavWriter() { close(); }

bool WavWriter::open(const QString& path, int channels, int rate, QString* error)
{
    close();
    m_channels = channels;
    m_rate = rate;
    m_frames = 0;
    m_sinceHeader = 0;
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const QByteArray h = WaveHeaderBytes(channels, rate, 16, 0);
    if (::write(m_fd, h.constData(), 44) != 44) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

bool WavWriter::append(const std::int16_t* data, std::int64_t frames, QString* error)
{
    if (m_fd < 0 || frames <= 0)
        return m_fd >= 0;
    const std::int64_t bytesPerFrame = 2 * m_channels;
    std::int64_t bytes = frames * bytesPerFrame;
    const std::int64_t written = m_frames * bytesPerFrame;
    if (written + bytes > kMaxDataBytes) {
        if (error)
            *error = QStringLiteral("The recording has reached the largest size a WAV file can hold.");
        return false;
    }
    const std::int64_t limit = g_failAfter.load();
    bool injected = false;
    if (limit >= 0 && written + bytes > limit) {
        bytes = std::max<std::int64_t>(0, limit - written) / bytesPerFrame * bytesPerFrame;
        injected = true;
    }
    const char* p = reinterpret_cast<const char*>(data);
    std::int64_t left = bytes;
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            // Keep only whole frames so the file stays well-formed.
            const std::int64_t done = bytes - left;
            m_frames += done / bytesPerFrame;
            if (done % bytesPerFrame)
                (void)::ftruncate(m_fd, 44 + m_frames * bytesPerFrame);
            updateHeader();
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(e));
            return false;
        }
        p += n;
        left -= n;
    }
    m_frames += bytes / bytesPerFrame;
    m_sinceHeader += bytes / bytesPerFrame;
    if (injected) {
        updateHeader();
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(ENOSPC));
        return false;
    }
    if (m_sinceHeader >= kHeaderEveryFrames)
        updateHeader();
    return true;
}

bool WavWriter::updateHeader()
{
    if (m_fd < 0)
        return false;
    m_sinceHeader = 0;
    const std::uint32_t data = std::uint32_t(m_frames * 2 * m_channels);
    unsigned char b[4];
    put32(b, data + 36);
    bool ok = ::pwrite(m_fd, b, 4, 4) == 4;
    put32(b, data);
    ok = ::pwrite(m_fd, b, 4, 40) == 4 && ok;
    return ok;
}

void WavWriter::close()
{
    if (m_fd < 0)
        return;
    updateHeader();
    ::fsync(m_fd);
    ::close(m_fd);
    m_fd = -1;
}

bool CaptureSink::open(const QString& path, int channels, int rate, QString* error)
{
    std::lock_guard lock(m_mutex);
    m_channels = channels;
    m_rate = rate;
    m_frames = 0;
    m_level1 = 0;
    m_level2 = 0;
    m_failed = false;
    m_paused = false;
    m_failure.clear();
    return m_writer.open(path, channels, rate, error);
}

void CaptureSink::write(const std::int16_t* data, std::int64_t frames)
{
    if (frames <= 0)
        return;
    // Levels follow the input even while paused, as a meter would.
    int peak1 = 0, peak2 = 0;
    for (std::int64_t i = 0; i < frames; ++i) {
        peak1 = std::max(peak1, std::abs(int(data[i * m_channels])));
        if (m_channels > 1)
            peak2 = std::max(peak2, std::abs(int(data[i * m_channels + 1])));
    }
    m_level1 = peak1;
    m_level2 = m_channels > 1 ? peak2 : peak1;
    if (m_paused.load() || m_failed.load())
        return;
    QString error;
    bool ok;
    {
        std::lock_guard lock(m_mutex);
        if (!m_writer.isOpen())
            return;
        ok = m_writer.append(data, frames, &error);
        m_frames = m_writer.frames();
        if (!ok) {
            m_failure = error;
            m_failed = true;
        }
    }
    if (!ok && onFailure)
        onFailure(error);
}

void CaptureSink::close()
{
    std::lock_guard lock(m_mutex);
    m_writer.close();
}

QString CaptureSink::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

} // namespace sv::audio
