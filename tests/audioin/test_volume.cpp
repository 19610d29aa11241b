// The volume page on the virtual deck, following the line scan and the volume
// optimisation (their rules: test_volumescan); its timer's ticks come by hand.
#include "app/WizardFixture.h"
#include "audioin/VolumeDeck.h"
#include "support/FindChild.h"

#include <QSignalSpy>

using namespace svtest;
using sv::audio::VirtualDeck;
using sv::audio::VirtualSignal;
using sv::test::Find;

namespace {

const QString kFailTitle = QStringLiteral("Cannot detect any recording line");
const QString kFound = QStringLiteral("Line found. Click Adjust to optimize the volume.");
const QString kOptimized = QStringLiteral("Volume Optimized. Click Next to continue.");
const QString kAdjustIdle = QStringLiteral("Play the loudest part of your recording and click Adjust.");

// Two cards of three lines; the fifth line ("Tape") carries the given signal.
VirtualDeck TwoCards(const VirtualSignal& fifth)
{
    return Deck({{"Deck Card", {{"Line In", {}, 31}, {"Microphone", {}, 32}, {"CD Audio", {}, 33}}},
                 {"USB Audio", {{"Phono", {}, 34}, {"Tape", fifth, 35}, {"Mic", {}, 36}}}});
}

VirtualDeck OneLine(const VirtualSignal& s, int volume = 50) { return Deck({{"Card", {{"Line In", s, volume}}}}); }

void ToVolumePage(Wizard& z)
{
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.next();
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    Find<QTimer>(z.w->picVolume(), "timDoVolume")->stop();
}

// One tick on a fresh level (see AwaitFreshLevel).
void Tick(Wizard& z, int count = 1)
{
    for (int i = 0; i < count; ++i) {
        AwaitFreshLevel(z.st().Record());
        z.w->picVolume()->timDoVolume_Timer();
    }
}

int TicksWhile(Wizard& z, const bool& flag, int limit = 400)
{
    int n = 0;
    for (; flag && n < limit; ++n)
        Tick(z);
    return n;
}

QString Text(Wizard& z, const char* label) { return Find<QLabel>(z.w->picVolume(), label)->text(); }
QString Line(Wizard& z) { return Find<QComboBox>(z.w->picVolume(), "cboLine")->currentText(); }
void Click(Wizard& z, const char* button) { Find<QPushButton>(z.w->picVolume(), button)->click(); }

bool Enabled(Wizard& z)
{
    QWidget* v = z.w->picVolume();
    return Find<QComboBox>(v, "cboMixer")->isEnabled() && Find<QPushButton>(v, "cmdScan")->isEnabled()
        && Find<QPushButton>(v, "cmdAdjust")->isEnabled();
}

} // namespace

class TestVolume : public QObject {
    Q_OBJECT
private Q_SLOTS:

    void scanFindsAndSavesTheLine()
    {
        Wizard z(TwoCards(VirtualSignal::noise(9000)));
        z.set("Soundcard", "Line", "2");
        ToVolumePage(z);
        QWidget* v = z.w->picVolume();

        Click(z, "cmdScan");
        QVERIFY(!Enabled(z) && !Find<QComboBox>(v, "cboLine")->isEnabled());
        QCOMPARE(Text(z, "lblScanInfo"), QStringLiteral("Scanning Line In"));
        QCOMPARE(Volumes(z.st().Record()), QList<int>({100, 32, 33, 34, 35, 36})); // the line under test at full
        // Twelve ticks on each of the four lines up to Tape (the card's first line included).
        const int ticks = TicksWhile(z, z.st().IsScanning);
        QVERIFY2(ticks > 48 && ticks <= 50, qPrintable(QString::number(ticks)));
        QCOMPARE(Text(z, "lblScanInfo"), kFound);
        // Every line tried has its own volume back; the found one starts at half.
        QCOMPARE(Volumes(z.st().Record()), QList<int>({31, 32, 33, 34, 50, 36}));
        QCOMPARE(Find<QComboBox>(v, "cboMixer")->currentText() + "/" + Line(z), QStringLiteral("USB Audio/Tape"));
        QVERIFY(z.st().Record()->IsCapturing());
        QCOMPARE(Find<QSlider>(v, "sliVolume")->value(), 50);
        QVERIFY(Enabled(z) && Find<QComboBox>(v, "cboLine")->isEnabled());
        // The line that carries the music is remembered, not the one chosen before the scan.
        QCOMPARE(z.get("Soundcard", "Mixer") + z.get("Soundcard", "Line"), QStringLiteral("11"));
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }

