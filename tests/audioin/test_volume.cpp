// The volume page on the virtual deck: its lists, labels, messages, slider and
// level bar during the line scan (line and device mode) and the volume
// optimisation. The timer is stopped and its ticks are driven by hand.
#include "app/WizardFixture.h"
#include "support/FindChild.h"
#include "tracks/WavGen.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <thread>

using namespace svtest;
using sv::audio::VirtualDeck;
using sv::audio::VirtualSignal;

namespace {

const QString kFailTitle = QStringLiteral("Cannot detect any recording line");
const QString kFound = QStringLiteral("Line found. Click Adjust to optimize the volume.");
const QString kNotFound = QStringLiteral("No recording line was detected.");
const QString kOptimized = QStringLiteral("Volume Optimized. Click Next to continue.");

VirtualDeck Deck(QList<sv::audio::VirtualMixer> mixers, bool deviceMode = false)
{
    VirtualDeck deck;
    deck.mixers = std::move(mixers);
    deck.deviceMode = deviceMode;
    deck.speed = 20;
    return deck;
}

// Two cards of three lines; the fifth line ("Tape") carries the given signal.
VirtualDeck TwoCards(const VirtualSignal& fifth)
{
    return Deck({{"Deck Card", {{"Line In", {}, 31}, {"Microphone", {}, 32}, {"CD Audio", {}, 33}}},
                 {"USB Audio", {{"Phono", {}, 34}, {"Tape", fifth, 35}, {"Mic", {}, 36}}}});
}

VirtualDeck OneLine(const VirtualSignal& signal, int volume = 50)
{
    return Deck({{"Card", {{"Line In", signal, volume}}}});
}

QList<int> Volumes(Wizard& z)
{
    QList<int> v;
    for (const auto& mixer : sv::audio::DeckOf(z.st().Record())->mixers)
        for (const auto& line : mixer.lines)
            v << line.volume;
    return v;
}

void ToVolumePage(Wizard& z)
{
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.next();
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    sv::test::Find<QTimer>(z.w->picVolume(), "timDoVolume")->stop();
}

// One tick, once the deck has delivered two fresh blocks, so the level is
// that of the current line at its current volume.
void Tick(Wizard& z, int count = 1)
{
    auto* rec = z.st().Record();
    for (int i = 0; i < count; ++i) {
        const qint64 start = rec->FramesWritten();
        QElapsedTimer t;
        t.start();
        while (rec->IsCapturing() && rec->FramesWritten() < start + 2 * 2205 && t.elapsed() < 3000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        z.w->picVolume()->timDoVolume_Timer();
    }
}

// Ticks while the flag holds; returns how many it took.
int TicksWhile(Wizard& z, const bool& flag, int limit = 400)
{
    int n = 0;
    for (; flag && n < limit; ++n)
        Tick(z);
    return n;
}

bool Enabled(QWidget* v)
{
    using sv::test::Find;
    return Find<QComboBox>(v, "cboMixer")->isEnabled() && Find<QPushButton>(v, "cmdScan")->isEnabled()
        && Find<QPushButton>(v, "cmdAdjust")->isEnabled();
}

} // namespace

class TestVolume : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void scanFindsFifthLine();
    void scanFailureRestoresEverything();
    void helpOfferOnThirdFailureOnly();
    void scanMinimumAndCardWithoutInputs();
    void deviceMode();
    void leavingThePageEndsTheScan();
    void newRecordingMonitorsAgain();
    void adjustLowersLoudSignal();
    void adjustGivesUpAtTwenty();
    void adjustOutcome_data();
    void adjustOutcome();
    void sliderAndPreview();

private:
    QTemporaryDir m_media;
    QString m_music;
};

