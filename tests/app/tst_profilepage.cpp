// The profile page and the profile dialog in the running window.
#include "WizardFixture.h"
#include "support/FindChild.h"

#include "audioin/ui/frmRecLocation.h"
#include "settings/Profiles.h"
#include "settings/ui/frmNewProfile.h"
#include "util/modFunctions.h"
#include "util/ui/modShellExecute.h"

#include <QLineEdit>
#include <QPlainTextEdit>

using namespace svtest;

namespace {
template <class T> T* child(QWidget* w, const char* name) { return sv::test::Find<T>(w, name); }

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
    void firstStartCopiesShippedSet();
    void noProfilesThenAdd();
    void editKeepsStoredPause();
    void deleteRenumbersAndSelects();
    void lastUsedBeyondListSelectsNothing();
    void badLocation();
    void diskSpaceLine();
    void addedProfileKeepsNextOffWithoutSpace();
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
        child<QPushButton>(&d, "cmdOK")->click();
        QCOMPARE(boxes.last().title, title);
        QCOMPARE(d.focusWidget(), field);
        QVERIFY(d.isVisible());
    };
    refused(name, "Profile Name");
    name->setText("Side A");
    length->setText("151");
    refused(length, "Recording Length");
    QVERIFY(!pause->isEnabled());
    length->clear();
    QTest::keyClicks(length, "90a");
    QCOMPARE(length->text(), QStringLiteral("90"));
    QCOMPARE(length->cursorPosition(), 2);
    pauseBox->click();
    QVERIFY(pause->isEnabled());
    QCOMPARE(pause->text(), QStringLiteral("45"));
    pause->setText("90");
    refused(pause, "Recording Pause");
    pauseBox->click();
    QVERIFY(!pause->isEnabled());
    length->setText("75");
    pauseBox->click();
    QCOMPARE(pause->text(), QStringLiteral("37"));
    length->setText("8");
    pauseBox->click();
    pauseBox->click();
    QCOMPARE(pause->text(), QStringLiteral("5")); // half of 8 would be refused
    // Without a pause the pause field becomes "0" and the dialog closes.
    pauseBox->click();
    child<QPushButton>(&d, "cmdOK")->click();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.GetProfile().pause, QStringLiteral("0"));
    QCOMPARE(boxes.shown.size(), 3);
    QVERIFY(!boxes.unexpected());
}

void TestProfilePage::firstStartCopiesShippedSet()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(!QFile::exists(z.profilesFile()));
    QVERIFY(z.start());
    QVERIFY(QFile::exists(z.profilesFile()));
    auto* rf = z.w->picRecordFrom();
    QCOMPARE(rf->ProfileCount(), sv::ReadProfileList(sv::ProgramFolder() + "profiles.xml").names.size());
    QCOMPARE(rf->SelectedProfile(), sv::ReadProfileList(sv::ProgramFolder() + "profiles.xml").lastUsed);
    QVERIFY(sv::test::Find<QFrame>(rf, "picNoProfiles")->isHidden());
    QVERIFY(sv::test::Find<QPushButton>(rf, "cmdEditProfile")->isEnabled());
}

