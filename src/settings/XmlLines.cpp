#include "settings/XmlLines.h"

#include "settings/modXML.h"

namespace sv::xml {

namespace {

QByteArray trimSpaces(const QByteArray& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return s.mid(b, e - b);
}

QByteArray stripQuotes(const QByteArray& s)
{
    QByteArray t = trimSpaces(s);
    if (t.startsWith('"'))
        t.remove(0, 1);
    if (t.endsWith('"'))
        t.chop(1);
    return t;
}

bool isOpenTag(const QByteArray& t) { return t.contains('<') && t.contains('>') && !t.contains('/'); }
bool isCloseTag(const QByteArray& t) { return t.contains('<') && t.contains('>') && t.contains("</"); }

// A parameter line written by this store, whatever its value holds. Older
// writers put "</" into values unescaped; such lines are still parameters.
bool isParamLine(const QByteArray& t)
{
    return t.size() > 7 && qstrnicmp(t.constData(), "<Param ", 7) == 0 && t.endsWith("/>");
}

QByteArray closeTagName(const QByteArray& t)
{
    const qsizetype gt = t.indexOf('>');
    return gt < 2 ? QByteArray() : t.mid(2, gt - 2);
}

// Position just after the name's closing quote, or -1.
qsizetype nameEnd(const QByteArray& t)
{
    const qsizetype eq = t.indexOf('=');
    if (eq < 0)
        return -1;
    const qsizetype q = t.indexOf('"', eq + 3);
    return q < 0 ? -1 : q + 1;
}

// The parameter name of a trimmed line ("" when it has none).
NameState paramName(const QByteArray& t, bool param, QByteArray& name)
{
    name.clear();
    if (t.isEmpty() || !t.contains("/>"))
        return NameState::Ok;
    if (param || !t.contains("</")) {
        const qsizetype eq = t.indexOf('=');
        if (eq < 0)
            return NameState::Ok;
        const qsizetype start = eq + 2;
        const qsizetype q = t.indexOf('"', start + 1);
        if (q < 0)
            return NameState::Broken;
        name = stripQuotes(t.mid(start, q - start));
        return NameState::Ok;
    }
    const qsizetype lt = t.indexOf('<');
    const qsizetype gt = t.indexOf('>', lt);
    if (gt >= 0)
        name = t.mid(lt + 1, gt - lt - 1);
    return NameState::Ok;
}

QByteArray rawParamValue(const QByteArray& t, bool param)
{
    if (param || !t.contains("</")) {
        // Look for VALUE after the name, so a key that contains "value" is read right.
        const QByteArray upper = t.toUpper();
        qsizetype p = upper.indexOf("VALUE", qMax<qsizetype>(0, nameEnd(t)));
        if (p < 0)
            p = upper.indexOf("VALUE");
        if (p < 0)
            return {};
        const QByteArray rest = t.mid(p + 6);
        if (!rest.contains('"'))
            return {};
        QByteArray v = stripQuotes(rest);
        if (v.startsWith('=')) {
            v.remove(0, 1);
            v = stripQuotes(v);
        }
        const qsizetype lastQ = v.lastIndexOf('"');
        if (lastQ >= 0)
            v = v.left(lastQ + 1);
        return stripQuotes(v);
    }
    const qsizetype gt = t.indexOf('>');
    const qsizetype lt = t.indexOf('<', gt);
    return lt < 0 ? QByteArray() : stripQuotes(t.mid(gt + 1, lt - gt - 1));
}

} // namespace

Line classify(const QByteArray& raw)
{
    Line l;
    l.raw = raw;
    l.t = trimSpaces(raw);
    const QByteArray& t = l.t;
    if (t.isEmpty())
        return l;
    l.noGt = !t.contains('>');
    l.param = isParamLine(t);
    if (!l.param) {
        l.close = isCloseTag(t);
        l.open = !l.close && isOpenTag(t);
        l.startsClose = t.startsWith("</");
        if (l.open)
            l.tag = fold(QString::fromUtf8(openTagName(t)));
        else if (l.close)
            l.tag = fold(QString::fromUtf8(closeTagName(t)));
    }
    QByteArray name;
    l.nameState = paramName(t, l.param, name);
    if (!name.isEmpty())
        l.pname = fold(QString::fromUtf8(name));
    return l;
}

std::shared_ptr<Doc> parse(const QByteArray& data)
{
    auto doc = std::make_shared<Doc>();
    qsizetype start = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        doc->lines.push_back(classify(data.mid(start, i - start)));
        if (c == '\r' && i + 1 < n && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        doc->lines.push_back(classify(data.mid(start)));
    for (int i = 0; i < int(doc->lines.size()); ++i)
        if (doc->lines[i].open)
            doc->opens[doc->lines[i].tag].push_back(i);
    // Not a store file at all: nothing, or no header (zeros left by a crash, junk).
    const bool headed = !doc->lines.empty() && qstrnicmp(doc->lines[0].t.constData(), "<XML", 4) == 0
        && !data.contains('\0');
    doc->damaged = !headed;
    return doc;
}

QByteArray newFileBytes() { return kHeader + "\r\n" + kFooter + "\r\n"; }

QByteArray openTagName(const QByteArray& t)
{
    const qsizetype gt = t.indexOf('>', 1);
    return gt < 1 ? QByteArray() : t.mid(1, gt - 1);
}

QString valueOf(const Line& l) { return XMLDecodeValue(QString::fromUtf8(rawParamValue(l.t, l.param))); }

std::optional<QString> readBack(const QByteArray& line, const QString& key)
{
    const Line l = classify(line);
    if (l.nameState != NameState::Ok || l.pname != fold(key) || l.open || l.close || l.noGt)
        return std::nullopt;
    return valueOf(l);
}

} // namespace sv::xml

namespace sv {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray escapeValue(const QString& value, bool allNonAscii)
{
    QString out;
    const qsizetype n = value.size();
    auto ref = [&out](uint code) { out += QStringLiteral("&#x") + QString::number(code, 16).toUpper() + QLatin1Char(';'); };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = value[i];
        const ushort u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < n && value[i + 1].isLowSurrogate()) {
            out += c;
            out += value[++i];
        } else if (c.isSurrogate() || u < 0x20 || u == 0x7F || u == '&' || u == '"' || u == '<' || u == '>'
                   || u == '=' || u == 0xFEFF || (allNonAscii && u > 0x7F) || (u == ' ' && (i == 0 || i == n - 1))) {
            if (u == 1) // the stored line break of multi-line texts stays as it always was
                out += c;
            else
                ref(u);
        } else {
            out += c;
        }
    }
    const QByteArray bytes = out.toUtf8();
    if (!allNonAscii && XMLDecodeValue(QString::fromUtf8(bytes)) != value)
        return escapeValue(value, true);
    return bytes;
}

} // namespace

