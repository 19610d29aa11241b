#pragma once
// Where every backend's captured audio goes: a 16-bit PCM WAV file whose
// header is kept current while it grows, the peak levels of the latest block,
// the count of frames written, and the pause switch. write() is called on the
// backend's thread; the rest on the UI thread.
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace sv::audio {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates (truncates) the file and writes a 44-byte header for 0 frames.
    bool open(const QString& path, int channels, int rate, QString* error);
    // Appends whole frames; false (with error) when the disk refuses them.
    // Whatever was written before stays valid.
    bool append(const std::int16_t* interleaved, std::int64_t frames, QString* error);
    // Rewrites the RIFF and data sizes for the frames written so far.
    bool updateHeader();
    void close();
    bool isOpen() const { return m_fd >= 0; }
    std::int64_t frames() const { return m_frames; }
    int channels() const { return m_channels; }
    int rate() const { return m_rate; }

    // Tests: make writes fail with "No space left on device" once the data
    // would exceed this many bytes (-1 turns it off). Process-wide.
    static void InjectFailureAfterBytes(std::int64_t bytes);

private:
    int m_fd = -1;
    int m_channels = 2;
    int m_rate = 44100;
    std::int64_t m_frames = 0;
    std::int64_t m_sinceHeader = 0;
};

class CaptureSink {
public:
    CaptureSink() = default;
    bool open(const QString& path, int channels, int rate, QString* error);
    // Backend thread. Ignored while paused or after a failure.
    void write(const std::int16_t* interleaved, std::int64_t frames);
    void setPaused(bool paused) { m_paused.store(paused); }
    bool paused() const { return m_paused.load(); }
    // Finishes the file (final header) and closes it.
    void close();

    std::int64_t frames() const { return m_frames.load(); }
    int rate() const { return m_rate; }
    int channels() const { return m_channels; }
    int level(int channel) const { return channel == 0 ? m_level1.load() : m_level2.load(); }
    bool failed() const { return m_failed.load(); }
    QString failure() const;

    // Called once, on the backend's thread, when writing fails.
    std::function<void(const QString&)> onFailure;

private:
    mutable std::mutex m_mutex;
    WavWriter m_writer;
    int m_channels = 2;
    int m_rate = 44100;
    std::atomic<std::int64_t> m_frames{0};
    std::atomic<int> m_level1{0};
    std::atomic<int> m_level2{0};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_failed{false};
    QString m_failure;
};

} // namespace sv::audio
