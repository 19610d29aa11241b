// sonivault-cli: the program's settings store, texts and (from other areas)
// track tools, for shell scripts and support.
#include "cli/Cli.h"

#include "audioin/engine/DemoSignal.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QFile>

#include <QStandardPaths>

#include <cmath>
#include <cstdio>

namespace sv::cli {

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

int usageError(const QString& message)
{
    err() << "sonivault-cli: " << message << Qt::endl;
    return 2;
}

namespace {

const char* kUsage =
    "usage: sonivault-cli COMMAND ...\n"
    "  xml get KEY SECTION FILE DEFAULT   print a stored value\n"
    "  xml set VALUE KEY SECTION FILE     store a value (exit 1 when it could not be stored)\n"
    "  xml list FILE                      print every section path\n"
    "  xml delete SECTION FILE            remove a section (exit 1 when not found)\n"
    "  format-time SECONDS                print m:ss or h:mm:ss\n"
    "  format-bytes COUNT                 print a size text\n"
    "  demo-side OUT.wav                  write the demo deck's music side\n"
    "  wave-info FILE                     the WAV file's format as JSON\n"
    "  detect FILE [options]              the tracks found, as JSON\n"
    "  split FILE OUTDIR [--track START LENGTH]...  cut a recording into track files\n"
    "                                     (START, LENGTH: seconds such as 1.6, or frames such as 70560f)\n"
    "  split-recover OUTDIR               finish or undo a split that was interrupted\n"
    "  waveform FILE OUT.png [--width PIXELS]       draw the waveform\n"
    "  save-check TEXT                    check a save location as the wizard does\n"
    "  copy-tracks RECORDING.XML FOLDER   copy a recording's track files to a folder\n"
    "  encode mp3 RECORDING.XML OUTDIR [--jobs N]   the tracks as tagged MP3 files\n"
    "  encode wma RECORDING.XML OUTDIR [--jobs N]   the tracks as tagged WMA files\n"
    "  encode flac INDEX OUTDIR [--jobs N] [--level L]  FLAC files of a recording's tracks\n"
    "An empty FILE means the user's settings.xml.\n";

// A number argument: the whole text must be a number.
bool wholeNumber(const QString& text, double& value)
{
    if (NotNumeric(text))
        return false;
    value = text.trimmed().toDouble();
    return true;
}

int runXml(const QStringList& a)
{
    if (a.size() < 2)
        return usageError(QStringLiteral("xml needs a subcommand (get, set, list, delete)"));
    const QString sub = a[1];
    if (sub == QLatin1String("get")) {
        if (a.size() != 6)
            return usageError(QStringLiteral("usage: xml get KEY SECTION FILE DEFAULT"));
        out() << XMLGetValue(a[2], a[3], a[4], a[5], false) << Qt::endl;
        return 0;
    }
    if (sub == QLatin1String("set")) {
        if (a.size() != 6)
            return usageError(QStringLiteral("usage: xml set VALUE KEY SECTION FILE"));
        return XMLSetValue(a[2], a[3], a[4], a[5]) ? 0 : 1;
    }
    if (sub == QLatin1String("list")) {
        if (a.size() != 3)
            return usageError(QStringLiteral("usage: xml list FILE"));
        QStringList sections;
        XMLListSections(sections, a[2]);
        for (const QString& s : sections)
            out() << s << '\n';
        out().flush();
        return 0;
    }
    if (sub == QLatin1String("delete")) {
        if (a.size() != 4)
            return usageError(QStringLiteral("usage: xml delete SECTION FILE"));
        return XMLDeleteSection(a[2], a[3]) ? 0 : 1;
    }
    return usageError(QStringLiteral("unknown xml subcommand: ") + sub);
}

int run(const QStringList& a)
{
    if (a.isEmpty() || a[0] == QLatin1String("--help") || a[0] == QLatin1String("-h")) {
        if (a.isEmpty()) {
            err() << kUsage;
            err().flush();
            return 2;
        }
        out() << kUsage;
        out().flush();
        return 0;
    }
    const QString cmd = a[0];
    if (cmd == QLatin1String("xml"))
        return runXml(a);
    if (cmd == QLatin1String("format-time")) {
        double v = 0;
        if (a.size() != 2 || !wholeNumber(a[1], v) || v < 0 || v > 32767 || v != std::floor(v))
            return usageError(QStringLiteral("usage: format-time SECONDS (a whole number from 0 to 32767)"));
        out() << FormatTime(int(v)) << Qt::endl;
        return 0;
    }
    if (cmd == QLatin1String("format-bytes")) {
        double v = 0;
        if (a.size() != 2 || !wholeNumber(a[1], v) || v < 0)
            return usageError(QStringLiteral("usage: format-bytes COUNT (a number of bytes, 0 or more)"));
        out() << FormatBytes(v) << Qt::endl;
        return 0;
    }
    if (cmd == QLatin1String("demo-side")) {
        if (a.size() != 2)
            return usageError(QStringLiteral("usage: demo-side OUT.wav"));
        if (!audio::WriteDemoSide(a[1])) {
            err() << "sonivault-cli: cannot write " << a[1] << Qt::endl;
            return 1;
        }
        return 0;
    }
    int code = 0;
    if (RunEncodeMp3Command(a, code) || RunEncodeWmaCommand(a, code) || RunEncodeFlacCommand(a, code))
        return code;
    if (RunTracksCommand(a, code) || RunOutputCommand(a, code))
        return code;
    return usageError(QStringLiteral("unknown command: ") + cmd + QStringLiteral(" (try --help)"));
}

} // namespace
} // namespace sv::cli

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sonivault-cli"));
    // File and folder names are bytes: decode them as file names, the way
    // every later open encodes them again.
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QFile::decodeName(argv[i]);
        // A name that does not survive the decoding would be read or made
        // under another name; refuse it rather than write somewhere else.
        if (QFile::encodeName(args.last()) != QByteArray(argv[i]))
            return sv::cli::usageError(QStringLiteral("the argument \"%1\" is not valid in the system's file name "
                                                      "encoding; rename the file or folder")
                                           .arg(args.last()));
    }
    // Only commands that may read or write the user's settings create the data folder.
    const QString cmd = args.value(0);
    if (cmd != QLatin1String("demo-side") && !cmd.startsWith(QLatin1String("format-")) && !cmd.startsWith(QLatin1Char('-')))
        sv::SetSettingsFile(sv::UserDataFolder() + QStringLiteral("settings.xml"));
    return sv::cli::run(args);
}
