#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace sv {

QString FormatTime(int s)
{
    s = std::max(s, 0);
    const int h = s / 3600;
    const int m = s / 60 % 60;
    const QString secs = QStringLiteral("%1").arg(s % 60, 2, 10, QLatin1Char('0'));
    if (h == 0)
        return QString::number(m) + QLatin1Char(':') + secs;
    return QStringLiteral("%1:%2:").arg(h).arg(m, 2, 10, QLatin1Char('0')) + secs;
}

double RoundTo(double value, int places)
{
    const double f = std::pow(10.0, places);
    return std::floor(value * f + 0.5) / f;
}

QString ShortNumber(double value)
{
    return QString::number(value, 'g', 15);
}

QString FormatBytes(double n)
{
    static const char* units[] = {" KB", " MB", " GB"};
    QString unit = QStringLiteral(" bytes");
    for (const char* u : units) {
        if (n > 1024) {
            n = RoundTo(n / 1024.0, 4);
            unit = QLatin1String(u);
        }
    }
    return ShortNumber(RoundTo(n, 2)) + unit;
}

namespace {
// Length of the leading number of t starting at i (after spaces); 0 when none.
int scanNumber(const QString& t, int i, bool allowExponent)
{
    const int start = i;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < t.size() && t[i].isDigit()) { ++i; ++digits; }
    if (i < t.size() && t[i] == QLatin1Char('.')) {
        ++i;
        while (i < t.size() && t[i].isDigit()) { ++i; ++digits; }
    }
    if (digits == 0)
        return 0;
    if (allowExponent && i < t.size() && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < t.size() && (t[j] == QLatin1Char('+') || t[j] == QLatin1Char('-')))
            ++j;
        int ed = 0;
        while (j < t.size() && t[j].isDigit()) { ++j; ++ed; }
        if (ed > 0)
            i = j;
    }
    return i - start;
}
} // namespace

double Val(const QString& text)
{
    int i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    const int len = scanNumber(text, i, true);
    if (len == 0)
        return 0;
    bool ok = false;
    const double v = text.mid(i, len).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

bool NotNumeric(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return true;
    const int len = scanNumber(t, 0, true);
    if (len != t.size())
        return true;
    bool ok = false;
    const double v = t.toDouble(&ok);
    return !ok || !std::isfinite(v + 1);
}

int LeadingInt(const QString& text, int fallback)
{
    int i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (scanNumber(text, i, true) == 0)
        return fallback;
    const double v = std::floor(Val(text));
    if (v > 2147483647.0 || v < -2147483648.0)
        return fallback;
    return static_cast<int>(v);
}

QString AddSlash(const QString& path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

QString GetFileNameFromPath(const QString& path)
{
    const int p = path.lastIndexOf(QLatin1Char('/'));
    return p < 0 ? path : path.mid(p + 1);
}

QString SafeFilename(const QString& name)
{
    QString out = name;
    for (QChar c : {u'\\', u'/', u'?', u':', u'*', u'"', u'<', u'>', u'|'})
        out.remove(c);
    return out;
}

QString GetShortPath(const QString& path)
{
    return path;
}

bool FolderExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isDir();
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return false;
    f.close();
    return true;
}

bool IsFolderWriteable(const QString& folder)
{
    if (folder.isEmpty() || !FolderExists(folder))
        return false;
    const QString probe = AddSlash(folder) + QStringLiteral(".sonivault-probe-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".tmp");
    QFile f(probe);
    // NewOnly: a probe name that somehow exists is never overwritten.
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const bool written = f.write("This is a test to see if this folder is writeable.\r\n") > 0 && f.flush();
    f.close();
    const bool removed = QFile::remove(probe);
    return written && removed;
}

void DeleteFileQuiet(const QString& path)
{
    if (!path.isEmpty())
        QFile::remove(path);
}

QString UserDataFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = AddSlash(base) + QStringLiteral("Velmora/Sonivault/");
    QDir().mkpath(folder);
    return folder;
}

QString ProgramFolder()
{
    QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty())
        dir = QDir::currentPath();
    return AddSlash(dir);
}

namespace {

// An installed copy keeps the program in <prefix>/bin and the rest in folders
// beside bin; a build folder keeps everything beside the program.
QString InstalledOrProgramFolder(const QString& relative)
{
    const QString program = ProgramFolder();
    const QString installed = QDir::cleanPath(program + relative);
    if (QFileInfo(installed).isDir())
        return AddSlash(installed);
    return program;
}

} // namespace

QString DataFolder()
{
    return InstalledOrProgramFolder(QStringLiteral("../share/sonivault"));
}

QString HelperFolder()
{
    return InstalledOrProgramFolder(QStringLiteral("../libexec/sonivault"));
}

QString FindHelper(const QString& name)
{
    const QFileInfo own(HelperFolder() + name);
    if (own.isFile() && own.isExecutable())
        return own.absoluteFilePath();
    return QStandardPaths::findExecutable(name);
}

QString TempFolder()
{
    return AddSlash(QDir::tempPath());
}

std::int64_t GetFreeSpaceOf(const QString& path)
{
    // The folder may not exist yet: measure the nearest existing parent.
    QFileInfo fi(path);
    QString p = fi.absoluteFilePath();
    while (!p.isEmpty() && !QFileInfo(p).exists()) {
        const QString parent = QFileInfo(p).path();
        if (parent == p)
            break;
        p = parent;
    }
    QStorageInfo si(p);
    if (!si.isValid() || !si.isReady())
        return 0;
    return si.bytesAvailable();
}

} // namespace sv
