// The help window on the real help file: topics, links, history, anchors,
// pictures, window types, closing, and the messages of HTMLHelp.
#include "HelpFileFixture.h"
#include "help/ui/HTMLHelp.h"
#include "help/HelpTopics.h"
#include "help/ui/HelpWindow.h"
#include "support/FindChild.h"
#include "support/MsgBoxScript.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include <optional>

using namespace sv;

namespace {

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

class TestHelpWindow : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    std::optional<svtest::MsgBoxScript> boxes;
    std::unique_ptr<HTMLHelp> h;

    HelpWindow* display(const QString& type, const QString& topic)
    {
        h->setHHWindow(type);
        h->setHHTopicURL(topic);
        return qobject_cast<HelpWindow*>(h->HHDisplayTopicURL(nullptr));
    }

private Q_SLOTS:
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
        QVERIFY(window);
        QCOMPARE(h->HHWndHandle(), window);
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
        h->setHHWindow(HelpWindowMain);
        h->setHHTopicURL(TopicConnectPlayer);
        QWidget* main = h->HHDisplayTopicURL(&owner);
        QVERIFY(main && !main->parentWidget()); // not on top: no owner
        h->setHHWindow(HelpWindowTutorial);
        h->setHHShowOnTop(true);
        h->setHHTopicURL(QStringLiteral("Page1.htm"));
        QWidget* tutorial = h->HHDisplayTopicURL(&owner);
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

QTEST_MAIN(TestHelpWindow)
#include "test_help_window.moc"
