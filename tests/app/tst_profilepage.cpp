// The profile page and the profile dialog in the running window.
#include "WizardFixture.h"

#include "audioin/ui/frmRecLocation.h"
#include "settings/Profiles.h"
#include "settings/ui/frmNewProfile.h"
#include "util/modFunctions.h"

#include <QPlainTextEdit>

using namespace svtest;

namespace {
template <class T = QWidget> T* child(QWidget* w, const char* name) { return sv::test::Find<T>(w, name); }
QString text(QWidget* w, const char* name) { return child<QLabel>(w, name)->text(); }
void click(QWidget* w, const char* name) { child<QPushButton>(w, name)->click(); }
QListWidget* list(QWidget* rf) { return child<QListWidget>(rf, "lstProfiles"); }

void expectLastBox(const MsgBoxScript& b, const QString& title, const QString& text, int style)
{
    QVERIFY(!b.shown.isEmpty());
    QCOMPARE(b.last().title + '|' + b.last().text + '|' + QString::number(b.last().style),
             title + '|' + text + '|' + QString::number(style));
}

// The page with no profile to record: the note shown, Edit, Delete and Next off.
void expectNoProfiles(Wizard& z, QWidget* rf)
{
    QVERIFY(!child(rf, "picNoProfiles")->isHidden() && !z.w->cmdNext()->isEnabled());
    QVERIFY(!child(rf, "cmdEditProfile")->isEnabled() && !child(rf, "cmdDeleteProfile")->isEnabled());
}

// Adds a profile through the dialog, as the user types it.
void addProfile(QWidget* rf, const QString& name, const QString& length, bool pause = false,
                const QString& description = {})
{
    OnModal([=](QWidget* m) {
        child<QLineEdit>(m, "txtName")->setText(name);
        child<QPlainTextEdit>(m, "txtDescription")->setPlainText(description);
        QTest::keyClicks(child<QLineEdit>(m, "txtLength"), length);
        if (pause)
            child<QCheckBox>(m, "chkPause")->click();
        click(m, "cmdOK");
    });
    click(rf, "AddProfile");
}

void writeProfiles(Wizard& z, int count, int lastUsed)
{
    QDir().mkpath(z.env.dataFolder());
    QVERIFY(sv::XMLCreateFile(z.profilesFile()));
    for (int i = 0; i < count; ++i)
        QVERIFY(sv::WriteProfile(z.profilesFile(), i,
                                 {QStringLiteral("P%1").arg(i), QString(), QString::number(10 + i), QStringLiteral("0")}));
    QVERIFY(sv::StoreLastUsed(z.profilesFile(), lastUsed));
}

// Starts the wizard on the profiles P0, P1... (10, 11... minutes; none
// written for count < 0) and walks to the profile page (no volume warning).
PageRecordFrom* toProfilePage(Wizard& z, int count, int lastUsed)
{
    if (count >= 0)
        writeProfiles(z, count, lastUsed);
    z.noWelcomeDialog();
    z.set("Messages", "VolumeMessage", "1");
    if (z.start()) {
        z.next();
        z.next();
        z.next();
    }
    return z.page() == QStringLiteral("picRecordFrom") ? z.w->picRecordFrom() : nullptr;
}
} // namespace

class TestProfilePage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dialog();
    void noProfilesThenAdd();
    void editKeepsStoredPause();
    void deleteRenumbersAndSelects();
    void badLocation();
    void diskSpaceLine();
    void damagedProfileCannotBeRecorded();
};

// A refused entry keeps the dialog open with the field in question focused
// (the checks themselves are the profiles' own test); a pause is proposed at
// half the length, at least the smallest one accepted.
void TestProfilePage::dialog()
{
    TestEnv env;
    MsgBoxScript boxes;
    frmNewProfile d;
    auto* name = child<QLineEdit>(&d, "txtName");
    auto* length = child<QLineEdit>(&d, "txtLength");
    auto* pauseBox = child<QCheckBox>(&d, "chkPause");
    auto* pause = child<QLineEdit>(&d, "txtPause");
    d.show();
    const auto refused = [&](QWidget* field, const QString& title) {
        boxes.answer(sv::vbOK);
        click(&d, "cmdOK");
        QCOMPARE(boxes.last().title, title);
        QCOMPARE(d.focusWidget(), field);
        QVERIFY(d.isVisible());
    };
    refused(name, "Profile Name");
    name->setText("Side A");
    length->setText("151");
    refused(length, "Recording Length");
    length->clear();
    QTest::keyClicks(length, "90a");
    QCOMPARE(length->text(), QStringLiteral("90"));
    QCOMPARE(length->cursorPosition(), 2);
    pauseBox->click();
    QVERIFY(pause->isEnabled());
    pause->setText("90");
    refused(pause, "Recording Pause");
    for (const auto& [len, proposed] : {std::pair{"75", "37"}, std::pair{"8", "5"}}) { // half of 8 would be refused
        pauseBox->click();
        QVERIFY(!pause->isEnabled());
        length->setText(len);
        pauseBox->click();
        QCOMPARE(pause->text(), QString::fromLatin1(proposed));
    }
    // Without a pause the pause field becomes "0" and the dialog closes.
    pauseBox->click();
    click(&d, "cmdOK");
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.GetProfile().pause, QStringLiteral("0"));
    QCOMPARE(boxes.shown.size(), 3);
    QVERIFY(!boxes.unexpected());
}

