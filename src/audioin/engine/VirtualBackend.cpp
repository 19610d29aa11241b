#include "audioin/engine/VirtualBackend.h"

#include "audioin/engine/Backends.h"
#include "audioin/engine/CaptureSink.h"
#include "settings/Settings.h"
#include "tracks/modWaveSplit.h"
#include "util/modFunctions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace sv::audio {

namespace {

// A 16-bit PCM file read whole into memory as stereo frames (mono doubled).
struct WavSamples {
    std::vector<std::int16_t> frames; // interleaved stereo
    int rate = 44100;
};

std::shared_ptr<WavSamples> loadWav(const QString& path)
{
    auto out = std::make_shared<WavSamples>();
    WaveHeader h;
    if (ReadWaveHeader(path, h) != WaveStatus::Ok || h.BitsPerSample != 16)
        return out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(h.DataStart - 1))
        return out;
    const QByteArray d = f.read(h.Frames * h.BlockAlign);
    const int channels = h.Channels;
    const qsizetype n = d.size() / (2 * channels);
    out->rate = h.SampleRate;
    out->frames.resize(size_t(n) * 2);
    const auto* s = reinterpret_cast<const std::int16_t*>(d.constData());
    for (qsizetype i = 0; i < n; ++i) {
        out->frames[size_t(i) * 2] = s[i * channels];
        out->frames[size_t(i) * 2 + 1] = s[i * channels + (channels - 1)];
    }
    return out;
}

class VirtualRecord;

class VirtualPlay : public PlayObject {
public:
    explicit VirtualPlay(double speed) : m_speed(speed > 0 ? speed : 1.0) {}

    void PlayFile(const QString& path) override
    {
        StopPlay();
        if (!QFile::exists(path))
            throw AudioError(53, QStringLiteral("File not found"));
        WaveHeader h;
        if (ReadWaveHeader(path, h) != WaveStatus::Ok)
            throw AudioError(321, QStringLiteral("Invalid file format"));
        m_length = h.ExactSeconds();
        m_offset = 0;
        m_clock.start();
        m_playing = true;
    }
    void StopPlay() override
    {
        m_playing = false;
        m_length = 0;
    }
    double GetPlayPosition() override
    {
        if (!m_playing)
            return 0;
        const double pos = m_offset + m_clock.elapsed() / 1000.0 * m_speed;
        if (pos >= m_length) {
            StopPlay();
            return 0;
        }
        return pos;
    }
    double GetPlayLength() override
    {
        GetPlayPosition();
        return m_playing ? m_length : 0.0;
    }
    void SetPlayPosition(int seconds) override
    {
        if (!m_playing)
            return;
        m_offset = std::clamp(double(seconds), 0.0, m_length);
        m_clock.restart();
    }

private:
    double m_speed;
    double m_length = 0;
    double m_offset = 0;
    bool m_playing = false;
    QElapsedTimer m_clock;
};

class VirtualRecord : public RecordObject {
public:
    explicit VirtualRecord(const VirtualDeck& deck) : m_deck(deck) {}
    ~VirtualRecord() override { stopStream(); }

    int GetMixerCount() override { return int(m_deck.mixers.size()); }
    QString GetMixerName(int index) override { return mixer(index).name; }
    void SetMixer(int index) override
    {
        mixer(index);
        std::lock_guard lock(m_mutex);
        m_mixer = index;
        m_line = 0;
    }
    int GetLineCount() override
    {
        if (m_deck.deviceMode || m_mixer < 0)
            return 0;
        return int(m_deck.mixers[m_mixer].lines.size());
    }
    QString GetLineName(int index) override
    {
        if (m_mixer < 0 || index < 0 || index >= m_deck.mixers[m_mixer].lines.size())
            throw AudioError(9, QStringLiteral("Subscript out of range"));
        return m_deck.mixers[m_mixer].lines[index].name;
    }
    void SetLine(int index) override
    {
        GetLineName(index);
        std::lock_guard lock(m_mutex);
        m_line = index;
    }
    int GetVolume() override
    {
        std::lock_guard lock(m_mutex);
        VirtualLine* l = current();
        return l ? l->volume : 0;
    }
    void SetVolume(int volume) override
    {
        std::lock_guard lock(m_mutex);
        if (VirtualLine* l = current())
            l->volume = std::clamp(volume, 0, 100);
    }
    bool IsDeviceMode() const override { return m_deck.deviceMode; }

    VirtualDeck* deck() { return &m_deck; }

protected:
    void startStream(CaptureSink* sink, int channels, int rate) override
    {
        stopStream();
        {
            std::lock_guard lock(m_mutex);
            if (!current())
                throw AudioError(5, QStringLiteral("No recording line is selected."));
        }
        m_stop = false;
        m_position = 0;
        m_thread = std::thread([this, sink, channels, rate] { run(sink, channels, rate); });
    }
    void stopStream() override
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    const VirtualMixer& mixer(int index) const
    {
        if (index < 0 || index >= m_deck.mixers.size())
            throw AudioError(9, QStringLiteral("Subscript out of range"));
        return m_deck.mixers[index];
    }
    VirtualLine* current()
    {
        if (m_mixer < 0 || m_mixer >= m_deck.mixers.size())
            return nullptr;
        auto& lines = m_deck.mixers[m_mixer].lines;
        const int idx = m_deck.deviceMode ? 0 : m_line;
        return idx >= 0 && idx < lines.size() ? &lines[idx] : nullptr;
    }

