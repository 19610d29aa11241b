#pragma once
// The road from a virtual deck to the output page, shared by the whole-wizard
// runs: a generated demo side on the deck's second line, Scan, Adjust, a
// 5-minute profile recorded at a high speed factor, the detected tracks and
// the split; then the steps every output shares up to Exit. Timers are
// driven by the test.
#include "app/WizardFixture.h"
#include "support/FindChild.h"
#include "audioin/engine/DemoSignal.h"
#include "tracks/modWaveSplit.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <thread>

namespace svtest {

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

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QStringList Sorted(QStringList l)
{
    l.sort();
    return l;
}

// One volume-page tick per 200 ms of deck audio, as the page's timer runs
// on a real deck.
inline void tick(Wizard& z)
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
inline void ScanAndAdjust(Wizard& z)
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

// The wizard from the welcome page to the output page with the demo side
// recorded and split (the recording itself gone); the split spans, or none
// after a failure. onWaveform looks at the waveform page before the split.
inline QVector<sv::FrameSpan> RecordAndSplitDemoSide(Wizard& z, const std::function<void()>& onWaveform = {})
{
    z.noWelcomeDialog();
    if (!z.start())
        return {};
    z.next();
    z.next();
    if (z.page() != QStringLiteral("picVolume"))
        return {};
    ScanAndAdjust(z);
    if (QTest::currentTestFailed())
        return {};
    z.next();
    auto* rf = z.w->picRecordFrom();
    for (int row = 0; row < rf->ProfileCount(); ++row) {
        sv::test::Find<QListWidget>(rf, "lstProfiles")->setCurrentRow(row);
        if (z.st().RecordSeconds == 300 && z.st().PauseSeconds == 0)
            break;
    }
    if (z.st().RecordSeconds != 300 || z.st().PauseSeconds != 0)
        return {};
    z.next();
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
    if (z.page() != QStringLiteral("picWaveform") || !z.boxes.shown.isEmpty())
        return {};
    if (onWaveform)
        onWaveform();
    if (QTest::currentTestFailed())
        return {};
    const QVector<sv::FrameSpan> spans = z.w->picSplit()->SplitSpans(44100);
    z.boxes.answer(sv::vbYes);
    z.next();
    const bool split = z.page() == QStringLiteral("picOutput")
                       && !QFile::exists(z.st().RecordDirectory + QStringLiteral("recording.wav"));
    return split ? spans : QVector<sv::FrameSpan>{};
}

// The generated demo side, written once per test program.
inline QString DemoSide()
{
    static QTemporaryDir dir;
    static const QString path = dir.path() + QStringLiteral("/demo-side.wav");
    static const bool written = sv::audio::WriteDemoSide(path);
    return written ? path : QString();
}

// The deck the runs record from: the music is on the second line, so the scan
// has to move on to it.
inline sv::audio::VirtualDeck DemoDeck(const QString& side = DemoSide())
{
    using sv::audio::VirtualSignal;
    sv::audio::VirtualDeck deck;
    deck.mixers = {{QStringLiteral("Demo Deck"),
                    {{QStringLiteral("CD Audio"), VirtualSignal::silence(), 50},
                     {QStringLiteral("Line In"), VirtualSignal::wav(side), 50},
                     {QStringLiteral("Microphone"), VirtualSignal::silence(), 50}}}};
    deck.speed = 20;
    return deck;
}

// From the output page: WAV copies twice into one folder (the second time
// replacing, with "Yes to all"), then into the recording folder itself, then
// Exit. Every delivered file must still be there, and the recording gone.
// afterFirst looks at the finish page after the first copies.
inline void DeliverCopiesThreeTimesAndExit(Wizard& z, const QVector<sv::FrameSpan>& spans,
                                           const std::function<void(const QString& target)>& afterFirst = {})
{
    const QString folder = z.st().RecordDirectory;
    const QString target = z.env.root() + QStringLiteral("/My Tapes/");
    QVERIFY(QDir().mkpath(target));
    QWidget* fin = z.w->picFinish();
    const auto copyTo = [&](const QString& where) {
        QCOMPARE(z.page(), QStringLiteral("picOutput"));
        sv::test::Find<QRadioButton>(z.w->picOutput(), "optDPP")->setChecked(true);
        z.next();
        sv::test::Find<QComboBox>(z.w->picWaveCopy(), "cboWaveCopy")->setEditText(where);
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picFinish"));
    };
    const auto more = [&] {
        sv::test::Find<QRadioButton>(fin, "optFinishMore")->setChecked(true);
        z.next();
    };
    copyTo(target);
    if (afterFirst)
        afterFirst(target);
    if (QTest::currentTestFailed())
        return;
    more();
    // The copies of the first round are replaced ("Yes to all" when there are several).
    z.boxes.answer(spans.size() > 1 ? sv::vbYesToAll : sv::vbYes);
    copyTo(target);
    QVERIFY(!z.boxes.shown.isEmpty());
    QVERIFY2(z.boxes.shown.last().text.contains(QStringLiteral("already contains")), qPrintable(z.boxes.shown.last().text));
    if (spans.size() > 1)
        QCOMPARE(z.boxes.shown.last().style & 0xF, int(sv::vbYesNoAllCancel));
    more();
    copyTo(folder);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));

    sv::test::Find<QRadioButton>(fin, "optFinishExit")->setChecked(true);
    z.next();
    QVERIFY(!z.w->isVisible());
    for (int i = 1; i <= spans.size(); ++i) {
        const QString name = QStringLiteral("Track %1.wav").arg(i);
        QCOMPARE(QFileInfo(target + name).size(), 44 + spans[i - 1].frames * 4);
        QCOMPARE(QFileInfo(folder + name).size(), 44 + spans[i - 1].frames * 4);
    }
    QVERIFY(!QFile::exists(folder + QStringLiteral("recording.wav")));
}