    // Failures are counted, not attempts; the offer comes once. The level must
    // exceed the minimum stored at the time of the scan.
    void helpOfferOnThirdFailureOnly()
    {
        Wizard z(Deck({{"Card", {{"Line In", {}, 40}, {"Aux", VirtualSignal::noise(5000), 45}}}}));
        ToVolumePage(z);
        auto& aux = sv::audio::DeckOf(z.st().Record())->mixers[0].lines[1];
        const auto scan = [&] {
            Click(z, "cmdScan");
            TicksWhile(z, z.st().IsScanning);
        };
        z.set("Advanced\\Scanning", "Minimum", "6000");
        z.boxes.answer(sv::vbOK);
        scan(); // 1: fails
        QCOMPARE(z.boxes.last().title, kFailTitle);
        z.set("Advanced\\Scanning", "Minimum", "1000");
        scan(); // 2: found
        QCOMPARE(Text(z, "lblScanInfo"), kFound);
        aux.signal = VirtualSignal::silence();

        z.boxes.answer(sv::vbOK);
        z.boxes.answer(sv::vbNo);
        scan(); // 3: fails, with the offer
        QCOMPARE(z.boxes.last().title + ": " + z.boxes.last().text,
                 QStringLiteral("Additional help: This is the third time you've unsuccessfully scanned for the "
                                "input line. Would you like additional help on this?"));
        QCOMPARE(z.boxes.last().style, sv::vbYesNo + sv::vbQuestion);

        z.boxes.answer(sv::vbOK);
        scan(); // 4: fails without it
        QCOMPARE(z.boxes.shown.size(), 4);
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }

