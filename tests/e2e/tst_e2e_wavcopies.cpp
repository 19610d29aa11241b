// One side from the deck to WAV files in a folder, through the whole wizard:
// the detected tracks are the demo's, the copies are the track files bit for
// bit, and copies delivered three times (once into the recording folder
// itself) all outlive Exit.
#include "e2e/E2EFlow.h"

using namespace svtest;

namespace {

// Each copy is its track file, bit for bit, as long as its marker.
void CheckCopies(const QString& index, const QString& folder, const QString& target,
                 const QVector<sv::FrameSpan>& spans)
{
    QCOMPARE(sv::XMLGetValue("Tracks", "", index, ""), QString::number(spans.size()));
    for (int i = 1; i <= spans.size(); ++i) {
        const QString name = QStringLiteral("Track %1.wav").arg(i);
        QCOMPARE(sv::XMLGetValue("Filename", QStringLiteral("Track%1").arg(i), index, ""), folder + name);
        const QByteArray copy = readAll(target + name);
        QCOMPARE(copy, readAll(folder + name));
        sv::WaveHeader h;
        QCOMPARE(sv::ReadWaveHeader(target + name, h), sv::WaveStatus::Ok);
        QCOMPARE(h.Channels, 2);
        QCOMPARE(h.SampleRate, 44100);
        QCOMPARE(h.Frames, spans[i - 1].frames);
        QCOMPARE(copy.size(), 44 + spans[i - 1].frames * 4);
    }
}

} // namespace

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
    QVERIFY(!QFile::exists(folder + QStringLiteral("recording.wav")));
    DeliverCopiesThreeTimesAndExit(z, spans, [&](const QString& target) {
        QWidget* fin = z.w->picFinish();
        QCOMPARE(sv::test::Find<QLineEdit>(fin, "txtFinishSaveIn")->text(), target);
        QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Finish"));
        QVERIFY(sv::test::Find<QRadioButton>(fin, "optFinishPlay")->isEnabled()); // the copies can be played
        CheckCopies(z.st().RecordingXMLPath, folder, target, spans);
    });
}

QTEST_MAIN(TestE2EWavCopies)
#include "tst_e2e_wavcopies.moc"