void TestVolume::initTestCase()
{
    // Four seconds of two tones under a slow swell, loud from the first block.
    m_music = m_media.path() + QStringLiteral("/music.wav");
    QVERIFY(writeWav(m_music, WavSpec{}, 4 * 44100, [](std::int64_t k, int ch) {
        const double t = double(k) / 44100;
        const double swell = 0.6 + 0.4 * std::sin(2 * M_PI * 3 * t);
        return int(9000 * swell * std::sin(2 * M_PI * (ch ? 221 : 220) * t) + 3000 * std::sin(2 * M_PI * 330 * t));
    }));
}

void TestVolume::scanFindsFifthLine()
{
    Wizard z(TwoCards(VirtualSignal::wav(m_music)));
    z.set("Soundcard", "Line", "2");
    ToVolumePage(z);
    QWidget* v = z.w->picVolume();
    auto* rec = z.st().Record();
    QCOMPARE(sv::test::Find<QComboBox>(v, "cboLine")->currentText(), QStringLiteral("CD Audio"));

    sv::test::Find<QPushButton>(v, "cmdScan")->click();
    QVERIFY(z.st().IsScanning);
    QVERIFY(!Enabled(v) && !sv::test::Find<QComboBox>(v, "cboLine")->isEnabled());
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), QStringLiteral("Scanning Line In"));
    QCOMPARE(rec->GetVolume(), 100);
    // 12 ticks per line, each tried at full volume.
    for (const QString line : {"Microphone", "CD Audio", "Phono"}) {
        Tick(z, 12);
        QVERIFY(z.st().IsScanning);
        QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), QStringLiteral("Scanning ") + line);
        QCOMPARE(sv::test::Find<QComboBox>(v, "cboLine")->currentText(), line);
        QCOMPARE(rec->GetVolume(), 100);
    }
    Tick(z, 11);
    // The fourth step reaches the music, heard in that tick or the next.
    const int more = TicksWhile(z, z.st().IsScanning, 5);
    QVERIFY2(more == 1 || more == 2, qPrintable(QString::number(more)));
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), kFound);
    QCOMPARE(sv::test::Find<QComboBox>(v, "cboMixer")->currentText() + "/" + sv::test::Find<QComboBox>(v, "cboLine")->currentText(), QStringLiteral("USB Audio/Tape"));
    QVERIFY(rec->IsCapturing());
    // The lines passed over have their own volume back; the found one is at half.
    QCOMPARE(Volumes(z), QList<int>({31, 32, 33, 34, 50, 36}));
    QCOMPARE(sv::test::Find<QSlider>(v, "sliVolume")->value(), 50);
    QVERIFY(Enabled(v) && sv::test::Find<QComboBox>(v, "cboLine")->isEnabled());
    QCOMPARE(z.w->picVolume()->ScanAttempts(), 1);
    // The line that carries the music is remembered, not the one chosen before the scan.
    QCOMPARE(z.get("Soundcard", "Mixer") + z.get("Soundcard", "Line"), QStringLiteral("11"));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::scanFailureRestoresEverything()
{
    Wizard z(TwoCards(VirtualSignal::silence()));
    z.set("Soundcard", "Mixer", "1");
    z.set("Soundcard", "Line", "2");
    ToVolumePage(z);
    QWidget* v = z.w->picVolume();
    Tick(z); // the slider takes up the line's volume
    QCOMPARE(sv::test::Find<QSlider>(v, "sliVolume")->value(), 36);

    z.boxes.answer(sv::vbOK);
    sv::test::Find<QPushButton>(v, "cmdScan")->click();
    // Six lines of 12 ticks: the sixth step gives up.
    Tick(z, 71);
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), QStringLiteral("Scanning Mic"));
    Tick(z);
    QVERIFY(!z.st().IsScanning);
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), kNotFound);
    QCOMPARE(z.boxes.shown.size(), 1);
    QCOMPARE(z.boxes.last().title, kFailTitle);
    QCOMPARE(z.boxes.last().text,
             QStringLiteral("Sonivault was unable to detect music on any input line. Please check the following: "
                            "\r\n\r\n1 Insure your cable is connected correctly\r\n2 Make sure you are playing the "
                            "cassette or record\r\n3 Turn the volume up on your player\r\n\r\nIf the above does not "
                            "help, please click the Help button for more information."));
    QCOMPARE(z.boxes.last().style, int(sv::vbExclamation));
    QCOMPARE(z.boxes.last().position, 7);

    // Card, line and every volume come back (the first line of each card
    // included), and monitoring runs on the restored line.
    QCOMPARE(sv::test::Find<QComboBox>(v, "cboMixer")->currentIndex(), 1);
    QCOMPARE(sv::test::Find<QComboBox>(v, "cboLine")->currentText(), QStringLiteral("Mic"));
    QCOMPARE(Volumes(z), QList<int>({31, 32, 33, 34, 35, 36}));
    QVERIFY(z.st().Record()->IsCapturing());
    QVERIFY(Enabled(v) && sv::test::Find<QComboBox>(v, "cboLine")->isEnabled());
    QCOMPARE(z.get("Soundcard", "Mixer") + z.get("Soundcard", "Line"), QStringLiteral("12"));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::helpOfferOnThirdFailureOnly()
{
    Wizard z(Deck({{"Card", {{"Line In", {}, 40}, {"Aux", {}, 45}}}}));
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    auto& aux = sv::audio::DeckOf(z.st().Record())->mixers[0].lines[1];
    const auto scan = [&] {
        sv::test::Find<QPushButton>(page, "cmdScan")->click();
        TicksWhile(z, z.st().IsScanning);
    };
    z.boxes.answer(sv::vbOK);
    scan(); // 1: fails
    aux.signal = VirtualSignal::noise(5000);
    scan(); // 2: found
    QCOMPARE(sv::test::Find<QLabel>(page, "lblScanInfo")->text(), kFound);
    aux.signal = VirtualSignal::silence();
    QCOMPARE(z.boxes.shown.size(), 1);

    z.boxes.answer(sv::vbOK);
    z.boxes.answer(sv::vbNo);
    scan(); // 3: fails, with the offer
    QCOMPARE(z.boxes.shown.size(), 3);
    QCOMPARE(z.boxes.last().title, QStringLiteral("Additional help"));
    QCOMPARE(z.boxes.last().text, QStringLiteral("This is the third time you've unsuccessfully scanned for the "
                                                 "input line. Would you like additional help on this?"));
    QCOMPARE(z.boxes.last().style, sv::vbYesNo + sv::vbQuestion);
    QCOMPARE(page->ScanAttempts(), 4);

    z.boxes.answer(sv::vbOK);
    scan(); // 4: fails without it
    QCOMPARE(z.boxes.shown.size(), 4);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::scanMinimumAndCardWithoutInputs()
{
    Wizard z(Deck({{"Card", {{"Line In", VirtualSignal::noise(300), 40}}},
                   {"Empty Card", {}},
                   {"USB", {{"Aux", VirtualSignal::noise(5000), 45}}}}));
    ToVolumePage(z);
    QWidget* v = z.w->picVolume();
    // A damaged minimum means the default (600), not 0; the card without
    // inputs is passed over without its message.
    z.set("Advanced\\Scanning", "Minimum", "loud");
    sv::test::Find<QPushButton>(v, "cmdScan")->click();
    const int ticks = TicksWhile(z, z.st().IsScanning);
    QVERIFY2(ticks == 24 || ticks == 25, qPrintable(QString::number(ticks)));
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), kFound);
    QCOMPARE(sv::test::Find<QComboBox>(v, "cboLine")->currentText(), QStringLiteral("Aux"));
    QVERIFY(z.boxes.shown.isEmpty());
    // The level must exceed the stored minimum.
    z.set("Advanced\\Scanning", "Minimum", "6000");
    z.boxes.answer(sv::vbOK);
    sv::test::Find<QPushButton>(v, "cmdScan")->click();
    TicksWhile(z, z.st().IsScanning);
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), kNotFound);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::deviceMode()
{
    Wizard z(Deck({{"Webcam Mic", {{"", {}, 40}}},
                   {"Line Input", {{"", {}, 45}}},
                   {"USB Turntable", {{"", VirtualSignal::wav(m_music), 30}}},
                   {"Headset", {{"", {}, 60}}}},
                  true));
    z.set("Soundcard", "Mixer", "1");
    ToVolumePage(z);
    QWidget* v = z.w->picVolume();
    auto& turntable = sv::audio::DeckOf(z.st().Record())->mixers[2].lines[0];
    Tick(z);
    sv::test::Find<QPushButton>(v, "cmdScan")->click();
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), QStringLiteral("Scanning Webcam Mic"));
    QVERIFY(z.st().Record()->IsCapturing());
    Tick(z, 12);
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), QStringLiteral("Scanning Line Input"));
    // Each device is tried at full volume and given its own back.
    QCOMPARE(Volumes(z), QList<int>({40, 100, 30, 60}));
    Tick(z, 11);
    const int more = TicksWhile(z, z.st().IsScanning, 5);
    QVERIFY2(more == 1 || more == 2, qPrintable(QString::number(more)));
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), kFound);
    QCOMPARE(sv::test::Find<QComboBox>(v, "cboMixer")->currentText(), QStringLiteral("USB Turntable"));
    QCOMPARE(Volumes(z), QList<int>({40, 45, 50, 60}));
    QCOMPARE(z.get("Soundcard", "Mixer"), QStringLiteral("2"));

    // With no signal anywhere: four devices, then the saved one is back.
    turntable.signal = VirtualSignal::silence();
    sv::test::Find<QComboBox>(v, "cboMixer")->setCurrentIndex(1);
    z.w->picVolume()->cboMixer_Click();
    QVERIFY(z.st().Record()->IsCapturing()); // a newly chosen device is monitored
    Tick(z);
    z.boxes.answer(sv::vbOK);
    sv::test::Find<QPushButton>(v, "cmdScan")->click();
    QCOMPARE(TicksWhile(z, z.st().IsScanning), 48);
    QCOMPARE(z.boxes.last().title, kFailTitle);
    QCOMPARE(sv::test::Find<QComboBox>(v, "cboMixer")->currentText(), QStringLiteral("Line Input"));
    QCOMPARE(Volumes(z), QList<int>({40, 45, 50, 60}));
    QVERIFY(z.st().Record()->IsCapturing());
    QVERIFY(Enabled(v));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