// Chooses an output on the output page, goes on to its page and types the
// save folder ("My Tapes", made here) into its box; the folder, without a
// trailing slash.
inline QString ChooseOutput(Wizard& z, const char* option, const char* page, const char* saveBox)
{
    sv::test::Find<QRadioButton>(z.w->picOutput(), option)->setChecked(true);
    z.next();
    [&] { QCOMPARE(z.page(), QString::fromLatin1(page)); }();
    const QString target = z.env.root() + QStringLiteral("/My Tapes");
    QDir().mkpath(target);
    sv::test::Find<QComboBox>(z.current(), saveBox)->setEditText(target);
    return target;
}

// Next on an output page: the encoding (on encodingPage, when it has one)
// runs until it hands over to the finish page.
inline void EncodeToFinishPage(Wizard& z, const char* encodingPage, int timeoutMs)
{
    z.next();
    if (encodingPage) {
        QCOMPARE(z.page(), QString::fromLatin1(encodingPage));
        QVERIFY(z.st().Compressing);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!z.st().Compressing, timeoutMs);
    QCOMPARE(z.page(), QStringLiteral("picFinish"));
}

// The finish page names the save folder; Exit takes the program's own files
// and leaves every delivered file in target.
inline void ExitKeepsDelivered(Wizard& z, const QString& target)
{
    QWidget* fin = z.w->picFinish();
    QCOMPARE(sv::test::Find<QLineEdit>(fin, "txtFinishSaveIn")->text(), target + QStringLiteral("/"));
    QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Finish"));
    const QString folder = z.st().RecordDirectory;
    const QStringList delivered = QDir(target).entryList(QDir::Files, QDir::Name);
    QVERIFY(!delivered.isEmpty());
    sv::test::Find<QRadioButton>(fin, "optFinishExit")->setChecked(true);
    z.next();
    QVERIFY(!z.w->isVisible());
    QVERIFY(!QFile::exists(folder + QStringLiteral("Track 1.wav")));
    QCOMPARE(QDir(target).entryList(QDir::Files, QDir::Name), delivered);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

// The format of a file as ffprobe reads it: duration, bit_rate and tags
// (tag names in lower case).
inline QJsonObject Probe(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                        QStringLiteral("format=duration,bit_rate:format_tags"), QStringLiteral("-of"),
                                        QStringLiteral("json"), path});
    p.waitForFinished(60000);
    QJsonObject format = QJsonDocument::fromJson(p.readAllStandardOutput()).object()[QStringLiteral("format")].toObject();
    QJsonObject tags;
    const QJsonObject raw = format[QStringLiteral("tags")].toObject();
    for (auto it = raw.begin(); it != raw.end(); ++it)
        tags[it.key().toLower()] = it.value();
    format[QStringLiteral("tags")] = tags;
    return format;
}

} // namespace svtest
