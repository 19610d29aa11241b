// sonivault-cli encode mp3: the recording's tracks to tagged MP3 files, with
// the encoder options and tags the program stored.
#include "cli/Cli.h"

#include "output/Mp3Job.h"
#include "util/modFunctions.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace sv::cli {

bool RunEncodeMp3Command(const QStringList& a, int& exitCode)
{
    if (a.value(0) != QLatin1String("encode") || a.value(1) != QLatin1String("mp3"))
        return false;
    const QString usage = QStringLiteral("usage: encode mp3 RECORDING.XML OUTDIR [--jobs N]");
    QStringList rest = a.mid(2);
    int jobs = QThread::idealThreadCount();
    const int j = rest.indexOf(QStringLiteral("--jobs"));
    if (j >= 0) {
        bool ok = false;
        jobs = rest.value(j + 1).toInt(&ok);
        if (!ok || jobs < 1 || jobs > 64) {
            exitCode = usageError(usage + QStringLiteral(" (N: 1 to 64)"));
            return true;
        }
        rest.remove(j, 2);
    }
    if (rest.size() != 2) {
        exitCode = usageError(usage);
        return true;
    }
    if (!QFileInfo(rest[0]).isFile()) {
        err() << "sonivault-cli: no such index: " << rest[0] << Qt::endl;
        exitCode = 1;
        return true;
    }
    if (!QDir().mkpath(rest[1])) {
        err() << "sonivault-cli: cannot make the folder " << rest[1] << Qt::endl;
        exitCode = 1;
        return true;
    }
    Mp3JobSettings s;
    s.indexPath = QFileInfo(rest[0]).absoluteFilePath();
    s.outputFolder = QFileInfo(rest[1]).absoluteFilePath();
    s.jobs = qMax(1, jobs);
    Mp3Job job(s);
    const JobResult r = job.run();
    if (!r.ok()) {
        err() << "sonivault-cli: " << (r.canceled() ? QStringLiteral("canceled") : Mp3FailureText(r)) << Qt::endl;
        exitCode = 1;
        return true;
    }
    for (const QString& f : job.finishedFiles())
        out() << f << '\n';
    out().flush();
    exitCode = 0;
    return true;
}

} // namespace sv::cli