    // However the scan ends without a line (none found, Next, Exit), card, line
    // and every volume come back, and after a failure the line is monitored again.
    // Devices likewise (finding one: tst_scan_pulse); a newly chosen one is monitored.
    void scanEndRestoresTheUsersLine_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("devices");
        QTest::newRow("no line found") << QStringLiteral("fail") << false;
        QTest::newRow("Next") << QStringLiteral("next") << false;
        QTest::newRow("Exit") << QStringLiteral("exit") << false;
        QTest::newRow("no device found") << QStringLiteral("fail") << true;
    }

    void scanEndRestoresTheUsersLine()
    {
        QFETCH(QString, end);
        QFETCH(bool, devices);
        Wizard z(devices ? Deck({{"Webcam Mic", {{"", {}, 31}}}, {"Line Input", {{"", {}, 32}}}, {"Dock", {{"", {}, 33}}},
                                 {"USB Turntable", {{"", {}, 34}}}, {"Headset", {{"", {}, 35}}}, {"Phone", {{"", {}, 36}}}},
                                true)
                         : TwoCards(VirtualSignal::silence()));
        z.set("Soundcard", "Mixer", "1");
        z.set("Soundcard", "Line", "2");
        ToVolumePage(z);
        auto* mixers = Find<QComboBox>(z.w->picVolume(), "cboMixer");
        if (devices) {
            mixers->setCurrentIndex(5);
            z.w->picVolume()->cboMixer_Click();
            QVERIFY(z.st().Record()->IsCapturing());
        }
        Tick(z); // the slider takes up the line's volume
        QCOMPARE(Find<QSlider>(z.w->picVolume(), "sliVolume")->value(), 36);
        Click(z, "cmdScan");
        QCOMPARE(Text(z, "lblScanInfo"), devices ? QStringLiteral("Scanning Webcam Mic") : QStringLiteral("Scanning Line In"));
        Tick(z, 30);
        QCOMPARE(Volumes(z.st().Record())[2], 100);
        if (end == "fail") {
            z.boxes.answer(sv::vbOK);
            TicksWhile(z, z.st().IsScanning);
            QCOMPARE(Text(z, "lblScanInfo"), QStringLiteral("No recording line was detected."));
            QCOMPARE(z.boxes.last().title, kFailTitle);
            QCOMPARE(z.boxes.last().text,
                     QStringLiteral("Sonivault was unable to detect music on any input line. Please check the following: "
                                    "\r\n\r\n1 Insure your cable is connected correctly\r\n2 Make sure you are playing "
                                    "the cassette or record\r\n3 Turn the volume up on your player\r\n\r\nIf the above "
                                    "does not help, please click the Help button for more information."));
            QCOMPARE(z.boxes.last().style, int(sv::vbExclamation));
            QVERIFY(Enabled(z) && Find<QComboBox>(z.w->picVolume(), "cboLine")->isEnabled());
        } else if (end == "next") {
            z.boxes.answer(sv::vbYes); // "You didn't adjust the volume settings."
            z.next();
            QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
        } else {
            QVERIFY(z.w->close());
        }
        QVERIFY(!z.st().IsScanning);
        QCOMPARE(mixers->currentIndex(), devices ? 5 : 1);
        QCOMPARE(Line(z), devices ? QString() : QStringLiteral("Mic"));
        QCOMPARE(Volumes(z.st().Record()), QList<int>({31, 32, 33, 34, 35, 36}));
        QCOMPARE(z.st().Record()->IsCapturing(), end == "fail");
        QCOMPARE(z.get("Soundcard", "Mixer"), devices ? QStringLiteral("5") : QStringLiteral("1"));
        if (!devices)
            QCOMPARE(z.get("Soundcard", "Line"), QStringLiteral("2"));
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }

    // "New recording" on the finish page brings the volume page back with its
    // level monitored, also for devices, which have no line handler.
    void newRecordingMonitorsAgain()
    {
        Wizard z(Deck({{"USB Turntable", {{"", VirtualSignal::noise(12000), 50}}}}, true));
        ToVolumePage(z);
        auto* page = z.w->picVolume();
        auto* rec = z.st().Record();
        z.boxes.answer(sv::vbYes); // "You didn't adjust the volume settings."
        z.next();
        QVERIFY(!rec->IsCapturing());
        z.w->ShowPage(z.w->picFinish());
        Find<QRadioButton>(z.w->picFinish(), "optFinishNew")->setChecked(true);
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picVolume"));
        QVERIFY(rec->IsCapturing());
        QVERIFY(Find<QTimer>(page, "timDoVolume")->isActive());
        Find<QTimer>(page, "timDoVolume")->stop();
        Tick(z, 2);
        QVERIFY(Find<QProgressBar>(page, "barVolume")->value() > 0);
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }

    // Full-scale noise is too loud down to 70 % gain, fine at 60; input that clips
    // even at 20 % is given up on. The slider follows each step; the verdict comes
    // ten quiet periods after the last change, in the label and (if the user must
    // act) once in a box.
    void adjustVerdict_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QList<int>>("volumes");
        QTest::addColumn<int>("minTicks");
        QTest::addColumn<int>("maxTicks");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("box");
        QTest::newRow("loud") << 32767 << QList<int>({100, 90, 80, 70, 60}) << 109 << 120 << kOptimized << QString();
        QTest::newRow("quiet") << 800 << QList<int>({100}) << 120 << 120
                               << QStringLiteral("Volume too low. Increase volume from player and try again.")
                               << QStringLiteral("The volume from the player is too low. Please increase the volume "
                                                 "slightly and try again.");
        QTest::newRow("too hot") << 200000 << QList<int>({100, 90, 80, 70, 60, 50, 40, 30, 20}) << 9 << 9
                                 << QStringLiteral("Volume too high. Reduce volume on player and try again.")
                                 << QStringLiteral("The volume from the player is too high. Please reduce the volume "
                                                   "and try again.");
    }

    void adjustVerdict()
    {
        QFETCH(int, level);
        QFETCH(QList<int>, volumes);
        QFETCH(int, minTicks);
        QFETCH(int, maxTicks);
        QFETCH(QString, label);
        QFETCH(QString, box);
        Wizard z(OneLine(VirtualSignal::noise(level)));
        ToVolumePage(z);
        auto* slider = Find<QSlider>(z.w->picVolume(), "sliVolume");
        auto* rec = z.st().Record();
        if (!box.isEmpty())
            z.boxes.answer(sv::vbOK);
        Click(z, "cmdAdjust");
        QCOMPARE(Text(z, "lblAdjustInfo"), QStringLiteral("Optimizing Volume..."));
        QCOMPARE(z.get("Messages", "VolumeMessage"), QStringLiteral("1"));
        QVERIFY(Enabled(z));
        QList<int> seen{rec->GetVolume()};
        int ticks = 0;
        for (; z.st().IsAdjusting && ticks < 200; ++ticks) {
            Tick(z);
            QCOMPARE(slider->value(), rec->GetVolume());
            if (rec->GetVolume() != seen.last())
                seen << rec->GetVolume();
        }
        QVERIFY2(ticks >= minTicks && ticks <= maxTicks, qPrintable(QString::number(ticks)));
        QCOMPARE(Text(z, "lblAdjustInfo"), label);
        QCOMPARE(seen, volumes);
        Tick(z, 3); // a verdict is shown once
        const QString shown = z.boxes.shown.isEmpty() ? QString() : z.boxes.last().title + ": " + z.boxes.last().text;
        QCOMPARE(shown, box.isEmpty() ? box : sv::AppTitle + ": " + box);
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }

    // A scan resets the volume, so the verdict goes; and it ends an adjustment
    // under way, which would otherwise judge the found line by old periods.
    void scanClearsTheAdjustment()
    {
        Wizard z(OneLine(VirtualSignal::noise(200000)));
        ToVolumePage(z);
        z.boxes.answer(sv::vbOK); // too high
        Click(z, "cmdAdjust");
        TicksWhile(z, z.st().IsAdjusting);
        Click(z, "cmdScan");
        TicksWhile(z, z.st().IsScanning);
        QCOMPARE(Text(z, "lblAdjustInfo"), kAdjustIdle);

        Click(z, "cmdAdjust");
        Tick(z, 5);
        Click(z, "cmdScan");
        QVERIFY(!z.st().IsAdjusting);
        Tick(z, 130);
        QCOMPARE(Text(z, "lblScanInfo"), kFound);
        QCOMPARE(Text(z, "lblAdjustInfo"), kAdjustIdle);
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }

    void sliderAndPreview()
    {
        Wizard z(OneLine(VirtualSignal::silence(), 64));
        ToVolumePage(z);
        auto* page = z.w->picVolume();
        auto* slider = Find<QSlider>(page, "sliVolume");
        auto* rec = z.st().Record();
        Tick(z);
        QCOMPARE(slider->value(), 64);
        // Changes made outside the program show at the next tick; the slider sets the volume.
        rec->SetVolume(73);
        Tick(z);
        QCOMPARE(slider->value(), 73);
        slider->setValue(42);
        QCOMPARE(rec->GetVolume(), 42);

        // The throw-away capture starts anew on the 121st tick.
        QSignalSpy restarts(rec, &sv::audio::RecordObject::CaptureStarted);
        Tick(z, 118);
        QCOMPARE(restarts.count(), 0);
        Tick(z);
        QCOMPARE(restarts.count(), 1);
        QVERIFY(QFile::exists(page->VolsetPath()));

        // Off the page the ticks do nothing.
        z.back();
        rec->SetVolume(20);
        page->timDoVolume_Timer();
        QCOMPARE(slider->value(), 42);
        QVERIFY(!z.boxes.unexpected());
    }
};

QTEST_MAIN(TestVolume)
#include "test_volume.moc"
