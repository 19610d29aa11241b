// The tutorial beside the wizard where windows cannot be placed (offscreen):
// a panel docked at the right of the main window that follows the pages, the
// turn-off question, the check box, and the help topics opened from the pages.
#include "WizardFixture.h"
#include "help/HelpFileFixture.h"

#include "app/ui/Tutorial.h"
#include "help/ui/HTMLHelp.h"
#include "help/ui/HelpWindow.h"
#include "util/ui/modShellExecute.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QToolButton>

#include <chrono>
#include <thread>

using namespace svtest;

namespace {
const QString TurnOffText = QStringLiteral("Would you like to turn off the tutorial?");

// A started wizard with the tutorial switched on.
void StartWithTutorial(Wizard& z)
{
    z.noWelcomeDialog();
    z.set("Messages\\Tutorial", "TutorialActive", "1");
    QVERIFY(z.start());
}

QFrame* Panel(Wizard& z) { return z.w->findChild<QFrame*>(QStringLiteral("panTutorial")); }

QString HelpTopic(Wizard& z, const QString& windowType)
{
    auto* window = z.w->tutorial().Help().windowFor(windowType);
    return window && window->isVisible() ? window->browser()->currentTopic() : QStringLiteral("(no window)");
}

// Closes the panel the way the user does and lets the watch notice.
void CloseByUser(Wizard& z)
{
    sv::test::Find<QToolButton>(z.w.get(), "cmdCloseTutorial")->click();
    QVERIFY(!z.w->tutorial().IsOpen());
    QVERIFY(z.w->tutorial().timHelp.isActive());
    // The watch runs on its own, within about a second.
    QTRY_VERIFY_WITH_TIMEOUT(!z.w->tutorial().timHelp.isActive(), 3000);
}
} // namespace

class TestTutorial : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { SV_REQUIRE_HELP_FILE(); }
    void eachPageShowsItsTopic();
    void closingAsksToTurnOff();
    void uncheckingCloses();
    void firstRunChoiceSwitchesItOn();
    void connectLinkAndThirdFailedScan();
    void helpButton();
};

