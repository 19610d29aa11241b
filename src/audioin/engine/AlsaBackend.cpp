#include "audioin/engine/AlsaBackend.h"

#include "audioin/engine/Backends.h"
#include "audioin/engine/CaptureSink.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <vector>

namespace sv::audio {

namespace {

constexpr unsigned kPeriodUsec = 20 * 1000;
constexpr unsigned kCaptureBufferUsec = 500 * 1000;
constexpr unsigned kPlaybackBufferUsec = 250 * 1000;
constexpr int kWaitMs = 100;

// alsa-lib prints every failed probe (a missing card, `default` without a
// server behind it) to stderr; we report failures ourselves.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsaOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&quietAlsa); });
}

AudioError alsaError(const QString& what, int err)
{
    return AudioError(68, QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(snd_strerror(err))));
}

snd_mixer_t* openMixer(const QString& control)
{
    snd_mixer_t* m = nullptr;
    if (snd_mixer_open(&m, 0) < 0)
        return nullptr;
    const QByteArray name = control.toLocal8Bit();
    if (snd_mixer_attach(m, name.constData()) < 0 || snd_mixer_selem_register(m, nullptr, nullptr) < 0
        || snd_mixer_load(m) < 0) {
        snd_mixer_close(m);
        return nullptr;
    }
    return m;
}

bool isCaptureElement(snd_mixer_elem_t* e)
{
    return snd_mixer_selem_is_active(e)
        && (snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_has_capture_switch(e));
}

QList<snd_mixer_elem_t*> captureElements(snd_mixer_t* m)
{
    QList<snd_mixer_elem_t*> out;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(m); e; e = snd_mixer_elem_next(e))
        if (isCaptureElement(e))
            out.append(e);
    return out;
}

bool hasCaptureElements(const QString& control)
{
    snd_mixer_t* m = openMixer(control);
    if (!m)
        return false;
    const bool any = !captureElements(m).isEmpty();
    snd_mixer_close(m);
    return any;
}

// Sets up an interleaved PCM; the period actually granted goes to *period.
int configurePcm(snd_pcm_t* pcm, snd_pcm_format_t format, int channels, int rate, unsigned bufferUsec,
                 snd_pcm_uframes_t* period, bool playback)
{
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    int err;
    if ((err = snd_pcm_hw_params_any(pcm, hw)) < 0)
        return err;
    snd_pcm_hw_params_set_rate_resample(pcm, hw, 1);
    if ((err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0
        || (err = snd_pcm_hw_params_set_format(pcm, hw, format)) < 0
        || (err = snd_pcm_hw_params_set_channels(pcm, hw, unsigned(channels))) < 0
        || (err = snd_pcm_hw_params_set_rate(pcm, hw, unsigned(rate), 0)) < 0)
        return err;
    unsigned buffer = bufferUsec;
    unsigned periodUsec = kPeriodUsec;
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUsec, nullptr);
    if ((err = snd_pcm_hw_params(pcm, hw)) < 0)
        return err;
    snd_pcm_hw_params_get_period_size(hw, period, nullptr);
    if (*period == 0)
        *period = 1024;
    if (playback) {
        // Start as soon as one period is queued, so short files play too.
        snd_pcm_sw_params_t* sw;
        snd_pcm_sw_params_alloca(&sw);
        if (snd_pcm_sw_params_current(pcm, sw) == 0) {
            snd_pcm_sw_params_set_start_threshold(pcm, sw, *period);
            snd_pcm_sw_params(pcm, sw);
        }
    }
    return snd_pcm_prepare(pcm);
}

} // namespace

QList<AlsaCard> ListAlsaCaptureCards()
{
    silenceAlsaOnce();
    QList<AlsaCard> cards;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        const QString control = QStringLiteral("hw:%1").arg(card);
        if (!hasCaptureElements(control))
            continue;
        char* name = nullptr;
        QString title = QStringLiteral("Card %1").arg(card);
        if (snd_card_get_name(card, &name) == 0 && name) {
            title = QString::fromLocal8Bit(name);
            free(name);
        }
        cards.append({title, control, QStringLiteral("plughw:%1").arg(card)});
    }
    if (hasCaptureElements(QStringLiteral("default")))
        cards.append({QStringLiteral("default"), QStringLiteral("default"), QStringLiteral("default")});
    return cards;
}

// ---- record object ------------------------------------------------------

struct AlsaRecordObject::Capture {
    snd_pcm_t* pcm = nullptr;
    CaptureSink* sink = nullptr;
    int channels = 2;
    snd_pcm_uframes_t period = 0;
    unsigned generation = 0;
    std::atomic<bool> stop{false};
    std::thread thread;
};

AlsaRecordObject::AlsaRecordObject() { silenceAlsaOnce(); }

AlsaRecordObject::~AlsaRecordObject()
{
    shutDown();
    closeMixer();
}

int AlsaRecordObject::listMixers()
{
    m_cards = ListAlsaCaptureCards();
    return int(m_cards.size());
}

QString AlsaRecordObject::GetMixerName(int index) { return m_cards.at(listedMixer(index)).name; }

