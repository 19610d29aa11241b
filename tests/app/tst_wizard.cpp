// The main window: start-up, the whole walk through the pages forward and
// back, a new recording, and the exit request.
#include "WizardFixture.h"
#include "support/FindChild.h"

#include "app/ui/SingleInstance.h"
#include "util/ui/modShellExecute.h"

#include <QStackedWidget>

using namespace svtest;

namespace {
const int YesNoQuestionNo = sv::vbYesNo + sv::vbQuestion + sv::vbDefaultButton2;
const QString LoseText = QStringLiteral("If you go back you will lose what you've already recorded. Continue?");

void expectBox(const MsgBoxScript& b, int index, const QString& title, const QString& text, int style)
{
    QVERIFY2(b.shown.size() > index, qPrintable(QStringLiteral("no box %1").arg(index)));
    const sv::MsgBoxShown& s = b.shown.at(index);
    QCOMPARE(s.title, title);
    QCOMPARE(s.text, text);
    QCOMPARE(s.style, style);
}

// Records for a moment and stops, so the record page offers Next.
void recordBriefly(Wizard& z)
{
    auto* rec = z.w->picRecord();
    QVERIFY(sv::test::Find<QPushButton>(rec, "cmdRec")->isEnabled());
    sv::test::Find<QPushButton>(rec, "cmdRec")->click();
    QVERIFY(z.st().HasRecorded);
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QVERIFY(!z.w->cmdBack()->isEnabled());
    QVERIFY(!z.w->cmdCancel()->isEnabled());
    // Next is offered only past the minimum length (one minute by default).
    QTRY_VERIFY_WITH_TIMEOUT(z.st().Record()->GetRecordedSeconds() > 61, 15000);
    z.boxes.answer(sv::vbYes);
    sv::test::Find<QPushButton>(rec, "cmdStop")->click();
    QVERIFY(z.w->cmdNext()->isEnabled());
    QVERIFY(z.w->cmdBack()->isEnabled());
}
} // namespace

class TestWizard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstAndSecondStart();
    void deferredStepRunsOnItsOwn();
    void secondInstance();
    void startupSettings();
    void noSoundcard();
    void mixerAndLine();
    void deviceModeHidesLines();
    void connectFailure();
    void deviceChange();
    void walkForwardAndBack();
    void outputWithNothingChosen();
    void exitWhileCompressing();
    void exitWithRecording();
    void exitStoresChoices();
};

void TestWizard::firstAndSecondStart()
{
    Wizard z;
    QVERIFY(!QFile::exists(z.settingsFile()));
    QVERIFY(z.start(false));
    QVERIFY(QFile::exists(z.settingsFile()));
    QCOMPARE(z.page(), QStringLiteral("picWelcome"));
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QVERIFY(!z.w->cmdBack()->isEnabled());
    QCOMPARE(sv::test::Find<QLabel>(z.w->picWelcome(), "lblVer")->text(), QStringLiteral("Version " SONIVAULT_VERSION));

    QStringList seen;
    OnModal([&](QWidget* m) {
        auto* d = qobject_cast<frmWelcome*>(m);
        QVERIFY(d);
        auto* stack = d->findChild<QStackedWidget*>(QStringLiteral("stkWelcome"));
        auto* next = d->findChild<QPushButton*>(QStringLiteral("cmdNext"));
        seen << stack->currentWidget()->objectName();
        next->click();
        seen << stack->currentWidget()->objectName();
        d->findChild<QCheckBox*>(QStringLiteral("chkTutorial"))->setChecked(false);
        next->click();
        seen << stack->currentWidget()->objectName() << next->text();
        next->click();
    });
    z.w->timWaitSec_Timer();
    QCOMPARE(seen, QStringList({"picWelcome", "picTutorial", "picFinished", "&Close"}));
    QCOMPARE(z.get("Messages\\Startup", "IsFirstRun"), QStringLiteral("1"));
    QCOMPARE(z.get("Messages\\Tutorial", "TutorialActive"), QStringLiteral("0"));
    QVERIFY(!sv::test::Find<QCheckBox>(z.w->picWelcome(), "chkTutorial")->isChecked());
    QVERIFY(z.w->cmdNext()->isEnabled());
    QVERIFY(!z.boxes.unexpected());
}