QByteArray XMLEncodeValue(const QString& value, const QString& key)
{
    QByteArray plain = value.toUtf8();
    // NUL bytes mark a file as damaged (zeros left by a crash): never written.
    if (!plain.contains('\r') && !plain.contains('\n') && !plain.contains('\0') && QString::fromUtf8(plain) == value) {
        const QByteArray line = "<Param Name=\"" + key.toUtf8() + "\" Value=\"" + plain + "\" />";
        const auto back = xml::readBack(line, key);
        if (back && *back == value)
            return plain;
    }
    // Escape whatever the line format could lose or misread; the byte-order
    // mark too, which decoding would drop at the start of a value.
    return escapeValue(value, false);
}

QString XMLDecodeValue(const QString& stored)
{
    if (!stored.contains(QLatin1String("&#x")))
        return stored;
    QString out;
    out.reserve(stored.size());
    const qsizetype n = stored.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (stored[i] == QLatin1Char('&') && i + 3 < n && stored[i + 1] == QLatin1Char('#')
            && stored[i + 2] == QLatin1Char('x')) {
            uint code = 0;
            qsizetype j = i + 3;
            while (j < n && j - (i + 3) < 6 && stored[j].unicode() < 128 && hexDigit(char(stored[j].unicode())) >= 0)
                code = code * 16 + uint(hexDigit(char(stored[j++].unicode())));
            if (j > i + 3 && j < n && stored[j] == QLatin1Char(';') && code <= 0x10FFFF) {
                if (code > 0xFFFF) {
                    out += QChar(QChar::highSurrogate(code));
                    out += QChar(QChar::lowSurrogate(code));
                } else {
                    out += QChar(char16_t(code));
                }
                i = j;
                continue;
            }
        }
        out += stored[i];
    }
    return out;
}

} // namespace sv
