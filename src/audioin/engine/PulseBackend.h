#pragma once
// The pulse backend (device mode): every capture source of the sound server
// except the monitors of outputs is a recording device, named by its
// description. Capture and playback run on libpulse's thread; failures and
// default-source changes reach the UI thread as queued calls.
#include "audioin/engine/DeviceObjects.h"
#include "audioin/engine/PulseConnection.h"

#include <QList>

#include <atomic>
#include <memory>
#include <vector>

namespace sv::audio {

class PulseRecordObject : public DeviceRecordObject {
    Q_OBJECT
public:
    explicit PulseRecordObject(std::shared_ptr<PulseConnection> connection);
    ~PulseRecordObject() override;

    QString GetMixerName(int index) override;
    void SetMixer(int index) override;
    int GetLineCount() override { return 0; }
    QString GetLineName(int index) override;
    void SetLine(int) override {}
    int GetVolume() override;
    void SetVolume(int volume) override;
    bool IsDeviceMode() const override { return true; }

    // Server name of the selected source (tests, diagnostics).
    QString SourceName() const { return m_sourceName; }

protected:
    int listMixers() override;
    void startStream(CaptureSink* sink, int channels, int rate) override;
    void stopStream() override;

private:
    struct Source {
        QString name;
        QString description;
    };
    struct Capture;
    void requireSource() const;
    bool readVolume(pa_cvolume* volume);
    static void captureRead(pa_stream* s, std::size_t, void* ud);
    static void captureState(pa_stream* s, void* ud);

    std::shared_ptr<PulseConnection> m_conn;
    QList<Source> m_sources;
    QString m_sourceName;
    std::unique_ptr<Capture> m_capture;
};

class PulsePlayObject : public DevicePlayObject {
    Q_OBJECT
public:
    explicit PulsePlayObject(std::shared_ptr<PulseConnection> connection);
    ~PulsePlayObject() override;

protected:
    void openStream(std::int64_t startFrame) override;
    void closeStream() override;
    double playedSeconds() override;

private:
    static void playWrite(pa_stream* s, std::size_t bytes, void* ud);
    static void playState(pa_stream* s, void* ud);

    std::shared_ptr<PulseConnection> m_conn;
    // Loop lock held for these while a stream exists.
    pa_stream* m_stream = nullptr;
    std::int64_t m_remaining = 0;
    bool m_draining = false;
    std::atomic<bool> m_streamReady{false};
    std::atomic<bool> m_streamFailed{false};
};

} // namespace sv::audio