void TestProfilePage::noProfilesThenAdd()
{
    Wizard z;
    z.boxes.answer(sv::vbOK);
    auto* rf = toProfilePage(z, 0, 0);
    QVERIFY(rf);
    expectNoProfiles(z, rf);
    expectLastBox(z.boxes, "Recording Profiles",
                  "There are no recording profiles installed. Before you can record, please click Add New to create "
                  "a new profile.",
                  sv::vbInformation);
    z.boxes.answer(sv::vbOK);
    z.next();
    expectLastBox(z.boxes, sv::AppTitle, "Please select a recording profile before continuing.", sv::vbOKOnly);

    addProfile(rf, "Side A", "90", true, "Line one\nLine two");
    QCOMPARE(QPoint(rf->ProfileCount(), rf->SelectedProfile()), QPoint(1, 0));
    QVERIFY(child(rf, "picNoProfiles")->isHidden());
    QCOMPARE(text(rf, "lblProfileSettings"), QStringLiteral("Records for 90 minutes with a pause at 45 minutes."));
    QCOMPARE(text(rf, "lblProfileDescription"), QStringLiteral("Line one\nLine two"));
    QCOMPARE(QPoint(z.st().RecordSeconds, z.st().PauseSeconds), QPoint(90 * 60, 45 * 60));
    QCOMPARE(sv::XMLGetValue("Pause", "Profile0", z.profilesFile(), ""), QStringLiteral("45"));
    QVERIFY(z.w->cmdNext()->isEnabled());

    OnModal([](QWidget* m) { click(m, "cmdCancel"); });
    click(rf, "AddProfile");
    QCOMPARE(rf->ProfileCount(), 1);
    QVERIFY(!z.boxes.unexpected());
}

void TestProfilePage::editKeepsStoredPause()
{
    Wizard z;
    writeProfiles(z, 2, 1);
    QVERIFY(sv::WriteProfile(z.profilesFile(), 1, {"Tape", "", "90", "30"}));
    auto* rf = toProfilePage(z, -1, 0);
    QVERIFY(rf);
    QString shownPause;
    OnModal([&](QWidget* m) {
        QApplication::processEvents(); // activation
        if (child<QCheckBox>(m, "chkPause")->isChecked())
            shownPause = child<QLineEdit>(m, "txtPause")->text();
        child<QLineEdit>(m, "txtName")->setText("Tape B");
        click(m, "cmdOK");
    });
    click(rf, "cmdEditProfile");
    QCOMPARE(shownPause, QStringLiteral("30"));
    QCOMPARE(rf->SelectedProfile(), 1);
    QCOMPARE(list(rf)->item(1)->text(), QStringLiteral("Tape B"));
    QCOMPARE(sv::XMLGetValue("Pause", "Profile1", z.profilesFile(), ""), QStringLiteral("30"));
    QCOMPARE(text(rf, "lblProfileSettings"), QStringLiteral("Records for 90 minutes with a pause at 30 minutes."));
}

// Deleting asks nothing, renumbers the store and selects the one before;
// with the last one gone the page offers only Add New.
void TestProfilePage::deleteRenumbersAndSelects()
{
    Wizard z;
    auto* rf = toProfilePage(z, 3, 1);
    QVERIFY(rf);
    QCOMPARE(rf->SelectedProfile(), 1);
    click(rf, "cmdDeleteProfile");
    QCOMPARE(rf->ProfileCount(), 2);
    QCOMPARE(list(rf)->item(1)->text(), QStringLiteral("P2"));
    QCOMPARE(rf->SelectedProfile(), 0);
    click(rf, "cmdDeleteProfile");
    list(rf)->setCurrentRow(0);
    click(rf, "cmdDeleteProfile");
    QCOMPARE(rf->ProfileCount(), 0);
    expectNoProfiles(z, rf);
    QVERIFY(z.boxes.shown.isEmpty());
}