void TestProfilePage::noProfilesThenAdd()
{
    Wizard z;
    z.boxes.answer(sv::vbOK);
    auto* rf = toProfilePage(z, 0, 0);
    QVERIFY(rf);
    QVERIFY(!sv::test::Find<QFrame>(rf, "picNoProfiles")->isHidden());
    QVERIFY(!sv::test::Find<QPushButton>(rf, "cmdEditProfile")->isEnabled());
    QVERIFY(!sv::test::Find<QPushButton>(rf, "cmdDeleteProfile")->isEnabled());
    QCOMPARE(z.boxes.last().title, QStringLiteral("Recording Profiles"));
    QCOMPARE(z.boxes.last().text, QStringLiteral("There are no recording profiles installed. Before you can record, "
                                                 "please click Add New to create a new profile."));
    QCOMPARE(z.boxes.last().style, int(sv::vbInformation));
    QVERIFY(!z.w->cmdNext()->isEnabled());
    z.boxes.answer(sv::vbOK);
    z.next();
    QCOMPARE(z.boxes.last().text, QStringLiteral("Please select a recording profile before continuing."));
    QCOMPARE(z.boxes.last().title, sv::AppTitle);
    QCOMPARE(z.boxes.last().style, int(sv::vbOKOnly));

    OnModal([](QWidget* m) {
        child<QLineEdit>(m, "txtName")->setText("Side A");
        child<QPlainTextEdit>(m, "txtDescription")->setPlainText("Line one\nLine two");
        QTest::keyClicks(child<QLineEdit>(m, "txtLength"), "90");
        child<QCheckBox>(m, "chkPause")->click();
        child<QPushButton>(m, "cmdOK")->click();
    });
    sv::test::Find<QPushButton>(rf, "AddProfile")->click();
    QCOMPARE(rf->ProfileCount(), 1);
    QCOMPARE(rf->SelectedProfile(), 0);
    QVERIFY(sv::test::Find<QFrame>(rf, "picNoProfiles")->isHidden());
    QCOMPARE(sv::test::Find<QLabel>(rf, "lblProfileSettings")->text(), QStringLiteral("Records for 90 minutes with a pause at 45 minutes."));
    QCOMPARE(sv::test::Find<QLabel>(rf, "lblProfileDescription")->text(), QStringLiteral("Line one\nLine two"));
    QCOMPARE(z.st().RecordSeconds, 90 * 60);
    QCOMPARE(z.st().PauseSeconds, 45 * 60);
    QCOMPARE(sv::XMLGetValue("Pause", "Profile0", z.profilesFile(), ""), QStringLiteral("45"));
    QVERIFY(z.w->cmdNext()->isEnabled());

    // Cancelling the dialog adds nothing.
    OnModal([](QWidget* m) { child<QPushButton>(m, "cmdCancel")->click(); });
    sv::test::Find<QPushButton>(rf, "AddProfile")->click();
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
    QCOMPARE(rf->SelectedProfile(), 1);
    QString shownPause;
    bool boxChecked = false;
    OnModal([&](QWidget* m) {
        QApplication::processEvents(); // activation
        shownPause = child<QLineEdit>(m, "txtPause")->text();
        boxChecked = child<QCheckBox>(m, "chkPause")->isChecked();
        child<QLineEdit>(m, "txtName")->setText("Tape B");
        child<QPushButton>(m, "cmdOK")->click();
    });
    sv::test::Find<QPushButton>(rf, "cmdEditProfile")->click();
    QVERIFY(boxChecked);
    QCOMPARE(shownPause, QStringLiteral("30"));
    QCOMPARE(rf->SelectedProfile(), 1);
    QCOMPARE(sv::test::Find<QListWidget>(rf, "lstProfiles")->item(1)->text(), QStringLiteral("Tape B"));
    QCOMPARE(sv::XMLGetValue("Pause", "Profile1", z.profilesFile(), ""), QStringLiteral("30"));
    QCOMPARE(sv::test::Find<QLabel>(rf, "lblProfileSettings")->text(), QStringLiteral("Records for 90 minutes with a pause at 30 minutes."));
}

// Deleting asks nothing, renumbers the store and selects the one before;
// with the last one gone the page offers only Add New.
void TestProfilePage::deleteRenumbersAndSelects()
{
    Wizard z;
    auto* rf = toProfilePage(z, 3, 1);
    QVERIFY(rf);
    auto* del = sv::test::Find<QPushButton>(rf, "cmdDeleteProfile");
    QCOMPARE(rf->SelectedProfile(), 1);
    del->click();
    QCOMPARE(rf->ProfileCount(), 2);
    QCOMPARE(sv::test::Find<QListWidget>(rf, "lstProfiles")->item(1)->text(), QStringLiteral("P2"));
    QCOMPARE(rf->SelectedProfile(), 0);
    QCOMPARE(sv::XMLGetValue("ProfileName", "Profile1", z.profilesFile(), ""), QStringLiteral("P2"));
    QCOMPARE(sv::XMLGetValue("ProfileName", "Profile2", z.profilesFile(), "gone"), QStringLiteral("gone"));
    del->click();
    sv::test::Find<QListWidget>(rf, "lstProfiles")->setCurrentRow(0);
    del->click();
    QCOMPARE(rf->ProfileCount(), 0);
    QVERIFY(!sv::test::Find<QFrame>(rf, "picNoProfiles")->isHidden());
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QVERIFY(!sv::test::Find<QPushButton>(rf, "cmdEditProfile")->isEnabled());
    QVERIFY(!del->isEnabled());
    QVERIFY(z.boxes.shown.isEmpty());
}

