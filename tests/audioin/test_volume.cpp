// The volume page: the level bar and threshold rules, the line scan (line and
// device mode) and the volume optimisation, on the virtual deck. The timer is
// stopped and its ticks are driven by hand.
#include "app/WizardFixture.h"
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
namespace vr = volume_rules;

namespace {

const QString kFailText = QStringLiteral(
    "Sonivault was unable to detect music on any input line. Please check the following: \r\n\r\n"
    "1 Insure your cable is connected correctly\r\n2 Make sure you are playing the cassette or record\r\n"
    "3 Turn the volume up on your player\r\n\r\n"
    "If the above does not help, please click the Help button for more information.");
const QString kFailTitle = QStringLiteral("Cannot detect any recording line");
const QString kHelpText = QStringLiteral(
    "This is the third time you've unsuccessfully scanned for the input line. Would you like addition help on this?");
const QString kFound = QStringLiteral("Line found. Click Adjust to optimize the volume.");
const QString kOptimized = QStringLiteral("Volume Optimized. Click Next to continue.");

// Two cards of three lines; the music is on the fifth line ("Tape").
VirtualDeck TwoCards(const VirtualSignal& fifth)
{
    VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Deck Card"),
                    {{QStringLiteral("Line In"), {}, 31}, {QStringLiteral("Microphone"), {}, 32},
                     {QStringLiteral("CD Audio"), {}, 33}}},
                   {QStringLiteral("USB Audio"),
                    {{QStringLiteral("Phono"), {}, 34}, {QStringLiteral("Tape"), fifth, 35},
                     {QStringLiteral("Mic"), {}, 36}}}};
    deck.speed = 20;
    return deck;
}

VirtualDeck OneLine(const VirtualSignal& signal, int volume = 50)
{
    VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Card"), {{QStringLiteral("Line In"), signal, volume}}}};
    deck.speed = 20;
    return deck;
}

QList<int> Volumes(Wizard& z)
{
    QList<int> v;
    for (const auto& mixer : sv::audio::DeckOf(z.st().Record())->mixers)
        for (const auto& line : mixer.lines)
            v << line.volume;
    return v;
}

// Brings the window up on the volume page with the timer stopped.
void ToVolumePage(Wizard& z)
{
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.next();
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    z.w->picVolume()->timDoVolume.stop();
}

