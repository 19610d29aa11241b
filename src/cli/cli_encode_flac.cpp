// sonivault-cli encode flac INDEX OUTDIR [--jobs N] [--level L]: FLAC files of
// a recording's tracks, one output line per finished file.
#include "cli/Cli.h"

#include "output/FlacEncoder.h"

namespace sv::cli {

namespace {

const QString kFlacUsage = QStringLiteral("usage: encode flac INDEX OUTDIR [--jobs N] [--level L]");

bool intArg(const QString& text, int lo, int hi, int& value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= lo && value <= hi;
}

} // namespace

bool RunEncodeFlacCommand(const QStringList& a, int& exitCode)
{
    if (a.value(0) != QLatin1String("encode") || a.value(1) != QLatin1String("flac"))
        return false;
    QStringList pos;
    FlacOptions options;
    for (int i = 2; i < a.size(); ++i) {
        if (a[i] == QLatin1String("--jobs") || a[i] == QLatin1String("--level")) {
            const bool jobs = a[i] == QLatin1String("--jobs");
            if (i + 1 >= a.size() || !intArg(a[i + 1], jobs ? 1 : 0, jobs ? 256 : 8, jobs ? options.jobs : options.level)) {
                exitCode = usageError(jobs ? QStringLiteral("--jobs needs a number from 1 to 256")
                                           : QStringLiteral("--level needs a number from 0 to 8"));
                return true;
            }
            ++i;
        } else if (a[i].startsWith(QLatin1String("--"))) {
            exitCode = usageError(QStringLiteral("unknown option %1; %2").arg(a[i], kFlacUsage));
            return true;
        } else {
            pos << a[i];
        }
    }
    if (pos.size() != 2) {
        exitCode = usageError(kFlacUsage);
        return true;
    }
    QVector<FlacTrack> tracks;
    QString why;
    if (!FlacTracksFromIndex(pos[0], tracks, &why)) {
        err() << "sonivault-cli: " << why << Qt::endl;
        exitCode = 1;
        return true;
    }
    FlacJob job(tracks, pos[1], options);
    // run() keeps every signal on this thread, so plain writes are safe.
    QObject::connect(&job, &FlacJob::trackFinished, [](int, const QString& path) { out() << path << Qt::endl; });
    const JobResult r = job.run();
    if (!r.ok()) {
        err() << "sonivault-cli: " << FlacResultText(r) << Qt::endl;
        exitCode = 1;
        return true;
    }
    exitCode = 0;
    return true;
}

} // namespace sv::cli
