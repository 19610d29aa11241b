// Time from process start to the main window painted on screen. Runs in a
// fresh temporary user folder; prints one line and exits.
#include "app/ui/frmMain.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {
// Seconds since the process started, from the kernel's own record.
double sinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile up(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !up.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = stat.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble(); // field 22 overall
    const double uptime = up.readAll().split(' ').value(0).toDouble();
    return uptime - startTicks / double(::sysconf(_SC_CLK_TCK));
}

class PaintWatch : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !done) {
            done = true;
            std::printf("start to painted window: %.0f ms\n", sinceProcessStart() * 1000.0);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(o, e);
    }
    bool done = false;
};
} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonivault"));
    // Second run: the welcome dialog is not part of the start.
    sv::SetSettingsFile(sv::UserDataFolder() + QStringLiteral("settings.xml"));
    sv::XMLSetValue(QStringLiteral("1"), QStringLiteral("IsFirstRun"), QStringLiteral("Messages\\Startup"), QString());
    sv::XMLSetValue(qEnvironmentVariable("BACKEND", QStringLiteral("virtual")), QStringLiteral("Backend"),
                    QStringLiteral("Advanced\\Audio"), QString());
    QElapsedTimer t;
    t.start();
    frmMain window;
    sv::SetMsgBoxMainWindow(&window);
    PaintWatch watch;
    window.installEventFilter(&watch);
    if (!window.Load())
        return 1;
    std::printf("form load to shown: %lld ms\n", t.elapsed());
    QTimer::singleShot(10000, &app, &QCoreApplication::quit);
    return app.exec();
}
