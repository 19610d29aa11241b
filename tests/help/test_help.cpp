// The compiled help file holds every topic and anchor the program opens, and
// nothing inside it points at something that is not there; the help window on
// it: topics, links, history, anchors, pictures, window types, closing, and
// the messages of HTMLHelp.
#include "HelpFileFixture.h"
#include "help/ChmArchive.h"
#include "help/HelpContents.h"
#include "help/HelpTopics.h"
#include "help/ui/HTMLHelp.h"
#include "help/ui/HelpWindow.h"
#include "support/FindChild.h"
#include "support/MsgBoxScript.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QTextBlock>
#include <QTreeWidget>
#include <QtTest>

#include <optional>

using namespace sv;

namespace {

// What the pattern's first or second group caught, at every match in the topic.
QStringList capturesOf(const QByteArray& html, const QString& pattern)
{
    QStringList found;
    const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption);
    for (auto it = re.globalMatch(QString::fromUtf8(html)); it.hasNext();) {
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


// Clicks the link whose text is the given words, as a user would.
bool clickLink(HelpBrowser* browser, const QString& words)
{
    QTextCursor at = browser->document()->find(words);
    if (at.isNull() || !at.charFormat().isAnchor())
        return false;
    at.setPosition((at.selectionStart() + at.selectionEnd()) / 2);
    browser->setTextCursor(at);
    browser->ensureCursorVisible();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(at).center());
    return true;
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    ChmArchive chm;

    // "topic#anchor" relative to the topic "from": empty when it resolves, else why not.
    QString checkTarget(const QString& from, const QString& ref)
    {
        const QUrl url = QUrl("chm:/" + QString(QUrl::toPercentEncoding(from, "/"))).resolved(QUrl(ref));
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

    std::optional<svtest::MsgBoxScript> boxes;
    std::unique_ptr<HTMLHelp> h;

    HelpWindow* display(const QString& type, const QString& topic, QWidget* owner = nullptr)
    {
        h->setHHWindow(type);
        h->setHHTopicURL(topic);
        return qobject_cast<HelpWindow*>(h->HHDisplayTopicURL(owner));
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
            for (const QString& ref : capturesOf(chm.read(file), "\\s(?:href|src)\\s*=\\s*\"([^\"]*)\"")) {
                if (QRegularExpression(QStringLiteral("^(https?|mailto):")).match(ref).hasMatch())
                    continue;
                const QString problem = checkTarget(name, ref.startsWith(QLatin1Char('#')) ? name + ref : ref);
                QVERIFY2(problem.isEmpty(), qPrintable(problem));
                ++references;
                pictures += ref.endsWith(QLatin1String(".png"));
            }
        }
        QVERIFY2(topics >= 17 && references > 50 && pictures >= 5, "the help file is not all there");
    }

    void sitemapAndArchiveDamage()
    {
        const QByteArray hhc = "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"A &amp; B\">"
                               "<param name=\"Local\" value=\"a.htm#x\"></OBJECT>"
                               "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Child\">"
                               "<param name=\"Local\" value=\"c.htm\"></OBJECT></UL>"
                               "<LI><OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"no\"></OBJECT>"
                               "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Last\"></OBJECT></UL>";
        const auto entries = ParseHelpSitemap(hhc);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].name + entries[0].local, QStringLiteral("A & Ba.htm#x"));
        QCOMPARE(entries[0].children.size(), 1);
        QCOMPARE(entries[0].children[0].local, QStringLiteral("c.htm"));
        QCOMPARE(entries[1].name + entries[1].local, QStringLiteral("Last"));
        // A truncated file gives what could be read, and closing tags with no opening do no harm.
        QCOMPARE(ParseHelpSitemap(hhc.left(hhc.indexOf("value=\"Child\""))).size(), 1);
        QVERIFY(ParseHelpSitemap("</UL></UL></OBJECT><param name=\"Local\" value=\"x\">").isEmpty());