void TestProfilePage::badLocation()
{
    Wizard z;
    z.noWelcomeDialog();
    writeProfiles(z, 1, 0);
    const QString good = z.env.root() + "/good";
    QDir().mkpath(good);
    z.set("", "RecordDirectory", z.env.root() + "/missing/");
    QVERIFY(z.start());
    z.set("Messages", "VolumeMessage", "1");
    z.next();
    z.boxes.answer(sv::vbOK); // the connect step cannot capture into the missing folder
    z.next();
    z.w->ShowPage(z.w->picRecordFrom());
    z.boxes.clear();
    z.boxes.answer(sv::vbCancel);
    z.next();
    expectLastBox(z.boxes, "Recording Location",
                  "Please select a recording location. The current one is invalid, blank, or read-only.",
                  sv::vbOKCancel + sv::vbExclamation);
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));

    // OK: the folder chosen is taken and the record page opens at once.
    OnModal([&](QWidget* w) {
        auto* d = qobject_cast<frmRecLocation*>(w);
        QVERIFY(d);
        d->SelectFolder(good);
        d->cmdOK_Click();
    });
    z.boxes.answer(sv::vbOK);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picRecord"));
    QCOMPARE(z.st().RecordDirectory, good + "/");
    QCOMPARE(z.get("", "RecordDirectory"), good + "/");
    QCOMPARE(z.boxes.shown.size(), 2);
}

// Exactly the space needed is enough, one byte less is not; on a volume with
// no room at all (/proc) a profile added shows "Not enough." and Next stays off.
void TestProfilePage::diskSpaceLine()
{
    const double need92 = 1218029400.0;
    const auto ok = PageRecordFrom::RecSpaceFor(92, need92), low = PageRecordFrom::RecSpaceFor(92, need92 - 1);
    QVERIFY(ok.enough);
    QCOMPARE(ok.text, "OK. (" + sv::FormatBytes(need92) + " free, " + sv::FormatBytes(need92) + " required.");
    QCOMPARE(ok.colour, QColor(0, 128, 0));
    QVERIFY(!low.enough);
    QVERIFY(low.text.startsWith("Not enough. ("));
    QCOMPARE(low.colour, QColor(255, 0, 0));

    Wizard z;
    auto* rf = toProfilePage(z, 1, 0);
    QVERIFY(rf);
    z.st().RecordDirectory = QStringLiteral("/proc/");
    rf->lstProfiles_Click();
    QVERIFY(!z.w->cmdNext()->isEnabled());
    addProfile(rf, "Side B", "45");
    QCOMPARE(QPoint(rf->ProfileCount(), rf->SelectedProfile()), QPoint(2, 1));
    QVERIFY(text(rf, "lblHardDisk").startsWith("Not enough. ("));
    QVERIFY(!z.w->cmdNext()->isEnabled());
}

// A stored choice beyond the list selects nothing; a hand-edited or damaged
// profile is shown as invalid and Next stays off; each row shows its own
// profile even when a name holds markup.
void TestProfilePage::damagedProfileCannotBeRecorded()
{
    Wizard z;
    z.noWelcomeDialog();
    writeProfiles(z, 3, 9);
    QVERIFY(z.start());
    QCOMPARE(z.w->picRecordFrom()->SelectedProfile(), -1);
    QVERIFY(!child(z.w->picRecordFrom(), "cmdEditProfile")->isEnabled());
    QVERIFY(sv::StoreLastUsed(z.profilesFile(), 1));
    z.w.reset();
    QVERIFY(sv::XMLSetValue("-60", "RecordLength", "Profile1", z.profilesFile()));
    QVERIFY(sv::XMLSetValue("A</B", "ProfileName", "Profile0", z.profilesFile()));
    auto* rf = toProfilePage(z, -1, 0);
    QVERIFY(rf);
    QCOMPARE(rf->SelectedProfile(), 1);
    QCOMPARE(text(rf, "lblProfileSettings"), sv::InvalidProfileText());
    QVERIFY(text(rf, "lblHardDisk").isEmpty());
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QCOMPARE(z.st().RecordSeconds, 0);
    Q_EMIT list(rf)->itemDoubleClicked(list(rf)->item(1));
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));

    list(rf)->setCurrentRow(0);
    QCOMPARE(text(rf, "lblProfileName") + " " + text(rf, "lblProfileSettings"),
             QStringLiteral("A</B Records for 10 minutes."));
    QCOMPARE(z.st().RecordSeconds, 600);
    QCOMPARE(z.w->cmdNext()->isEnabled(), PageRecordFrom::RecSpaceFor(10, double(rf->GetFreeSpace())).enough);
}

QTEST_MAIN(TestProfilePage)
#include "tst_profilepage.moc"