void TestWizard::deferredStepRunsOnItsOwn()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start(false));
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(z.w->cmdNext()->isEnabled(), 3000);
    QVERIFY(!z.w->timWaitSec.isActive());
}

void TestWizard::secondInstance()
{
    TestEnv env;
    MsgBoxScript boxes;
    auto first = sv::AcquireSingleInstance();
    QVERIFY(first);
    QVERIFY(!sv::AcquireSingleInstance());
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.last().text,
             QStringLiteral("Sonivault is already running. Only one instance of Sonivault can be run at a time."));
    QCOMPARE(boxes.last().style, int(sv::vbExclamation));
    QCOMPARE(boxes.last().title, sv::AppTitle);
    QVERIFY(boxes.last().plain);
    first.reset();
    QVERIFY(sv::AcquireSingleInstance());
}

// The stored settings reach the state and the pages; the start clears an
// old CD failure report.
void TestWizard::startupSettings()
{
    Wizard z;
    z.noWelcomeDialog();
    const QString rec = z.env.root() + QStringLiteral("/rec");
    QDir().mkpath(rec);
    z.set("", "RecordDirectory", rec); // no trailing slash
    z.set("Advanced\\Waveform", "DrawScale", "30");
    z.set("Advanced\\Waveform", "MinRecordingLength", "2.6");
    z.set("Advanced\\Waveform", "MinTrackSize", "1000.9");
    z.set("Advanced\\Waveform", "MinTrackSpacing", "40");
    z.set("WaveformOptions", "AutoSplit", "0");
    z.set("", "FinishAction", "4");
    QFile fail(z.env.dataFolder() + "cd_fail.txt");
    QVERIFY(fail.open(QIODevice::WriteOnly));
    fail.close();
    QVERIFY(z.start());
    QCOMPARE(z.st().RecordDirectory, rec + "/");
    QCOMPARE(z.st().DrawScale, 30);
    QCOMPARE(z.st().MinRecordingLength, 3);
    QCOMPARE(z.st().MinTrackSize, 1000);
    QCOMPARE(z.st().MinTrackSpacing, 40);
    QVERIFY(!sv::test::Find<QCheckBox>(z.w->picWaveform(), "chkAutoSplit")->isChecked());
    QVERIFY(sv::test::Find<QRadioButton>(z.w->picFinish(), "optFinishNew")->isChecked());
    QVERIFY(!QFile::exists(z.env.dataFolder() + "cd_fail.txt"));
}

// Without a soundcard the program says why and does not open.
void TestWizard::noSoundcard()
{
    {
        Wizard z(sv::audio::VirtualDeck{});
        QVERIFY(!z.start());
        QCOMPARE(z.boxes.shown.size(), 1);
        expectBox(z.boxes, 0, "No soundcard detected",
                  "Sonivault did not detect any soundcard installed on your computer.\r\nPlease ensure that your "
                  "computer is equipped with a sound card, that it is plugged in and working, and that any necessary "
                  "drivers are installed.",
                  sv::vbCritical);
        QVERIFY(z.boxes.last().plain);
        QVERIFY(!z.w->isVisible());
    }
    // In device mode (every source disabled) the mixer program is offered.
    sv::audio::VirtualDeck deck;
    deck.deviceMode = true;
    Wizard z(deck);
    QStringList opened;
    sv::SetShellHandler([&](const QString& file, const QStringList&, const QString&) {
        opened << file;
        return int(sv::ShellOk);
    });
    QVERIFY(!z.start());
    sv::SetShellHandler({});
    expectBox(z.boxes, 0, sv::AppTitle,
              "All the recording sources are disabled.\r\nPlease enable them in the Control Panel and restart "
              "Sonivault.",
              sv::vbExclamation);
    const bool installed = !QStandardPaths::findExecutable("pavucontrol").isEmpty();
    QCOMPARE(opened, installed ? QStringList({"pavucontrol"}) : QStringList());
    QVERIFY(!z.w->isVisible());
}

