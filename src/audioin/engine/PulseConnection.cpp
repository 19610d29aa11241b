#include "audioin/engine/PulseConnection.h"

#include <cmath>

namespace sv::audio {

std::shared_ptr<PulseConnection> PulseConnection::Connect(int timeoutMs, QString* error)
{
    std::shared_ptr<PulseConnection> c(new PulseConnection);
    auto fail = [&](const QString& why) -> std::shared_ptr<PulseConnection> {
        if (error)
            *error = why;
        return nullptr;
    };
    c->m_loop = pa_threaded_mainloop_new();
    if (!c->m_loop)
        return fail(QStringLiteral("Cannot create the sound server connection"));
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Sonivault");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "sonivault");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "audio-input-line");
    c->m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(c->m_loop), "Sonivault", props);
    pa_proplist_free(props);
    if (!c->m_context)
        return fail(QStringLiteral("Cannot create the sound server connection"));
    pa_context_set_state_callback(c->m_context, &PulseConnection::contextState, c.get());
    // Never start a server ourselves: "no server" must mean falling back to ALSA.
    if (pa_context_connect(c->m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return fail(QString::fromUtf8(pa_strerror(pa_context_errno(c->m_context))));
    if (pa_threaded_mainloop_start(c->m_loop) < 0)
        return fail(QStringLiteral("Cannot start the sound server thread"));
    if (!c->waitUntil([&c] { return c->m_ready.load(); }, timeoutMs))
        return fail(c->lastError().isEmpty() ? QStringLiteral("The sound server did not answer") : c->lastError());

    // Learn the current default source, then hear about changes.
    c->lock();
    pa_context_set_subscribe_callback(c->m_context, &PulseConnection::subscribed, c.get());
    pa_operation* sub = pa_context_subscribe(c->m_context, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr);
    if (sub)
        pa_operation_unref(sub);
    c->unlock();
    PulseReply reply(c.get());
    c->run(
        [&reply](pa_context* ctx) {
            return pa_context_get_server_info(
                ctx,
                [](pa_context*, const pa_server_info* info, void* ud) {
                    auto* r = static_cast<PulseReply*>(ud);
                    if (info && info->default_source_name) {
                        r->conn->m_defaultSource = QString::fromUtf8(info->default_source_name);
                        r->conn->m_knowDefaultSource = true;
                    }
                    r->finish();
                },
                &reply);
        },
        reply);
    return c;
}

PulseConnection::~PulseConnection() { teardown(); }

void PulseConnection::teardown()
{
    if (m_loop && m_context) {
        lock();
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
        m_defaultSourceHandler = nullptr;
        pa_context_disconnect(m_context);
        unlock();
    }
    if (m_loop)
        pa_threaded_mainloop_stop(m_loop);
    if (m_context)
        pa_context_unref(m_context);
    if (m_loop)
        pa_threaded_mainloop_free(m_loop);
    m_context = nullptr;
    m_loop = nullptr;
}

QString PulseConnection::lastError() const
{
    if (!m_context)
        return {};
    const int e = pa_context_errno(m_context);
    return e ? QString::fromUtf8(pa_strerror(e)) : QString();
}

void PulseConnection::notify()
{
    {
        std::lock_guard<std::mutex> l(m_waitMutex);
    }
    m_waitCv.notify_all();
}

bool PulseConnection::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    std::unique_lock<std::mutex> l(m_waitMutex);
    m_waitCv.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return done() || m_dead.load(); });
    return done();
}

bool PulseConnection::run(const std::function<pa_operation*(pa_context*)>& start, PulseReply& reply,
                          int timeoutMs)
{
    if (!alive())
        return false;
    lock();
    pa_operation* op = start(m_context);
    unlock();
    if (!op)
        return false;
    const bool ok = waitUntil([&reply] { return reply.done.load(); }, timeoutMs);
    lock();
    if (!ok)
        pa_operation_cancel(op);
    pa_operation_unref(op);
    unlock();
    return ok;
}

void PulseConnection::setDefaultSourceHandler(std::function<void()> handler)
{
    lock();
    m_defaultSourceHandler = std::move(handler);
    unlock();
}

QString PulseConnection::defaultSourceName() const
{
    auto* self = const_cast<PulseConnection*>(this);
    self->lock();
    const QString name = m_defaultSource;
    self->unlock();
    return name;
}

void PulseConnection::contextState(pa_context* c, void* ud)
{
    auto* self = static_cast<PulseConnection*>(ud);
    switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY:
        self->m_ready.store(true);
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        self->m_ready.store(false);
        self->m_dead.store(true);
        break;
    default:
        return;
    }
    self->notify();
}

void PulseConnection::subscribed(pa_context* c, pa_subscription_event_type_t type, std::uint32_t, void* ud)
{
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) != PA_SUBSCRIPTION_EVENT_SERVER)
        return;
    if (pa_operation* op = pa_context_get_server_info(c, &PulseConnection::serverInfo, ud))
        pa_operation_unref(op);
}

void PulseConnection::serverInfo(pa_context*, const pa_server_info* info, void* ud)
{
    auto* self = static_cast<PulseConnection*>(ud);
    if (!info)
        return;
    const QString name = QString::fromUtf8(info->default_source_name ? info->default_source_name : "");
    // Server events also come for other settings (the default sink, ...).
    const bool changed = self->m_knowDefaultSource && name != self->m_defaultSource;
    self->m_defaultSource = name;
    self->m_knowDefaultSource = true;
    if (changed && self->m_defaultSourceHandler)
        self->m_defaultSourceHandler();
}

int PulseVolumeToPercent(pa_volume_t v)
{
    const double percent = double(v) * 100.0 / double(PA_VOLUME_NORM);
    return int(std::lround(std::min(100.0, std::max(0.0, percent))));
}

pa_volume_t PercentToPulseVolume(int percent)
{
    percent = std::clamp(percent, 0, 100);
    return pa_volume_t(std::lround(double(percent) * double(PA_VOLUME_NORM) / 100.0));
}

} // namespace sv::audio
