#include "output/AudioCD.h"

#include "util/modFunctions.h"

#include <QProcess>

namespace sv {

QString CdFailPath()
{
    return UserDataFolder() + QStringLiteral("cd_fail.txt");
}

QStringList CdBurnerCommand(const QString& setting, const QString& programFolder, const QString& indexPath)
{
    if (setting.trimmed().isEmpty())
        return {AddSlash(programFolder) + QStringLiteral("cdburner"), indexPath};
    return QProcess::splitCommand(setting);
}

bool CdWritten(const CdRunResult& run, bool failReportExists)
{
    // A writer that crashed or was stopped never gets to leave its report.
    return run.started && !run.canceled && run.exitCode == 0 && !failReportExists;
}

} // namespace sv