// One tick, after the deck has delivered two fresh blocks, so the level is
// that of the current line at its current volume.
void Tick(Wizard& z)
{
    auto* rec = z.st().Record();
    if (rec->IsCapturing()) {
        const qint64 start = rec->FramesWritten();
        QElapsedTimer t;
        t.start();
        while (rec->IsCapturing() && rec->FramesWritten() < start + 2 * 2205 && t.elapsed() < 3000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    z.w->picVolume()->timDoVolume_Timer();
}

// Ticks until the scan ends; returns the number of ticks taken.
int ScanToEnd(Wizard& z, int limit = 200)
{
    int n = 0;
    while (z.st().IsScanning && n < limit) {
        Tick(z);
        ++n;
    }
    return n;
}

int AdjustToEnd(Wizard& z, QStringList* texts = nullptr, int limit = 400)
{
    int n = 0;
    while (z.st().IsAdjusting && n < limit) {
        Tick(z);
        ++n;
        if (texts)
            *texts << z.w->picVolume()->ui->lblAdjustInfo->text();
    }
    return n;
}

} // namespace

class TestVolume : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void levelBar();
    void loudRules();
    void scanFindsFifthLine();
    void scanFailureRestoresEverything();
    void helpOfferOnThirdFailureOnly();
    void scanMinimumSetting();
    void scanPassesCardWithoutInputs();
    void deviceModeScan();
    void deviceModeFailure();
    void leavingThePageEndsTheScan();
    void adjustLowersLoudSignal();
    void adjustGivesUpAtTwenty();
    void adjustOutcome_data();
    void adjustOutcome();
    void scanEndsAdjustment();
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

void TestVolume::levelBar()
{
    QCOMPARE(vr::Level(1000, 1001), 1000.5);
    // Jumps to eight times the level, then halves as the signal falls away.
    int bar = vr::NextBarValue(0, 1000);
    QCOMPARE(bar, 8000);
    QList<int> falling;
    for (int i = 0; i < 4; ++i)
        falling << (bar = vr::NextBarValue(bar, 0));
    QCOMPARE(falling, QList<int>({4000, 2000, 1000, 500}));
    // A quieter signal slows the fall: half the bar plus three times the level.
    QCOMPARE(vr::NextBarValue(8000, 500), 5500);
    // Capped below full scale.
    QCOMPARE(vr::NextBarValue(0, 4000), 30000);
    QCOMPARE(vr::NextBarValue(29000, 32768), 30000);
    // Halves go to the even neighbour; half levels come from the channel mean.
    QCOMPARE(vr::NextBarValue(1, 0), 0);
    QCOMPARE(vr::NextBarValue(3, 0), 2);
    QCOMPARE(vr::NextBarValue(0, 1000.5), 8004);
    QCOMPARE(vr::NextBarValue(0, 0.0625), 0);
    QCOMPARE(vr::RoundHalfEven(2.5), 2);
    QCOMPARE(vr::RoundHalfEven(3.5), 4);
    QCOMPARE(vr::RoundHalfEven(50.0), 50);
}

void TestVolume::loudRules()
{
    using A = vr::LoudAction;
    // The level must exceed the threshold; the volume is lowered while above 20.
    QCOMPARE(vr::OnLevel(22000, 22000, 100), A::None);
    QCOMPARE(vr::OnLevel(22000.5, 22000, 100), A::Lower);
    QCOMPARE(vr::OnLevel(30000, 22000, 21), A::Lower);
    QCOMPARE(vr::OnLevel(30000, 22000, 20), A::GiveUp);
    QCOMPARE(vr::OnLevel(30000, 22000, 0), A::GiveUp);
    QCOMPARE(vr::OnLevel(0, 0, 10), A::None);
    QCOMPARE(vr::AdjustProgressText(0), QStringLiteral("Optimizing volume...0%"));
    QCOMPARE(vr::AdjustProgressText(3), QStringLiteral("Optimizing volume...30%"));
    QCOMPARE(vr::AdjustProgressText(10), QStringLiteral("Optimizing volume...100%"));
}

void TestVolume::scanFindsFifthLine()
{
    Wizard z(TwoCards(VirtualSignal::wav(m_music)));
    z.set("Soundcard", "Line", "2");
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    auto* v = page->ui.get();
    auto* rec = z.st().Record();
    QCOMPARE(v->cboLine->currentText(), QStringLiteral("CD Audio"));
    const QString mixerSetting = z.get("Soundcard", "Mixer");
    const QString lineSetting = z.get("Soundcard", "Line");

    v->cmdScan->click();
    QVERIFY(z.st().IsScanning);
    QCOMPARE(page->ScanAttempts(), 1);
    for (QWidget* w : QList<QWidget*>{v->cboMixer, v->cboLine, v->cmdScan, v->cmdAdjust})
        QVERIFY(!w->isEnabled());
    QCOMPARE(v->lblScanInfo->text(), QStringLiteral("Scanning Line In"));
    QCOMPARE(rec->GetVolume(), 100);

    // 2.4 seconds (12 ticks) per line; every line is tried at full volume.
    const QStringList order = {"Microphone", "CD Audio", "Phono"};
    for (const QString& line : order) {
        for (int i = 0; i < 12; ++i)
            Tick(z);
        QVERIFY(z.st().IsScanning);
        QCOMPARE(v->lblScanInfo->text(), QStringLiteral("Scanning ") + line);
        QCOMPARE(v->cboLine->currentText(), line);
        QCOMPARE(rec->GetVolume(), 100);
    }
    QCOMPARE(v->cboMixer->currentIndex(), 1);
    for (int i = 0; i < 11; ++i)
        Tick(z);
    QVERIFY(z.st().IsScanning);
    // The fourth step reaches the music; it is heard in that tick or the next.
    const int more = ScanToEnd(z, 5);
    QVERIFY2(more == 1 || more == 2, qPrintable(QString::number(more)));
    QCOMPARE(v->lblScanInfo->text(), kFound);
    QCOMPARE(v->cboMixer->currentText(), QStringLiteral("USB Audio"));
    QCOMPARE(v->cboLine->currentText(), QStringLiteral("Tape"));
    QVERIFY(rec->IsCapturing());
    // Lines passed over have their own volume again; the found one is at half.
    QCOMPARE(Volumes(z), QList<int>({31, 32, 33, 34, 50, 36}));
    QCOMPARE(v->sliVolume->value(), 50);
    for (QWidget* w : QList<QWidget*>{v->cboMixer, v->cboLine, v->cmdScan, v->cmdAdjust})
        QVERIFY(w->isEnabled());
    // The find is for this run only.
    QCOMPARE(z.get("Soundcard", "Mixer"), mixerSetting);
    QCOMPARE(z.get("Soundcard", "Line"), lineSetting);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::scanFailureRestoresEverything()
{
    Wizard z(TwoCards(VirtualSignal::silence()));
    z.set("Soundcard", "Mixer", "1");
    z.set("Soundcard", "Line", "2");
    ToVolumePage(z);
    auto* v = z.w->picVolume()->ui.get();
    Tick(z); // the slider takes up the line's volume
    QCOMPARE(v->sliVolume->value(), 36);

    z.boxes.answer(sv::vbOK);
    v->cmdScan->click();
    // Six lines, 12 ticks each: the scan gives up on the sixth step.
    for (int i = 0; i < 71; ++i)
        Tick(z);
    QVERIFY(z.st().IsScanning);
    QCOMPARE(v->lblScanInfo->text(), QStringLiteral("Scanning Mic"));
    Tick(z);
    QVERIFY(!z.st().IsScanning);
    QCOMPARE(v->lblScanInfo->text(), QStringLiteral("No recording line was detected."));
    QCOMPARE(z.boxes.shown.size(), 1);
    QCOMPARE(z.boxes.last().title, kFailTitle);
    QCOMPARE(z.boxes.last().text, kFailText);
    QCOMPARE(z.boxes.last().style, int(sv::vbExclamation));
    QCOMPARE(z.boxes.last().position, 7);

    // The user's card, line and every volume come back, the first line of
    // each card included, and monitoring runs on the restored line.
    QCOMPARE(v->cboMixer->currentIndex(), 1);
    QCOMPARE(v->cboLine->currentText(), QStringLiteral("Mic"));
    QCOMPARE(Volumes(z), QList<int>({31, 32, 33, 34, 35, 36}));
    QVERIFY(z.st().Record()->IsCapturing());
    for (QWidget* w : QList<QWidget*>{v->cboMixer, v->cboLine, v->cmdScan, v->cmdAdjust})
        QVERIFY(w->isEnabled());
    QCOMPARE(z.get("Soundcard", "Mixer"), QStringLiteral("1"));
    QCOMPARE(z.get("Soundcard", "Line"), QStringLiteral("2"));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::helpOfferOnThirdFailureOnly()
{
    VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Card"), {{QStringLiteral("Line In"), {}, 40}, {QStringLiteral("Aux"), {}, 45}}}};
    deck.speed = 20;
    Wizard z(deck);
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    auto* line = &sv::audio::DeckOf(z.st().Record())->mixers[0].lines[1];

    const auto scan = [&] {
        page->ui->cmdScan->click();
        ScanToEnd(z);
    };
    z.boxes.answer(sv::vbOK);
    scan(); // 1: fails, no offer
    QCOMPARE(z.boxes.shown.size(), 1);
    line->signal = VirtualSignal::noise(5000);
    scan(); // 2: found
    QCOMPARE(page->ui->lblScanInfo->text(), kFound);
    QCOMPARE(z.boxes.shown.size(), 1);
    line->signal = VirtualSignal::silence();

    z.boxes.answer(sv::vbOK);
    z.boxes.answer(sv::vbNo);
    scan(); // 3: fails, the offer comes once
    QCOMPARE(z.boxes.shown.size(), 3);
    QCOMPARE(z.boxes.shown.at(2).title, QStringLiteral("Additional help"));
    QCOMPARE(z.boxes.shown.at(2).text, kHelpText);
    QCOMPARE(z.boxes.shown.at(2).style, sv::vbYesNo + sv::vbQuestion);
    QCOMPARE(page->ScanAttempts(), 4);

    z.boxes.answer(sv::vbOK);
    scan(); // 4: fails without the offer
    QCOMPARE(z.boxes.shown.size(), 4);
    QCOMPARE(z.boxes.last().title, kFailTitle);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::scanMinimumSetting()
{
    Wizard z(OneLine(VirtualSignal::noise(5000)));
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    // Above the stored minimum only.
    z.set("Advanced\\Scanning", "Minimum", "6000");
    z.boxes.answer(sv::vbOK);
    page->ui->cmdScan->click();
    QCOMPARE(ScanToEnd(z), 12);
    QCOMPARE(z.boxes.last().title, kFailTitle);
    // A damaged value means the default, not a minimum of 0.
    z.set("Advanced\\Scanning", "Minimum", "loud");
    sv::audio::DeckOf(z.st().Record())->mixers[0].lines[0].signal = VirtualSignal::noise(300);
    z.boxes.answer(sv::vbOK);
    page->ui->cmdScan->click();
    ScanToEnd(z);
    QCOMPARE(page->ui->lblScanInfo->text(), QStringLiteral("No recording line was detected."));
    z.set("Advanced\\Scanning", "Minimum", "200.9");
    page->ui->cmdScan->click();
    ScanToEnd(z);
    QCOMPARE(page->ui->lblScanInfo->text(), kFound);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::scanPassesCardWithoutInputs()
{
    VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Card"), {{QStringLiteral("Line In"), {}, 40}}},
                   {QStringLiteral("Empty Card"), {}},
                   {QStringLiteral("USB"), {{QStringLiteral("Aux"), VirtualSignal::noise(5000), 45}}}};
    deck.speed = 20;
    Wizard z(deck);
    ToVolumePage(z);
    auto* v = z.w->picVolume()->ui.get();
    v->cmdScan->click();
    // No "no recording inputs" message in the middle of a scan.
    const int ticks = ScanToEnd(z);
    QVERIFY2(ticks == 24 || ticks == 25, qPrintable(QString::number(ticks)));
    QCOMPARE(v->lblScanInfo->text(), kFound);
    QCOMPARE(v->cboLine->currentText(), QStringLiteral("Aux"));
    QVERIFY(v->cboLine->isEnabled());
    QVERIFY2(z.boxes.shown.isEmpty(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::deviceModeScan()
{
    VirtualDeck deck;
    deck.deviceMode = true;
    deck.mixers = {{QStringLiteral("Webcam Mic"), {{QString(), {}, 40}}},
                   {QStringLiteral("Line Input"), {{QString(), {}, 45}}},
                   {QStringLiteral("USB Turntable"), {{QString(), VirtualSignal::wav(m_music), 30}}},
                   {QStringLiteral("Headset"), {{QString(), {}, 60}}}};
    deck.speed = 20;
    Wizard z(deck);
    z.set("Soundcard", "Mixer", "1");
    ToVolumePage(z);
    auto* v = z.w->picVolume()->ui.get();
    QCOMPARE(v->lblScanInfo->text(), QStringLiteral("Click Scan to find the Recording Device."));

    v->cmdScan->click();
    QCOMPARE(v->lblScanInfo->text(), QStringLiteral("Scanning Webcam Mic"));
    QVERIFY(z.st().Record()->IsCapturing());
    QCOMPARE(z.st().Record()->GetVolume(), 100);
    for (int i = 0; i < 12; ++i)
        Tick(z);
    QCOMPARE(v->lblScanInfo->text(), QStringLiteral("Scanning Line Input"));
    QVERIFY(z.st().Record()->IsCapturing());
    // Each device is tried at full volume and given its own back.
    QCOMPARE(Volumes(z), QList<int>({40, 100, 30, 60}));
    for (int i = 0; i < 11; ++i)
        Tick(z);
    const int more = ScanToEnd(z, 5);
    QVERIFY2(more == 1 || more == 2, qPrintable(QString::number(more)));
    QCOMPARE(v->lblScanInfo->text(), kFound);
    QCOMPARE(v->cboMixer->currentText(), QStringLiteral("USB Turntable"));
    QCOMPARE(Volumes(z), QList<int>({40, 45, 50, 60}));
    QVERIFY(v->cboMixer->isEnabled() && v->cmdScan->isEnabled() && v->cmdAdjust->isEnabled());
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::deviceModeFailure()
{
    VirtualDeck deck;
    deck.deviceMode = true;
    deck.mixers = {{QStringLiteral("Webcam Mic"), {{QString(), {}, 40}}},
                   {QStringLiteral("Line Input"), {{QString(), {}, 45}}}};
    deck.speed = 20;
    Wizard z(deck);
    z.set("Soundcard", "Mixer", "1");
    ToVolumePage(z);
    auto* v = z.w->picVolume()->ui.get();
    Tick(z);
    QCOMPARE(v->sliVolume->value(), 45);
    z.boxes.answer(sv::vbOK);
    v->cmdScan->click();
    QCOMPARE(ScanToEnd(z), 24);
    QCOMPARE(z.boxes.last().title, kFailTitle);
    QCOMPARE(v->cboMixer->currentText(), QStringLiteral("Line Input"));
    QCOMPARE(Volumes(z), QList<int>({40, 45}));
    QVERIFY(z.st().Record()->IsCapturing());
    QVERIFY(v->cboMixer->isEnabled() && v->cmdScan->isEnabled() && v->cmdAdjust->isEnabled());
    QCOMPARE(z.get("Soundcard", "Mixer"), QStringLiteral("1"));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::leavingThePageEndsTheScan()
{
    Wizard z(TwoCards(VirtualSignal::silence()));
    z.set("Soundcard", "Mixer", "1");
    z.set("Soundcard", "Line", "2");
    ToVolumePage(z);
    auto* v = z.w->picVolume()->ui.get();
    Tick(z);
    v->cmdScan->click();
    for (int i = 0; i < 30; ++i)
        Tick(z);
    QCOMPARE(v->cboLine->currentText(), QStringLiteral("CD Audio"));
    z.boxes.answer(sv::vbYes); // "You didn't adjust the volume settings."
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
    // The recording source is the user's line at its own volume, not the line under test.
    QVERIFY(!z.st().IsScanning);
    QCOMPARE(v->cboMixer->currentIndex(), 1);
    QCOMPARE(v->cboLine->currentText(), QStringLiteral("Mic"));
    QCOMPARE(Volumes(z), QList<int>({31, 32, 33, 34, 35, 36}));
    QVERIFY(!z.st().Record()->IsCapturing());
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    QVERIFY(v->cmdScan->isEnabled() && v->cboLine->isEnabled());
    QCOMPARE(z.boxes.shown.size(), 1);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::adjustLowersLoudSignal()
{
    Wizard z(OneLine(VirtualSignal::noise(32767)));
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    auto* v = page->ui.get();
    auto* rec = z.st().Record();
    QCOMPARE(z.get("Messages", "VolumeMessage", "0"), QStringLiteral("0"));

    v->cmdAdjust->click();
    QVERIFY(z.st().IsAdjusting);
    QCOMPARE(rec->GetVolume(), 100);
    QCOMPARE(v->sliVolume->value(), 100);
    QCOMPARE(v->lblAdjustInfo->text(), QStringLiteral("Optimizing Volume..."));
    QCOMPARE(z.get("Messages", "VolumeMessage", "0"), QStringLiteral("1"));
    QVERIFY(v->cmdScan->isEnabled() && v->cmdAdjust->isEnabled());

    // Full-scale noise: too loud down to 70 % gain, fine at 60.
    QList<int> volumes;
    for (int i = 0; i < 5; ++i) {
        Tick(z);
        volumes << rec->GetVolume();
        QCOMPARE(v->sliVolume->value(), rec->GetVolume());
        QCOMPARE(v->lblAdjustInfo->text(), QStringLiteral("Optimizing volume...0%"));
    }
    QCOMPARE(volumes, QList<int>({90, 80, 70, 60, 60}));
    QCOMPARE(page->AdjustPeriods(), 0);

    // Ten quiet periods after the last change, then done.
    QStringList texts;
    const int ticks = AdjustToEnd(z, &texts);
    QVERIFY2(ticks > 9 * 12 && ticks <= 10 * 12, qPrintable(QString::number(ticks)));
    QVERIFY(texts.contains(QStringLiteral("Optimizing volume...90%")));
    QCOMPARE(v->lblAdjustInfo->text(), kOptimized);
    QCOMPARE(rec->GetVolume(), 60);
    Tick(z);
    QCOMPARE(v->sliVolume->value(), 60);
    QVERIFY2(z.boxes.shown.isEmpty(), qPrintable(z.boxes.unexpectedText()));
}

void TestVolume::adjustGivesUpAtTwenty()
{
    // A player so hot that the input clips even at a fifth of full gain.
    Wizard z(OneLine(VirtualSignal::noise(200000)));
    ToVolumePage(z);
    auto* v = z.w->picVolume()->ui.get();
    auto* rec = z.st().Record();
    z.boxes.answer(sv::vbOK);
    v->cmdAdjust->click();
    QList<int> volumes;
    while (z.st().IsAdjusting && volumes.size() < 20) {
        Tick(z);
        volumes << rec->GetVolume();
    }
    QCOMPARE(volumes, QList<int>({90, 80, 70, 60, 50, 40, 30, 20, 20}));
    QCOMPARE(v->lblAdjustInfo->text(), QStringLiteral("Volume too high. Reduce volume on player and try again."));
    QCOMPARE(z.boxes.shown.size(), 1);
    QCOMPARE(z.boxes.last().text,
             QStringLiteral("The volume from the player is too high. Please reduce the volume and try again."));
    QCOMPARE(z.boxes.last().title, sv::AppTitle);
    QCOMPARE(z.boxes.last().style, int(sv::vbOKOnly));
    QVERIFY(z.boxes.last().plain);
    // The adjustment is over: further ticks leave the volume alone.
    for (int i = 0; i < 3; ++i)
        Tick(z);
    QCOMPARE(rec->GetVolume(), 20);
    QCOMPARE(z.boxes.shown.size(), 1);
}

void TestVolume::adjustOutcome_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("box");
    QTest::newRow("quiet") << 800 << QStringLiteral("Volume too low. Increase volume from player and try again.")
                           << QStringLiteral("The volume from the player is too low. Please increase the volume "
                                             "slightly and try again.");
    QTest::newRow("good") << 12000 << kOptimized << QString();
}

void TestVolume::adjustOutcome()
{
    QFETCH(int, level);
    QFETCH(QString, label);
    QFETCH(QString, box);
    Wizard z(OneLine(VirtualSignal::noise(level)));
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    if (!box.isEmpty())
        z.boxes.answer(sv::vbOK);
    page->ui->cmdAdjust->click();
    QStringList texts;
    const int ticks = AdjustToEnd(z, &texts);
    QVERIFY2(ticks > 9 * 12 && ticks <= 10 * 12, qPrintable(QString::number(ticks)));
    QCOMPARE(page->AdjustPeriods(), 10);
    QCOMPARE(page->ui->lblAdjustInfo->text(), label);
    QCOMPARE(texts.count(QStringLiteral("Optimizing volume...100%")), 0);
    QCOMPARE(z.st().Record()->GetVolume(), 100);
    if (box.isEmpty()) {
        QVERIFY(z.boxes.shown.isEmpty());
    } else {
        QCOMPARE(z.boxes.shown.size(), 1);
        QCOMPARE(z.boxes.last().text, box);
        QVERIFY(z.boxes.last().plain);
    }
}

void TestVolume::scanEndsAdjustment()
{
    Wizard z(OneLine(VirtualSignal::noise(5000)));
    ToVolumePage(z);
    auto* v = z.w->picVolume()->ui.get();
    const QString idle = v->lblAdjustInfo->text();
    v->cmdAdjust->click();
    for (int i = 0; i < 30; ++i)
        Tick(z);
    QVERIFY(z.st().IsAdjusting);
    v->cmdScan->click();
    QVERIFY(!z.st().IsAdjusting);
    QCOMPARE(v->lblAdjustInfo->text(), idle);
    ScanToEnd(z);
    QCOMPARE(v->lblScanInfo->text(), kFound);
    for (int i = 0; i < 130; ++i)
        Tick(z);
    QCOMPARE(v->lblAdjustInfo->text(), idle);
    QCOMPARE(z.st().Record()->GetVolume(), 50);
}

void TestVolume::sliderAndPreview()
{
    Wizard z(OneLine(VirtualSignal::silence(), 64));
    ToVolumePage(z);
    auto* page = z.w->picVolume();
    auto* v = page->ui.get();
    auto* rec = z.st().Record();
    Tick(z);
    QCOMPARE(v->sliVolume->value(), 64);
    QCOMPARE(v->barVolume->value(), 0);
    // Changes made outside the program show on the slider at the next tick.
    rec->SetVolume(73);
    Tick(z);
    QCOMPARE(v->sliVolume->value(), 73);
    // Moving the slider sets the volume.
    v->sliVolume->setValue(42);
    QCOMPARE(rec->GetVolume(), 42);

    // The throw-away capture starts anew after 120 more ticks.
    QSignalSpy restarts(rec, &sv::audio::RecordObject::CaptureStarted);
    int ticks = 2;
    while (ticks < 120) {
        Tick(z);
        ++ticks;
    }
    QCOMPARE(restarts.count(), 0);
    Tick(z);
    QCOMPARE(restarts.count(), 1);
    QVERIFY(rec->IsCapturing());
    QVERIFY(QFile::exists(page->VolsetPath()));

    // Off the page the ticks do nothing.
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picConnect"));
    rec->SetVolume(20);
    page->timDoVolume_Timer();
    QCOMPARE(v->sliVolume->value(), 42);
    QVERIFY(!z.boxes.unexpected());
}

QTEST_MAIN(TestVolume)
#include "test_volume.moc"
