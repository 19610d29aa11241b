// One side from the deck to WAV files in a folder, through the whole wizard:
// the detected tracks are the demo's, and copies delivered three times (once
// into the recording folder itself) all outlive Exit.
#include "e2e/E2EFlow.h"

using namespace svtest;

class TestE2EWavCopies : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deckToWavCopies();
};

void TestE2EWavCopies::deckToWavCopies()
{
    Wizard z(DemoDeck());
    // The detected tracks are the demo's, to within the detection's reach.
    const auto detected = [&] {
        const sv::audio::DemoLayout layout;
        const QList<double> starts = sv::audio::DemoTrackStarts(layout);
        const QVector<sv::SplitItem> items = z.w->picWaveform()->SplitList();
        QCOMPARE(items.size(), layout.tracks.size());
        for (int i = 0; i < items.size(); ++i) {
            const QString at = QStringLiteral("track %1: %2 s for %3 s").arg(i + 1).arg(items[i].start).arg(items[i].length);
            QVERIFY2(std::abs(items[i].start - starts[i]) <= 2, qPrintable(at));
            QVERIFY2(std::abs(items[i].length - layout.tracks[i]) <= 3, qPrintable(at));
        }
    };
    const QVector<sv::FrameSpan> spans = RecordAndSplitDemoSide(z, detected);
    QVERIFY2(!spans.isEmpty(), qPrintable(z.page() + z.boxes.unexpectedText()));
    const QString folder = z.st().RecordDirectory;
    // The first copies are the track files bit for bit, and can be played.
    DeliverCopiesThreeTimesAndExit(z, spans, [&](const QString& target) {
        QVERIFY(sv::test::Find<QRadioButton>(z.w->picFinish(), "optFinishPlay")->isEnabled());
        for (int i = 1; i <= spans.size(); ++i) {
            const QString name = QStringLiteral("Track %1.wav").arg(i);
            QCOMPARE(readAll(target + name), readAll(folder + name));
        }
    });
}

QTEST_MAIN(TestE2EWavCopies)
#include "tst_e2e_wavcopies.moc"
