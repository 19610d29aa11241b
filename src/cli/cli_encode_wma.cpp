// encode wma INDEX OUTDIR [--jobs N]: the tracks a recording.xml lists, as
// WMA files with their stored tags and the stored profile, moved into OUTDIR.
// One line per finished file, in track order, whatever the number of jobs.
#include "cli/Cli.h"

#include "output/TrackFiles.h"
#include "output/WmaEncode.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QThread>

namespace sv::cli {

namespace {

int encodeWma(const QStringList& a)
{
    const QString usage = QStringLiteral("usage: encode wma RECORDING.XML OUTDIR [--jobs N]");
    if (a.size() != 4 && a.size() != 6)
        return usageError(usage);
    int jobs = QThread::idealThreadCount();
    if (a.size() == 6) {
        bool ok = false;
        jobs = a[5].toInt(&ok);
        if (a[4] != QLatin1String("--jobs") || !ok || jobs < 1 || jobs > 64)
            return usageError(usage + QStringLiteral(" (N: 1 to 64)"));
    }
    const QString index = a[2];
    if (!FileExists(index))
        return usageError(QStringLiteral("no such file: ") + index);
    const SaveLocationResult dest = CheckSaveLocation(a[3]);
    if (!dest.ok()) {
        err() << dest.title << ": " << QString(dest.message).replace(QStringLiteral("\r\n"), QStringLiteral(" / "))
              << Qt::endl;
        return 1;
    }
    const int count = XMLGetInt(QStringLiteral("Tracks"), QString(), index, 0);
    if (count <= 0) {
        err() << "no tracks listed in " << index << Qt::endl;
        return 1;
    }

    WmaEncodeJob encode({index, count, QString(), QString(), jobs});
    JobResult r = encode.run();
    if (!r.ok()) {
        err() << WmaFailureText(r) << Qt::endl;
        return 1;
    }
    const QStringList files = encode.outputs();
    WmaMoveJob move(files, dest.path);
    r = move.run();
    encode.discard();
    if (!r.ok()) {
        err() << WmaFailureText(r) << Qt::endl;
        return 1;
    }
    for (const QString& f : files)
        out() << dest.path << GetFileNameFromPath(f) << '\n';
    out().flush();
    return 0;
}

} // namespace

bool RunEncodeWmaCommand(const QStringList& args, int& exitCode)
{
    if (args.size() < 2 || args[0] != QLatin1String("encode") || args[1] != QLatin1String("wma"))
        return false;
    exitCode = encodeWma(args);
    return true;
}

} // namespace sv::cli
