#include "audioin/ui/modStandby.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

#include <fcntl.h>
#include <unistd.h>

namespace sv {

namespace {
// A bus that is there but does not answer must not freeze the record button.
constexpr int kCallTimeoutMs = 2000;

// The answer to Inhibit(args) of a service; an error when the bus is not there.
QDBusMessage CallInhibit(const QDBusConnection& bus, const QString& service, const QString& path,
                         const QString& interface, const QVariantList& args)
{
    if (!bus.isConnected())
        return QDBusMessage::createError(QDBusError::Disconnected, bus.lastError().message());
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Inhibit"));
    call.setArguments(args);
    return bus.call(call, QDBus::Block, kCallTimeoutMs);
}
} // namespace

QString StandbyGuard::Kind() const
{
    if (m_fd >= 0)
        return QStringLiteral("logind");
    if (!m_portalRequest.isEmpty())
        return QStringLiteral("portal");
    return {};
}

bool StandbyGuard::Acquire(const QString& reason)
{
    if (IsHeld())
        return true;

    const QDBusReply<QDBusUnixFileDescriptor> lock = CallInhibit(
        QDBusConnection::systemBus(), QStringLiteral("org.freedesktop.login1"),
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        {QStringLiteral("sleep"), QStringLiteral("Sonivault"), reason, QStringLiteral("block")});
    if (lock.isValid() && lock.value().isValid()) {
        // The reply's descriptor closes with it: keep our own copy.
        m_fd = ::fcntl(lock.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3);
        if (m_fd >= 0)
            return true;
    }

    QVariantMap options;
    options.insert(QStringLiteral("reason"), reason);
    const QDBusReply<QDBusObjectPath> request = CallInhibit(
        QDBusConnection::sessionBus(), QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"), QStringLiteral("org.freedesktop.portal.Inhibit"),
        {QString(), uint(4) /* suspend */, options});
    if (request.isValid() && !request.value().path().isEmpty()) {
        m_portalRequest = request.value().path();
        return true;
    }
    return false;
}

void StandbyGuard::Release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_portalRequest.isEmpty()) {
        QDBusMessage close = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.portal.Desktop"), m_portalRequest,
            QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close"));
        QDBusConnection::sessionBus().call(close, QDBus::NoBlock);
        m_portalRequest.clear();
    }
}

} // namespace sv