void AlsaRecordObject::closeMixer()
{
    m_lines.clear();
    m_line = -1;
    if (m_mixer)
        snd_mixer_close(m_mixer);
    m_mixer = nullptr;
}

void AlsaRecordObject::SetMixer(int index)
{
    listedMixer(index);
    closeMixer();
    m_card = index;
    m_mixer = openMixer(m_cards.at(index).control);
    if (!m_mixer)
        throw AudioError(68, QStringLiteral("Cannot open the mixer of %1.").arg(m_cards.at(index).name));
    m_lines = captureElements(m_mixer);
}

int AlsaRecordObject::GetLineCount() { return int(m_lines.size()); }

QString AlsaRecordObject::GetLineName(int index)
{
    snd_mixer_elem_t* e = lineElement(index);
    const QString name = QString::fromLocal8Bit(snd_mixer_selem_get_name(e));
    const unsigned n = snd_mixer_selem_get_index(e);
    return n ? QStringLiteral("%1 %2").arg(name).arg(n) : name;
}

snd_mixer_elem_t* AlsaRecordObject::lineElement(int index) const
{
    checkIndex(index, m_lines.size());
    return m_lines.at(index);
}

void AlsaRecordObject::SetLine(int index)
{
    snd_mixer_elem_t* e = lineElement(index);
    m_line = index;
    // Turning on an element of an exclusive capture group turns the others
    // off (the card's source selector); elsewhere it just enables the input.
    if (snd_mixer_selem_has_capture_switch(e)) {
        const int err = snd_mixer_selem_set_capture_switch_all(e, 1);
        if (err < 0)
            throw alsaError(QStringLiteral("Cannot select %1").arg(GetLineName(index)), err);
    }
}

snd_mixer_elem_t* AlsaRecordObject::volumeElement()
{
    if (!m_mixer)
        throw AudioError(5, QStringLiteral("No sound card is selected."));
    // Pick up changes made elsewhere (the desktop's mixer, the sound server).
    snd_mixer_handle_events(m_mixer);
    if (m_lines.isEmpty())
        return nullptr;
    return m_lines.at(m_line >= 0 ? m_line : 0);
}

int AlsaRecordObject::GetVolume()
{
    snd_mixer_elem_t* e = volumeElement();
    if (!e || !snd_mixer_selem_has_capture_volume(e))
        return 0;
    long lo = 0, hi = 0;
    snd_mixer_selem_get_capture_volume_range(e, &lo, &hi);
    if (hi <= lo)
        return 0;
    long loudest = lo;
    for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
        const auto channel = snd_mixer_selem_channel_id_t(ch);
        long v = 0;
        if (snd_mixer_selem_has_capture_channel(e, channel) && snd_mixer_selem_get_capture_volume(e, channel, &v) == 0)
            loudest = std::max(loudest, v);
    }
    return int(std::lround(double(loudest - lo) * 100.0 / double(hi - lo)));
}

void AlsaRecordObject::SetVolume(int volume)
{
    snd_mixer_elem_t* e = volumeElement();
    if (!e || !snd_mixer_selem_has_capture_volume(e))
        return; // a switch-only input has no level to set
    long lo = 0, hi = 0;
    snd_mixer_selem_get_capture_volume_range(e, &lo, &hi);
    volume = std::clamp(volume, 0, 100);
    const long value = lo + std::lround(double(hi - lo) * volume / 100.0);
    const int err = snd_mixer_selem_set_capture_volume_all(e, value);
    if (err < 0)
        throw alsaError(QStringLiteral("Cannot set the recording volume"), err);
}

