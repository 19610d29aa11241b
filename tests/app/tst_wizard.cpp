// The main window: start-up, the whole walk through the pages forward and
// back, a new recording, and the exit request.
#include "WizardFixture.h"

#include "app/ui/SingleInstance.h"
#include "util/ui/modShellExecute.h"

#include <QStackedWidget>

using namespace svtest;

namespace {
const int YesNoQuestionNo = sv::vbYesNo + sv::vbQuestion + sv::vbDefaultButton2;
const QString LoseText = QStringLiteral("If you go back you will lose what you've already recorded. Continue?");

template <class T = QWidget> T* child(QWidget* w, const char* name) { return sv::test::Find<T>(w, name); }
QString text(QWidget* w, const char* name) { return child<QLabel>(w, name)->text(); }
bool timerOn(QWidget* w, const char* name) { return child<QTimer>(w, name)->isActive(); }
void choose(QWidget* w, const char* name) { child<QRadioButton>(w, name)->setChecked(true); }

void expectBox(const MsgBoxScript& b, int index, const QString& title, const QString& text, int style)
{
    QVERIFY2(b.shown.size() > index, qPrintable(QStringLiteral("no box %1").arg(index)));
    const sv::MsgBoxShown& s = b.shown.at(index);
    QCOMPARE(s.title + '|' + s.text + '|' + QString::number(s.style), title + '|' + text + '|' + QString::number(style));
}

void expectPage(Wizard& z, const char* page, bool nextOn)
{
    QCOMPARE(z.page(), QString::fromLatin1(page));
    QCOMPARE(z.w->cmdNext()->isEnabled(), nextOn);
}

// Records for a moment and stops, so the record page offers Next.
void recordBriefly(Wizard& z)
{
    child<QPushButton>(z.w->picRecord(), "cmdRec")->click();
    QVERIFY(z.st().HasRecorded);
    // Next is offered only past the minimum length (one minute by default).
    QTRY_VERIFY_WITH_TIMEOUT(z.st().Record()->GetRecordedSeconds() > 61, 15000);
    z.boxes.answer(sv::vbYes);
    child<QPushButton>(z.w->picRecord(), "cmdStop")->click();
    QVERIFY(z.w->cmdNext()->isEnabled() && z.w->cmdBack()->isEnabled());
}
} // namespace

class TestWizard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstAndSecondStart();
    void secondInstance();
    void startupSettings();
    void noSoundcard();
    void mixerAndLine();
    void soundcardTrouble();
    void walkForwardAndBack();
    void exitWithRecording();
    void exitStoresChoices();
};