    // Fills one block from the current line's signal at the current volume.
    void fill(std::vector<std::int16_t>& buf, int frames, int channels, std::mt19937& rng)
    {
        VirtualSignal signal;
        int volume = 0;
        {
            std::lock_guard lock(m_mutex);
            if (VirtualLine* l = current()) {
                signal = l->signal;
                volume = l->volume;
            }
        }
        if (signal.kind == VirtualSignal::Wav && (!m_wav || m_wavPath != signal.wavPath)) {
            m_wav = loadWav(signal.wavPath);
            m_wavPath = signal.wavPath;
        }
        const double gain = volume / 100.0;
        std::uniform_int_distribution<int> noise(-signal.level, signal.level);
        for (int i = 0; i < frames; ++i) {
            const std::int64_t at = m_position + i;
            for (int ch = 0; ch < channels; ++ch) {
                double v = 0;
                if (signal.kind == VirtualSignal::Noise)
                    v = noise(rng);
                else if (signal.kind == VirtualSignal::Wav && m_wav && size_t(at) * 2 + 1 < m_wav->frames.size())
                    v = m_wav->frames[size_t(at) * 2 + std::min(ch, 1)];
                buf[size_t(i) * channels + ch] = std::int16_t(std::clamp(std::lround(v * gain), -32768l, 32767l));
            }
        }
        m_position += frames;
    }

    void run(CaptureSink* sink, int channels, int rate)
    {
        std::mt19937 rng(7);
        const int block = std::max(1, rate / 20);
        std::vector<std::int16_t> buf(size_t(block) * channels);
        QElapsedTimer clock;
        clock.start();
        std::int64_t delivered = 0;
        const double speed = m_deck.speed > 0 ? m_deck.speed : 1.0;
        while (!m_stop) {
            const auto due = std::int64_t(clock.nsecsElapsed() / 1e9 * rate * speed);
            while (delivered + block <= due && !m_stop) {
                fill(buf, block, channels, rng);
                sink->write(buf.data(), block);
                delivered += block;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    VirtualDeck m_deck;
    std::mutex m_mutex;
    int m_mixer = -1;
    int m_line = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::int64_t m_position = 0;
    std::shared_ptr<WavSamples> m_wav;
    QString m_wavPath;
};

VirtualSignal signalFromJson(const QJsonObject& o, const QString& base)
{
    const QString kind = o.value(QStringLiteral("signal")).toString().toLower();
    if (kind == QLatin1String("noise"))
        return VirtualSignal::noise(o.value(QStringLiteral("level")).toInt(300));
    if (kind == QLatin1String("wav")) {
        QString p = o.value(QStringLiteral("file")).toString();
        if (!p.startsWith(QLatin1Char('/')))
            p = base + p;
        return VirtualSignal::wav(p);
    }
    return VirtualSignal::silence();
}

} // namespace

VirtualDeck VirtualDeck::Demo()
{
    VirtualDeck d;
    VirtualMixer m;
    m.name = QStringLiteral("Demo Deck");
    m.lines.append({QStringLiteral("Line In"), VirtualSignal::wav(DataFolder() + QStringLiteral("demo-side.wav")), 50});
    m.lines.append({QStringLiteral("Microphone"), VirtualSignal::noise(400), 50});
    m.lines.append({QStringLiteral("CD Audio"), VirtualSignal::silence(), 50});
    d.mixers.append(m);
    return d;
}

std::unique_ptr<AudioEngine> CreateVirtualEngine(const VirtualDeck& deck)
{
    auto e = std::make_unique<AudioEngine>();
    e->record = std::make_unique<VirtualRecord>(deck);
    e->play = std::make_unique<VirtualPlay>(deck.speed);
    e->backend = QStringLiteral("virtual");
    return e;
}

// The deck file (JSON) lets support and end-to-end runs describe other decks:
// {"deviceMode": false, "mixers": [{"name": "...", "lines": [{"name": "...",
//  "signal": "wav|noise|silence", "file": "...", "level": 300, "volume": 50}]}]}
std::unique_ptr<AudioEngine> CreateVirtualEngine()
{
    VirtualDeck deck = VirtualDeck::Demo();
    const QString file = Settings::virtualDeck();
    if (!file.isEmpty()) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly)) {
            const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
            const QString base = AddSlash(QFileInfo(file).absolutePath());
            VirtualDeck custom;
            custom.deviceMode = root.value(QStringLiteral("deviceMode")).toBool();
            for (const auto& mv : root.value(QStringLiteral("mixers")).toArray()) {
                VirtualMixer m;
                m.name = mv.toObject().value(QStringLiteral("name")).toString();
                for (const auto& lv : mv.toObject().value(QStringLiteral("lines")).toArray()) {
                    const QJsonObject lo = lv.toObject();
                    m.lines.append({lo.value(QStringLiteral("name")).toString(), signalFromJson(lo, base),
                                    lo.value(QStringLiteral("volume")).toInt(50)});
                }
                custom.mixers.append(m);
            }
            if (!custom.mixers.isEmpty())
                deck = custom;
        }
    }
    deck.speed = Settings::virtualSpeed();
    return CreateVirtualEngine(deck);
}

VirtualDeck* DeckOf(RecordObject* record)
{
    auto* v = dynamic_cast<VirtualRecord*>(record);
    return v ? v->deck() : nullptr;
}

} // namespace sv::audio
