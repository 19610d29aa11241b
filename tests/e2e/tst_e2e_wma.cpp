// One side from the deck to WMA files in a folder, through the whole wizard:
// a generated demo side with known gaps on a virtual deck, Scan, Adjust, a
// 5-minute profile recorded at a high speed factor, the detected tracks, the
// split, the WMA page with tags, the real wm8eutil, and the finish page. The
// files and their tags are read back with ffprobe.
#include "app/WizardFixture.h"
#include "support/FindChild.h"
#include "audioin/engine/DemoSignal.h"
#include "tracks/modWaveSplit.h"
#include "support/TestRequire.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>


#include <QElapsedTimer>
#include <QThread>

#include <chrono>
#include <thread>

using namespace svtest;
using sv::audio::DemoLayout;
using sv::audio::VirtualDeck;
using sv::audio::VirtualSignal;

namespace {

const QString kFound = QStringLiteral("Line found. Click Adjust to optimize the volume.");
const QString kOptimized = QStringLiteral("Volume Optimized. Click Next to continue.");

// No system bus on a test machine; the recording needs no standby guard here.
class NoLock : public StandbyLock {
public:
    bool Acquire(const QString&) override { return m_held = true; }
    void Release() override { m_held = false; }
    bool IsHeld() const override { return m_held; }

private:
    bool m_held = false;
};

QJsonObject Probe(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                        QStringLiteral("format=duration,bit_rate:format_tags:stream=codec_name"),
                                        QStringLiteral("-of"), QStringLiteral("json"), path});
    p.waitForFinished(60000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object()[QStringLiteral("format")].toObject();
}

// One volume-page tick per 200 ms of deck audio, as the page's timer runs
// on a real deck.
void tick(Wizard& z)
{
    auto* rec = z.st().Record();
    const qint64 start = rec->FramesWritten();
    QElapsedTimer t;
    t.start();
    while (rec->IsCapturing() && rec->FramesWritten() < start + 44100 / 5 && t.elapsed() < 3000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    z.w->picVolume()->timDoVolume_Timer();
}

// The scan finds the music on Line In; Adjust then optimises its volume.
void ScanAndAdjust(Wizard& z)
{
    auto* vol = z.w->picVolume();
    sv::test::Find<QTimer>(vol, "timDoVolume")->stop(); // only the test's ticks

    sv::test::Find<QPushButton>(vol, "cmdScan")->click();
    for (int i = 0; i < 400 && z.st().IsScanning; ++i)
        tick(z);
    QCOMPARE(sv::test::Find<QLabel>(vol, "lblScanInfo")->text(), kFound);
    QCOMPARE(sv::test::Find<QComboBox>(vol, "cboLine")->currentText(), QStringLiteral("Line In"));
    sv::test::Find<QPushButton>(vol, "cmdAdjust")->click();
    for (int i = 0; i < 400 && z.st().IsAdjusting; ++i)
        tick(z);
    QCOMPARE(sv::test::Find<QLabel>(vol, "lblAdjustInfo")->text(), kOptimized);
}

// Each track is a WMA file as long as its marker, tagged as typed.
void CheckWma(const QString& target, const QVector<sv::FrameSpan>& spans)
{
    QStringList expected{QStringLiteral("Side A opener.wma"), QStringLiteral("Side A opener (2).wma")};
    for (int k = 3; k <= spans.size(); ++k)
        expected << QStringLiteral("Track %1.wma").arg(k);
    QStringList files = QDir(target).entryList(QDir::Files);
    QStringList sorted = expected;
    files.sort();
    sorted.sort();
    QCOMPARE(files, sorted);
    for (int k = 1; k <= spans.size(); ++k) {
        const QJsonObject f = Probe(target + QStringLiteral("/") + expected[k - 1]);
        const double seconds = f[QStringLiteral("duration")].toString().toDouble();
        const double want = double(spans[k - 1].frames) / 44100;
        QVERIFY2(std::abs(seconds - want) < 0.1, qPrintable(QStringLiteral("%1: %2 s, not %3 s")
                                                                 .arg(expected[k - 1]).arg(seconds).arg(want)));
        const double kbps = f[QStringLiteral("bit_rate")].toString().toDouble() / 1000;
        QVERIFY2(kbps > 96 * 0.9 && kbps < 96 * 1.1, qPrintable(QString::number(kbps)));
        const QJsonObject tags = f[QStringLiteral("tags")].toObject();
        QCOMPARE(tags[QStringLiteral("artist")].toString(), QStringLiteral("The Demo Deck"));
        QCOMPARE(tags[QStringLiteral("copyright")].toString(), QStringLiteral("(c) 1983 Us"));
        if (k <= 2)
            QCOMPARE(tags[QStringLiteral("title")].toString(), QStringLiteral("Side A opener"));
    }
}

// The first two tracks tagged alike (Track1's artist and copyright carry
// over to the second), every track shown once, 96 kbps, saved to target.
void FillWmaPage(QWidget* page, int count, const QString& target)
{
    auto* list = sv::test::Find<QListWidget>(page, "lstWMATracks");
    QCOMPARE(list->count(), count);
    sv::test::Find<QLineEdit>(page, "txtWMATitle")->setText(QStringLiteral("Side A opener"));
    sv::test::Find<QLineEdit>(page, "txtWMAArtist")->setText(QStringLiteral("The Demo Deck"));
    sv::test::Find<QLineEdit>(page, "txtWMACopyright")->setText(QStringLiteral("(c) 1983 Us"));
    list->setCurrentRow(1); // Track1's artist and copyright carry over
    sv::test::Find<QLineEdit>(page, "txtWMATitle")->setText(QStringLiteral("Side A opener"));
    for (int row = 2; row < count; ++row)
        list->setCurrentRow(row);
    sv::test::Find<QComboBox>(page, "cboWMABitrate")->setCurrentIndex(3);
    sv::test::Find<QComboBox>(page, "cboWMASave")->setEditText(target);
}

} // namespace