void TestProfilePage::lastUsedBeyondListSelectsNothing()
{
    Wizard z;
    z.noWelcomeDialog();
    writeProfiles(z, 2, 9);
    QVERIFY(z.start());
    QCOMPARE(z.w->picRecordFrom()->SelectedProfile(), -1);
    QVERIFY(!sv::test::Find<QPushButton>(z.w->picRecordFrom(), "cmdEditProfile")->isEnabled());
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
    const QString text = QStringLiteral("Please select a recording location. The current one is invalid, blank, or "
                                        "read-only.");
    z.boxes.clear();
    z.boxes.answer(sv::vbCancel);
    z.next();
    QCOMPARE(z.boxes.last().title, QStringLiteral("Recording Location"));
    QCOMPARE(z.boxes.last().text, text);
    QCOMPARE(z.boxes.last().style, sv::vbOKCancel + sv::vbExclamation);
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

// Exactly the space needed is enough, one byte less is not.
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
}

// A volume with no room at all (/proc): the new profile shows "Not enough."
// and Next stays off with it.
void TestProfilePage::addedProfileKeepsNextOffWithoutSpace()
{
    Wizard z;
    auto* rf = toProfilePage(z, 1, 0);
    QVERIFY(rf);
    z.st().RecordDirectory = QStringLiteral("/proc/");
    rf->lstProfiles_Click();
    QVERIFY(sv::test::Find<QLabel>(rf, "lblHardDisk")->text().startsWith("Not enough. ("));
    QVERIFY(!z.w->cmdNext()->isEnabled());
    OnModal([](QWidget* m) {
        child<QLineEdit>(m, "txtName")->setText("Side B");
        child<QLineEdit>(m, "txtLength")->setText("45");
        child<QPushButton>(m, "cmdOK")->click();
    });
    sv::test::Find<QPushButton>(rf, "AddProfile")->click();
    QCOMPARE(rf->ProfileCount(), 2);
    QCOMPARE(rf->SelectedProfile(), 1);
    QVERIFY(sv::test::Find<QLabel>(rf, "lblHardDisk")->text().startsWith("Not enough. ("));
    QVERIFY(!z.w->cmdNext()->isEnabled());
}

// A hand-edited or damaged profile is shown as invalid and Next stays off;
// each row shows its own profile even when a name holds markup.
void TestProfilePage::damagedProfileCannotBeRecorded()
{
    Wizard z;
    writeProfiles(z, 3, 1);
    QVERIFY(sv::XMLSetValue("-60", "RecordLength", "Profile1", z.profilesFile()));
    QVERIFY(sv::XMLSetValue("A</B", "ProfileName", "Profile0", z.profilesFile()));
    auto* rf = toProfilePage(z, -1, 0);
    QVERIFY(rf);
    QCOMPARE(rf->SelectedProfile(), 1);
    QCOMPARE(sv::test::Find<QLabel>(rf, "lblProfileSettings")->text(), sv::InvalidProfileText());
    QVERIFY(sv::test::Find<QLabel>(rf, "lblHardDisk")->text().isEmpty());
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QCOMPARE(z.st().RecordSeconds, 0);
    Q_EMIT sv::test::Find<QListWidget>(rf, "lstProfiles")->itemDoubleClicked(sv::test::Find<QListWidget>(rf, "lstProfiles")->item(1));
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));

    sv::test::Find<QListWidget>(rf, "lstProfiles")->setCurrentRow(0);
    QCOMPARE(sv::test::Find<QListWidget>(rf, "lstProfiles")->item(0)->text(), QStringLiteral("A</B"));
    QCOMPARE(sv::test::Find<QLabel>(rf, "lblProfileName")->text(), QStringLiteral("A</B"));
    QCOMPARE(sv::test::Find<QLabel>(rf, "lblProfileSettings")->text(), QStringLiteral("Records for 10 minutes."));
    QCOMPARE(z.st().RecordSeconds, 600);
    QCOMPARE(z.w->cmdNext()->isEnabled(), PageRecordFrom::RecSpaceFor(10, double(rf->GetFreeSpace())).enough);
    sv::test::Find<QListWidget>(rf, "lstProfiles")->setCurrentRow(2);
    QCOMPARE(sv::test::Find<QLabel>(rf, "lblProfileSettings")->text(), QStringLiteral("Records for 12 minutes."));
}

QTEST_MAIN(TestProfilePage)
#include "tst_profilepage.moc"
