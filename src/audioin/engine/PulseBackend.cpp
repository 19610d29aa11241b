#include "audioin/engine/PulseBackend.h"

#include "audioin/engine/Backends.h"
#include "audioin/engine/CaptureSink.h"

#include <QMetaObject>

#include <algorithm>
#include <cstring>

namespace sv::audio {

namespace {

// A server that takes longer than this to accept a connection is treated as
// absent, so start-up falls back to ALSA instead of hanging.
constexpr int kConnectTimeoutMs = 1500;
// Capture blocks of 20 ms keep the level meter current without waking up
// more often than needed.
constexpr pa_usec_t kCaptureFragmentUsec = 20 * 1000;
constexpr pa_usec_t kPlaybackBufferUsec = 250 * 1000;

AudioError serverError(const QString& what) { return AudioError(68, what); }

} // namespace

// ---- record object ------------------------------------------------------

struct PulseRecordObject::Capture {
    PulseRecordObject* owner = nullptr;
    PulseConnection* conn = nullptr;
    pa_stream* stream = nullptr;
    CaptureSink* sink = nullptr;
    int channels = 2;
    unsigned generation = 0;
    QString sourceDescription;
    std::vector<char> carry;
    std::vector<std::int16_t> buffer;
    bool stopping = false;
    std::atomic<bool> ready{false};
    std::atomic<bool> failed{false};
};

PulseRecordObject::PulseRecordObject(std::shared_ptr<PulseConnection> connection) : m_conn(std::move(connection))
{
    // Queued, so the signal reaches the UI thread; discarded if we are gone.
    m_conn->setDefaultSourceHandler(
        [this] { QMetaObject::invokeMethod(this, [this] { Q_EMIT DefaultDeviceChanged(); }, Qt::QueuedConnection); });
}

PulseRecordObject::~PulseRecordObject()
{
    m_conn->setDefaultSourceHandler(nullptr);
    shutDown();
}

int PulseRecordObject::listMixers()
{
    struct Listing : PulseReply {
        using PulseReply::PulseReply;
        QList<Source> sources;
    } listing(m_conn.get());
    const bool ok = m_conn->run(
        [&listing](pa_context* c) {
            return pa_context_get_source_info_list(
                c,
                [](pa_context*, const pa_source_info* info, int eol, void* ud) {
                    auto* l = static_cast<Listing*>(ud);
                    if (eol != 0) {
                        l->finish();
                        return;
                    }
                    // Monitors of outputs would record what the computer plays, not the deck.
                    if (!info || info->monitor_of_sink != PA_INVALID_INDEX)
                        return;
                    const QString name = QString::fromUtf8(info->name);
                    QString description = QString::fromUtf8(info->description ? info->description : "").trimmed();
                    if (description.isEmpty())
                        description = name;
                    l->sources.append({name, description});
                },
                &listing);
        },
        listing);
    if (!ok)
        throw serverError(QStringLiteral("The sound server did not list its recording devices."));
    m_sources = listing.sources;
    return int(m_sources.size());
}

QString PulseRecordObject::GetMixerName(int index) { return m_sources.at(listedMixer(index)).description; }

void PulseRecordObject::SetMixer(int index) { m_sourceName = m_sources.at(listedMixer(index)).name; }

QString PulseRecordObject::GetLineName(int index)
{
    checkIndex(index, 0);
    return {};
}

void PulseRecordObject::requireSource() const
{
    if (m_sourceName.isEmpty())
        throw AudioError(5, QStringLiteral("No recording device is selected."));
}

bool PulseRecordObject::readVolume(pa_cvolume* volume)
{
    struct Query : PulseReply {
        using PulseReply::PulseReply;
        pa_cvolume volume{};
        bool found = false;
    } q(m_conn.get());
    const QByteArray name = m_sourceName.toUtf8();
    const bool ok = m_conn->run(
        [&q, &name](pa_context* c) {
            return pa_context_get_source_info_by_name(
                c, name.constData(),
                [](pa_context*, const pa_source_info* info, int eol, void* ud) {
                    auto* q = static_cast<Query*>(ud);
                    if (eol == 0 && info) {
                        q->volume = info->volume;
                        q->found = true;
                        return;
                    }
                    q->finish();
                },
                &q);
        },
        q);
    if (!ok)
        throw serverError(QStringLiteral("The sound server did not answer."));
    if (q.found)
        *volume = q.volume;
    return q.found;
}

int PulseRecordObject::GetVolume()
{
    requireSource();
    pa_cvolume v;
    if (!readVolume(&v))
        throw serverError(QStringLiteral("The recording device is no longer available."));
    return PulseVolumeToPercent(pa_cvolume_max(&v));
}

void PulseRecordObject::SetVolume(int volume)
{
    requireSource();
    pa_cvolume v;
    if (!readVolume(&v))
        throw serverError(QStringLiteral("The recording device is no longer available."));
    // Scaling keeps the user's balance between the channels.
    pa_cvolume_scale(&v, PercentToPulseVolume(volume));
    struct Result : PulseReply {
        using PulseReply::PulseReply;
        bool success = false;
    } r(m_conn.get());
    const QByteArray name = m_sourceName.toUtf8();
    const bool ok = m_conn->run(
        [&r, &name, &v](pa_context* c) {
            return pa_context_set_source_volume_by_name(
                c, name.constData(), &v,
                [](pa_context*, int success, void* ud) {
                    auto* r = static_cast<Result*>(ud);
                    r->success = success != 0;
                    r->finish();
                },
                &r);
        },
        r);
    if (!ok || !r.success)
        throw serverError(QStringLiteral("The sound server refused the recording volume."));
}

void PulseRecordObject::captureRead(pa_stream* s, std::size_t, void* ud)
{
    auto* cap = static_cast<Capture*>(ud);
    const std::size_t frameBytes = std::size_t(cap->channels) * sizeof(std::int16_t);
    while (pa_stream_readable_size(s) > 0) {
        const void* data = nullptr;
        std::size_t n = 0;
        if (pa_stream_peek(s, &data, &n) < 0 || n == 0)
            break;
        const std::size_t total = cap->carry.size() + n;
        const std::size_t frames = total / frameBytes;
        cap->buffer.resize(frames * cap->channels);
        char* out = reinterpret_cast<char*>(cap->buffer.data());
        const std::size_t fromCarry = std::min(cap->carry.size(), frames * frameBytes);
        std::memcpy(out, cap->carry.data(), fromCarry);
        const std::size_t fromData = frames * frameBytes - fromCarry;
        // No data with a length is a hole in the stream: it stands for silence.
        if (data)
            std::memcpy(out + fromCarry, data, fromData);
        else
            std::memset(out + fromCarry, 0, fromData);
        std::vector<char> rest;
        if (data)
            rest.assign(static_cast<const char*>(data) + fromData, static_cast<const char*>(data) + n);
        else
            rest.assign(n - fromData, 0);
        cap->carry.swap(rest);
        pa_stream_drop(s);
        if (frames > 0)
            cap->sink->write(cap->buffer.data(), std::int64_t(frames));
    }
}

void PulseRecordObject::captureState(pa_stream* s, void* ud)
{
    auto* cap = static_cast<Capture*>(ud);
    switch (pa_stream_get_state(s)) {
    case PA_STREAM_READY:
        cap->ready.store(true);
        cap->conn->notify();
        return;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        break;
    default:
        return;
    }
    if (cap->stopping)
        return;
    cap->failed.store(true);
    cap->conn->notify();
    if (!cap->ready.load())
        return; // startStream is still waiting and reports it itself
    const QString reason = cap->conn->alive()
        ? QStringLiteral("The recording device \"%1\" is no longer available.").arg(cap->sourceDescription)
        : QStringLiteral("The sound server has stopped.");
    cap->owner->postFailure(cap->generation, reason);
}

void PulseRecordObject::startStream(CaptureSink* sink, int channels, int rate)
{
    requireSource();
    stopStream();
    if (!m_conn->alive())
        throw serverError(QStringLiteral("The sound server has stopped."));
    checkFormat(channels, rate);

    auto cap = std::make_unique<Capture>();
    cap->owner = this;
    cap->conn = m_conn.get();
    cap->sink = sink;
    cap->channels = channels;
    cap->generation = nextGeneration();
    for (const Source& s : std::as_const(m_sources))
        if (s.name == m_sourceName)
            cap->sourceDescription = s.description;

    pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, std::uint32_t(rate), std::uint8_t(channels)};
    pa_channel_map map;
    pa_channel_map_init_auto(&map, unsigned(channels), PA_CHANNEL_MAP_DEFAULT);
    pa_buffer_attr attr;
    std::memset(&attr, 0xff, sizeof attr);
    attr.fragsize = std::uint32_t(pa_usec_to_bytes(kCaptureFragmentUsec, &sampleSpec));
    const QByteArray source = m_sourceName.toUtf8();

