// Output commands: the save-location check and the WAV copy of a split
// recording's tracks.
#include "cli/Cli.h"

#include "output/CopyJob.h"
#include "output/TrackFiles.h"
#include "settings/modXML.h"

namespace sv::cli {

namespace {

// False (after printing the message the output pages would show) when the
// save location cannot be used.
bool usable(const SaveLocationResult& r)
{
    if (!r.ok())
        err() << r.title << ": " << QString(r.message).replace(QStringLiteral("\r\n"), QStringLiteral(" / "))
              << Qt::endl;
    return r.ok();
}

// save-check TEXT: prints the folder a save location resolves to, or the
// message the output pages would show (exit 1).
int saveCheck(const QStringList& a)
{
    if (a.size() != 2)
        return usageError(QStringLiteral("usage: save-check TEXT"));
    const SaveLocationResult r = CheckSaveLocation(a[1]);
    if (!usable(r))
        return 1;
    out() << r.path << Qt::endl;
    return 0;
}

// copy-tracks INDEX FOLDER: copies the tracks listed in recording.xml into
// the folder; existing files there are replaced.
int copyTracks(const QStringList& a)
{
    if (a.size() != 3)
        return usageError(QStringLiteral("usage: copy-tracks RECORDING.XML FOLDER"));
    const SaveLocationResult r = CheckSaveLocation(a[2]);
    if (!usable(r))
        return 1;
    const int count = XMLGetInt(QStringLiteral("Tracks"), QString(), a[1], 0);
    if (count <= 0) {
        err() << "no tracks listed in " << a[1] << Qt::endl;
        return 1;
    }
    // The same job as the WAV-copy page, on this thread.
    CopyJob job(TrackFilesFromIndex(a[1], count), r.path, FileOp::Copy);
    const JobResult result = job.run();
    if (!result.ok()) {
        err() << WaveCopyFailureText(result.detail) << Qt::endl;
        return 1;
    }
    out() << count << " tracks copied to " << r.path << Qt::endl;
    return 0;
}

} // namespace

bool RunOutputCommand(const QStringList& args, int& exitCode)
{
    if (args.isEmpty())
        return false;
    if (args[0] == QLatin1String("save-check"))
        exitCode = saveCheck(args);
    else if (args[0] == QLatin1String("copy-tracks"))
        exitCode = copyTracks(args);
    else
        return false;
    return true;
}

} // namespace sv::cli
