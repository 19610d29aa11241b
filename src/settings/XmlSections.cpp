#include "settings/XmlSections.h"

#include "settings/modXML.h"

#include <algorithm>

namespace sv::xml {

namespace {

const int kMaxDepth = 10;

QByteArray paramLine(int indent, const QString& key, const QString& value)
{
    return QByteArray(indent, ' ') + "<Param Name=\"" + key.toUtf8() + "\" Value=\"" + XMLEncodeValue(value, key)
        + "\" />";
}

// Copies lines while looking for the section path, as reader and writer both
// do: the search for each name is not anchored to the one before. Ends at
// the line after the last component's start line (found), at a closing tag of
// the component found last (writers only), or at the end of the file.
struct PathSearch {
    int found = 0;           // components found
    qsizetype next = 1;      // index of the next unread line
    qsizetype stopLine = -1; // the line that ended the search early
    bool atEnd = false;
};

PathSearch copyToPath(const Doc& d, const QStringList& parts, QByteArray& out, bool skipLastStart)
{
    PathSearch s;
    if (isRoot(parts)) {
        s.found = 1;
        return s;
    }
    const qsizetype n = qsizetype(d.lines.size());
    for (int j = 0; j < parts.size(); ++j) {
        const QString want = fold(parts[j]);
        const QString parent = fold(parts[qMax(0, j - 1)]);
        while (true) {
            if (s.next >= n - 1) {
                // The last line is never a section start: the search failed.
                s.atEnd = true;
                s.stopLine = s.next < n ? s.next : -1;
                return s;
            }
            const Line& l = d.lines[size_t(s.next)];
            if (l.close && l.tag == parent) {
                s.stopLine = s.next;
                return s;
            }
            ++s.next;
            if (l.open && l.tag == want) {
                if (!(skipLastStart && j == parts.size() - 1))
                    out += l.raw + "\r\n";
                break;
            }
            out += l.raw + "\r\n";
        }
        s.found = j + 1;
    }
    return s;
}

void appendRest(const Doc& d, qsizetype from, QByteArray& out)
{
    for (qsizetype i = from; i < qsizetype(d.lines.size()); ++i)
        out += d.lines[size_t(i)].raw + "\r\n";
}

} // namespace

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

std::optional<QByteArray> setIn(const Doc& d, const QString& value, const QString& key, const QStringList& parts)
{
    const int L = int(parts.size());
    QByteArray out = d.lines[0].raw + "\r\n";
    const PathSearch s = copyToPath(d, parts, out, false);
    if (s.found < L) {
        // The parent section closes or the file ends first: add the missing
        // sections around the new parameter.
        const int M = s.found;
        for (int j = M; j < L; ++j)
            out += QByteArray(5 * j, ' ') + '<' + parts[j].toUtf8() + ">\r\n";
        out += paramLine(s.atEnd ? 5 * (L - M) : 5 * (L - 1), key, value) + "\r\n";
        for (int j = L - 1; j >= M; --j)
            out += QByteArray(5 * j, ' ') + "</" + parts[j].toUtf8() + ">\r\n";
        if (s.stopLine >= 0)
            appendRest(d, s.stopLine, out);
        else
            out += kFooter + "\r\n";
        return out;
    }
    const QString k = fold(key);
    for (qsizetype i = s.next; i < qsizetype(d.lines.size()); ++i) {
        const Line& l = d.lines[size_t(i)];
        if (l.startsClose || l.open) {
            out += paramLine(5 * (L - 1), key, value) + "\r\n";
            appendRest(d, i, out);
            return out;
        }
        if (!l.t.isEmpty()) {
            if (l.nameState != NameState::Ok)
                return std::nullopt;
            if (l.pname == k) {
                out += paramLine(5 * L, key, value) + "\r\n";
                appendRest(d, i + 1, out);
                return out;
            }
        }
        out += l.raw + "\r\n";
    }
    return std::nullopt; // the section never closed: leave the file as it is
}

std::optional<QString> getIn(const Doc& d, const QString& key, const QStringList& parts, const QString& def)
{
    const int n = int(d.lines.size());
    int next = 1;
    if (!isRoot(parts)) {
        for (const QString& part : parts) {
            const auto it = d.opens.constFind(fold(part));
            if (it == d.opens.cend())
                return def;
            const auto pos = std::lower_bound(it->begin(), it->end(), next);
            if (pos == it->end() || *pos >= n - 1)
                return def;
            next = *pos + 1;
        }
    }
    const QString last = fold(parts.last());
    const QString k = fold(key);
    int depth = 0;
    for (int i = next; i < n; ++i) {
        const Line& l = d.lines[size_t(i)];
        if (l.t.isEmpty())
            continue;
        if (l.noGt)
            return std::nullopt;
        if (l.close) {
            if (l.tag == last)
                return def;
            depth = qMax(0, depth - 1);
        } else if (l.open) {
            ++depth;
        }
        if (depth == 0 && !key.isEmpty()) {
            if (l.nameState != NameState::Ok)
                return std::nullopt;
            if (l.pname == k)
                return valueOf(l);
        }
    }
    return def;
}

std::optional<QByteArray> deleteIn(const Doc& d, const QStringList& parts)
{
    if (isRoot(parts))
        return std::nullopt;
    QByteArray out = d.lines[0].raw + "\r\n";
    const PathSearch s = copyToPath(d, parts, out, true);
    if (s.found < parts.size())
        return std::nullopt;
    const QString last = fold(parts.last());
    qsizetype i = s.next;
    for (; i < qsizetype(d.lines.size()); ++i) {
        const Line& l = d.lines[size_t(i)];
        if (l.close && l.tag == last) {
            ++i;
            break;
        }
    }
    appendRest(d, i, out);
    return out;
}

void listSections(const Doc& d, QStringList& list)
{
    QStringList stack;
    for (size_t i = 1; i < d.lines.size(); ++i) {
        const Line& line = d.lines[i];
        if (line.open) {
            if (stack.size() >= kMaxDepth)
                return; // deeper than the store ever writes: stop here
            stack.append(QString::fromUtf8(openTagName(line.t)));
            list.append(stack.join(QLatin1Char('\\')));
        } else if (line.close) {
            if (!stack.isEmpty())
                stack.removeLast();
        }
    }
}

} // namespace sv::xml