void AlsaRecordObject::startStream(CaptureSink* sink, int channels, int rate)
{
    stopStream();
    if (m_card < 0 || m_card >= m_cards.size())
        throw AudioError(5, QStringLiteral("No sound card is selected."));
    checkFormat(channels, rate);
    auto cap = std::make_unique<Capture>();
    cap->sink = sink;
    cap->channels = channels;
    cap->generation = nextGeneration();
    const AlsaCard& card = m_cards.at(m_card);
    int err = snd_pcm_open(&cap->pcm, card.pcm.toLocal8Bit().constData(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (err < 0)
        throw alsaError(QStringLiteral("Cannot record from %1").arg(card.name), err);
    if ((err = configurePcm(cap->pcm, SND_PCM_FORMAT_S16_LE, channels, rate, kCaptureBufferUsec, &cap->period, false)) < 0
        || (err = snd_pcm_start(cap->pcm)) < 0) {
        snd_pcm_close(cap->pcm);
        throw alsaError(QStringLiteral("Cannot record from %1").arg(card.name), err);
    }
    Capture* raw = cap.get();
    m_capture = std::move(cap);
    m_capture->thread = std::thread([this, raw] { captureLoop(raw); });
}

void AlsaRecordObject::captureLoop(Capture* cap)
{
    std::vector<std::int16_t> buffer(cap->period * std::size_t(cap->channels));
    QString failure;
    while (!cap->stop.load()) {
        int err = snd_pcm_wait(cap->pcm, kWaitMs);
        if (err == 0)
            continue;
        snd_pcm_sframes_t n = err < 0 ? err : snd_pcm_readi(cap->pcm, buffer.data(), cap->period);
        if (n == -EAGAIN)
            continue;
        if (n < 0) {
            // Overruns and suspends are recovered; anything else ends the capture.
            if (snd_pcm_recover(cap->pcm, int(n), 1) < 0) {
                failure = QString::fromLocal8Bit(snd_strerror(int(n)));
                break;
            }
            snd_pcm_start(cap->pcm);
            continue;
        }
        if (n > 0)
            cap->sink->write(buffer.data(), n);
    }
    if (!failure.isEmpty())
        postFailure(cap->generation, QStringLiteral("The sound card stopped recording: %1").arg(failure));
}

void AlsaRecordObject::stopStream()
{
    if (!m_capture)
        return;
    endGeneration();
    m_capture->stop.store(true);
    if (m_capture->thread.joinable())
        m_capture->thread.join();
    snd_pcm_drop(m_capture->pcm);
    snd_pcm_close(m_capture->pcm);
    m_capture.reset();
}

// ---- play object --------------------------------------------------------

AlsaPlayObject::~AlsaPlayObject() { StopPlay(); }

void AlsaPlayObject::closeStream()
{
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    if (m_pcm) {
        snd_pcm_drop(m_pcm);
        snd_pcm_close(m_pcm);
    }
    m_pcm = nullptr;
}

void AlsaPlayObject::openStream(std::int64_t)
{
    m_playedFrames.store(0);
    m_stop.store(false);
    snd_pcm_format_t format = SND_PCM_FORMAT_S16_LE;
    switch (m_info.bits) {
    case 8: format = SND_PCM_FORMAT_U8; break;
    case 24: format = SND_PCM_FORMAT_S24_3LE; break;
    case 32: format = m_info.isFloat ? SND_PCM_FORMAT_FLOAT_LE : SND_PCM_FORMAT_S32_LE; break;
    default: break;
    }
    int err = snd_pcm_open(&m_pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (err < 0) {
        m_pcm = nullptr;
        throw alsaError(QStringLiteral("Cannot play through the default device"), err);
    }
    if ((err = configurePcm(m_pcm, format, m_info.channels, m_info.rate, kPlaybackBufferUsec, &m_period, true)) < 0) {
        snd_pcm_close(m_pcm);
        m_pcm = nullptr;
        throw alsaError(QStringLiteral("Cannot play through the default device"), err);
    }
    m_thread = std::thread([this] { playLoop(); });
}

void AlsaPlayObject::playLoop()
{
    const std::size_t frameBytes = std::size_t(m_info.blockAlign);
    std::vector<char> buffer(m_period * frameBytes);
    std::int64_t remaining = m_info.dataBytes - (m_file.pos() - m_info.dataOffset);
    std::size_t have = 0, at = 0;
    std::int64_t written = 0;
    bool eof = false;
    auto notePlayed = [&] {
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(m_pcm, &delay) < 0)
            delay = 0;
        m_playedFrames.store(std::max<std::int64_t>(0, written - std::max<snd_pcm_sframes_t>(0, delay)));
        return delay;
    };
    while (!m_stop.load()) {
        if (at == have && !eof) {
            const qint64 want = std::min<std::int64_t>(std::int64_t(buffer.size()), remaining);
            const qint64 got = want > 0 ? m_file.read(buffer.data(), want) : 0;
            have = got > 0 ? std::size_t(got) - std::size_t(got) % frameBytes : 0;
            at = 0;
            remaining -= std::int64_t(have);
            eof = have == 0;
        }
        if (eof) {
            // Let the queued audio play out, then report the end.
            if (snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED)
                snd_pcm_start(m_pcm);
            const snd_pcm_sframes_t delay = notePlayed();
            if (snd_pcm_state(m_pcm) != SND_PCM_STATE_RUNNING || delay <= 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        const int ready = snd_pcm_wait(m_pcm, kWaitMs);
        snd_pcm_sframes_t n = ready < 0 ? ready : ready == 0 ? -EAGAIN
                                                             : snd_pcm_writei(m_pcm, buffer.data() + at,
                                                                              (have - at) / frameBytes);
        if (n == -EAGAIN) {
            notePlayed();
            continue;
        }
        if (n < 0) {
            if (snd_pcm_recover(m_pcm, int(n), 1) < 0)
                break; // the device is gone: playback is over
            continue;
        }
        at += std::size_t(n) * frameBytes;
        written += n;
        notePlayed();
    }
    if (!m_stop.load())
        markEnded();
}

double AlsaPlayObject::playedSeconds()
{
    return m_info.rate > 0 ? double(m_playedFrames.load()) / m_info.rate : 0.0;
}

// ---- factory ------------------------------------------------------------

std::unique_ptr<AudioEngine> CreateAlsaEngine()
{
    auto engine = std::make_unique<AudioEngine>();
    engine->record = std::make_unique<AlsaRecordObject>();
    engine->play = std::make_unique<AlsaPlayObject>();
    engine->backend = QStringLiteral("alsa");
    return engine;
}

} // namespace sv::audio
