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
}

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

    QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        call << QStringLiteral("sleep") << QStringLiteral("Sonivault") << reason << QStringLiteral("block");
        const QDBusReply<QDBusUnixFileDescriptor> reply = system.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.isValid() && reply.value().isValid()) {
            // The reply's descriptor closes with it: keep our own copy.
            m_fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3);
            if (m_fd >= 0)
                return true;
        }
    }

    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
        QVariantMap options;
        options.insert(QStringLiteral("reason"), reason);
        call << QString() << uint(4) /* suspend */ << options;
        const QDBusReply<QDBusObjectPath> reply = session.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.isValid() && !reply.value().path().isEmpty()) {
            m_portalRequest = reply.value().path();
            return true;
        }
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
