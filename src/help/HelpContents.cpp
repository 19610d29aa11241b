#include "help/HelpContents.h"

#include <QRegularExpression>

namespace sv {

namespace {
QString unescape(QString s)
{
    s.replace(QLatin1String("&quot;"), QLatin1String("\""));
    s.replace(QLatin1String("&lt;"), QLatin1String("<"));
    s.replace(QLatin1String("&gt;"), QLatin1String(">"));
    s.replace(QLatin1String("&#39;"), QLatin1String("'"));
    s.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s;
}
} // namespace

QList<HelpContentsEntry> ParseHelpSitemap(const QByteArray& html)
{
    const QString text = QString::fromUtf8(html);
    static const QRegularExpression tag(QStringLiteral("<\\s*(/?)\\s*(ul|object|param)\\b([^>]*)>"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression attr(QStringLiteral("(name|value|type)\\s*=\\s*\"([^\"]*)\""),
                                         QRegularExpression::CaseInsensitiveOption);

    QList<HelpContentsEntry> root;
    // Path of child indexes from the root to the list being filled.
    QList<QList<HelpContentsEntry>*> lists{&root};
    HelpContentsEntry current;
    bool inObject = false;
    bool listOpened = false; // the outermost <UL> is the root list itself

    auto it = tag.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        if (name == QLatin1String("ul")) {
            if (closing) {
                if (lists.size() > 1)
                    lists.removeLast();
            } else if (!listOpened) {
                listOpened = true;
            } else if (!lists.last()->isEmpty()) {
                lists.append(&lists.last()->last().children);
            }
        } else if (name == QLatin1String("object")) {
            if (!closing) {
                inObject = m.captured(3).contains(QLatin1String("text/sitemap"), Qt::CaseInsensitive);
                current = {};
            } else if (inObject) {
                inObject = false;
                if (!current.name.isEmpty() || !current.local.isEmpty())
                    lists.last()->append(current);
            }
        } else if (name == QLatin1String("param") && inObject) {
            QString key, value;
            auto a = attr.globalMatch(m.captured(3));
            while (a.hasNext()) {
                const auto am = a.next();
                if (am.captured(1).compare(QLatin1String("name"), Qt::CaseInsensitive) == 0)
                    key = am.captured(2);
                else if (am.captured(1).compare(QLatin1String("value"), Qt::CaseInsensitive) == 0)
                    value = unescape(am.captured(2));
            }
            if (key.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0 && current.name.isEmpty())
                current.name = value;
            else if (key.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0)
                current.local = value;
        }
    }
    return root;
}

} // namespace sv