class TestE2EWma : public QObject {
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
    void deckToWma();
};

void TestE2EWma::deckToWma()
{
    // The music is on the second line, so the scan has to move on to it.
    SV_REQUIRE_TOOL(!QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty(), "ffprobe");
    VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Demo Deck"),
                    {{QStringLiteral("CD Audio"), VirtualSignal::silence(), 50},
                     {QStringLiteral("Line In"), VirtualSignal::wav(m_side), 50},
                     {QStringLiteral("Microphone"), VirtualSignal::silence(), 50}}}};
    deck.speed = 20;
    Wizard z(deck);
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.next();
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    // Scan, then Adjust.
    ScanAndAdjust(z);
    if (QTest::currentTestFailed())
        return;

    // A 5-minute profile without a flip.
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
    auto* rf = z.w->picRecordFrom();
    for (int row = 0; row < rf->ProfileCount(); ++row) {
        sv::test::Find<QListWidget>(rf, "lstProfiles")->setCurrentRow(row);
        if (z.st().RecordSeconds == 300 && z.st().PauseSeconds == 0)
            break;
    }
    QCOMPARE(z.st().RecordSeconds, 300);
    QCOMPARE(z.st().PauseSeconds, 0);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picRecord"));

    // Record: five minutes in about two seconds; the page moves on by itself.
    auto* rp = z.w->picRecord();
    rp->SetStandbyLock(std::make_unique<NoLock>());
    sv::audio::DeckOf(z.st().Record())->speed = 150;
    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    QElapsedTimer clock;
    clock.start();
    while (z.page() == QStringLiteral("picRecord") && clock.elapsed() < 30000) {
        sv::test::Find<QTimer>(rp, "timRecord")->stop();
        QTest::qWait(10);
        rp->timRecord_Timer();
    }
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
    QVERIFY2(z.boxes.shown.isEmpty(), qPrintable(z.boxes.unexpectedText()));

    // The detected tracks are the demo's, to within the detection's reach.
    auto* wave = z.w->picWaveform();
    const DemoLayout layout;
    const QList<double> starts = sv::audio::DemoTrackStarts(layout);
    const QVector<sv::SplitItem> items = wave->SplitList();
    QCOMPARE(items.size(), layout.tracks.size());
    for (int i = 0; i < items.size(); ++i) {
        const QString at = QStringLiteral("track %1: %2 s for %3 s").arg(i + 1).arg(items[i].start).arg(items[i].length);
        QVERIFY2(std::abs(items[i].start - starts[i]) <= 2, qPrintable(at));
        QVERIFY2(std::abs(items[i].length - layout.tracks[i]) <= 3, qPrintable(at));
    }

    // Split, choose WMA, tag the first two tracks alike, compress at 96 kbps.
    const QVector<sv::FrameSpan> spans = z.w->picSplit()->SplitSpans(44100);
    z.boxes.answer(sv::vbYes);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
    const QString folder = z.st().RecordDirectory;
    sv::test::Find<QRadioButton>(z.w->picOutput(), "optWMA")->setChecked(true);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWMA"));
    const QString target = z.env.root() + QStringLiteral("/My Tapes");
    QVERIFY(QDir().mkpath(target));
    FillWmaPage(z.w->picWMA(), int(spans.size()), target);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWMACompress"));
    QVERIFY(z.st().Compressing);
    QTRY_COMPARE_WITH_TIMEOUT(z.page(), QStringLiteral("picFinish"), 120000);
    QVERIFY(!z.st().Compressing);

    QWidget* fin = z.w->picFinish();
    QCOMPARE(sv::test::Find<QLineEdit>(fin, "txtFinishSaveIn")->text(), target + QStringLiteral("/"));
    QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Finish"));
    CheckWma(target, spans);
    if (QTest::currentTestFailed())
        return;

    // Exit: the program's own files go, the WMA files stay.
    sv::test::Find<QRadioButton>(fin, "optFinishExit")->setChecked(true);
    z.next();
    QVERIFY(!z.w->isVisible());
    QVERIFY(!QFile::exists(folder + QStringLiteral("Track 1.wav")));
    QVERIFY(QFile::exists(target + QStringLiteral("/Side A opener.wma")));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

QTEST_MAIN(TestE2EWma)
#include "tst_e2e_wma.moc"