void TestTutorial::eachPageShowsItsTopic()
{
    Wizard z;
    StartWithTutorial(z);
    Tutorial& t = z.w->tutorial();
    QVERIFY(t.IsDocked());
    QVERIFY(t.IsOpen());
    QFrame* panel = Panel(z);
    QVERIFY(panel && panel->isVisible());
    QCOMPARE(t.CurrentTopic(), QStringLiteral("Page1.htm"));
    QCOMPARE(t.timHelp.interval(), 1000);
    // The panel sits at the right; the pages keep their room to its left.
    QCOMPARE(panel->geometry().right(), z.w->width() - 1);
    QVERIFY(panel->width() >= 280);
    QVERIFY(z.w->findChild<QWidget*>(QStringLiteral("stkPages"))->geometry().right() < panel->x());
    const int width = z.w->width();

    // Each page's own topic (the page changes by Next and Back are below).
    const QList<QPair<QString, QString>> pages = {
        {"picConnect", "Page2.htm"},  {"picVolume", "Page3.htm"},      {"picRecordFrom", "Page4.htm"},
        {"picRecord", "Page5.htm"},   {"picWaveform", "Page6.htm"},    {"picSplit", "Page7.htm"},
        {"picOutput", "Page8.htm"},   {"picMP3", "Page9.htm"},         {"picWMA", "Page10.htm"},
        {"picWaveCopy", "Page11.htm"}, {"picWMACompress", "Page12.htm"}, {"picMP3Compress", "Page12.htm"},
        {"picFinish", "Page13.htm"},  {"picWelcome", "Page1.htm"}};
    for (const auto& [page, topic] : pages) {
        z.w->ShowPage(page);
        z.w->ShowTutorialPage();
        QCOMPARE(t.CurrentTopic(), topic);
        // The topic really is the page's, not a "not found" page.
        QVERIFY(!t.View()->findChild<sv::HelpBrowser*>()->toPlainText().trimmed().isEmpty());
    }
    // The panel was made once; the window did not grow again.
    QCOMPARE(z.w->width(), width);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

// Closing the panel asks whether to turn the tutorial off, except while a CD
// is written.
void TestTutorial::closingAsksToTurnOff()
{
    Wizard z;
    StartWithTutorial(z);
    Tutorial& t = z.w->tutorial();
    const int widthWithPanel = z.w->width();
    const int panelWidth = Panel(z)->width();

    // While a CD is written nothing is asked.
    z.st().WritingAudioCD = true;
    CloseByUser(z);
    QVERIFY(z.boxes.shown.isEmpty());
    QVERIFY(z.st().TutorialOn);
    z.st().WritingAudioCD = false;
    z.next();
    z.back();
    QVERIFY(t.IsOpen());

    // No: the tutorial stays on and comes back at the next page change.
    z.boxes.answer(sv::vbNo);
    CloseByUser(z);
    QCOMPARE(z.boxes.shown.size(), 1);
    QCOMPARE(z.boxes.last().title, QStringLiteral("Tutorial"));
    QCOMPARE(z.boxes.last().text, TurnOffText);
    QCOMPARE(z.boxes.last().style, sv::vbYesNo + sv::vbQuestion + sv::vbDefaultButton2);
    QCOMPARE(z.w->width(), widthWithPanel - panelWidth);
    QVERIFY(z.st().TutorialOn);
    z.next();
    QVERIFY(t.IsOpen());
    QCOMPARE(t.CurrentTopic(), QStringLiteral("Page2.htm"));
    QCOMPARE(z.w->width(), widthWithPanel);

    // Yes: switched off, stored, the box unchecked, and no panel any more.
    z.boxes.answer(sv::vbYes);
    CloseByUser(z);
    QCOMPARE(z.boxes.shown.size(), 2);
    QVERIFY(!z.st().TutorialOn);
    QCOMPARE(z.get("Messages\\Tutorial", "TutorialActive"), QStringLiteral("0"));
    QVERIFY(!sv::test::Find<QCheckBox>(z.w->picWelcome(), "chkTutorial")->isChecked());
    z.back();
    QVERIFY(!t.IsOpen());
    QCOMPARE(z.w->width(), widthWithPanel - panelWidth);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestTutorial::uncheckingCloses()
{
    Wizard z;
    StartWithTutorial(z);
    Tutorial& t = z.w->tutorial();
    const int widthWithPanel = z.w->width();
    const int panelWidth = Panel(z)->width();
    auto* box = sv::test::Find<QCheckBox>(z.w->picWelcome(), "chkTutorial");
    QVERIFY(box->isChecked());

    box->click();
    QVERIFY(!t.IsOpen());
    QVERIFY(!t.timHelp.isActive());
    QCOMPARE(z.w->width(), widthWithPanel - panelWidth);
    QCOMPARE(z.get("Messages\\Tutorial", "TutorialActive"), QStringLiteral("0"));
    z.next();
    QVERIFY(!t.IsOpen());
    QVERIFY(z.boxes.shown.isEmpty()); // nothing asked

    // Checked again: stored, and the panel shows at the next page change.
    z.back();
    box->click();
    QCOMPARE(z.get("Messages\\Tutorial", "TutorialActive"), QStringLiteral("1"));
    QVERIFY(!t.IsOpen());
    z.next();
    QVERIFY(t.IsOpen());
    QCOMPARE(t.CurrentTopic(), QStringLiteral("Page2.htm"));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestTutorial::firstRunChoiceSwitchesItOn()
{
    Wizard z;
    QVERIFY(z.start(false));
    QVERIFY(!z.st().TutorialOn);
    OnModal([](QWidget* m) {
        auto* next = m->findChild<QPushButton*>(QStringLiteral("cmdNext"));
        next->click();
        m->findChild<QCheckBox*>(QStringLiteral("chkTutorial"))->setChecked(true);
        next->click();
        next->click();
    });
    z.w->timWaitSec_Timer();
    QVERIFY(z.st().TutorialOn);
    QCOMPARE(z.get("Messages\\Tutorial", "TutorialActive"), QStringLiteral("1"));
    QVERIFY(sv::test::Find<QCheckBox>(z.w->picWelcome(), "chkTutorial")->isChecked());
    // The deferred step goes on to show the tutorial at once.
    QVERIFY(z.w->tutorial().IsOpen());
    QCOMPARE(z.w->tutorial().CurrentTopic(), QStringLiteral("Page1.htm"));
}

void TestTutorial::connectLinkAndThirdFailedScan()
{
    sv::audio::VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Card"), {{QStringLiteral("Line In"), sv::audio::VirtualSignal::silence(), 40}}}};
    deck.speed = 20;
    Wizard z(deck);
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.next();
    auto* link = sv::test::Find<QLabel>(z.w->picConnect(), "lblConnectStatic");
    Q_EMIT link->linkActivated(QStringLiteral("help:connect"));
    QCOMPARE(HelpTopic(z, sv::HelpWindowMain), QStringLiteral("Connecting your player.htm"));
    QVERIFY(!z.w->tutorial().IsOpen()); // help is not the tutorial
    z.w->tutorial().Help().HHClose();

    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    auto* volume = z.w->picVolume();
    sv::test::Find<QTimer>(volume, "timDoVolume")->stop();
    auto* rec = z.st().Record();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        z.boxes.answer(sv::vbOK);
        if (attempt == 3)
            z.boxes.answer(sv::vbYes);
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
        if (attempt < 3)
            QCOMPARE(HelpTopic(z, sv::HelpWindowMain), QStringLiteral("(no window)"));
    }
    QCOMPARE(z.boxes.last().title, QStringLiteral("Additional help"));
    QCOMPARE(HelpTopic(z, sv::HelpWindowMain), QStringLiteral("connection troubleshooting.htm#noDetect"));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

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

    // A desktop with a viewer for compiled help: the file goes to it.
    Tutorial::ChmViewerQuery = [] { return QStringLiteral("chmviewer.desktop"); };
    z.w->cmdHelp()->click();
    QCOMPARE(opened, QStringList({z.st().HelpFile}));
    QCOMPARE(HelpTopic(z, sv::HelpWindowMain), QStringLiteral("(no window)"));

    // None: our help window opens at the first topic of the contents.
    Tutorial::ChmViewerQuery = [] { return QString(); };
    z.w->cmdHelp()->click();
    QCOMPARE(opened.size(), 1);
    auto* window = z.w->tutorial().Help().windowFor(sv::HelpWindowMain);
    QVERIFY(window && window->isVisible());
    QVERIFY(!window->browser()->currentTopic().isEmpty());
    QVERIFY(!window->browser()->toPlainText().trimmed().isEmpty());

    Tutorial::ChmViewerQuery = restore;
    sv::SetShellHandler({});
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

QTEST_MAIN(TestTutorial)
#include "tst_tutorial.moc"