// The stored mixer is shown at start without a message, even one without
// inputs; a pick of such a mixer is refused, other picks are stored.
void TestWizard::mixerAndLine()
{
    sv::audio::VirtualDeck deck = SmallDeck();
    deck.mixers.append({QStringLiteral("Empty Card"), {}});
    Wizard z(deck);
    z.noWelcomeDialog();
    z.set("Soundcard", "Mixer", "1");
    z.set("Soundcard", "Line", "2");
    QVERIFY(z.start());
    QVERIFY(z.boxes.shown.isEmpty());
    PageVolume* v = z.w->picVolume();
    auto* mixer = sv::test::Find<QComboBox>(v, "cboMixer");
    auto* line = sv::test::Find<QComboBox>(v, "cboLine");
    QCOMPARE(mixer->currentIndex(), 1);
    QVERIFY(!line->isEnabled());
    QCOMPARE(z.get("Soundcard", "Line"), QStringLiteral("2")); // not written while the window is hidden
    mixer->setCurrentIndex(0);
    v->cboMixer_Click();
    QVERIFY(line->isEnabled());
    z.boxes.answer(sv::vbOK);
    mixer->setCurrentIndex(1);
    v->cboMixer_Click();
    expectBox(z.boxes, 0, sv::AppTitle,
              "The selected mixer has no recording inputs. Please select another mixer from the list.", sv::vbOKOnly);
    QVERIFY(z.boxes.last().plain);
    QVERIFY(!line->isEnabled());
    QCOMPARE(z.get("Soundcard", "Mixer"), QStringLiteral("1"));
    // On the volume page a line picked is stored and the capture restarts on it.
    mixer->setCurrentIndex(0);
    v->cboMixer_Click();
    z.next();
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    line->setCurrentIndex(1);
    v->cboLine_Click();
    QCOMPARE(z.get("Soundcard", "Line"), QStringLiteral("1"));
    QVERIFY(z.st().Record()->IsCapturing());
}

void TestWizard::deviceModeHidesLines()
{
    sv::audio::VirtualDeck deck = SmallDeck();
    deck.deviceMode = true;
    Wizard z(deck);
    z.noWelcomeDialog();
    QVERIFY(z.start());
    QWidget* v = z.w->picVolume();
    QVERIFY(sv::test::Find<QComboBox>(v, "cboLine")->isHidden());
    QVERIFY(sv::test::Find<QLabel>(v, "lblRecordingLineCaption")->isHidden());
    QCOMPARE(sv::test::Find<QLabel>(v, "lblVolumeCaption")->text(), QStringLiteral("Recording Device:"));
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), QStringLiteral("Click Scan to find the Recording Device."));
    QVERIFY(!z.boxes.unexpected());
}

void TestWizard::connectFailure()
{
    Wizard z;
    z.noWelcomeDialog();
    z.set("", "RecordDirectory", z.env.root() + "/missing/folder/");
    QVERIFY(z.start());
    z.next();
    z.boxes.answer(sv::vbOK);
    z.next();
    QCOMPARE(z.boxes.shown.size(), 1);
    QCOMPARE(z.boxes.last().title, QStringLiteral("Cannot connect to sound card"));
    QVERIFY(z.boxes.last().text.startsWith(
        "Sonivault cannot connect to the sound card, and cannot continue.\r\nError Information 75  "));
    QCOMPARE(z.boxes.last().style, int(sv::vbCritical));
    QVERIFY(z.boxes.last().plain);
    QVERIFY(!sv::test::Find<QTimer>(z.w->picVolume(), "timDoVolume")->isActive()); // the steps after the failure were skipped
    QVERIFY(z.w->isVisible());
}

