// The line scan and the volume optimisation without the page: cards without
// inputs, the scan's minimum, the last word (the walk itself: test_volume).
#include "audioin/VolumeScan.h"
#include "audioin/engine/AudioEngine.h"
#include "audioin/engine/VirtualBackend.h"
#include "audioin/VolumeDeck.h"
#include "support/TestEnv.h"

#include <QTest>

using namespace sv;
using namespace sv::audio;
using Verdict = VolumeScan::Verdict;
using svtest::Deck;
using svtest::Volumes;

namespace {

// Does for the scan what the volume page does with its lists.
struct Lists : VolumeScan::Host {
    RecordObject& rec;
    VolumeScan scan;
    QString preview;
    QStringList log;
    Lists(RecordObject& r, const QString& file) : rec(r), preview(file) {}

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
    // The first line monitored, as when the page opens; the scan starts there too.
    void monitor()
    {
        rec.SetMixer(0);
        if (!rec.IsDeviceMode())
            rec.SetLine(0);
        capture();
    }
    void startScan(const VolumeSettings& settings)
    {
        log.clear();
        scan.startScan(settings);
        monitor();
        scan.lineSelected(rec);
    }
    VolumeScan::Tick tick()
    {
        svtest::AwaitFreshLevel(&rec);
        return scan.tick(rec, *this);
    }
    // Ticks until the scan or the adjustment ends; returns how many it took.
    int run()
    {
        int ticks = 0;
        for (; (scan.scanning() || scan.adjusting()) && ticks < 200; ++ticks)
            tick();
        return ticks;
    }
};

} // namespace

class TestVolumeScan : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

private Q_SLOTS:
    void scanFailsOrFindsByTheMinimum()
    {
        auto engine = CreateVirtualEngine(Deck({{"Card", {{"Line In", VirtualSignal::noise(300), 40}}},
                                                {"Empty Card", {}},
                                                {"USB", {{"Aux", VirtualSignal::noise(5000), 45}}}}));
        RecordObject& rec = *engine->record;
        Lists lists(rec, env.tmp() + "volset.wav");
        // A card without inputs is passed over.
        lists.startScan(VolumeSettings());
        const int ticks = lists.run();
        QCOMPARE(lists.log, QStringList({"mixer 1", "mixer 2"}));
        QVERIFY2(ticks == 24 || ticks == 25, qPrintable(QString::number(ticks)));

        // The level must exceed the minimum the scan started with.
        lists.startScan({6000, 22000, 1000});
        QCOMPARE(lists.run(), 36);
        QCOMPARE(lists.log, QStringList({"mixer 1", "mixer 2", "failed"}));
        QCOMPARE(Volumes(&rec), QList<int>({40, 50})); // Aux keeps the volume it was found at
    }

    void tooLoudOnlyAboveTheThreshold()
    {
        QCOMPARE(volume_rules::OnLevel(22000, 22000, 100), volume_rules::LoudAction::None);
    }

    // A loud last tick neither lowers the volume after "Optimized" nor adds
    // "too high" to "too low".
    void verdictIsFinal_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("lastLevel");
        QTest::addColumn<int>("lastVolume");
        QTest::addColumn<int>("verdict");
        QTest::newRow("quiet") << 800 << 800 << 100 << int(Verdict::TooLow);
        QTest::newRow("good, loud last tick") << 12000 << 200000 << 100 << int(Verdict::Optimized);
        QTest::newRow("quiet, too loud at 20 on the last tick") << 800 << 200000 << 20 << int(Verdict::TooLow);
    }
    void verdictIsFinal()
    {
        QFETCH(int, level);
        QFETCH(int, lastLevel);
        QFETCH(int, lastVolume);
        QFETCH(int, verdict);
        auto engine = CreateVirtualEngine(Deck({{"Card", {{"Line In", VirtualSignal::noise(level), 50}}}}));
        RecordObject& rec = *engine->record;
        Lists lists(rec, env.tmp() + "volset.wav");
        lists.monitor();
        lists.scan.startAdjust(rec, VolumeSettings());
        VolumeScan::Tick t;
        for (int i = 0; i < 119; ++i)
            t = lists.tick();
        QCOMPARE(t.adjustText, QStringLiteral("Optimizing volume...90%"));
        DeckOf(&rec)->mixers[0].lines[0].signal = VirtualSignal::noise(lastLevel);
        rec.SetVolume(lastVolume);
        t = lists.tick();
        QVERIFY(!lists.scan.adjusting());
        QCOMPARE(int(t.verdict), verdict);
        QCOMPARE(rec.GetVolume(), lastVolume);
    }
};

QTEST_GUILESS_MAIN(TestVolumeScan)
#include "test_volumescan.moc"