    m_conn->lock();
    cap->stream = pa_stream_new(m_conn->context(), "Recording", &sampleSpec, &map);
    int rc = -1;
    if (cap->stream) {
        pa_stream_set_state_callback(cap->stream, &PulseRecordObject::captureState, cap.get());
        pa_stream_set_read_callback(cap->stream, &PulseRecordObject::captureRead, cap.get());
        // DONT_MOVE: if the deck's input disappears, fail rather than quietly
        // record from whatever the server picks instead.
        rc = pa_stream_connect_record(cap->stream, source.constData(), &attr,
                                      pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE));
    }
    m_conn->unlock();

    Capture* raw = cap.get();
    const bool ready = rc == 0
        && m_conn->waitUntil([raw] { return raw->ready.load() || raw->failed.load(); },
                             PulseConnection::kOperationTimeoutMs)
        && raw->ready.load() && !raw->failed.load();
    m_capture = std::move(cap);
    if (!ready) {
        const QString why = m_conn->lastError();
        stopStream();
        throw serverError(QStringLiteral("Cannot record from the device: %1")
                              .arg(why.isEmpty() ? QStringLiteral("no answer from the sound server") : why));
    }
}

void PulseRecordObject::stopStream()
{
    if (!m_capture)
        return;
    endGeneration();
    m_conn->lock();
    m_capture->stopping = true;
    if (pa_stream* s = m_capture->stream) {
        pa_stream_set_read_callback(s, nullptr, nullptr);
        pa_stream_set_state_callback(s, nullptr, nullptr);
        pa_stream_disconnect(s);
        pa_stream_unref(s);
    }
    m_conn->unlock();
    m_capture.reset();
}

