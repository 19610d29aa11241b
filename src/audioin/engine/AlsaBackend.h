#pragma once
// The alsa backend (line mode): every card with capture controls is a mixer,
// named by the card; its capture elements are the lines. The `default` device
// is a mixer too when its mixer has capture elements (through the pulse
// plugin it has one, "Capture"). Capture runs on a reader thread into the
// shared CaptureSink; playback goes to `default` on a writer thread.
#include "audioin/engine/DeviceObjects.h"

#include <QList>

#include <alsa/asoundlib.h>

#include <atomic>
#include <memory>
#include <thread>

namespace sv::audio {

struct AlsaCard {
    QString name;    // what the user sees
    QString control; // mixer device: "hw:N" or "default"
    QString pcm;     // capture device: "plughw:N" or "default"
};

// Cards (in ALSA's order) whose mixers have capture elements, then `default`
// when its mixer has them.
QList<AlsaCard> ListAlsaCaptureCards();

class AlsaRecordObject : public DeviceRecordObject {
    Q_OBJECT
public:
    AlsaRecordObject();
    ~AlsaRecordObject() override;

    QString GetMixerName(int index) override;
    void SetMixer(int index) override;
    int GetLineCount() override;
    QString GetLineName(int index) override;
    void SetLine(int index) override;
    int GetVolume() override;
    void SetVolume(int volume) override;
    bool IsDeviceMode() const override { return false; }

protected:
    int listMixers() override;
    void startStream(CaptureSink* sink, int channels, int rate) override;
    void stopStream() override;

private:
    struct Capture;
    void closeMixer();
    snd_mixer_elem_t* lineElement(int index) const;
    snd_mixer_elem_t* volumeElement();
    void captureLoop(Capture* cap);

    QList<AlsaCard> m_cards;
    int m_card = -1;
    snd_mixer_t* m_mixer = nullptr;
    QList<snd_mixer_elem_t*> m_lines;
    int m_line = -1;
    std::unique_ptr<Capture> m_capture;
};

class AlsaPlayObject : public DevicePlayObject {
    Q_OBJECT
public:
    AlsaPlayObject() = default;
    ~AlsaPlayObject() override;

protected:
    void openStream(std::int64_t startFrame) override;
    void closeStream() override;
    double playedSeconds() override;

private:
    void playLoop();

    snd_pcm_t* m_pcm = nullptr;
    snd_pcm_uframes_t m_period = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<std::int64_t> m_playedFrames{0};
};

} // namespace sv::audio