// By Next or by Exit: the scan ends with the user's line at its own volume,
// not the line under test at full volume.
void TestVolume::leavingThePageEndsTheScan()
{
    for (const bool exit : {false, true}) {
        Wizard z(TwoCards(VirtualSignal::silence()));
        z.set("Soundcard", "Mixer", "1");
        z.set("Soundcard", "Line", "2");
        ToVolumePage(z);
        QWidget* v = z.w->picVolume();
        Tick(z);
        sv::test::Find<QPushButton>(v, "cmdScan")->click();
        Tick(z, 30);
        QCOMPARE(sv::test::Find<QComboBox>(v, "cboLine")->currentText(), QStringLiteral("CD Audio"));
        QCOMPARE(Volumes(z)[2], 100);
        if (exit) {
            QVERIFY(z.w->close());
        } else {
            z.boxes.answer(sv::vbYes); // "You didn't adjust the volume settings."
            z.next();
            QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
        }
        QVERIFY(!z.st().IsScanning);
        QCOMPARE(sv::test::Find<QComboBox>(v, "cboMixer")->currentIndex(), 1);
        QCOMPARE(sv::test::Find<QComboBox>(v, "cboLine")->currentText(), QStringLiteral("Mic"));
        QCOMPARE(Volumes(z), QList<int>({31, 32, 33, 34, 35, 36}));
        QVERIFY(!z.st().Record()->IsCapturing());
        QCOMPARE(z.get("Soundcard", "Mixer") + z.get("Soundcard", "Line"), QStringLiteral("12"));
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }
}