// ---- play object --------------------------------------------------------

PulsePlayObject::PulsePlayObject(std::shared_ptr<PulseConnection> connection) : m_conn(std::move(connection)) {}

PulsePlayObject::~PulsePlayObject() { StopPlay(); }

void PulsePlayObject::closeStream()
{
    m_conn->lock();
    if (m_stream) {
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    m_conn->unlock();
}

void PulsePlayObject::openStream(std::int64_t startFrame)
{
    if (!m_conn->alive())
        throw serverError(QStringLiteral("The sound server has stopped."));
    m_remaining = m_info.dataBytes - startFrame * m_info.blockAlign;
    m_draining = false;
    m_streamReady.store(false);
    m_streamFailed.store(false);

    pa_sample_format_t format = PA_SAMPLE_S16LE;
    switch (m_info.bits) {
    case 8: format = PA_SAMPLE_U8; break;
    case 24: format = PA_SAMPLE_S24LE; break;
    case 32: format = m_info.isFloat ? PA_SAMPLE_FLOAT32LE : PA_SAMPLE_S32LE; break;
    default: break;
    }
    pa_sample_spec sampleSpec{format, std::uint32_t(m_info.rate), std::uint8_t(m_info.channels)};
    pa_channel_map map;
    pa_channel_map_init_auto(&map, unsigned(m_info.channels), PA_CHANNEL_MAP_WAVEEX);
    pa_buffer_attr attr;
    std::memset(&attr, 0xff, sizeof attr);
    attr.tlength = std::uint32_t(pa_usec_to_bytes(kPlaybackBufferUsec, &sampleSpec));

    m_conn->lock();
    m_stream = pa_stream_new(m_conn->context(), "Playback", &sampleSpec, &map);
    int rc = -1;
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, &PulsePlayObject::playState, this);
        pa_stream_set_write_callback(m_stream, &PulsePlayObject::playWrite, this);
        rc = pa_stream_connect_playback(
            m_stream, nullptr, &attr,
            pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY),
            nullptr, nullptr);
    }
    m_conn->unlock();
    const bool ready = rc == 0
        && m_conn->waitUntil([this] { return m_streamReady.load() || m_streamFailed.load(); },
                             PulseConnection::kOperationTimeoutMs)
        && m_streamReady.load();
    if (!ready) {
        const QString why = m_conn->lastError();
        closeStream();
        throw serverError(QStringLiteral("Cannot play through the sound server: %1")
                              .arg(why.isEmpty() ? QStringLiteral("no answer") : why));
    }
}