void TestWizard::deviceChange()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.next();
    QWidget* before = z.current();
    z.boxes.answer(sv::vbOK);
    Q_EMIT z.st().Record()->DefaultDeviceChanged();
    expectBox(z.boxes, 0, "Audio Device Change",
              "Sonivault has detected that the default audio device has changed. Please close and re-open Sonivault "
              "to adjust.",
              sv::vbInformation);
    QCOMPARE(z.boxes.last().position, 7);
    QCOMPARE(z.current(), before);
}

namespace {
// Pages 1 to 4, forward and back, with the level capture and the volume warning.
void walkToProfiles(Wizard& z)
{
    auto* next = z.w->cmdNext();
    auto* backBtn = z.w->cmdBack();
    auto* rec = z.st().Record();
    const QString volset = z.st().RecordDirectory + "volset.wav";

    // 1 <-> 2
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picConnect"));
    QVERIFY(backBtn->isEnabled());
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picWelcome"));
    QVERIFY(!backBtn->isEnabled());
    z.back(); // no Back action on the welcome page
    QCOMPARE(z.page(), QStringLiteral("picWelcome"));
    z.next();

    // 2 <-> 3: the level capture runs only on the volume page.
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    QVERIFY(rec->IsCapturing());
    QCOMPARE(rec->FileName(), volset);
    QVERIFY(sv::test::Find<QTimer>(z.w->picVolume(), "timDoVolume")->isActive());
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picConnect"));
    QVERIFY(!rec->IsCapturing());
    QVERIFY(!QFile::exists(volset));
    z.next();
    QVERIFY(rec->IsCapturing());

    // 3 -> 4: warned once about the volume.
    const QString volumeText = QStringLiteral(
        "You didn't adjust the volume settings.\r\nAdjusting the volume correctly is essential for a high-quality "
        "recording. Are you sure you want to continue?\r\n\r\nThis message will appear only once.");
    z.boxes.answer(sv::vbNo);
    z.next();
    expectBox(z.boxes, 0, "Confirm", volumeText, sv::vbYesNo + sv::vbExclamation + sv::vbDefaultButton2);
    QCOMPARE(z.boxes.last().position, 7);
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    QCOMPARE(z.get("Messages", "VolumeMessage"), QStringLiteral("1"));
    z.next();
    QCOMPARE(z.boxes.shown.size(), 1);
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
    QVERIFY(!rec->IsCapturing());
    QVERIFY(!QFile::exists(volset));
    auto* rf = z.w->picRecordFrom();
    QVERIFY(rf->ProfileCount() > 0); // the shipped set
    // 4 -> 3 -> 4
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    QVERIFY(rec->IsCapturing());
    QVERIFY(next->isEnabled());
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));

    // A short profile, so the disk line reads OK on any test machine.
    sv::test::Find<QListWidget>(rf, "lstProfiles")->setCurrentRow(rf->ProfileCount() - 2);
    QCOMPARE(z.st().RecordSeconds, 5 * 60);
    QCOMPARE(z.st().PauseSeconds, 0);
    const auto space = PageRecordFrom::RecSpaceFor(5, double(rf->GetFreeSpace()));
    QCOMPARE(sv::test::Find<QLabel>(rf, "lblHardDisk")->text(), space.text);
    QCOMPARE(next->isEnabled(), space.enough);
}