// "New recording" on the finish page brings the volume page back with its
// level monitored, also for devices, which have no line handler.
void TestVolume::newRecordingMonitorsAgain()
{
    Wizard z(Deck({{"USB Turntable", {{"", VirtualSignal::noise(12000), 50}}}}, true));
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    auto* rec = z.st().Record();
    QVERIFY(rec->IsCapturing());
    z.boxes.answer(sv::vbYes); // "You didn't adjust the volume settings."
    z.next();
    QVERIFY(!rec->IsCapturing());
    z.w->ShowPage(z.w->picFinish());
    sv::test::Find<QRadioButton>(z.w->picFinish(), "optFinishNew")->setChecked(true);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    QVERIFY(rec->IsCapturing());
    QVERIFY(sv::test::Find<QTimer>(page, "timDoVolume")->isActive());
    sv::test::Find<QTimer>(page, "timDoVolume")->stop();
    Tick(z, 2);
    QVERIFY(sv::test::Find<QProgressBar>(page, "barVolume")->value() > 0);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::adjustLowersLoudSignal()
{
    Wizard z(OneLine(VirtualSignal::noise(32767)));
    ToVolumePage(z);
    QWidget* v = z.w->picVolume();
    auto* rec = z.st().Record();
    sv::test::Find<QPushButton>(v, "cmdAdjust")->click();
    QCOMPARE(rec->GetVolume(), 100);
    QCOMPARE(sv::test::Find<QSlider>(v, "sliVolume")->value(), 100);
    QCOMPARE(sv::test::Find<QLabel>(v, "lblAdjustInfo")->text(), QStringLiteral("Optimizing Volume..."));
    QCOMPARE(z.get("Messages", "VolumeMessage"), QStringLiteral("1"));
    QVERIFY(Enabled(v));

    // Full-scale noise is too loud down to 70 % gain and fine at 60.
    QList<int> volumes;
    for (int i = 0; i < 5; ++i) {
        Tick(z);
        volumes << rec->GetVolume();
        QCOMPARE(sv::test::Find<QSlider>(v, "sliVolume")->value(), rec->GetVolume());
        QCOMPARE(sv::test::Find<QLabel>(v, "lblAdjustInfo")->text(), QStringLiteral("Optimizing volume...0%"));
    }
    QCOMPARE(volumes, QList<int>({90, 80, 70, 60, 60}));
    // Ten periods after the last change.
    const int ticks = TicksWhile(z, z.st().IsAdjusting);
    QVERIFY2(ticks > 9 * 12 && ticks <= 10 * 12, qPrintable(QString::number(ticks)));
    QCOMPARE(sv::test::Find<QLabel>(v, "lblAdjustInfo")->text(), kOptimized);
    QCOMPARE(rec->GetVolume(), 60);
    QVERIFY(z.boxes.shown.isEmpty());

    // A scan resets the volume, so the verdict goes; and it ends an adjustment
    // under way, which would otherwise judge the found line by old periods.
    const QString idle = QStringLiteral("Play the loudest part of your recording and click Adjust.");
    sv::test::Find<QPushButton>(v, "cmdScan")->click();
    QCOMPARE(sv::test::Find<QLabel>(v, "lblAdjustInfo")->text(), idle);
    TicksWhile(z, z.st().IsScanning);
    QCOMPARE(sv::test::Find<QLabel>(v, "lblAdjustInfo")->text(), idle);
    sv::test::Find<QPushButton>(v, "cmdAdjust")->click();
    Tick(z, 30);
    sv::test::Find<QPushButton>(v, "cmdScan")->click();
    QVERIFY(!z.st().IsAdjusting);
    QCOMPARE(sv::test::Find<QLabel>(v, "lblAdjustInfo")->text(), idle);
    Tick(z, 130);
    QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), kFound);
    QCOMPARE(sv::test::Find<QLabel>(v, "lblAdjustInfo")->text(), idle);
}

