#pragma once
// One connection to the PulseAudio server (or PipeWire's pulse server) on
// libpulse's threaded main loop, shared by the record and play objects.
//
// Callbacks run on the loop's thread with the loop lock held. The UI thread
// never waits on the loop's own condition (it has no timeout); it waits on
// ours, which every callback that changes something notifies, and which also
// wakes when the connection dies. Every wait has a timeout.
#include <QString>

#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace sv::audio {

struct PulseReply;

class PulseConnection {
public:
    // nullptr (with the reason) when no server answers within timeoutMs.
    static std::shared_ptr<PulseConnection> Connect(int timeoutMs, QString* error);
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    pa_context* context() const { return m_context; }
    pa_threaded_mainloop* loop() const { return m_loop; }
    bool alive() const { return !m_dead.load(); }
    QString lastError() const;

    void lock() { pa_threaded_mainloop_lock(m_loop); }
    void unlock() { pa_threaded_mainloop_unlock(m_loop); }

    // Wakes waiters; callbacks call it after changing what a waiter checks.
    void notify();
    // Waits (loop lock NOT held) until done() is true, the connection dies or
    // the time runs out. True only when done() became true.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);

    // Starts an operation under the loop lock and waits for it. The callback
    // must call reply.finish(). On timeout the operation is cancelled, so its
    // callback can no longer touch the caller's data.
    bool run(const std::function<pa_operation*(pa_context*)>& start, PulseReply& reply,
             int timeoutMs = kOperationTimeoutMs);

    // Called on the loop thread when the server's default source changes.
    // Set and cleared under the loop lock (this function takes it).
    void setDefaultSourceHandler(std::function<void()> handler);
    QString defaultSourceName() const;

    static constexpr int kOperationTimeoutMs = 4000;

private:
    PulseConnection() = default;
    static void contextState(pa_context* c, void* self);
    static void subscribed(pa_context* c, pa_subscription_event_type_t type, std::uint32_t index, void* self);
    static void serverInfo(pa_context* c, const pa_server_info* info, void* self);
    void teardown();

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_dead{false};
    std::mutex m_waitMutex;
    std::condition_variable m_waitCv;

    // Loop lock held for these.
    std::function<void()> m_defaultSourceHandler;
    QString m_defaultSource;
    bool m_knowDefaultSource = false;
};

// What an operation's callback shares with run(): an operation's own data
// derives from it, and its callback calls finish() once the answer is stored.
struct PulseReply {
    explicit PulseReply(PulseConnection* connection) : conn(connection) {}
    void finish()
    {
        done.store(true);
        conn->notify();
    }

    PulseConnection* conn;
    std::atomic<bool> done{false};
};

// The source's volume on the 0..100 scale of the record object (100 = the
// source's normal volume, as the desktop's sound settings show it).
int PulseVolumeToPercent(pa_volume_t v);
pa_volume_t PercentToPulseVolume(int percent);

} // namespace sv::audio