// Pages 4 to 6: the record page, a recording, the waveform and back.
void walkRecordAndWaveform(Wizard& z)
{
    auto* next = z.w->cmdNext();
    auto* backBtn = z.w->cmdBack();
    // 4 -> 5
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picRecord"));
    auto* rp = z.w->picRecord();
    QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(),
             QStringLiteral("You are now ready to record. If necessary, rewind your cassette tape. Click Record above "
                            "and press the Play button on your player."));
    QVERIFY(sv::test::Find<QLabel>(rp, "mblRecorded")->text().isEmpty());
    QVERIFY(!next->isEnabled());
    QVERIFY(sv::test::Find<QTimer>(rp, "timRecordGraph")->isActive());
    // 5 -> 4 forgets the recording
    z.st().HasRecorded = true;
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
    QVERIFY(!z.st().HasRecorded);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picRecord"));

    // 5 -> 6
    recordBriefly(z);
    QVERIFY(QFile::exists(z.st().RecordDirectory + "recording.wav"));
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
    QVERIFY(next->isEnabled());
    QVERIFY(backBtn->isEnabled());
    QVERIFY(!sv::test::Find<QTimer>(rp, "timRecordGraph")->isActive());

    // 6 -> 5 asks; No stays (Yes is the waveform page's own test, and 8 -> 5 below).
    z.boxes.clear();
    z.boxes.answer(sv::vbNo);
    z.back();
    expectBox(z.boxes, 0, "Confirm", LoseText, YesNoQuestionNo);
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
}

// Pages 6 to 8: the track checks, splitting, and back to the record page.
void walkToOutput(Wizard& z)
{
    auto* next = z.w->cmdNext();
    // 6 -> 7 -> 8: no track, then the confirmation.
    z.w->picWaveform()->RemoveAllTracks();
    z.boxes.clear();
    z.boxes.answer(sv::vbOK);
    z.next();
    expectBox(z.boxes, 0, "No tracks selected",
              "You must select at least one track from the recording.\r\nClick Add Track to add a track, or click "
              "Reset Tracks to select the entire recording.",
              sv::vbExclamation);
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
    z.boxes.answer(sv::vbYes);
    z.w->picWaveform()->cmdResetTracks_Click();
    QCOMPARE(z.boxes.last().title, QStringLiteral("Reset Tracks"));
    const QString splitText =
        QStringLiteral("Are you sure you're ready to continue? You cannot come back after splitting the tracks.");
    z.boxes.answer(sv::vbNo);
    z.next();
    expectBox(z.boxes, 2, "Confirm", splitText, sv::vbYesNo + sv::vbQuestion);
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
    z.boxes.answer(sv::vbYes);
    z.next();
    QCOMPARE(z.boxes.shown.size(), 4); // asked every time
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
    QVERIFY(next->isEnabled());
    QVERIFY(!z.st().RecordingXMLPath.isEmpty());

    // 8 -> 5 (not the waveform page), then forward again.
    z.boxes.answer(sv::vbYes);
    z.back();
    expectBox(z.boxes, 4, "Confirm", LoseText, YesNoQuestionNo);
    QCOMPARE(z.page(), QStringLiteral("picRecord"));
    QVERIFY(!next->isEnabled());
    QVERIFY(sv::test::Find<QLabel>(z.w->picRecord(), "mblRecorded")->text().isEmpty());
    QVERIFY(sv::test::Find<QTimer>(z.w->picRecord(), "timRecordGraph")->isActive());
    recordBriefly(z);
    z.next();
    z.boxes.answer(sv::vbYes);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
}