void TestVolume::adjustGivesUpAtTwenty()
{
    // A player so hot that the input clips even at a fifth of full gain.
    Wizard z(OneLine(VirtualSignal::noise(200000)));
    ToVolumePage(z);
    auto* rec = z.st().Record();
    z.boxes.answer(sv::vbOK);
    sv::test::Find<QPushButton>(z.w->picVolume(), "cmdAdjust")->click();
    TicksWhile(z, z.st().IsAdjusting, 20);
    QCOMPARE(sv::test::Find<QSlider>(z.w->picVolume(), "sliVolume")->value(), 20);
    QCOMPARE(sv::test::Find<QLabel>(z.w->picVolume(), "lblAdjustInfo")->text(),
             QStringLiteral("Volume too high. Reduce volume on player and try again."));
    QCOMPARE(z.boxes.shown.size(), 1);
    QCOMPARE(z.boxes.last().text,
             QStringLiteral("The volume from the player is too high. Please reduce the volume and try again."));
    QCOMPARE(z.boxes.last().title, sv::AppTitle);
    QCOMPARE(z.boxes.last().style, int(sv::vbOKOnly));
    QVERIFY(z.boxes.last().plain);
    Tick(z, 3);
    QCOMPARE(rec->GetVolume(), 20);
    QCOMPARE(z.boxes.shown.size(), 1);
}

