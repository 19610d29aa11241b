#pragma once
// The audio engine: a record object (mixers, lines, volume, capture to a WAV
// file, levels) and a play object (WAV playback with position). Backends
// implement the device side; capture writing, levels, pause and the frame
// count are shared (CaptureSink).
//
// Threading: every operation is called on the UI thread. Backends deliver
// captured audio on their own thread to CaptureSink, which writes the file
// there. The four record events are emitted synchronously by the operation
// that causes them (StartCapture, PauseCapture, ResumeCapture, StopCapture),
// so handlers run in a known order. A capture that fails by itself (disk full,
// device lost) emits CaptureFailed on the UI thread.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

namespace sv::audio {

class CaptureSink;

// A failed engine call. number follows the classic error numbers where one fits.
class AudioError : public std::runtime_error {
public:
    AudioError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description) {}
    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

class RecordObject : public QObject {
    Q_OBJECT
public:
    explicit RecordObject(QObject* parent = nullptr);
    ~RecordObject() override;

    // Mixers (line mode: sound cards; device mode: recording devices).
    virtual int GetMixerCount() = 0;
    virtual QString GetMixerName(int index) = 0;
    virtual void SetMixer(int index) = 0;
    // Lines of the selected mixer (none in device mode).
    virtual int GetLineCount() = 0;
    virtual QString GetLineName(int index) = 0;
    virtual void SetLine(int index) = 0;
    // Recording volume of the selected line or device, 0..100; larger values mean 100.
    virtual int GetVolume() = 0;
    virtual void SetVolume(int volume) = 0;
    // Device mode: each mixer entry is a recording device and there are no lines.
    virtual bool IsDeviceMode() const = 0;

    void SetFileName(const QString& path);
    void SetPreviewFileName(const QString& path);
    QString FileName() const { return m_fileName; }
    // Starts writing a 16-bit PCM WAV (header valid while it grows). Throws AudioError.
    void StartCapture(int channels, int rate);
    void StopCapture();
    void PauseCapture();
    void ResumeCapture();
    bool IsCapturing() const;
    bool IsPaused() const;
    double GetRecordedSeconds() const;
    // Peak of the latest captured block, 0..32768, per channel.
    int GetLevel1() const;
    int GetLevel2() const;
    void SetRecordMode(int mode) { m_recordMode = mode; }
    void SetRecordSwitch(bool on) { m_recordSwitch = on; }
    qint64 FramesWritten() const;

Q_SIGNALS:
    void CaptureStarted();
    void CapturePaused();
    void CaptureResumed();
    void CaptureCompleted();
    // The capture ended on its own; the file holds what was recorded so far.
    void CaptureFailed(const QString& reason);
    // The sound server's default source changed.
    void DefaultDeviceChanged();

protected:
    // Start delivering interleaved 16-bit frames to sink->write() from the
    // backend's own thread. Throw AudioError on failure.
    virtual void startStream(CaptureSink* sink, int channels, int rate) = 0;
    // Stop delivering; when this returns no more write() calls happen.
    virtual void stopStream() = 0;
    // Called (UI thread) after the sink reported a failure, to end the stream.
    void reportFailure(const QString& reason);

private:
    void finishCapture(bool emitCompleted);

    QString m_fileName;
    int m_recordMode = 0;
    bool m_recordSwitch = false;
    std::unique_ptr<CaptureSink> m_sink;
    bool m_streaming = false;
};

class PlayObject : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Starts playing a WAV file from its beginning. Throws AudioError.
    virtual void PlayFile(const QString& path) = 0;
    virtual void StopPlay() = 0;
    // Seconds from the file's start; GetPlayLength is 0 when nothing is open
    // or playback has ended.
    virtual double GetPlayPosition() = 0;
    virtual double GetPlayLength() = 0;
    virtual void SetPlayPosition(int seconds) = 0;
};

struct AudioEngine {
    std::unique_ptr<RecordObject> record;
    std::unique_ptr<PlayObject> play;
    QString backend; // "pulse", "alsa" or "virtual"
};

// Builds the engine named by the setting Backend (section Advanced\Audio):
// "auto" (pulse when a server answers, else alsa), "pulse", "alsa", "virtual".
// Returns an engine whose record object may list no mixer.
std::unique_ptr<AudioEngine> CreateAudioEngine();
// Tests and the demo replace the construction.
using EngineFactory = std::function<std::unique_ptr<AudioEngine>()>;
void SetEngineFactory(EngineFactory factory);

} // namespace sv::audio
