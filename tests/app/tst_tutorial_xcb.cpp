// The tutorial window beside the wizard on X11 (run under Xvfb): the main
// window moves to the left edge, the tutorial fills the rest of the width,
// and closing it puts the main window back.
#include "WizardFixture.h"
#include "help/HelpFileFixture.h"

#include "app/ui/Tutorial.h"

#include <QScreen>

using namespace svtest;

class TestTutorialXcb : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void windowBesideTheWizard();
};

void TestTutorialXcb::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        if (RunningInCI())
            QFAIL("needs an X server: install xvfb (xvfb-run)");
        QSKIP("needs an X server (xvfb-run missing)");
    }
    SV_REQUIRE_HELP_FILE();
}

void TestTutorialXcb::windowBesideTheWizard()
{
    Wizard z;
    z.noWelcomeDialog();
    z.set("Messages\\Tutorial", "TutorialActive", "1");
    QVERIFY(z.start(false));
    QVERIFY(QTest::qWaitForWindowExposed(z.w.get()));
    const QPoint home(180, 120);
    z.w->move(home);
    QTRY_COMPARE(z.w->pos(), home);
    const QRect screen = z.w->screen()->availableGeometry();

    z.w->timWaitSec_Timer();
    Tutorial& t = z.w->tutorial();
    QVERIFY(!t.IsDocked());
    QWidget* tutorial = t.View();
    QVERIFY(tutorial && tutorial->isWindow() && QTest::qWaitForWindowExposed(tutorial));
    QCOMPARE(t.CurrentTopic(), QStringLiteral("Page1.htm"));
    // Main window at the left edge, same top; the tutorial fills the rest.
    QTRY_COMPARE(z.w->frameGeometry().left(), screen.left());
    QCOMPARE(z.w->frameGeometry().top(), home.y());
    QTRY_COMPARE(tutorial->frameGeometry().left(), z.w->frameGeometry().right() + 1);
    QTRY_COMPARE(tutorial->frameGeometry().right(), screen.right());
    QCOMPARE(tutorial->frameGeometry().top(), z.w->frameGeometry().top());
    QCOMPARE(tutorial->frameGeometry().height(), z.w->frameGeometry().height());
    // The wizard keeps the keyboard.
    QVERIFY(!tutorial->isActiveWindow() || z.w->isActiveWindow());

    // Next: the same window shows the next topic; nothing moves.
    const QRect mainAt = z.w->frameGeometry();
    tutorial->move(tutorial->pos() + QPoint(0, 10));
    QTRY_COMPARE(tutorial->pos().y(), mainAt.top() + 10);
    const QRect tutorialAt = tutorial->frameGeometry();
    z.next();
    QCOMPARE(t.View(), tutorial);
    QCOMPARE(t.CurrentTopic(), QStringLiteral("Page2.htm"));
    QTest::qWait(100);
    QCOMPARE(z.w->frameGeometry(), mainAt);
    QCOMPARE(tutorial->frameGeometry(), tutorialAt);

    // The user closes it: the main window goes back, and the question comes.
    z.boxes.answer(sv::vbNo);
    tutorial->close();
    QTRY_VERIFY_WITH_TIMEOUT(!t.timHelp.isActive(), 3000);
    QCOMPARE(z.boxes.shown.value(0).text, QStringLiteral("Would you like to turn off the tutorial?"));
    QTRY_COMPARE(z.w->pos(), home);
    QVERIFY(z.st().TutorialOn);

    // Reopened at the next page change, placed again; exit puts the window back too.
    z.back();
    QVERIFY(t.IsOpen());
    QTRY_COMPARE(z.w->frameGeometry().left(), screen.left());
    z.w->CloseHelpWindow();
    QVERIFY(!t.IsOpen());
    QTRY_COMPARE(z.w->pos(), home);
    QCOMPARE(z.boxes.shown.size(), 1);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

QTEST_MAIN(TestTutorialXcb)
#include "tst_tutorial_xcb.moc"
