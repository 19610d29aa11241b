// The compiled help file holds every topic and anchor the program opens, and
// nothing inside it points at something that is not there.
#include "HelpFileFixture.h"
#include "help/ChmArchive.h"
#include "help/HelpContents.h"
#include "help/HelpTopics.h"
#include "support/TestEnv.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QUrl>

using namespace sv;

namespace {

// What the pattern's first or second group caught, at every match in the topic.
QStringList capturesOf(const QByteArray& html, const QString& pattern)
{
    QStringList found;
    auto it = QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption).globalMatch(QString::fromUtf8(html));
    while (it.hasNext()) {
        const auto m = it.next();
        found << (m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));
    }
    return found;
}

void collectLocals(const QList<HelpContentsEntry>& entries, QStringList& out)
{
    for (const HelpContentsEntry& e : entries) {
        if (!e.local.isEmpty())
            out << e.local;
        collectLocals(e.children, out);
    }
}

} // namespace

class TestHelpFile : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    ChmArchive chm;

    // "topic#anchor" relative to the topic "from": empty when it resolves, else why not.
    QString checkTarget(const QString& from, const QString& ref)
    {
        const QUrl url = QUrl(QStringLiteral("chm:/") + QString(QUrl::toPercentEncoding(from, "/"))).resolved(QUrl(ref));
        const QString path = url.path(QUrl::FullyDecoded);
        if (!chm.contains(path))
            return from + QStringLiteral(": ") + ref + QStringLiteral(" is not in the help file");
        const QString anchors = QStringLiteral("<a\\s[^>]*name\\s*=\\s*\"([^\"]+)\"|\\sid\\s*=\\s*\"([^\"]+)\"");
        if (url.hasFragment() && !capturesOf(chm.read(path), anchors).contains(url.fragment(QUrl::FullyDecoded)))
            return from + QStringLiteral(": anchor ") + ref + QStringLiteral(" is missing");
        if (ref.endsWith(QLatin1String(".png")) && !chm.read(path).startsWith("\x89PNG"))
            return from + QStringLiteral(": ") + ref + QStringLiteral(" is not a PNG");
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QFileInfo::exists(svtest::BuiltHelpFile()))
            QVERIFY2(chm.open(svtest::BuiltHelpFile()), "the built help file cannot be opened");
    }

    // Every topic and anchor the program opens, and every entry of the
    // contents and the index, is in the file; each page has a topic of its own.
    void programTopicsContentsAndIndexResolve()
    {
        SV_REQUIRE_HELP_FILE();
        QStringList locals = ProgramHelpTopics(), contentsLocals;
        collectLocals(ParseHelpSitemap(chm.read(QStringLiteral("sonivault.hhc"))), contentsLocals);
        const QList<HelpContentsEntry> index = ParseHelpSitemap(chm.read(QStringLiteral("sonivault.hhk")));
        QVERIFY(index.size() >= 20);
        collectLocals(index, locals);
        QVERIFY(locals.contains(TopicNoDetect));
        QSet<QString> titles;
        for (const PageTopic& row : TutorialTopics()) {
            QVERIFY2(contentsLocals.contains(row.topic), qPrintable(row.topic + " is not in the contents"));
            titles.insert(capturesOf(chm.read(row.topic), QStringLiteral("<title>([^<]+)</title>")).value(0));
        }
        QCOMPARE(titles.size(), 13);
        QVERIFY(!titles.contains(QString()));
        for (const QString& local : locals + contentsLocals) {
            const QString problem = checkTarget(QStringLiteral("Page1.htm"), local);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QVERIFY2(chm.contains(QStringLiteral("#WINDOWS")), "the window types are not in the help file");
    }

    void everyLinkAndPictureResolves()
    {
        SV_REQUIRE_HELP_FILE();
        int topics = 0, references = 0, pictures = 0;
        for (const QString& file : chm.files()) {
            if (!file.endsWith(QLatin1String(".htm")))
                continue;
            ++topics;
            const QString name = file.mid(1);
            for (const QString& ref : capturesOf(chm.read(file), QStringLiteral("\\s(?:href|src)\\s*=\\s*\"([^\"]*)\""))) {
                if (ref.startsWith(QLatin1String("http:")) || ref.startsWith(QLatin1String("https:"))
                    || ref.startsWith(QLatin1String("mailto:")))
                    continue;
                const QString problem = checkTarget(name, ref.startsWith(QLatin1Char('#')) ? name + ref : ref);
                QVERIFY2(problem.isEmpty(), qPrintable(problem));
                ++references;
                pictures += ref.endsWith(QLatin1String(".png"));
            }
        }
        QVERIFY(topics >= 17);
        QVERIFY(references > 50);
        QVERIFY(pictures >= 5);
    }

    void sitemapNestingAndDamage()
    {
        const QByteArray hhc = "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"A &amp; B\">"
                               "<param name=\"Local\" value=\"a.htm#x\"></OBJECT>"
                               "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Child\">"
                               "<param name=\"Local\" value=\"c.htm\"></OBJECT></UL>"
                               "<LI><OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"no\"></OBJECT>"
                               "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Last\"></OBJECT></UL>";
        const auto entries = ParseHelpSitemap(hhc);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].name, QStringLiteral("A & B"));
        QCOMPARE(entries[0].local, QStringLiteral("a.htm#x"));
        QCOMPARE(entries[0].children.size(), 1);
        QCOMPARE(entries[0].children[0].local, QStringLiteral("c.htm"));
        QCOMPARE(entries[1].name, QStringLiteral("Last"));
        QVERIFY(entries[1].local.isEmpty());
        // A truncated file gives what could be read, and closing tags with no opening do no harm.
        QCOMPARE(ParseHelpSitemap(hhc.left(hhc.indexOf("value=\"Child\""))).size(), 1);
        QVERIFY(ParseHelpSitemap("</UL></UL></OBJECT><param name=\"Local\" value=\"x\">").isEmpty());
    }

    void archiveRefusesWhatIsNotAHelpFile()
    {
        ChmArchive a;
        QVERIFY(!a.open(env.writeFile("short.chm", "ITSF")));
        QVERIFY(!a.contains(QStringLiteral("Page1.htm")));
        QVERIFY(a.read(QStringLiteral("Page1.htm")).isEmpty());
        QCOMPARE(ChmArchive::objectPath(QStringLiteral("a\\b c.htm#x")), QStringLiteral("/a/b c.htm"));
    }
};

QTEST_GUILESS_MAIN(TestHelpFile)
#include "test_help_file.moc"
