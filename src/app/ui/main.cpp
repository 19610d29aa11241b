#include "app/ui/SingleInstance.h"
#include "app/ui/frmMain.h"
#include "output/ui/RunnerMessages.h"
#include "util/ui/modMsgbox.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonivault"));
    QApplication::setApplicationVersion(QStringLiteral(SONIVAULT_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Velmora"));

    const auto lock = sv::AcquireSingleInstance();
    if (!lock)
        return 0;

    // The console runner's own messages appear as plain boxes.
    sv::InstallRunnerMessageBoxes();
    frmMain window;
    sv::SetMsgBoxMainWindow(&window);
    if (!window.Load())
        return 1;
    return app.exec();
}