// Every output page there and back, the finish page after WAV copies, and
// the pages without a Back action (the encoders' runs are whole-wizard tests).
void walkOutputs(Wizard& z)
{
    auto* next = z.w->cmdNext();
    QWidget* out = z.w->picOutput();
    // 8 -> 9 -> 8, 8 -> 10 -> 8: the MP3 page shows the first track while open.
    sv::test::Find<QRadioButton>(out, "optMP3")->setChecked(true);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picMP3"));
    QVERIFY(z.w->cmdBack()->isEnabled());
    QCOMPARE(z.w->picMP3()->ShownTrack, 1);
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
    QCOMPARE(z.w->picMP3()->ShownTrack, -1);
    sv::test::Find<QRadioButton>(out, "optWMA")->setChecked(true);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWMA"));
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));

    // 8 -> 11 -> 8 -> 11 -> 13
    sv::test::Find<QRadioButton>(out, "optDPP")->setChecked(true);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWaveCopy"));
    sv::test::Find<QFrame>(z.w->picWaveCopy(), "picWaveCopying")->show();
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
    QVERIFY(sv::test::Find<QFrame>(z.w->picWaveCopy(), "picWaveCopying")->isHidden());
    QVERIFY(next->isEnabled());
    z.next();
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picFinish"));
    QCOMPARE(next->text(), QStringLiteral("&Finish"));
    QVERIFY(!z.w->cmdBack()->isEnabled());

    // 12 -> 9 and 12 -> 10
    z.w->ShowPage(z.w->picMP3Compress());
    next->setEnabled(false);
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picMP3"));
    QVERIFY(next->isEnabled());
    z.w->ShowPage(z.w->picWMACompress());
    next->setEnabled(false);
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picWMA"));
    QVERIFY(next->isEnabled());
    // Split, compression and finish pages have no Back action; Next does nothing on split and compression.
    for (QWidget* p : {static_cast<QWidget*>(z.w->picSplit()), static_cast<QWidget*>(z.w->picMP3Compress()),
                       static_cast<QWidget*>(z.w->picWMACompress())}) {
        z.w->ShowPage(p);
        z.next();
        QCOMPARE(z.current(), p);
    }
    for (QWidget* p : {static_cast<QWidget*>(z.w->picSplit()), static_cast<QWidget*>(z.w->picFinish())}) {
        z.w->ShowPage(p);
        z.back();
        QCOMPARE(z.current(), p);
    }
}
} // namespace

void TestWizard::walkForwardAndBack()
{
    Wizard z;
    // The line carries a steady signal, which track detection by bands takes for a blank tape.
    z.set(QStringLiteral("Advanced\\Track Detection"), QStringLiteral("Method"), QStringLiteral("Audio"));
    z.noWelcomeDialog();
    z.set("Messages", "WaveformMessage", "0");
    QVERIFY(z.start());
    for (const auto& stage : {walkToProfiles, walkRecordAndWaveform, walkToOutput, walkOutputs}) {
        stage(z);
        if (QTest::currentTestFailed())
            return;
    }
    auto* next = z.w->cmdNext();
    auto* backBtn = z.w->cmdBack();
    auto* rec = z.st().Record();
    auto* rf = z.w->picRecordFrom();
    auto* rp = z.w->picRecord();
    QWidget* fin = z.w->picFinish();

    // 13 -> 3: a new recording with the same profile.
    const int profile = rf->SelectedProfile();
    z.st().HasRecorded = true;
    sv::test::Find<QRadioButton>(fin, "optFinishNew")->setChecked(true);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    QCOMPARE(next->text(), QStringLiteral("&Next >"));
    QVERIFY(next->isEnabled());
    QVERIFY(backBtn->isEnabled());
    QVERIFY(z.w->cmdCancel()->isEnabled());
    QVERIFY(!z.st().HasRecorded);
    QVERIFY(!QFile::exists(z.st().RecordDirectory + "recording.wav"));
    QCOMPARE(sv::test::Find<QLabel>(rp, "mblRecorded")->text(), QStringLiteral("00:00"));
    QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(), QStringLiteral("Sonivault is ready to start. Press record to begin."));
    QVERIFY(!z.w->picWaveform()->HasTracks());
    QVERIFY(rec->IsCapturing());
    QCOMPARE(z.get("", "FinishAction"), QStringLiteral("4"));
    QCOMPARE(z.get("OutputOptions", "LastUsed"), QStringLiteral("3"));
    QCOMPARE(sv::XMLGetValue("LastUsed", "", z.profilesFile(), ""), QString::number(profile));
    z.next(); // the volume warning was given already
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
    QCOMPARE(rf->SelectedProfile(), profile);

    for (const auto& b : z.boxes.shown) {
        QCOMPARE(b.position, 7);
        QVERIFY(!b.plain);
    }
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    QCOMPARE(z.boxes.pending(), 0);
}

