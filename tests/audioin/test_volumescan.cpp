// The line scan and the volume optimisation on the virtual deck, without the
// page: which lines are tried in which order at which volume, when the scan
// stops, and how the optimisation lowers the volume and gives its verdict.
#include "audioin/VolumeScan.h"
#include "audioin/engine/AudioEngine.h"
#include "audioin/engine/VirtualBackend.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <thread>

using namespace sv;
using namespace sv::audio;
namespace vr = sv::volume_rules;

namespace {

VirtualDeck Deck(QList<VirtualMixer> mixers, bool deviceMode = false)
{
    VirtualDeck deck;
    deck.mixers = std::move(mixers);
    deck.deviceMode = deviceMode;
    deck.speed = 20;
    return deck;
}

// Does for the scan what the volume page does with its lists.
struct Lists : VolumeScan::Host {
    RecordObject& rec;
    VolumeScan& scan;
    QString preview;
    QStringList log;
    Lists(RecordObject& r, VolumeScan& s, const QString& file) : rec(r), scan(s), preview(file) {}

    void capture()
    {
        rec.SetPreviewFileName(preview);
        rec.StartCapture(2, 44100);
    }
    void selectLine(int index) override
    {
        log << "line " + QString::number(index);
        rec.SetLine(index);
        capture();
        scan.lineSelected(rec);
    }
    void selectMixer(int index) override
    {
        log << "mixer " + QString::number(index);
        rec.SetMixer(index);
        if (!rec.IsDeviceMode() && rec.GetLineCount() > 0) {
            rec.SetLine(0);
            capture();
        }
        scan.lineSelected(rec);
    }
    void scanFailed() override
    {
        log << "failed";
        scan.giveBackLineVolume(rec);
        scan.endScan();
    }
    // Monitors the first line, as the page does when it opens.
    void monitor()
    {
        rec.SetMixer(0);
        rec.SetLine(0);
        capture();
    }
    // The scan starts on the first line of the first mixer.
    void start(const VolumeSettings& settings)
    {
        scan.startScan(settings);
        rec.SetMixer(0);
        if (!rec.IsDeviceMode())
            rec.SetLine(0);
        capture();
        scan.lineSelected(rec);
    }
};

QList<int> Volumes(RecordObject& rec)
{
    QList<int> v;
    for (const auto& mixer : DeckOf(&rec)->mixers)
        for (const auto& line : mixer.lines)
            v << line.volume;
    return v;
}

} // namespace

