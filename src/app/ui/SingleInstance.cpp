#include "app/ui/SingleInstance.h"

#include "util/ui/modMsgbox.h"

#include <QDir>
#include <QStandardPaths>

namespace sv {

QString InstanceLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/Velmora.Sonivault.lock");
}

std::unique_ptr<QLockFile> AcquireSingleInstance()
{
    auto lock = std::make_unique<QLockFile>(InstanceLockPath());
    // Held for the whole run, so never stale by age; a lock left by a
    // crashed run is recovered because its process is gone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    PlainMsgBox(QStringLiteral("Sonivault is already running. Only one instance of Sonivault can be run at a time."),
                vbExclamation, AppTitle);
    return nullptr;
}

} // namespace sv
