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

// Anchor names defined in a topic (<a name="x"> or id="x").
QSet<QString> anchorsOf(const QByteArray& html)
{
    static const QRegularExpression re(QStringLiteral("<a\\s[^>]*name\\s*=\\s*\"([^\"]+)\"|\\sid\\s*=\\s*\"([^\"]+)\""),
                                       QRegularExpression::CaseInsensitiveOption);
    QSet<QString> names;
    auto it = re.globalMatch(QString::fromUtf8(html));
    while (it.hasNext()) {
        const auto m = it.next();
        names.insert(m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));
    }
    return names;
}

// Every href and src of a topic, as written.
QStringList referencesOf(const QByteArray& html)
{
    static const QRegularExpression re(QStringLiteral("\\s(?:href|src)\\s*=\\s*\"([^\"]*)\""),
                                       QRegularExpression::CaseInsensitiveOption);
    QStringList refs;
    auto it = re.globalMatch(QString::fromUtf8(html));
    while (it.hasNext())
        refs << it.next().captured(1);
    return refs;
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
        const QUrl base(QStringLiteral("chm:/") + QString(QUrl::toPercentEncoding(from, "/")));
        const QUrl url = base.resolved(QUrl(ref));
        const QString path = url.path(QUrl::FullyDecoded);
        if (!chm.contains(path))
            return from + QStringLiteral(": ") + ref + QStringLiteral(" is not in the help file");
        if (url.hasFragment() && !anchorsOf(chm.read(path)).contains(url.fragment(QUrl::FullyDecoded)))
            return from + QStringLiteral(": anchor ") + ref + QStringLiteral(" is missing");
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFileInfo::exists(svtest::BuiltHelpFile()))
            return;
        QVERIFY2(chm.open(svtest::BuiltHelpFile()), "the built help file cannot be opened");
    }

    void everyProgramTopicAndAnchorIsThere()
    {
        SV_REQUIRE_HELP_FILE();
        for (const QString& topic : ProgramHelpTopics()) {
            const QString problem = checkTarget(QStringLiteral("Page1.htm"), topic);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        // Each page's topic is a page of its own, with a title.
        QSet<QString> titles;
        for (const PageTopic& row : TutorialTopics()) {
            const QString html = QString::fromUtf8(chm.read(row.topic));
            const auto m = QRegularExpression(QStringLiteral("<title>([^<]+)</title>")).match(html);
            QVERIFY2(m.hasMatch(), qPrintable(row.topic + " has no title"));
            titles.insert(m.captured(1));
        }
        QCOMPARE(titles.size(), 13);
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
            for (const QString& ref : referencesOf(chm.read(file))) {
                if (ref.startsWith(QLatin1String("http:")) || ref.startsWith(QLatin1String("https:"))
                    || ref.startsWith(QLatin1String("mailto:")))
                    continue;
                const QString problem = ref.startsWith(QLatin1Char('#')) ? checkTarget(name, name + ref)
                                                                          : checkTarget(name, ref);
                QVERIFY2(problem.isEmpty(), qPrintable(problem));
                ++references;
                if (ref.endsWith(QLatin1String(".png"))) {
                    ++pictures;
                    const QUrl url = QUrl(QStringLiteral("chm:/") + QString(QUrl::toPercentEncoding(name, "/")))
                                         .resolved(QUrl(ref));
                    QVERIFY2(chm.read(url.path()).startsWith("\x89PNG"), qPrintable(ref + " is not a PNG"));
                }
            }
        }
        QVERIFY(topics >= 17);
        QVERIFY(references > 50);
        QVERIFY(pictures >= 5);
    }

    void contentsAndIndexPointIntoTheFile()
    {
        SV_REQUIRE_HELP_FILE();
        const QList<HelpContentsEntry> contents = ParseHelpSitemap(chm.read(QStringLiteral("sonivault.hhc")));
        QVERIFY(contents.size() >= 3);
        QStringList locals;
        collectLocals(contents, locals);
        for (const PageTopic& row : TutorialTopics())
            QVERIFY2(locals.contains(row.topic), qPrintable(row.topic + " is not in the contents"));

        const QList<HelpContentsEntry> index = ParseHelpSitemap(chm.read(QStringLiteral("sonivault.hhk")));
        QVERIFY(index.size() >= 20);
        QStringList indexLocals;
        collectLocals(index, indexLocals);
        QVERIFY(indexLocals.contains(TopicNoDetect));
        for (const QString& local : locals + indexLocals) {
            const QString problem = checkTarget(QStringLiteral("Page1.htm"), local);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QVERIFY2(chm.contains(QStringLiteral("#WINDOWS")), "the window types are not in the help file");
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
        QCOMPARE(ParseHelpSitemap(hhc.left(hhc.indexOf("<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" "
                                                       "value=\"Child\"")))
                     .size(),
                 1);
        QVERIFY(ParseHelpSitemap("</UL></UL></OBJECT><param name=\"Local\" value=\"x\">").isEmpty());
    }

    void archiveRefusesWhatIsNotAHelpFile()
    {
        ChmArchive a;
        QVERIFY(!a.open(env.tmp() + "missing.chm"));
        QVERIFY(!a.open(env.writeFile("text.chm", "just some text, not an archive")));
        QVERIFY(!a.open(env.writeFile("short.chm", "ITSF")));
        QVERIFY(!a.contains(QStringLiteral("Page1.htm")));
        QVERIFY(a.read(QStringLiteral("Page1.htm")).isEmpty());
        QCOMPARE(ChmArchive::objectPath(QStringLiteral("a\\b c.htm#x")), QStringLiteral("/a/b c.htm"));
    }
};

QTEST_GUILESS_MAIN(TestHelpFile)
#include "test_help_file.moc"