class TestVolumeScan : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

    // One tick once the deck has delivered two fresh blocks, so the level is
    // that of the current line at its current volume.
    static VolumeScan::Tick tick(RecordObject& rec, VolumeScan& scan, VolumeScan::Host& host)
    {
        const qint64 start = rec.FramesWritten();
        QElapsedTimer t;
        t.start();
        while (rec.IsCapturing() && rec.FramesWritten() < start + 2 * 2205 && t.elapsed() < 3000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return scan.tick(rec, host);
    }

private Q_SLOTS:
    void levelBar()
    {
        // The bar jumps to eight times the level, then halves as the signal falls away.
        int bar = vr::NextBarValue(0, 1000);
        QCOMPARE(bar, 8000);
        QList<int> falling;
        for (int i = 0; i < 4; ++i)
            falling << (bar = vr::NextBarValue(bar, 0));
        QCOMPARE(falling, QList<int>({4000, 2000, 1000, 500}));
        QCOMPARE(vr::NextBarValue(8000, 500), 5500); // half the bar plus three times the level
        QCOMPARE(vr::NextBarValue(0, 4000), 30000);  // the cap, not eight times the level
        QCOMPARE(vr::NextBarValue(3, 0), 2);         // halves to even
        QCOMPARE(vr::NextBarValue(0, vr::Level(1000, 1001)), 8004);
        QCOMPARE(vr::OnLevel(22000, 22000, 100), vr::LoudAction::None); // too loud only above the threshold
    }

    void scanWalksLinesThenCards()
    {
        auto engine = CreateVirtualEngine(
            Deck({{"Deck Card", {{"Line In", {}, 31}, {"Microphone", {}, 32}, {"CD Audio", {}, 33}}},
                  {"USB Audio", {{"Phono", {}, 34}, {"Tape", VirtualSignal::noise(5000), 35}, {"Mic", {}, 36}}}}));
        RecordObject& rec = *engine->record;
        VolumeScan scan;
        Lists lists(rec, scan, env.tmp() + "volset.wav");
        lists.start(VolumeSettings());
        QCOMPARE(Volumes(rec), QList<int>({100, 32, 33, 34, 35, 36})); // the line under test at full volume
        int ticks = 0;
        VolumeScan::Tick t;
        while (scan.scanning() && ticks < 200) {
            t = tick(rec, scan, lists);
            ++ticks;
        }
        QCOMPARE(lists.log, QStringList({"line 1", "line 2", "mixer 1", "line 1"}));
        QVERIFY2(ticks > 48 && ticks <= 50, qPrintable(QString::number(ticks)));
        QVERIFY(t.found && t.syncSlider);
        QCOMPARE(scan.mixer(), 1);
        QCOMPARE(scan.line(), 1);
        // Every line tried has its own volume back; the found one starts at half.
        QCOMPARE(Volumes(rec), QList<int>({31, 32, 33, 34, 50, 36}));
    }

    void scanFailsOrFindsByTheMinimum()
    {
        auto engine = CreateVirtualEngine(Deck({{"Card", {{"Line In", VirtualSignal::noise(300), 40}}},
                                                {"Empty Card", {}},
                                                {"USB", {{"Aux", VirtualSignal::noise(5000), 45}}}}));
        RecordObject& rec = *engine->record;
        VolumeScan scan;
        Lists lists(rec, scan, env.tmp() + "volset.wav");
        // A card without inputs is passed over.
        lists.start(VolumeSettings());
        int ticks = 0;
        while (scan.scanning() && ticks < 200)
            tick(rec, scan, lists), ++ticks;
        QCOMPARE(lists.log, QStringList({"mixer 1", "mixer 2"}));
        QVERIFY2(ticks == 24 || ticks == 25, qPrintable(QString::number(ticks)));

        // The level must exceed the minimum the scan started with.
        lists.log.clear();
        lists.start({6000, 22000, 1000});
        ticks = 0;
        while (scan.scanning() && ticks < 200)
            tick(rec, scan, lists), ++ticks;
        QCOMPARE(ticks, 36);
        QCOMPARE(lists.log, QStringList({"mixer 1", "mixer 2", "failed"}));
        QCOMPARE(Volumes(rec), QList<int>({40, 50})); // Aux keeps the volume it was found at
    }

    void deviceModeTriesEachDevice()
    {
        auto engine = CreateVirtualEngine(Deck({{"Webcam Mic", {{"", {}, 40}}},
                                                {"Line Input", {{"", {}, 45}}},
                                                {"USB Turntable", {{"", VirtualSignal::noise(5000), 30}}}},
                                               true));
        RecordObject& rec = *engine->record;
        VolumeScan scan;
        Lists lists(rec, scan, env.tmp() + "volset.wav");
        lists.start(VolumeSettings());
        int ticks = 0;
        while (scan.scanning() && ticks < 200)
            tick(rec, scan, lists), ++ticks;
        QCOMPARE(lists.log, QStringList({"mixer 1", "mixer 2"}));
        QVERIFY(rec.IsCapturing()); // the scan starts each device's capture itself
        QCOMPARE(Volumes(rec), QList<int>({40, 45, 50}));
    }

    // Full-scale noise is too loud down to 70 % gain and fine at 60; the
    // verdict comes ten quiet periods after the last change.
    void adjustLowersUntilQuietEnough()
    {
        auto engine = CreateVirtualEngine(Deck({{"Card", {{"Line In", VirtualSignal::noise(32767), 50}}}}));
        RecordObject& rec = *engine->record;
        VolumeScan scan;
        Lists lists(rec, scan, env.tmp() + "volset.wav");
        lists.monitor();
        scan.startAdjust(rec, VolumeSettings());
        QCOMPARE(rec.GetVolume(), 100);
        QList<int> volumes;
        for (int i = 0; i < 5; ++i) {
            const VolumeScan::Tick t = tick(rec, scan, lists);
            QCOMPARE(t.volumeLowered, i < 4);
            QCOMPARE(t.adjustText, QStringLiteral("Optimizing volume...0%"));
            volumes << rec.GetVolume();
        }
        QCOMPARE(volumes, QList<int>({90, 80, 70, 60, 60}));
        VolumeScan::Tick t;
        int ticks = 0;
        while (scan.adjusting() && ticks < 200)
            t = tick(rec, scan, lists), ++ticks;
        QVERIFY2(ticks > 9 * 12 && ticks <= 10 * 12, qPrintable(QString::number(ticks)));
        QCOMPARE(t.verdict, VolumeScan::Verdict::Optimized);
        QCOMPARE(rec.GetVolume(), 60);
    }

    void adjustGivesUpAtTwenty()
    {
        // A player so hot that the input clips even at a fifth of full gain.
        auto engine = CreateVirtualEngine(Deck({{"Card", {{"Line In", VirtualSignal::noise(200000), 50}}}}));
        RecordObject& rec = *engine->record;
        VolumeScan scan;
        Lists lists(rec, scan, env.tmp() + "volset.wav");
        lists.monitor();
        scan.startAdjust(rec, VolumeSettings());
        QList<int> volumes;
        VolumeScan::Tick t;
        while (scan.adjusting() && volumes.size() < 20) {
            t = tick(rec, scan, lists);
            volumes << rec.GetVolume();
        }
        QCOMPARE(volumes, QList<int>({90, 80, 70, 60, 50, 40, 30, 20, 20}));
        QCOMPARE(t.verdict, VolumeScan::Verdict::TooHigh);
        QCOMPARE(tick(rec, scan, lists).verdict, VolumeScan::Verdict::None);
        QCOMPARE(rec.GetVolume(), 20);
    }

    // The verdict after ten periods is final: a loud last tick neither lowers
    // the volume after "Optimized" nor adds "too high" to "too low".
    void verdictIsFinal_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("lastLevel");
        QTest::addColumn<int>("lastVolume");
        QTest::addColumn<int>("verdict");
        QTest::newRow("quiet") << 800 << 800 << 100 << int(VolumeScan::Verdict::TooLow);
        QTest::newRow("good") << 12000 << 12000 << 100 << int(VolumeScan::Verdict::Optimized);
        QTest::newRow("good, loud last tick") << 12000 << 200000 << 100 << int(VolumeScan::Verdict::Optimized);
        QTest::newRow("quiet, too loud at 20 on the last tick") << 800 << 200000 << 20
                                                                << int(VolumeScan::Verdict::TooLow);
    }
    void verdictIsFinal()
    {
        QFETCH(int, level);
        QFETCH(int, lastLevel);
        QFETCH(int, lastVolume);
        QFETCH(int, verdict);
        auto engine = CreateVirtualEngine(Deck({{"Card", {{"Line In", VirtualSignal::noise(level), 50}}}}));
        RecordObject& rec = *engine->record;
        VolumeScan scan;
        Lists lists(rec, scan, env.tmp() + "volset.wav");
        lists.monitor();
        scan.startAdjust(rec, VolumeSettings());
        VolumeScan::Tick t;
        for (int i = 0; i < 119; ++i)
            t = tick(rec, scan, lists);
        QCOMPARE(t.adjustText, QStringLiteral("Optimizing volume...90%"));
        DeckOf(&rec)->mixers[0].lines[0].signal = VirtualSignal::noise(lastLevel);
        rec.SetVolume(lastVolume);
        t = tick(rec, scan, lists);
        QVERIFY(!scan.adjusting());
        QCOMPARE(int(t.verdict), verdict);
        QCOMPARE(rec.GetVolume(), lastVolume);
    }
};

QTEST_GUILESS_MAIN(TestVolumeScan)
#include "test_volumescan.moc"
