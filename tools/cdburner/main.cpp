// cdburner INDEX [--image FILE.cue] [--speed N]
// Writes the tracks listed in a recording.xml to an audio CD, or to a
// BIN/CUE image. Progress goes to standard output as percentage lines; any
// failure leaves cd_fail.txt with the reason in the user data folder and
// ends with a non-zero exit code.
#include "CdPlan.h"
#include "Writers.h"

#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <csignal>
#include <cstdio>

namespace {

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

const char* const Usage = "usage: cdburner INDEX [--image FILE.cue] [--speed N]";

void OnSignal(int)
{
    sv::cd::CancelRequested = 1;
}

void CatchCancel()
{
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &sa, nullptr);
}

int Fail(const QString& reason, int code = ExitFailed)
{
    std::fprintf(stderr, "%s\n", reason.toLocal8Bit().constData());
    QFile report(sv::UserDataFolder() + QStringLiteral("cd_fail.txt"));
    if (report.open(QIODevice::WriteOnly | QIODevice::Truncate))
        report.write(reason.toUtf8() + '\n');
    else
        std::fprintf(stderr, "cd_fail.txt cannot be written: %s\n", report.errorString().toLocal8Bit().constData());
    return code;
}

struct Options {
    QString index;
    QString image;
    int speed = 0;
};

QString ParseArguments(const QStringList& args, Options& o)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QStringLiteral("--image") || a == QStringLiteral("--speed")) {
            if (i + 1 >= args.size())
                return QStringLiteral("%1 needs a value. %2").arg(a, QString::fromLatin1(Usage));
            const QString value = args[++i];
            if (a == QStringLiteral("--image")) {
                o.image = value;
            } else {
                bool ok = false;
                o.speed = value.toInt(&ok);
                if (!ok || o.speed < 0 || o.speed > 100)
                    return QStringLiteral("The speed \"%1\" is not a CD speed. %2").arg(value, QString::fromLatin1(Usage));
            }
        } else if (a.startsWith(QStringLiteral("--"))) {
            return QStringLiteral("Unknown option %1. %2").arg(a, QString::fromLatin1(Usage));
        } else if (o.index.isEmpty()) {
            o.index = a;
        } else {
            return QStringLiteral("Only one track list can be written at a time. %1").arg(QString::fromLatin1(Usage));
        }
    }
    if (o.index.isEmpty())
        return QStringLiteral("No track list was given. %1").arg(QString::fromLatin1(Usage));
    if (!o.image.isEmpty() && o.image == o.index)
        return QStringLiteral("The image cannot replace the track list.");
    return {};
}

void ShowPercent(const char* what, int percent)
{
    std::printf("%s: %d%%\n", what, percent);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    CatchCancel();
    QCoreApplication app(argc, argv);

    Options o;
    const QString usage = ParseArguments(QCoreApplication::arguments(), o);
    if (!usage.isEmpty())
        return Fail(usage, ExitUsage);

    // A report left by an earlier run must not outlive this one.
    sv::DeleteFileQuiet(sv::UserDataFolder() + QStringLiteral("cd_fail.txt"));

    std::printf("Checking the tracks...\n");
    std::fflush(stdout);
    sv::cd::CdPlan plan;
    QStringList problems;
    sv::cd::LoadPlan(o.index, plan, problems);
    if (!problems.isEmpty())
        return Fail(QStringLiteral("The audio CD cannot be made:\n") + problems.join(QLatin1Char('\n')));
    if (!o.image.isEmpty()) {
        const QString tooLong = sv::cd::CheckLength(plan, sv::cd::ImageLimitSectors, QStringLiteral("a CD"));
        if (!tooLong.isEmpty())
            return Fail(QStringLiteral("The audio CD cannot be made:\n") + tooLong);
    }
    if (sv::cd::CancelRequested)
        return Fail(QStringLiteral("Writing the audio CD was cancelled."));

    QString reason;
    if (!o.image.isEmpty()) {
        reason = sv::cd::WriteImage(plan, o.image, [](int p) { ShowPercent("Writing the CD image", p); });
    } else {
        reason = sv::cd::WriteDisc(plan, o.speed, [](int p) { ShowPercent("Writing the audio CD", p); });
    }
    if (!reason.isEmpty())
        return Fail(reason);
    std::printf("Done.\n");
    return 0;
}
