// The standby guard against a stand-in login1 service on a private bus.
#include "audioin/ui/modStandby.h"
#include "support/TestEnv.h"
#include "support/TestRequire.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QTest>
#include <QScopeGuard>
#include <QEventLoop>
#include <QThread>

#include <poll.h>
#include <unistd.h>

class FakeLogin1 : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QStringList calls;
    int readEnd = -1;

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode)
    {
        calls << QStringList{what, who, why, mode}.join('|');
        int p[2];
        if (::pipe(p) != 0)
            return {};
        readEnd = p[0];
        QDBusUnixFileDescriptor fd(p[1]); // dups
        ::close(p[1]);
        return fd;
    }
};

// 1 when the lock's other end is closed (released), 0 while held.
int released(int readEnd)
{
    pollfd p{readEnd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP)) ? 1 : 0;
}

class TestStandby : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QProcess daemon;

private Q_SLOTS:
    void logindLockHeldAndReleased()
    {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1", "--nopidfile"});
        SV_REQUIRE_TOOL(daemon.waitForStarted(5000), "dbus-daemon");
        QVERIFY(daemon.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();

        // The service runs on its own thread, so the guard's blocking call is answered.
        std::atomic<FakeLogin1*> service{nullptr};
        std::unique_ptr<QThread> svc(QThread::create([&] {
            FakeLogin1 fake;
            QDBusConnection c = QDBusConnection::connectToBus(address, "fake-login1");
            c.registerObject("/org/freedesktop/login1", &fake, QDBusConnection::ExportAllSlots);
            c.registerService("org.freedesktop.login1");
            QEventLoop loop;
            service = &fake;
            loop.exec();
            service = nullptr;
            QDBusConnection::disconnectFromBus("fake-login1");
        }));
        svc->start();
        auto stop = qScopeGuard([&] {
            svc->quit();
            svc->wait();
            daemon.kill();
            daemon.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(service.load(), 5000);

        // The guard talks to "the system bus"; point that at the private one.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
        {
            sv::StandbyGuard guard;
            QVERIFY(guard.Acquire("Sonivault is recording"));
            QCOMPARE(guard.Kind(), QString("logind"));
            QCOMPARE(service.load()->calls, QStringList{"sleep|Sonivault|Sonivault is recording|block"});
            const int readEnd = service.load()->readEnd;
            QCOMPARE(released(readEnd), 0);
            QVERIFY(guard.Acquire("again")); // already held: no second lock
            QCOMPARE(service.load()->calls.size(), 1);
            guard.Release();
            QTRY_COMPARE_WITH_TIMEOUT(released(readEnd), 1, 3000);
            QVERIFY(!guard.IsHeld());

            // Leaving scope (the program's exit) releases too.
            QVERIFY(guard.Acquire("second recording"));
            QCOMPARE(released(service.load()->readEnd), 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(released(service.load()->readEnd), 1, 3000);
    }
};

QTEST_GUILESS_MAIN(TestStandby)
#include "test_standby.moc"
