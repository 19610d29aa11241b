#pragma once
// Keeps the computer from suspending while a recording runs: a logind
// "sleep" inhibitor lock (system bus), else the desktop portal's inhibit
// (session bus). Where neither answers, recording goes on unguarded.
#include <QString>

namespace sv {

class StandbyGuard {
public:
    StandbyGuard() = default;
    ~StandbyGuard() { Release(); }
    StandbyGuard(const StandbyGuard&) = delete;
    StandbyGuard& operator=(const StandbyGuard&) = delete;

    // True when a lock is now held (also when it already was).
    bool Acquire(const QString& reason);
    // Gives the lock back; harmless when none is held.
    void Release();
    bool IsHeld() const { return m_fd >= 0 || !m_portalRequest.isEmpty(); }
    // "logind", "portal" or "" while nothing is held.
    QString Kind() const;

private:
    int m_fd = -1;           // logind's lock: closing it releases the lock
    QString m_portalRequest; // the portal's request object, closed to release
};

} // namespace sv
