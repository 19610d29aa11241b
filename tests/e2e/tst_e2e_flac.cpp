// One side from the deck to FLAC files in a folder, through the whole wizard:
// a generated demo side with known gaps on a virtual deck, Scan, Adjust, a
// 5-minute profile recorded at a high speed factor, the detected tracks, the
// split, the FLAC page with names typed for the tracks, the encoding and the
// finish page. Timers are driven by the test.
#include "app/WizardFixture.h"
#include "support/FindChild.h"
#include "audioin/engine/DemoSignal.h"
#include "tracks/modWaveSplit.h"
#include "output/FlacCheck.h"
#include "support/TestRequire.h"


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

// Each file holds exactly its track's samples and the tags typed for it.
void CheckFlacs(const QString& folder, const QString& target, const QStringList& titles)
{
    const QString year = QString::number(QDate::currentDate().year());
    for (int i = 1; i <= titles.size(); ++i) {
        const QString file = target + QStringLiteral("/") + titles[i - 1] + QStringLiteral(".flac");
        const Pcm got = decodeFlac(file);
        QVERIFY2(got.ok && got.md5Set, qPrintable(file));
        const Pcm want = wavPcm(folder + QStringLiteral("Track %1.wav").arg(i));
        QCOMPARE(got.channels, 2);
        QCOMPARE(got.rate, 44100);
        QCOMPARE(got.samples.size(), want.samples.size());
        QVERIFY2(got.samples == want.samples, qPrintable(file));
        const QString tags = QString::fromUtf8(runTool(QStringLiteral("metaflac"), {"--export-tags-to=-", file}));
        const QString comment = i == 2 ? QStringLiteral("COMMENT=side one, \"live\"\n") : QString();
        QCOMPARE(tags, QStringLiteral("TITLE=%1\nARTIST=The Demo Band\nALBUM=Tape One\nDATE=%2\nGENRE=Other\n%3"
                                      "TRACKNUMBER=%4\nTRACKTOTAL=%5\n")
                           .arg(titles[i - 1], year, comment)
                           .arg(i)
                           .arg(titles.size()));
    }
}

} // namespace

class TestE2EFlac : public QObject {
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
    void deckToFlac();
};

void TestE2EFlac::deckToFlac()
{
    // The music is on the second line, so the scan has to move on to it.
    VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Demo Deck"),
                    {{QStringLiteral("CD Audio"), VirtualSignal::silence(), 50},
                     {QStringLiteral("Line In"), VirtualSignal::wav(m_side), 50},
                     {QStringLiteral("Microphone"), VirtualSignal::silence(), 50}}}};
    deck.speed = 20;
    SV_REQUIRE_TOOL(hasTool("metaflac"), "metaflac");
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

    // Split, choose FLAC, name the tracks, encode into a folder of the user's.
    z.boxes.answer(sv::vbYes);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
    const QString folder = z.st().RecordDirectory;
    QVERIFY(!QFile::exists(folder + QStringLiteral("recording.wav")));
    sv::test::Find<QRadioButton>(z.w->picOutput(), "optFLAC")->setChecked(true);
    z.next();
    QWidget* page = z.w->picFLAC();
    QVERIFY(z.w->IsPageVisible(page));
    auto* list = sv::test::Find<QListWidget>(page, "lstFLACTracks");
    QCOMPARE(list->count(), items.size());
    // Artist and album typed once on track 1 serve every track.
    sv::test::Find<QLineEdit>(page, "txtFLACArtist")->setText(QStringLiteral("The Demo Band"));
    sv::test::Find<QLineEdit>(page, "txtFLACAlbum")->setText(QStringLiteral("Tape One"));
    QStringList titles;
    for (int i = 0; i < list->count(); ++i) {
        list->setCurrentRow(i);
        titles << QStringLiteral("Song %1").arg(i + 1);
        sv::test::Find<QLineEdit>(page, "txtFLACTrackName")->setText(titles.last());
        if (i == 1)
            sv::test::Find<QLineEdit>(page, "txtFLACComments")->setText(QStringLiteral("side one, \"live\""));
    }
    const QString target = z.env.root() + QStringLiteral("/My Tapes");
    QVERIFY(QDir().mkpath(target));
    sv::test::Find<QComboBox>(page, "cboFLACSave")->setEditText(target);
    z.next();
    QElapsedTimer encoding;
    encoding.start();
    while (z.st().Compressing && encoding.elapsed() < 60000)
        QTest::qWait(10);

    QCOMPARE(z.page(), QStringLiteral("picFinish"));
    QWidget* fin = z.w->picFinish();
    QCOMPARE(sv::test::Find<QLineEdit>(fin, "txtFinishSaveIn")->text(), target + QStringLiteral("/"));
    QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Finish"));
    QStringList names;
    for (const QString& t : titles)
        names << t + QStringLiteral(".flac");
    QCOMPARE(folderEntries(target), names);
    CheckFlacs(folder, target, titles);
    if (QTest::currentTestFailed())
        return;

    // Exit: the program's own files go, the FLAC files stay.
    sv::test::Find<QRadioButton>(fin, "optFinishExit")->setChecked(true);
    z.next();
    QVERIFY(!z.w->isVisible());
    QVERIFY(!QFile::exists(folder + QStringLiteral("Track 1.wav")));
    QCOMPARE(folderEntries(target), names);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

QTEST_MAIN(TestE2EFlac)
#include "tst_e2e_flac.moc"