        // An archive cut short is refused, and asking it for a topic is harmless.
        ChmArchive a;
        QVERIFY(!a.open(env.writeFile("short.chm", "ITSF")));
        QVERIFY(!a.contains(QStringLiteral("Page1.htm")));
        QVERIFY(a.read(QStringLiteral("Page1.htm")).isEmpty());
        QCOMPARE(ChmArchive::objectPath(QStringLiteral("a\\b c.htm#x")), QStringLiteral("/a/b c.htm"));
    }

    void init()
    {
        boxes.emplace();
        h = std::make_unique<HTMLHelp>();
        h->setCHMFile(svtest::BuiltHelpFile());
    }
    void cleanup()
    {
        h.reset();
        QVERIFY2(!boxes->unexpected(), qPrintable(boxes->unexpectedText()));
        QCOMPARE(boxes->pending(), 0);
    }

    void followsLinksHistoryAndFitsPictures()
    {
        SV_REQUIRE_HELP_FILE();
        HelpWindow* window = display(HelpWindowTutorial, QStringLiteral("Page2.htm"));
        QVERIFY(window && h->HHWndHandle() == window);
        HelpBrowser* browser = window->browser();
        QCOMPARE(browser->documentTitle(), QStringLiteral("Connect your player"));
        QVERIFY(window->windowTitle().contains(QStringLiteral("Connect your player")));

        QVERIFY(clickLink(browser, QStringLiteral("Connecting your player")));
        QTRY_COMPARE(browser->currentTopic(), QStringLiteral("Connecting your player.htm"));
        QCOMPARE(browser->documentTitle(), QStringLiteral("Connecting your player"));
        auto* back = sv::test::Find<QAction>(window, "cmdHelpBack");
        auto* forward = sv::test::Find<QAction>(window, "cmdHelpForward");
        QVERIFY(back->isEnabled() && !forward->isEnabled());
        back->trigger();
        QCOMPARE(browser->currentTopic(), QStringLiteral("Page2.htm"));
        forward->trigger();
        QCOMPARE(browser->currentTopic(), QStringLiteral("Connecting your player.htm"));

        // Re-targeting the open tutorial keeps the same window.
        QCOMPARE(display(HelpWindowTutorial, QStringLiteral("Page3.htm")), window);
        QCOMPARE(browser->documentTitle(), QStringLiteral("Find the music and set the volume"));

        // Pictures shrink to fit a narrow window and keep their own size in a wide one.
        display(HelpWindowTutorial, TopicConnectPlayer);
        auto widest = [browser] {
            int w = 0;
            for (QTextBlock b = browser->document()->begin(); b.isValid(); b = b.next())
                for (auto it = b.begin(); !it.atEnd(); ++it)
                    if (it.fragment().charFormat().isImageFormat())
                        w = std::max(w, int(it.fragment().charFormat().toImageFormat().width()));
            return w;
        };
        window->resize(360, 600);
        QTRY_VERIFY(widest() > 0 && widest() <= browser->pictureRoom());
        QVERIFY(browser->pictureRoom() < 520);
        window->resize(900, 600);
        QTRY_COMPARE(widest(), 520);
    }

    void jumpsToAnchorsContentsAndIndex()
    {
        SV_REQUIRE_HELP_FILE();
        HelpWindow* window = display(HelpWindowMain, TopicNoDetect);
        QVERIFY(window);
        HelpBrowser* browser = window->browser();

        // An anchor far down the page scrolls there.
        window->resize(500, 300);
        QApplication::processEvents();
        browser->verticalScrollBar()->setValue(0);
        display(HelpWindowMain, QStringLiteral("connection troubleshooting.htm#clipping"));
        QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);

        // The main window lists the contents; clicking an entry opens it.
        auto* contents = sv::test::Find<QTreeWidget>(window, "tvwHelpContents");
        const auto found = contents->findItems(QStringLiteral("MP3 encoding options"), Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        Q_EMIT contents->itemActivated(found.first(), 0);
        QCOMPARE(browser->currentTopic(), TopicMP3Options);

        // The index: typing finds an entry, Enter opens it at its anchor.
        auto* filter = sv::test::Find<QLineEdit>(window, "txtHelpIndex");
        auto* index = sv::test::Find<QListWidget>(window, "lstHelpIndex");
        QTest::keyClicks(filter, QStringLiteral("phono"));
        QVERIFY(index->currentItem());
        QCOMPARE(index->currentItem()->text(), QStringLiteral("Phono preamplifier"));
        QTest::keyClick(filter, Qt::Key_Return);
        QCOMPARE(browser->currentTopic(), QStringLiteral("Connecting your player.htm#turntable"));

        // A topic the file lacks says so instead of showing nothing.
        display(HelpWindowMain, QStringLiteral("Page99.htm"));
        QCOMPARE(browser->documentTitle(), QStringLiteral("Topic not found"));
    }

    void windowTypesOwnersAndClosing()
    {
        SV_REQUIRE_HELP_FILE();
        QWidget owner;
        owner.show();
        QSignalSpy closed(h.get(), &HTMLHelp::windowClosed);
        QWidget* main = display(HelpWindowMain, TopicConnectPlayer, &owner);
        QVERIFY(main && !main->parentWidget()); // not on top: no owner
        h->setHHShowOnTop(true);
        QWidget* tutorial = display(HelpWindowTutorial, QStringLiteral("Page1.htm"), &owner);
        QVERIFY(tutorial && tutorial != main && tutorial->isWindow());
        QCOMPARE(tutorial->parentWidget(), &owner);
        QVERIFY(!tutorial->findChild<QTreeWidget*>());

        // The user closes the tutorial: the window is gone and HHWndOpen says so.
        tutorial->close();
        QVERIFY(!h->HHWndOpen());
        QCOMPARE(closed.size(), 1);
        QCOMPARE(closed.first().first().toString(), HelpWindowTutorial);
        QTRY_VERIFY(!h->windowFor(HelpWindowTutorial));
        QVERIFY(h->windowFor(HelpWindowMain));

        // A new display opens it again; HHClose closes every help window.
        QVERIFY(h->HHDisplayTopicURL(&owner));
        QVERIFY(h->HHWndOpen());
        h->HHClose();
        QVERIFY(!h->HHWndOpen());
        QTRY_VERIFY(!h->windowFor(HelpWindowMain) && !h->windowFor(HelpWindowTutorial));
        QCOMPARE(closed.size(), 3);
    }

    void classMessages()
    {
        boxes->answer(vbOK);
        QVERIFY(!HTMLHelp().HHWndHandle());
        QCOMPARE(boxes->last().text, QStringLiteral("No HTML Help window handle to retrieve."));

        const QString text = env.writeFile("readme.txt", "text");
        const QString missing = env.tmp() + "nothere.chm";
        const QString damaged = env.writeFile("damaged.chm", QByteArray("ITSF") + QByteArray(200, '\0'));
        const QString doesNotExist = QStringLiteral(" does not exist.\nPlease make sure the correct path and file "
                                                    "name have been specified.");
        // A bare name is looked for beside the program; a damaged file by the right name is refused.
        const QList<QPair<QString, QString>> cases = {
            {text, text + " is not a valid HTML Help file."},
            {missing, "The file " + missing + doesNotExist},
            {"nothere.chm", "The file " + QCoreApplication::applicationDirPath() + "/nothere.chm" + doesNotExist},
            {damaged, "The file " + damaged + " cannot be read as an HTML Help file.\nPlease reinstall Sonivault."},
        };
        for (const auto& [file, message] : cases) {
            h->setCHMFile(file);
            boxes->answer(vbOK);
            QVERIFY(!h->HHDisplayTopicURL(nullptr));
            QCOMPARE(boxes->last().title, QStringLiteral("HTML Help Class"));
            QCOMPARE(boxes->last().text, message);
            QVERIFY(!h->HHWndOpen());
        }
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
