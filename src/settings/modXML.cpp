#include "settings/modXML.h"

#include "util/modFunctions.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <optional>

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>

namespace sv {

namespace {

const QString kHeader = QStringLiteral("<XML Version=\"Quarrydale\">");
const QString kFooter = QStringLiteral("</XML>");
const int kMaxDepth = 10;

QString g_settingsFile;
// The store reads and rewrites whole files: one operation at a time.
QMutex g_mutex;

struct ParseError {};

QString resolve(const QString& file) { return file.isEmpty() ? g_settingsFile : file; }

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Lines end at CR or CR LF; a lone LF stays part of the text.
std::optional<QStringList> readLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString text = QString::fromUtf8(f.readAll());
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringList lines;
    QString cur;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            lines.append(cur);
            cur.clear();
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.isEmpty())
        lines.append(cur);
    return lines;
}

// Write-to-temporary then rename: a crash leaves the old or the new file.
bool writeLines(const QString& path, const QStringList& lines)
{
    QByteArray data;
    for (const QString& l : lines) {
        data += l.toUtf8();
        data += "\r\n";
    }
    // Stale F.tmp from an earlier failed write is simply overwritten.
    const QString tmp = path + QStringLiteral(".tmp");
    QFile f(tmp);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (f.write(data) != data.size() || !f.flush() || ::fsync(f.handle()) != 0) {
        f.close();
        return false;
    }
    f.close();
    if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    // Make the rename itself durable.
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

QString trimSpaces(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == QLatin1Char(' '))
        ++b;
    while (e > b && s[e - 1] == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

QString stripQuotes(const QString& s)
{
    QString t = trimSpaces(s);
    if (t.startsWith(QLatin1Char('"')))
        t.remove(0, 1);
    if (t.endsWith(QLatin1Char('"')))
        t.chop(1);
    return t;
}

bool isOpenTag(const QString& t)
{
    return t.contains(QLatin1Char('<')) && t.contains(QLatin1Char('>')) && !t.contains(QLatin1Char('/'));
}

bool isCloseTag(const QString& t)
{
    return t.contains(QLatin1Char('<')) && t.contains(QLatin1Char('>')) && t.contains(QLatin1String("</"));
}

QString openTagName(const QString& t)
{
    const qsizetype gt = t.indexOf(QLatin1Char('>'), 1);
    return gt < 1 ? QString() : t.mid(1, gt - 1);
}

QString closeTagName(const QString& t)
{
    const qsizetype gt = t.indexOf(QLatin1Char('>'));
    return gt < 2 ? QString() : t.mid(2, gt - 2);
}

// Position just after the name's closing quote, or -1.
qsizetype nameEnd(const QString& t)
{
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0)
        return -1;
    const qsizetype start = eq + 2;
    const qsizetype q = t.indexOf(QLatin1Char('"'), start + 1);
    return q < 0 ? -1 : q + 1;
}

QString paramName(const QString& t)
{
    if (t.isEmpty() || !t.contains(QLatin1String("/>")))
        return {};
    if (!t.contains(QLatin1String("</"))) {
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (eq < 0)
            return {};
        const qsizetype start = eq + 2;
        const qsizetype q = t.indexOf(QLatin1Char('"'), start + 1);
        if (q < 0)
            throw ParseError{};
        return stripQuotes(t.mid(start, q - start));
    }
    const qsizetype lt = t.indexOf(QLatin1Char('<'));
    const qsizetype gt = t.indexOf(QLatin1Char('>'), lt);
    return gt < 0 ? QString() : t.mid(lt + 1, gt - lt - 1);
}

QString paramValue(const QString& raw)
{
    const QString t = trimSpaces(raw);
    if (!t.contains(QLatin1String("</"))) {
        // Look for VALUE after the name, so a key that contains "value" is read right.
        const QString upper = t.toUpper();
        qsizetype p = upper.indexOf(QLatin1String("VALUE"), qMax<qsizetype>(0, nameEnd(t)));
        if (p < 0)
            p = upper.indexOf(QLatin1String("VALUE"));
        if (p < 0)
            return {};
        const QString rest = t.mid(p + 6);
        if (!rest.contains(QLatin1Char('"')))
            return {};
        QString v = stripQuotes(rest);
        if (v.startsWith(QLatin1Char('='))) {
            v.remove(0, 1);
            v = stripQuotes(v);
        }
        const qsizetype lastQ = v.lastIndexOf(QLatin1Char('"'));
        if (lastQ >= 0)
            v = v.left(lastQ + 1);
        return stripQuotes(v);
    }
    const qsizetype gt = t.indexOf(QLatin1Char('>'));
    const qsizetype lt = t.indexOf(QLatin1Char('<'), gt);
    return lt < 0 ? QString() : stripQuotes(t.mid(gt + 1, lt - gt - 1));
}

QStringList splitSectionPath(QString path)
{
    if (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    if (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    if (!path.contains(QLatin1Char('\\')))
        return {path};
    QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        parts.append(QString());
    return parts;
}

bool isRoot(const QStringList& parts) { return parts.size() == 1 && parts[0].isEmpty(); }

QString paramLine(int indent, const QString& key, const QString& value)
{
    return QString(indent, QLatin1Char(' ')) + QStringLiteral("<Param Name=\"") + key + QStringLiteral("\" Value=\"")
        + value + QStringLiteral("\" />");
}

// Creates the file when it cannot be read, then reads it.
std::optional<QStringList> openOrCreate(const QString& path)
{
    auto lines = readLines(path);
    if (!lines) {
        if (!XMLCreateFile(path))
            return std::nullopt;
        lines = readLines(path);
    }
    return lines;
}

// Copies lines while looking for the section path, as reader and writer both
// do: the search for each name is not anchored to the one before. Ends at
// the line after the last component's start line (found), at a closing tag of
// the component found last (closeAt), or at the end of the file.
struct PathSearch {
    int found = 0;          // components found
    qsizetype next = 1;     // index of the next unread line
    qsizetype stopLine = -1; // the line that ended the search early
    bool atEnd = false;
};

PathSearch searchPath(const QStringList& lines, const QStringList& parts, QStringList* copy, bool skipLastStart)
{
    PathSearch s;
    if (isRoot(parts)) {
        s.found = 1;
        return s;
    }
    for (int j = 0; j < parts.size(); ++j) {
        bool hit = false;
        while (true) {
            if (s.next >= lines.size() || s.next == lines.size() - 1) {
                // The last line is never a section start: the search failed.
                s.atEnd = true;
                s.stopLine = s.next < lines.size() ? s.next : -1;
                return s;
            }
            const QString& raw = lines[s.next];
            const QString t = trimSpaces(raw);
            if (isCloseTag(t) && sameName(closeTagName(t), parts[qMax(0, j - 1)]) && copy) {
                s.stopLine = s.next;
                return s;
            }
            ++s.next;
            if (isOpenTag(t) && sameName(openTagName(t), parts[j])) {
                if (copy && !(skipLastStart && j == parts.size() - 1))
                    copy->append(raw);
                hit = true;
                break;
            }
            if (copy)
                copy->append(raw);
        }
        if (hit)
            s.found = j + 1;
    }
    return s;
}

} // namespace

void SetSettingsFile(const QString& path) { g_settingsFile = path; }
QString SettingsFile() { return g_settingsFile; }

bool XMLCreateFile(const QString& file)
{
    return writeLines(resolve(file), {kHeader, kFooter});
}

QString XMLGetValue(const QString& key, const QString& section, const QString& file, const QString& def)
{
    QMutexLocker lock(&g_mutex);
    const QString path = resolve(file);
    if (path.isEmpty())
        return {};
    try {
        const auto lines = openOrCreate(path);
        if (!lines || lines->isEmpty())
            return {};
        const QStringList parts = splitSectionPath(section);
        const PathSearch s = searchPath(*lines, parts, nullptr, false);
        if (s.found < parts.size())
            return def;
        int depth = 0;
        for (qsizetype i = s.next; i < lines->size(); ++i) {
            const QString t = trimSpaces((*lines)[i]);
            if (t.isEmpty())
                continue;
            if (!t.contains(QLatin1Char('>')))
                throw ParseError{};
            if (isCloseTag(t)) {
                if (sameName(closeTagName(t), parts.last()))
                    return def;
                depth = qMax(0, depth - 1);
            } else if (isOpenTag(t)) {
                ++depth;
            }
            if (depth == 0 && sameName(paramName(t), key) && !key.isEmpty())
                return paramValue((*lines)[i]);
        }
        return def;
    } catch (const ParseError&) {
        return {};
    }
}

bool XMLSetValue(const QString& value, const QString& key, const QString& section, const QString& file)
{
    QMutexLocker lock(&g_mutex);
    const QString path = resolve(file);
    if (path.isEmpty() || value.contains(QLatin1Char('\r')))
        return false;
    try {
        const auto linesOpt = openOrCreate(path);
        if (!linesOpt || linesOpt->isEmpty())
            return false;
        const QStringList& lines = *linesOpt;
        const QStringList parts = splitSectionPath(section);
        const int L = int(parts.size());
        QStringList out{lines[0]};
        const PathSearch s = searchPath(lines, parts, &out, false);

        if (s.found < L) {
            // Cases C (the parent section closes) and D (end of file): add
            // the missing sections around the new parameter.
            const int M = s.found;
            const bool caseD = s.atEnd;
            for (int j = M; j < L; ++j)
                out.append(QString(5 * j, QLatin1Char(' ')) + QLatin1Char('<') + parts[j] + QLatin1Char('>'));
            out.append(paramLine(caseD ? 5 * (L - M) : 5 * (L - 1), key, value));
            for (int j = L - 1; j >= M; --j)
                out.append(QString(5 * j, QLatin1Char(' ')) + QStringLiteral("</") + parts[j] + QLatin1Char('>'));
            if (s.stopLine >= 0) {
                for (qsizetype i = s.stopLine; i < lines.size(); ++i)
                    out.append(lines[i]);
            } else {
                out.append(kFooter);
            }
            return writeLines(path, out);
        }

        for (qsizetype i = s.next; i < lines.size(); ++i) {
            const QString& raw = lines[i];
            const QString t = trimSpaces(raw);
            if (t.startsWith(QLatin1String("</")) || isOpenTag(t)) {
                out.append(paramLine(5 * (L - 1), key, value));
                for (qsizetype k = i; k < lines.size(); ++k)
                    out.append(lines[k]);
                return writeLines(path, out);
            }
            if (!t.isEmpty() && sameName(paramName(t), key)) {
                out.append(paramLine(5 * L, key, value));
                for (qsizetype k = i + 1; k < lines.size(); ++k)
                    out.append(lines[k]);
                return writeLines(path, out);
            }
            out.append(raw);
        }
        return false; // the section never closed: leave the file as it is
    } catch (const ParseError&) {
        return false;
    }
}

bool XMLDeleteSection(const QString& section, const QString& file)
{
    QMutexLocker lock(&g_mutex);
    const QString path = resolve(file);
    if (path.isEmpty())
        return false;
    const auto linesOpt = openOrCreate(path);
    if (!linesOpt || linesOpt->isEmpty())
        return false;
    const QStringList& lines = *linesOpt;
    const QStringList parts = splitSectionPath(section);
    if (isRoot(parts))
        return false;
    QStringList out{lines[0]};
    const PathSearch s = searchPath(lines, parts, &out, true);
    if (s.found < parts.size())
        return false;
    qsizetype i = s.next;
    for (; i < lines.size(); ++i) {
        const QString t = trimSpaces(lines[i]);
        if (isCloseTag(t) && sameName(closeTagName(t), parts.last())) {
            ++i;
            break;
        }
    }
    for (; i < lines.size(); ++i)
        out.append(lines[i]);
    return writeLines(path, out);
}

void XMLListSections(QStringList& list, const QString& file)
{
    QMutexLocker lock(&g_mutex);
    const auto lines = readLines(resolve(file));
    if (!lines)
        return;
    QStringList stack;
    for (qsizetype i = 1; i < lines->size(); ++i) {
        const QString t = trimSpaces((*lines)[i]);
        if (isOpenTag(t)) {
            if (stack.size() >= kMaxDepth)
                return; // deeper than the store ever writes: stop here
            stack.append(openTagName(t));
            list.append(stack.join(QLatin1Char('\\')));
        } else if (isCloseTag(t)) {
            if (!stack.isEmpty())
                stack.removeLast();
        }
    }
}

int XMLGetInt(const QString& key, const QString& section, const QString& file, int def)
{
    return LeadingInt(XMLGetValue(key, section, file, QString::number(def)), def);
}

} // namespace sv