void TestWizard::outputWithNothingChosen()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.w->ShowPage(z.w->picOutput());
    QWidget* out = z.w->picOutput();
    for (QRadioButton* o : {sv::test::Find<QRadioButton>(out, "optMP3"), sv::test::Find<QRadioButton>(out, "optWMA"), sv::test::Find<QRadioButton>(out, "optACD"), sv::test::Find<QRadioButton>(out, "optDPP")}) {
        o->setAutoExclusive(false);
        o->setChecked(false);
    }
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
    QVERIFY(z.boxes.shown.isEmpty());
}

// The MP3 page's own test refuses Exit during a real run; here the WMA
// page, and a compression page with nothing running (an error shown on it).
void TestWizard::exitWhileCompressing()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.w->ShowPage(z.w->picWMACompress());
    z.st().Compressing = true;
    z.boxes.answer(sv::vbOK);
    QVERIFY(!z.w->close());
    expectBox(z.boxes, 0, "Compressing",
              "Sonivault is currently compressing. Please wait until Sonivault has finished.", sv::vbOKOnly);
    QVERIFY(z.w->isVisible());
    z.st().Compressing = false;
    QVERIFY(z.w->close());
    QCOMPARE(z.boxes.shown.size(), 1);
}

void TestWizard::exitWithRecording()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    const QString wav = z.st().RecordDirectory + "recording.wav";
    z.st().RecordingPath = wav;
    QFile f(wav);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    z.w->ShowPage(z.w->picWaveform());
    z.st().HasRecorded = true;
    const QString exitText = QStringLiteral("Are you sure you want to exit? Anything you recorded will be lost.");
    z.boxes.answer(sv::vbNo);
    QVERIFY(!z.w->close());
    expectBox(z.boxes, 0, "Exit", exitText, YesNoQuestionNo);
    QVERIFY(QFile::exists(wav));
    z.boxes.answer(sv::vbYes);
    QVERIFY(z.w->close());
    QCOMPARE(z.boxes.shown.size(), 2);
    QVERIFY(!QFile::exists(wav));

    // On the finish page nothing is asked.
    z.w.reset();
    QVERIFY(z.start());
    z.w->ShowPage(z.w->picFinish());
    z.st().HasRecorded = true;
    QVERIFY(z.w->close());
    QCOMPARE(z.boxes.shown.size(), 2);
    QVERIFY(!z.boxes.unexpected());
}

void TestWizard::exitStoresChoices()
{
    Wizard z;
    z.noWelcomeDialog();
    z.set("OutputOptions", "LastUsed", "2");
    QVERIFY(z.start());
    z.next();
    z.next();
    QVERIFY(z.st().Record()->IsCapturing());
    sv::test::Find<QListWidget>(z.w->picRecordFrom(), "lstProfiles")->setCurrentRow(3);
    z.w->cmdCancel()->click(); // Exit
    QVERIFY(!z.w->isVisible());
    QCOMPARE(sv::XMLGetValue("LastUsed", "", z.profilesFile(), ""), QStringLiteral("3"));
    QCOMPARE(z.get("OutputOptions", "LastUsed"), QStringLiteral("2")); // none chosen: unchanged
    QVERIFY(!z.st().Record()->IsCapturing());
    QVERIFY(!QFile::exists(z.st().RecordDirectory + "volset.wav"));

    z.w.reset();
    QVERIFY(z.start());
    QCOMPARE(z.w->picRecordFrom()->SelectedProfile(), 3);
    sv::test::Find<QRadioButton>(z.w->picOutput(), "optDPP")->setChecked(true);
    sv::test::Find<QListWidget>(z.w->picRecordFrom(), "lstProfiles")->clearSelection();
    QVERIFY(z.w->close());
    QCOMPARE(z.get("OutputOptions", "LastUsed"), QStringLiteral("3"));
    QCOMPARE(sv::XMLGetValue("LastUsed", "", z.profilesFile(), ""), QStringLiteral("-1"));
    QVERIFY(!z.boxes.unexpected());
}

QTEST_MAIN(TestWizard)
#include "tst_wizard.moc"
