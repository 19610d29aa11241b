#pragma once
// What the pulse and alsa backends do alike: reading a WAV file's format for
// playback, the bookkeeping of a record object whose stream runs on a thread
// of its own, and a play object that plays one file through a device stream.
#include "audioin/engine/AudioEngine.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <cstdint>

namespace sv::audio {

struct PlayWavInfo {
    int channels = 0;
    int rate = 0;
    int bits = 0;           // 8, 16, 24 or 32
    bool isFloat = false;   // 32-bit IEEE float
    int blockAlign = 0;     // bytes per frame
    std::int64_t dataOffset = 0;
    std::int64_t dataBytes = 0; // whole frames only, never past the end of the file

    std::int64_t frames() const { return blockAlign > 0 ? dataBytes / blockAlign : 0; }
    double seconds() const { return rate > 0 ? double(frames()) / rate : 0.0; }
};

// Walks the RIFF chunks for "fmt " and "data". A data size that claims more
// than the file holds (a recording cut short, a streamed header) is trimmed
// to what is there. False with a reason when the file cannot be played.
bool ReadPlayWavInfo(const QString& path, PlayWavInfo* info, QString* error);

// Reads the format and opens the file for a play object; throws AudioError
// (53 missing, 321 unplayable format, 75 unreadable).
void OpenPlayWav(const QString& path, PlayWavInfo& info, QFile& file);

class DeviceRecordObject : public RecordObject {
    Q_OBJECT
public:
    using RecordObject::RecordObject;

    // Asks the system again: cards and devices come and go.
    int GetMixerCount() final;

protected:
    // Lists the mixers into the backend's own list; returns how many.
    virtual int listMixers() = 0;
    // index, once the mixers have been listed (the first call lists them).
    // Throws "Subscript out of range" for a mixer not in the list.
    int listedMixer(int index);
    // For the backends' destructors: the base class cannot reach stopStream()
    // from its own, and whoever listened may be half destroyed by now, so it
    // finishes without signals.
    void shutDown();
    // Throws "Subscript out of range" unless 0 <= index < count.
    static void checkIndex(qsizetype index, qsizetype count);
    static void checkFormat(int channels, int rate);

    // A capture's number: a failure reported for one that has been stopped
    // since (or replaced) is dropped.
    unsigned nextGeneration() { return ++m_generation; }
    void endGeneration() { ++m_generation; }
    // Any thread: ends that capture on the UI thread with the reason.
    void postFailure(unsigned generation, const QString& reason);

private:
    unsigned m_generation = 0; // UI thread only
    bool m_listed = false;
    int m_mixerCount = 0;
};

class DevicePlayObject : public PlayObject {
    Q_OBJECT
public:
    using PlayObject::PlayObject;

    void PlayFile(const QString& path) override;
    void StopPlay() override;
    double GetPlayPosition() override;
    double GetPlayLength() override;
    void SetPlayPosition(int seconds) override;

protected:
    // Starts the output at startFrame, where the file now stands. Throws AudioError.
    virtual void openStream(std::int64_t startFrame) = 0;
    // Stops the output; afterwards nothing reads the file. Backends call
    // StopPlay() from their destructors, which ends here.
    virtual void closeStream() = 0;
    // Seconds heard since openStream.
    virtual double playedSeconds() = 0;
    // Any thread: everything was heard, or the output went away.
    void markEnded() { m_ended.store(true); }

    PlayWavInfo m_info;
    QFile m_file; // the output's while a stream is open

private:
    void startAt(int seconds);
    void finishIfEnded();

    bool m_open = false;
    int m_baseSeconds = 0;
    std::atomic<bool> m_ended{false};
};

} // namespace sv::audio