void TestWizard::firstAndSecondStart()
{
    Wizard z;
    QVERIFY(z.start(false));
    QVERIFY(QFile::exists(z.settingsFile()));
    expectPage(z, "picWelcome", false);

    // The welcome dialog's last page closes it (its tutorial choice: the tutorial's test).
    QString last;
    OnModal([&](QWidget* m) {
        QVERIFY(qobject_cast<frmWelcome*>(m));
        auto* next = child<QPushButton>(m, "cmdNext");
        next->click();
        next->click();
        last = child<QStackedWidget>(m, "stkWelcome")->currentWidget()->objectName() + " " + next->text();
        next->click();
    });
    z.w->timWaitSec_Timer();
    QCOMPARE(last, QStringLiteral("picFinished &Close"));
    QCOMPARE(z.get("Messages\\Startup", "IsFirstRun"), QStringLiteral("1"));
    QVERIFY(z.w->cmdNext()->isEnabled());
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestWizard::secondInstance()
{
    TestEnv env;
    MsgBoxScript boxes;
    auto first = sv::AcquireSingleInstance();
    QVERIFY(first);
    QVERIFY(!sv::AcquireSingleInstance());
    QCOMPARE(boxes.shown.size(), 1);
    expectBox(boxes, 0, sv::AppTitle,
              "Sonivault is already running. Only one instance of Sonivault can be run at a time.", sv::vbExclamation);
    QVERIFY(boxes.last().plain);
    first.reset();
    QVERIFY(sv::AcquireSingleInstance());
}

// The stored settings reach the state and the pages; the deferred step of the
// start runs on its own and clears an old CD failure report.
void TestWizard::startupSettings()
{
    Wizard z;
    z.noWelcomeDialog();
    const QString rec = z.env.root() + QStringLiteral("/rec");
    QDir().mkpath(rec);
    z.set("", "RecordDirectory", rec); // no trailing slash
    z.set("Advanced\\Waveform", "MinTrackSpacing", "40");
    z.set("WaveformOptions", "AutoSplit", "0");
    z.set("", "FinishAction", "4");
    QVERIFY(QFile(z.env.dataFolder() + "cd_fail.txt").open(QIODevice::WriteOnly));
    QVERIFY(z.start(false));
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(z.w->cmdNext()->isEnabled(), 3000);
    QVERIFY(!z.w->timWaitSec.isActive());
    QCOMPARE(z.st().RecordDirectory, rec + "/");
    QCOMPARE(z.st().MinTrackSpacing, 40);
    QVERIFY(!child<QCheckBox>(z.w->picWaveform(), "chkAutoSplit")->isChecked());
    QVERIFY(child<QRadioButton>(z.w->picFinish(), "optFinishNew")->isChecked());
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
    auto* mixer = child<QComboBox>(v, "cboMixer");
    auto* line = child<QComboBox>(v, "cboLine");
    const auto pick = [&](int index) {
        mixer->setCurrentIndex(index);
        v->cboMixer_Click();
    };
    QCOMPARE(mixer->currentIndex(), 1);
    QVERIFY(!line->isEnabled());
    QCOMPARE(z.get("Soundcard", "Line"), QStringLiteral("2")); // not written while the window is hidden
    pick(0);
    QVERIFY(line->isEnabled());
    z.boxes.answer(sv::vbOK);
    pick(1);
    expectBox(z.boxes, 0, sv::AppTitle,
              "The selected mixer has no recording inputs. Please select another mixer from the list.", sv::vbOKOnly);
    QVERIFY(z.boxes.last().plain);
    QVERIFY(!line->isEnabled());
    QCOMPARE(z.get("Soundcard", "Mixer"), QStringLiteral("1"));
    // On the volume page a line picked is stored and the capture restarts on it.
    pick(0);
    z.next();
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    line->setCurrentIndex(1);
    v->cboLine_Click();
    QCOMPARE(z.get("Soundcard", "Line"), QStringLiteral("1"));
    QVERIFY(z.st().Record()->IsCapturing());
}

// A changed default device is announced where the user is; a capture that
// cannot start (no folder to write into) stops the wizard with the reason.
void TestWizard::soundcardTrouble()
{
    Wizard z;
    z.noWelcomeDialog();
    z.set("", "RecordDirectory", z.env.root() + "/missing/folder/");
    QVERIFY(z.start());
    z.next();
    z.boxes.answer(sv::vbOK);
    Q_EMIT z.st().Record()->DefaultDeviceChanged();
    expectBox(z.boxes, 0, "Audio Device Change",
              "Sonivault has detected that the default audio device has changed. Please close and re-open Sonivault "
              "to adjust.",
              sv::vbInformation);
    QCOMPARE(z.boxes.last().position, 7);
    QCOMPARE(z.page(), QStringLiteral("picConnect"));

    z.boxes.answer(sv::vbOK);
    z.next();
    QCOMPARE(z.boxes.shown.size(), 2);
    QCOMPARE(z.boxes.last().title, QStringLiteral("Cannot connect to sound card"));
    QVERIFY(z.boxes.last().text.startsWith(
        "Sonivault cannot connect to the sound card, and cannot continue.\r\nError Information 75  "));
    QVERIFY(z.boxes.last().style == sv::vbCritical && z.boxes.last().plain);
    QVERIFY(!timerOn(z.w->picVolume(), "timDoVolume")); // the steps after the failure were skipped
    QVERIFY(z.w->isVisible());
}

namespace {
// Pages 1 to 4, forward and back, with the level capture and the volume warning.
void walkToProfiles(Wizard& z)
{
    auto* rec = z.st().Record();
    const QString volset = z.st().RecordDirectory + "volset.wav";
    z.next();
    z.back();
    expectPage(z, "picWelcome", true);
    QVERIFY(!z.w->cmdBack()->isEnabled());
    z.next();

    // 2 <-> 3: the level capture runs only on the volume page.
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    QCOMPARE(rec->FileName(), volset);
    QVERIFY(rec->IsCapturing() && timerOn(z.w->picVolume(), "timDoVolume"));
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picConnect"));
    QVERIFY(!rec->IsCapturing() && !QFile::exists(volset));
    z.next();

    // 3 -> 4: warned once about the volume.
    z.boxes.answer(sv::vbNo);
    z.next();
    expectBox(z.boxes, 0, "Confirm",
              "You didn't adjust the volume settings.\r\nAdjusting the volume correctly is essential for a "
              "high-quality recording. Are you sure you want to continue?\r\n\r\nThis message will appear only once.",
              sv::vbYesNo + sv::vbExclamation + sv::vbDefaultButton2);
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    QCOMPARE(z.get("Messages", "VolumeMessage"), QStringLiteral("1"));
    z.next();
    QCOMPARE(z.boxes.shown.size(), 1);
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
    QVERIFY(!rec->IsCapturing() && !QFile::exists(volset));
    auto* rf = z.w->picRecordFrom();
    z.back();
    expectPage(z, "picVolume", true);
    QVERIFY(rec->IsCapturing());
    z.next();

    // A short profile, so the disk line reads OK on any test machine.
    child<QListWidget>(rf, "lstProfiles")->setCurrentRow(rf->ProfileCount() - 2);
    QCOMPARE(z.st().RecordSeconds, 5 * 60);
}

// Pages 4 to 6: the record page, a recording, the waveform and back.
void walkRecordAndWaveform(Wizard& z)
{
    auto* rp = z.w->picRecord();
    z.next();
    expectPage(z, "picRecord", false);
    QCOMPARE(text(rp, "lblRecStatus"),
             QStringLiteral("You are now ready to record. If necessary, rewind your cassette tape. Click Record above "
                            "and press the Play button on your player."));
    QVERIFY(timerOn(rp, "timRecordGraph"));
    // 5 -> 4 forgets the recording
    z.st().HasRecorded = true;
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
    QVERIFY(!z.st().HasRecorded);
    z.next();

    recordBriefly(z);
    QVERIFY(QFile::exists(z.st().RecordDirectory + "recording.wav"));
    z.next();
    expectPage(z, "picWaveform", true);
    QVERIFY(!timerOn(rp, "timRecordGraph"));

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
    z.boxes.answer(sv::vbNo);
    z.next();
    expectBox(z.boxes, 2, "Confirm",
              "Are you sure you're ready to continue? You cannot come back after splitting the tracks.",
              sv::vbYesNo + sv::vbQuestion);
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
    z.boxes.answer(sv::vbYes);
    z.next();
    QCOMPARE(z.boxes.shown.size(), 4); // asked every time
    expectPage(z, "picOutput", true);
    QVERIFY(!z.st().RecordingXMLPath.isEmpty());

    // 8 -> 5 (not the waveform page), then forward again.
    z.boxes.answer(sv::vbYes);
    z.back();
    expectBox(z.boxes, 4, "Confirm", LoseText, YesNoQuestionNo);
    expectPage(z, "picRecord", false);
    QVERIFY(timerOn(z.w->picRecord(), "timRecordGraph"));
    recordBriefly(z);
    z.next();
    z.boxes.answer(sv::vbYes);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
}

// The MP3 and copy pages there and back, and the finish page after WAV copies
// (Back from a compression page: the encoder pages' tests).
void walkOutputs(Wizard& z)
{
    QWidget* out = z.w->picOutput();
    choose(out, "optMP3");
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picMP3"));
    QCOMPARE(z.w->picMP3()->ShownTrack, 1);
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
    QCOMPARE(z.w->picMP3()->ShownTrack, -1);
    choose(out, "optDPP");
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWaveCopy"));
    child(z.w->picWaveCopy(), "picWaveCopying")->show();
    z.back();
    expectPage(z, "picOutput", true);
    QVERIFY(child(z.w->picWaveCopy(), "picWaveCopying")->isHidden());
    z.next();
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picFinish"));
    QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Finish"));
    QVERIFY(!z.w->cmdBack()->isEnabled());
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
    auto* rf = z.w->picRecordFrom();
    // 13 -> 3: a new recording with the same profile.
    const int profile = rf->SelectedProfile();
    z.st().HasRecorded = true;
    choose(z.w->picFinish(), "optFinishNew");
    z.next();
    expectPage(z, "picVolume", true);
    QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Next >"));
    QVERIFY(z.w->cmdBack()->isEnabled() && z.w->cmdCancel()->isEnabled());
    QVERIFY(!z.st().HasRecorded);
    QVERIFY(!QFile::exists(z.st().RecordDirectory + "recording.wav"));
    QCOMPARE(text(z.w->picRecord(), "mblRecorded"), QStringLiteral("00:00"));
    QCOMPARE(text(z.w->picRecord(), "lblRecStatus"), QStringLiteral("Sonivault is ready to start. Press record to begin."));
    QVERIFY(!z.w->picWaveform()->HasTracks());
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

// Exit asks before a recording is lost, and deletes it when told; not on the
// finish page. (Exit while compressing: the encoder pages' own tests.)
void TestWizard::exitWithRecording()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    const QString wav = z.st().RecordDirectory + "recording.wav";
    z.st().RecordingPath = wav;
    QVERIFY(QFile(wav).open(QIODevice::WriteOnly));
    z.w->ShowPage(z.w->picWaveform());
    z.st().HasRecorded = true;
    z.boxes.answer(sv::vbNo);
    QVERIFY(!z.w->close());
    expectBox(z.boxes, 0, "Exit", "Are you sure you want to exit? Anything you recorded will be lost.",
              YesNoQuestionNo);
    QVERIFY(QFile::exists(wav));
    z.boxes.answer(sv::vbYes);
    QVERIFY(z.w->close());
    QVERIFY(!QFile::exists(wav));

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
    child<QListWidget>(z.w->picRecordFrom(), "lstProfiles")->setCurrentRow(3);
    z.w->cmdCancel()->click(); // Exit
    QVERIFY(!z.w->isVisible());
    QCOMPARE(sv::XMLGetValue("LastUsed", "", z.profilesFile(), ""), QStringLiteral("3"));
    QCOMPARE(z.get("OutputOptions", "LastUsed"), QStringLiteral("2")); // none chosen: unchanged
    QVERIFY(!z.st().Record()->IsCapturing());
    QVERIFY(!QFile::exists(z.st().RecordDirectory + "volset.wav"));

    z.w.reset();
    QVERIFY(z.start());
    QCOMPARE(z.w->picRecordFrom()->SelectedProfile(), 3);
    choose(z.w->picOutput(), "optDPP");
    child<QListWidget>(z.w->picRecordFrom(), "lstProfiles")->clearSelection();
    QVERIFY(z.w->close());
    QCOMPARE(z.get("OutputOptions", "LastUsed"), QStringLiteral("3"));
    QCOMPARE(sv::XMLGetValue("LastUsed", "", z.profilesFile(), ""), QStringLiteral("-1"));
    QVERIFY(!z.boxes.unexpected());
}

QTEST_MAIN(TestWizard)
#include "tst_wizard.moc"
