// The tutorial beside the wizard where windows cannot be placed (offscreen):
// a panel docked at the right of the main window that follows the pages, the
// turn-off question, the check box, and the help topics opened from the pages.
#include "WizardFixture.h"
#include "help/HelpFileFixture.h"

#include "app/ui/Tutorial.h"
#include "help/ui/HTMLHelp.h"
#include "help/ui/HelpWindow.h"
#include "util/ui/modShellExecute.h"

#include <QFrame>
#include <QToolButton>

#include <chrono>
#include <thread>

using namespace svtest;

namespace {
// A started wizard with the tutorial switched on; the width with and without the panel.
struct Started {
    Wizard z;
    int withPanel = 0, without = 0;
    Started()
    {
        z.noWelcomeDialog();
        z.set("Messages\\Tutorial", "TutorialActive", "1");
        if (!z.start())
            return;
        withPanel = z.w->width();
        without = withPanel - z.w->findChild<QFrame*>(QStringLiteral("panTutorial"))->width();
    }
    Tutorial& t() { return z.w->tutorial(); }
    QCheckBox* box() { return sv::test::Find<QCheckBox>(z.w->picWelcome(), "chkTutorial"); }
    // Open with the topic shown, or closed with the window narrowed again.
    void expectOpen(bool open, const QString& topic = {})
    {
        QCOMPARE(t().IsOpen(), open);
        QCOMPARE(z.w->width(), open ? withPanel : without);
        if (open)
            QCOMPARE(t().CurrentTopic(), topic);
    }
    // Closes the panel the way the user does; the watch notices within about a second.
    void closeByUser()
    {
        sv::test::Find<QToolButton>(z.w.get(), "cmdCloseTutorial")->click();
        QVERIFY(!t().IsOpen() && t().timHelp.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!t().timHelp.isActive(), 3000);
    }
};

QString HelpTopic(Wizard& z)
{
    auto* window = z.w->tutorial().Help().windowFor(sv::HelpWindowMain);
    return window && window->isVisible() ? window->browser()->currentTopic() : QStringLiteral("(no window)");
}
} // namespace

class TestTutorial : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { SV_REQUIRE_HELP_FILE(); }
    void eachPageShowsItsTopic();
    void closingAsksToTurnOff();
    void firstRunChoiceSwitchesItOn();
    void connectLinkAndThirdFailedScan();
    void helpButton();
};

void TestTutorial::eachPageShowsItsTopic()
{
    Started s;
    Tutorial& t = s.t();
    QVERIFY(t.IsDocked());
    s.expectOpen(true, "Page1.htm");

    const QList<QPair<QString, QString>> pages = {
        {"picConnect", "Page2.htm"},  {"picVolume", "Page3.htm"},      {"picRecordFrom", "Page4.htm"},
        {"picRecord", "Page5.htm"},   {"picWaveform", "Page6.htm"},    {"picSplit", "Page7.htm"},
        {"picOutput", "Page8.htm"},   {"picMP3", "Page9.htm"},         {"picWMA", "Page10.htm"},
        {"picWaveCopy", "Page11.htm"}, {"picWMACompress", "Page12.htm"}, {"picMP3Compress", "Page12.htm"},
        {"picFinish", "Page13.htm"},  {"picWelcome", "Page1.htm"}};
    for (const auto& [page, topic] : pages) {
        s.z.w->ShowPage(page);
        s.z.w->ShowTutorialPage();
        QCOMPARE(t.CurrentTopic(), topic);
        // The topic really is the page's, not a "not found" page.
        QVERIFY(!t.View()->findChild<sv::HelpBrowser*>()->toPlainText().trimmed().isEmpty());
    }
    s.expectOpen(true, "Page1.htm"); // made once: the window did not grow again
    QVERIFY2(!s.z.boxes.unexpected(), qPrintable(s.z.boxes.unexpectedText()));
}

// Closing the panel asks whether to turn the tutorial off, except while a CD
// is written; the check box turns it on and off without asking.
void TestTutorial::closingAsksToTurnOff()
{
    Started s;
    s.z.st().WritingAudioCD = true;
    s.closeByUser();
    QVERIFY(s.z.boxes.shown.isEmpty() && s.z.st().TutorialOn);
    s.z.st().WritingAudioCD = false;
    s.z.next();
    s.z.back();
    s.expectOpen(true, "Page1.htm");

    // No: the tutorial stays on and comes back at the next page change.
    s.z.boxes.answer(sv::vbNo);
    s.closeByUser();
    QCOMPARE(s.z.boxes.shown.size(), 1);
    const auto& box = s.z.boxes.last();
    QCOMPARE(box.title + '|' + box.text + '|' + QString::number(box.style),
             "Tutorial|Would you like to turn off the tutorial?|" + QString::number(sv::vbYesNo + sv::vbQuestion + sv::vbDefaultButton2));
    s.expectOpen(false);
    s.z.next();
    s.expectOpen(true, "Page2.htm");

    // Yes: switched off, stored, the box unchecked, and no panel any more.
    s.z.boxes.answer(sv::vbYes);
    s.closeByUser();
    QVERIFY(!s.z.st().TutorialOn);
    QCOMPARE(s.z.get("Messages\\Tutorial", "TutorialActive"), QStringLiteral("0"));
    QVERIFY(!s.box()->isChecked());
    s.z.back();
    s.expectOpen(false);

    // The box: checked, stored and shown at the next page change; unchecked,
    // closed at once without a question.
    s.box()->click();
    QCOMPARE(s.z.get("Messages\\Tutorial", "TutorialActive"), QStringLiteral("1"));
    s.expectOpen(false);
    s.z.next();
    s.expectOpen(true, "Page2.htm");
    s.z.back();
    s.box()->click();
    s.expectOpen(false);
    QVERIFY(!s.t().timHelp.isActive());
    QCOMPARE(s.z.get("Messages\\Tutorial", "TutorialActive"), QStringLiteral("0"));
    s.z.next();
    s.expectOpen(false);
    QCOMPARE(s.z.boxes.shown.size(), 2);
    QVERIFY2(!s.z.boxes.unexpected(), qPrintable(s.z.boxes.unexpectedText()));
}

