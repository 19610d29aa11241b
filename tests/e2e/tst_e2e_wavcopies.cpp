// One side from the deck to WAV files in a folder, through the whole wizard:
// a generated demo side with known gaps on a virtual deck, Scan, Adjust, a
// 5-minute profile recorded at a high speed factor, the detected tracks,
// the split, WAV copies and the finish page. Timers are driven by the test.
#include "e2e/E2EFlow.h"

using namespace svtest;
using sv::audio::DemoLayout;
using sv::audio::VirtualDeck;
using sv::audio::VirtualSignal;

namespace {

// Each copy is its track file, bit for bit, as long as its marker.
void CheckCopies(const QString& index, const QString& folder, const QString& target,
                 const QVector<sv::FrameSpan>& spans)
{
    QCOMPARE(sv::XMLGetValue("Tracks", "", index, ""), QString::number(spans.size()));
    for (int i = 1; i <= spans.size(); ++i) {
        const QString name = QStringLiteral("Track %1.wav").arg(i);
        QCOMPARE(sv::XMLGetValue("Filename", QStringLiteral("Track%1").arg(i), index, ""), folder + name);
        const QByteArray copy = readAll(target + QStringLiteral("/") + name);
        QCOMPARE(copy, readAll(folder + name));
        sv::WaveHeader h;
        QCOMPARE(sv::ReadWaveHeader(target + QStringLiteral("/") + name, h), sv::WaveStatus::Ok);
        QCOMPARE(h.Channels, 2);
        QCOMPARE(h.SampleRate, 44100);
        QCOMPARE(h.Frames, spans[i - 1].frames);
        QCOMPARE(copy.size(), 44 + spans[i - 1].frames * 4);
    }
}

} // namespace

class TestE2EWavCopies : public QObject {
    Q_OBJECT
    QString m_side;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_side = m_dir.path() + QStringLiteral("/demo-side.wav");
        QVERIFY(sv::audio::WriteDemoSide(m_side));
    }
    void deckToWavCopies();
    void everyDeliveryOutlivesExit();
};

void TestE2EWavCopies::deckToWavCopies()
{
    Wizard z(DemoDeck(m_side));
    // The detected tracks are the demo's, to within the detection's reach.
    const auto detected = [&] {
        const DemoLayout layout;
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
    sv::test::Find<QRadioButton>(z.w->picOutput(), "optDPP")->setChecked(true);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWaveCopy"));
    const QString target = z.env.root() + QStringLiteral("/My Tapes");
    QVERIFY(QDir().mkpath(target));
    sv::test::Find<QComboBox>(z.w->picWaveCopy(), "cboWaveCopy")->setEditText(target);
    z.next();

    QCOMPARE(z.page(), QStringLiteral("picFinish"));
    QWidget* fin = z.w->picFinish();
    QCOMPARE(sv::test::Find<QLineEdit>(fin, "txtFinishSaveIn")->text(), target + QStringLiteral("/"));
    QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Finish"));
    QVERIFY(sv::test::Find<QRadioButton>(fin, "optFinishPlay")->isEnabled()); // the copies can be played

    CheckCopies(z.st().RecordingXMLPath, folder, target, spans);
    if (QTest::currentTestFailed())
        return;

    // Exit: the program's own files go, the copies stay.
    sv::test::Find<QRadioButton>(fin, "optFinishExit")->setChecked(true);
    z.next();
    QVERIFY(!z.w->isVisible());
    QVERIFY(!QFile::exists(folder + QStringLiteral("Track 1.wav")));
    QVERIFY(QFile::exists(target + QStringLiteral("/Track 1.wav")));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

// WAV copies twice into one folder (the second time replacing, with "Yes to
// all"), then into the recording folder itself, then Exit: every delivered
// file is still there, and only the program's own files went.
void TestE2EWavCopies::everyDeliveryOutlivesExit()
{
    Wizard z(DemoDeck(m_side));
    const QVector<sv::FrameSpan> spans = RecordAndSplitDemoSide(z);
    QVERIFY2(!spans.isEmpty(), qPrintable(z.page() + z.boxes.unexpectedText()));
    DeliverCopiesThreeTimesAndExit(z, spans);
}

QTEST_MAIN(TestE2EWavCopies)
#include "tst_e2e_wavcopies.moc"