// The verdict's label and box; the scan's tests show the verdict is final.
void TestVolume::adjustOutcome_data()
{
    const QString low = QStringLiteral("Volume too low. Increase volume from player and try again.");
    const QString lowBox = QStringLiteral("The volume from the player is too low. Please increase the volume "
                                          "slightly and try again.");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("lastLevel");
    QTest::addColumn<int>("lastVolume");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("box");
    QTest::newRow("quiet") << 800 << 800 << 100 << low << lowBox;
    QTest::newRow("good") << 12000 << 12000 << 100 << kOptimized << QString();
}

void TestVolume::adjustOutcome()
{
    QFETCH(int, level);
    QFETCH(int, lastLevel);
    QFETCH(int, lastVolume);
    QFETCH(QString, label);
    QFETCH(QString, box);
    Wizard z(OneLine(VirtualSignal::noise(level)));
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    auto* rec = z.st().Record();
    if (!box.isEmpty())
        z.boxes.answer(sv::vbOK);
    sv::test::Find<QPushButton>(page, "cmdAdjust")->click();
    Tick(z, 119);
    QCOMPARE(sv::test::Find<QLabel>(page, "lblAdjustInfo")->text(), QStringLiteral("Optimizing volume...90%"));
    sv::audio::DeckOf(rec)->mixers[0].lines[0].signal = VirtualSignal::noise(lastLevel);
    rec->SetVolume(lastVolume);
    Tick(z);
    QVERIFY(!z.st().IsAdjusting);
    QCOMPARE(sv::test::Find<QLabel>(page, "lblAdjustInfo")->text(), label);
    QCOMPARE(rec->GetVolume(), lastVolume);
    QCOMPARE(z.boxes.shown.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty())
        QCOMPARE(z.boxes.last().text, box);
}

void TestVolume::sliderAndPreview()
{
    Wizard z(OneLine(VirtualSignal::silence(), 64));
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    QWidget* v = page;
    auto* rec = z.st().Record();
    Tick(z);
    QCOMPARE(sv::test::Find<QSlider>(v, "sliVolume")->value(), 64);
    QCOMPARE(sv::test::Find<QProgressBar>(v, "barVolume")->value(), 0);
    // Changes made outside the program show at the next tick; the slider sets the volume.
    rec->SetVolume(73);
    Tick(z);
    QCOMPARE(sv::test::Find<QSlider>(v, "sliVolume")->value(), 73);
    sv::test::Find<QSlider>(v, "sliVolume")->setValue(42);
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
    QCOMPARE(sv::test::Find<QSlider>(v, "sliVolume")->value(), 42);
    QVERIFY(!z.boxes.unexpected());
}

QTEST_MAIN(TestVolume)
#include "test_volume.moc"