void PulsePlayObject::playWrite(pa_stream* s, std::size_t bytes, void* ud)
{
    auto* self = static_cast<PulsePlayObject*>(ud);
    const std::size_t align = std::size_t(self->m_info.blockAlign);
    while (bytes >= align && self->m_remaining > 0) {
        std::size_t n = std::min<std::size_t>(bytes, std::size_t(self->m_remaining));
        void* buf = nullptr;
        if (pa_stream_begin_write(s, &buf, &n) < 0 || !buf)
            break;
        n -= n % align;
        if (n == 0) {
            pa_stream_cancel_write(s);
            break;
        }
        const qint64 got = self->m_file.read(static_cast<char*>(buf), qint64(n));
        const std::size_t whole = got > 0 ? std::size_t(got) - std::size_t(got) % align : 0;
        if (whole == 0) {
            // The file ended early (or cannot be read): play what was there.
            pa_stream_cancel_write(s);
            self->m_remaining = 0;
            break;
        }
        pa_stream_write(s, buf, whole, nullptr, 0, PA_SEEK_RELATIVE);
        self->m_remaining -= std::int64_t(whole);
        bytes -= whole;
    }
    if (self->m_remaining <= 0 && !self->m_draining) {
        self->m_draining = true;
        pa_operation* op = pa_stream_drain(
            s,
            [](pa_stream*, int, void* ud) {
                auto* self = static_cast<PulsePlayObject*>(ud);
                self->markEnded();
                self->m_conn->notify();
            },
            self);
        if (op)
            pa_operation_unref(op);
    }
}

void PulsePlayObject::playState(pa_stream* s, void* ud)
{
    auto* self = static_cast<PulsePlayObject*>(ud);
    switch (pa_stream_get_state(s)) {
    case PA_STREAM_READY:
        self->m_streamReady.store(true);
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        // The output went away: nothing more will be heard, so playback is over.
        self->m_streamFailed.store(true);
        self->markEnded();
        break;
    default:
        return;
    }
    self->m_conn->notify();
}

double PulsePlayObject::playedSeconds()
{
    pa_usec_t played = 0;
    m_conn->lock();
    const bool known = m_stream && pa_stream_get_time(m_stream, &played) == 0;
    m_conn->unlock();
    return known ? double(played) / 1e6 : 0.0;
}

// ---- factory ------------------------------------------------------------

std::unique_ptr<AudioEngine> CreatePulseEngine()
{
    QString error;
    std::shared_ptr<PulseConnection> conn = PulseConnection::Connect(kConnectTimeoutMs, &error);
    if (!conn)
        return nullptr;
    auto engine = std::make_unique<AudioEngine>();
    engine->record = std::make_unique<PulseRecordObject>(conn);
    engine->play = std::make_unique<PulsePlayObject>(conn);
    engine->backend = QStringLiteral("pulse");
    return engine;
}

} // namespace sv::audio