void TestTutorial::firstRunChoiceSwitchesItOn()
{
    Wizard z;
    QVERIFY(z.start(false));
    QVERIFY(!z.st().TutorialOn);
    OnModal([](QWidget* m) {
        auto* next = sv::test::Find<QPushButton>(m, "cmdNext");
        next->click();
        sv::test::Find<QCheckBox>(m, "chkTutorial")->setChecked(true);
        next->click();
        next->click();
    });
    z.w->timWaitSec_Timer();
    QVERIFY(z.st().TutorialOn);
    QCOMPARE(z.get("Messages\\Tutorial", "TutorialActive"), QStringLiteral("1"));
    QVERIFY(sv::test::Find<QCheckBox>(z.w->picWelcome(), "chkTutorial")->isChecked());
    // The deferred step goes on to show the tutorial at once.
    QVERIFY(z.w->tutorial().IsOpen() && z.w->tutorial().CurrentTopic() == QStringLiteral("Page1.htm"));
}

// The connect page's link opens its help topic (not the tutorial); a Yes to the
// offer after the third failed scan opens the troubleshooting topic.
void TestTutorial::connectLinkAndThirdFailedScan()
{
    sv::audio::VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Card"), {{QStringLiteral("Line In"), sv::audio::VirtualSignal::silence(), 40}}}};
    deck.speed = 20;
    Wizard z(deck);
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.next();
    Q_EMIT sv::test::Find<QLabel>(z.w->picConnect(), "lblConnectStatic")->linkActivated(QStringLiteral("help:connect"));
    QCOMPARE(HelpTopic(z), QStringLiteral("Connecting your player.htm"));
    QVERIFY(!z.w->tutorial().IsOpen());
    z.w->tutorial().Help().HHClose();

    z.next();
    auto* volume = z.w->picVolume();
    sv::test::Find<QTimer>(volume, "timDoVolume")->stop();
    auto* rec = z.st().Record();
    for (int answer : {sv::vbOK, sv::vbOK, sv::vbOK, sv::vbYes})
        z.boxes.answer(answer);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        sv::test::Find<QPushButton>(volume, "cmdScan")->click();
        for (int n = 0; z.st().IsScanning && n < 400; ++n) {
            const qint64 start = rec->FramesWritten();
            QElapsedTimer t;
            t.start();
            while (rec->IsCapturing() && rec->FramesWritten() < start + 2 * 2205 && t.elapsed() < 3000)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            volume->timDoVolume_Timer();
        }
        QVERIFY(!z.st().IsScanning);
    }
    QCOMPARE(z.boxes.last().title, QStringLiteral("Additional help"));
    QCOMPARE(HelpTopic(z), QStringLiteral("connection troubleshooting.htm#noDetect"));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

// Help goes to a desktop viewer for compiled help where there is one, else to
// our own window at the first topic of the contents.
void TestTutorial::helpButton()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    QStringList opened;
    sv::SetShellHandler([&](const QString& file, const QStringList&, const QString&) {
        opened << file;
        return 0;
    });
    const auto restore = Tutorial::ChmViewerQuery;
    Tutorial::ChmViewerQuery = [] { return QStringLiteral("chmviewer.desktop"); };
    z.w->cmdHelp()->click();
    QCOMPARE(opened, QStringList({z.st().HelpFile}));
    QCOMPARE(HelpTopic(z), QStringLiteral("(no window)"));

    Tutorial::ChmViewerQuery = [] { return QString(); };
    z.w->cmdHelp()->click();
    Tutorial::ChmViewerQuery = restore;
    sv::SetShellHandler({});
    QCOMPARE(opened.size(), 1);
    auto* window = z.w->tutorial().Help().windowFor(sv::HelpWindowMain);
    QVERIFY(window && window->isVisible());
    QVERIFY(!window->browser()->currentTopic().isEmpty() && !window->browser()->toPlainText().trimmed().isEmpty());
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

QTEST_MAIN(TestTutorial)
#include "tst_tutorial.moc"
