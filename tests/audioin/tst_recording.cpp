// The record page in the main window: a whole side with the flip from the
// virtual deck, the clock and the flip on exact frame counts, stopping, a
// second recording, the standby lock, a disk that fills up, the level graph,
// and the choice of the recording folder.
#include "app/WizardFixture.h"
#include "support/FindChild.h"

#include "audioin/engine/CaptureSink.h"
#include "audioin/ui/frmRecLocation.h"
#include "util/modFunctions.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cmath>
#include <vector>

#include <sys/stat.h>

using namespace svtest;
using sv::audio::CaptureSink;
using sv::audio::WavWriter;

namespace {

const QString kFlipTitle = QStringLiteral("Flip Cassette or LP");
const QString kFlipText = QStringLiteral("Please flip the cassette or LP over and click OK.");
const QString kRecording = QStringLiteral("Recording...");
const QString kPaused = QStringLiteral("Recording paused. Press Pause again to continue.");
const QString kShortStop = QStringLiteral("This recording is shorter than 61 seconds, too short to continue with. "
                                          "Click Record to start over, or click Back to change settings.");
const QString kLongStop =
    QStringLiteral("Click Record to start over, Back to change settings, or Next to continue with what you've recorded.");
constexpr qint64 kRate = 44100;

// A device whose audio the test hands over frame by frame, so counts are exact.
class ManualRecord : public sv::audio::RecordObject {
public:
    int GetMixerCount() override { return 1; }
    QString GetMixerName(int) override { return QStringLiteral("Manual Deck"); }
    void SetMixer(int) override {}
    int GetLineCount() override { return 1; }
    QString GetLineName(int) override { return QStringLiteral("Line In"); }
    void SetLine(int) override {}
    int GetVolume() override { return m_volume; }
    void SetVolume(int v) override { m_volume = qBound(0, v, 100); }
    bool IsDeviceMode() const override { return false; }

    // Hands over seconds of a steady signal, as the device's thread would.
    void Deliver(double seconds, qint16 value = 3000)
    {
        if (!m_sink)
            return;
        std::vector<qint16> block(2 * 4410, value);
        for (qint64 left = std::llround(seconds * kRate); left > 0;) {
            const qint64 n = qMin<qint64>(left, 4410);
            m_sink->write(block.data(), n);
            left -= n;
        }
    }

protected:
    void startStream(CaptureSink* sink, int, int) override { m_sink = sink; }
    void stopStream() override { m_sink = nullptr; }

private:
    CaptureSink* m_sink = nullptr;
    int m_volume = 50;
};

class SilentPlay : public sv::audio::PlayObject {
public:
    void PlayFile(const QString&) override {}
    void StopPlay() override {}
    double GetPlayPosition() override { return 0; }
    double GetPlayLength() override { return 0; }
    void SetPlayPosition(int) override {}
};

void UseManualDeck()
{
    sv::audio::SetEngineFactory([] {
        auto e = std::make_unique<sv::audio::AudioEngine>();
        e->record = std::make_unique<ManualRecord>();
        e->play = std::make_unique<SilentPlay>();
        e->backend = QStringLiteral("virtual");
        return e;
    });
}

sv::audio::VirtualDeck NoiseDeck(double speed)
{
    sv::audio::VirtualDeck deck = SmallDeck();
    deck.speed = speed;
    return deck;
}

// Counts what the page does with the lock that keeps the computer awake.
struct LockLog {
    int acquired = 0;
    int released = 0;
    bool held = false;
};
class SpyLock : public StandbyLock {
public:
    explicit SpyLock(std::shared_ptr<LockLog> log) : m_log(std::move(log)) {}
    bool Acquire(const QString&) override
    {
        if (!m_log->held)
            ++m_log->acquired;
        m_log->held = true;
        return true;
    }
    void Release() override
    {
        if (m_log->held)
            ++m_log->released;
        m_log->held = false;
    }
    bool IsHeld() const override { return m_log->held; }

private:
    std::shared_ptr<LockLog> m_log;
};

// Answers boxes in order; an answer may first run something while the box
// is "open". Declared before the Wizard so that it outlives the window.
class Boxes {
public:
    void install()
    {
        sv::SetMsgBoxResponder([this](const sv::MsgBoxShown& b) {
            shown.append(b);
            if (m_queue.isEmpty()) {
                unexpected.append(b.title + QStringLiteral(": ") + b.text);
                return (b.style & 7) == sv::vbYesNo ? int(sv::vbNo) : int(sv::vbOK);
            }
            auto [answer, during] = m_queue.takeFirst();
            if (during)
                during(b);
            return answer;
        });
    }
    void answer(int result, std::function<void(const sv::MsgBoxShown&)> during = {})
    {
        m_queue.append({result, std::move(during)});
    }
    int count(const QString& title) const
    {
        return int(std::count_if(shown.begin(), shown.end(), [&](const auto& b) { return b.title == title; }));
    }
    QList<sv::MsgBoxShown> shown;
    QStringList unexpected;

private:
    QList<QPair<int, std::function<void(const sv::MsgBoxShown&)>>> m_queue;
};

struct WavHead {
    QString problem; // empty when the header is sound and agrees with the file
    int channels = 0, rate = 0, bits = 0;
    qint64 frames = 0;
};

WavHead ReadHead(const QString& path)
{
    WavHead w;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot open ") + path};
    const QByteArray h = f.read(44);
    const auto u32 = [&](int p) {
        return quint32(quint8(h[p])) | quint32(quint8(h[p + 1])) << 8 | quint32(quint8(h[p + 2])) << 16
            | quint32(quint8(h[p + 3])) << 24;
    };
    const auto u16 = [&](int p) { return int(quint8(h[p])) | int(quint8(h[p + 1])) << 8; };
    if (h.size() < 44 || !h.startsWith("RIFF") || h.mid(8, 8) != "WAVEfmt " || h.mid(36, 4) != "data" || u16(20) != 1)
        return {QStringLiteral("not a canonical PCM header")};
    if (u32(4) != quint32(f.size() - 8) || u32(40) != quint32(f.size() - 44))
        return {QStringLiteral("header sizes disagree with the file size %1").arg(f.size())};
    w.channels = u16(22);
    w.rate = int(u32(24));
    w.bits = u16(34);
    w.frames = qint64(u32(40)) / (w.channels * w.bits / 8);
    return w;
}

// A loaded window on the record page, with a lock spy.
struct Rig {
    PageRecord* rp = nullptr;
    std::shared_ptr<LockLog> lock = std::make_shared<LockLog>();

    void open(Wizard& z, int recordSeconds, int pauseSeconds)
    {
        z.noWelcomeDialog();
        QVERIFY(z.start());
        rp = z.w->picRecord();
        rp->SetStandbyLock(std::make_unique<SpyLock>(lock));
        z.st().RecordSeconds = recordSeconds;
        z.st().PauseSeconds = pauseSeconds;
        rp->Enter();
        QCOMPARE(z.page(), QStringLiteral("picRecord"));
    }
};

ManualRecord* Manual(Wizard& z) { return static_cast<ManualRecord*>(z.st().Record()); }

} // namespace

// These decks record a steady signal, which detection by bands rightly takes
// for a blank tape; the runs detect by level instead.
static void DetectByLevel(Wizard& z)
{
    z.set(QStringLiteral("Advanced\\Track Detection"), QStringLiteral("Method"), QStringLiteral("Audio"));
}

class TestRecording : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // No bus answers here; the one test of the system lock relies on it.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/session_bus_socket");
    }
    void cleanup() { WavWriter::InjectFailureAfterBytes(-1); }

    void wholeSideWithFlipFromTheVirtualDeck();
    void clockFlipAndEndOnExactCounts();
    void stopBeforeAndAfterTheMinimum();
    void diskFullKeepsWhatWasRecorded();
    void diskFullTooShortToContinue();
    void exitWhileRecordingReleasesTheLock();
    void questionsHoldTheFlipAndTheEnd();
    void stopAnsweredAfterTheEnd();
    void shortAndAbandonedTakesGoOnExit();
    void recordsWithoutAnyBus();
    void levelGraphOnThePage();
    void recordingLocation();
};

// 5 minutes with the flip at 2:30, through the wizard, at 60x speed.
void TestRecording::wholeSideWithFlipFromTheVirtualDeck()
{
    Boxes boxes;
    Wizard z(NoiseDeck(60));
    DetectByLevel(z);
    boxes.install();
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.next();
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picVolume"));
    boxes.answer(sv::vbYes); // the one-time volume warning
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
    sv::test::Find<QListWidget>(z.w->picRecordFrom(), "lstProfiles")->setCurrentRow(0);
    z.st().RecordSeconds = 300;
    z.st().PauseSeconds = 150;
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picRecord"));
    auto* rp = z.w->picRecord();
    auto lock = std::make_shared<LockLog>();
    rp->SetStandbyLock(std::make_unique<SpyLock>(lock));
    auto* rec = z.st().Record();

    bool pausedDuringFlip = false;
    QString statusDuringFlip;
    qint64 framesAtFlip = -1, framesAfterFlipWait = -2;
    int secondsAtFlip = -1;
    boxes.answer(sv::vbOK, [&](const sv::MsgBoxShown&) {
        pausedDuringFlip = rec->IsPaused();
        statusDuringFlip = sv::test::Find<QLabel>(rp, "lblRecStatus")->text();
        secondsAtFlip = rp->RecordedSeconds;
        framesAtFlip = rec->FramesWritten();
        QThread::msleep(200); // the deck plays on: about 12 s that must not land in the file
        framesAfterFlipWait = rec->FramesWritten();
    });

    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    QVERIFY(rec->IsCapturing());
    QVERIFY(lock->held);
    QVERIFY(z.st().IsSubclassed);
    QElapsedTimer t;
    t.start();
    while (z.page() == QStringLiteral("picRecord") && t.elapsed() < 60000) {
        sv::test::Find<QTimer>(rp, "timRecord")->stop(); // only the test's ticks
        QTest::qWait(10);
        rp->timRecord_Timer();
    }
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
    QVERIFY2(boxes.unexpected.isEmpty(), qPrintable(boxes.unexpected.join(" | ")));
    QCOMPARE(boxes.count(kFlipTitle), 1);
    const sv::MsgBoxShown flip = boxes.shown.last();
    QCOMPARE(flip.text, kFlipText);
    QCOMPARE(flip.style, 48);
    QCOMPARE(flip.position, 7);
    QVERIFY(pausedDuringFlip);
    QCOMPARE(statusDuringFlip, kPaused);
    QCOMPARE(framesAfterFlipWait, framesAtFlip);
    QVERIFY(secondsAtFlip >= 150 && secondsAtFlip < 300);

    QVERIFY(!rec->IsCapturing());
    QVERIFY(!lock->held);
    QCOMPARE(lock->acquired, 1);
    QVERIFY(!z.st().IsSubclassed);
    QVERIFY(z.st().HasRecorded);
    QCOMPARE(z.st().RecordingPath, z.st().RecordDirectory + "recording.wav");
    QCOMPARE(sv::test::Find<QLabel>(rp, "mblRemain")->text(), QStringLiteral("0:00"));

    const WavHead head = ReadHead(z.st().RecordingPath);
    QVERIFY2(head.problem.isEmpty(), qPrintable(head.problem));
    QCOMPARE(head.channels, 2);
    QCOMPARE(head.rate, 44100);
    QCOMPARE(head.bits, 16);
    QCOMPARE(head.frames, rec->FramesWritten());
    // Whole seconds round half to even: the end comes at 299.5 s at the
    // earliest; what follows is the deck running on until the stop (60x).
    QVERIFY2(head.frames >= qint64(299.5 * kRate), qPrintable(QString::number(head.frames)));
    QVERIFY2(head.frames < 330 * kRate, qPrintable(QString::number(head.frames)));
}

// The clock, the flip reached late, the pause dropping audio, the status
// texts and the end, on frame counts the test controls.
void TestRecording::clockFlipAndEndOnExactCounts()
{
    Boxes boxes;
    Wizard z;
    DetectByLevel(z);
    UseManualDeck();
    boxes.install();
    Rig r;
    r.open(z, 300, 150);
    auto* rp = r.rp;
    auto* rec = Manual(z);
    QVERIFY(sv::test::Find<QPushButton>(rp, "cmdPause")->isHidden()); // a profile with a flip

    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(), kRecording);
    QCOMPARE(sv::test::Find<QLabel>(rp, "mblRecorded")->text(), QStringLiteral("00:00"));
    QCOMPARE(sv::test::Find<QLabel>(rp, "mblRemain")->text(), QStringLiteral("5:00"));
    QVERIFY(sv::test::Find<QTimer>(rp, "timRecord")->isActive());
    QVERIFY(!sv::test::Find<QPushButton>(rp, "cmdRec")->isEnabled());
    QVERIFY(sv::test::Find<QPushButton>(rp, "cmdStop")->isEnabled());
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QVERIFY(!z.w->cmdBack()->isEnabled());
    QVERIFY(!z.w->cmdCancel()->isEnabled());
    QVERIFY(r.lock->held);
    QVERIFY(z.st().IsSubclassed);
    QVERIFY(z.st().HasRecorded);

    rec->Deliver(100);
    rp->timRecord_Timer();
    QCOMPARE(sv::test::Find<QLabel>(rp, "mblRecorded")->text(), QStringLiteral("1:40"));
    QCOMPARE(sv::test::Find<QLabel>(rp, "mblRemain")->text(), QStringLiteral("3:20"));
    QVERIFY(boxes.shown.isEmpty());

    // The tick at 150 never came: the next one, at 160, still flips.
    rec->Deliver(60);
    boxes.answer(sv::vbOK, [&](const sv::MsgBoxShown&) {
        QVERIFY(rec->IsPaused());
        QVERIFY(!sv::test::Find<QTimer>(rp, "timRecord")->isActive());
        QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(), kPaused);
        rec->Deliver(10); // the user turning the tape over: not recorded
    });
    rp->timRecord_Timer();
    QCOMPARE(boxes.count(kFlipTitle), 1);
    QVERIFY(!rec->IsPaused());
    QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(), kRecording);
    QVERIFY(sv::test::Find<QTimer>(rp, "timRecord")->isActive());
    QCOMPARE(rec->FramesWritten(), 160 * kRate);
    rp->timRecord_Timer();
    rec->Deliver(20);
    rp->timRecord_Timer();
    QCOMPARE(boxes.count(kFlipTitle), 1); // once per recording

    // A late last tick: past the end, the remaining time shows 0:00.
    rec->Deliver(125);
    QString statusAtCompletion;
    connect(rec, &sv::audio::RecordObject::CaptureCompleted, this,
            [&] { statusAtCompletion = sv::test::Find<QLabel>(rp, "lblRecStatus")->text(); });
    rp->timRecord_Timer();
    QCOMPARE(statusAtCompletion, QStringLiteral("Recording completed."));
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
    QCOMPARE(sv::test::Find<QLabel>(rp, "mblRecorded")->text(), QStringLiteral("5:05"));
    QCOMPARE(sv::test::Find<QLabel>(rp, "mblRemain")->text(), QStringLiteral("0:00"));
    QVERIFY(!rec->IsCapturing());
    QVERIFY(!r.lock->held);
    QVERIFY(!z.st().IsSubclassed);
    QVERIFY(z.st().HasRecorded);
    QVERIFY(!sv::test::Find<QTimer>(rp, "timRecord")->isActive());
    QVERIFY(sv::test::Find<QLabel>(rp, "lblRecStatus")->text().isEmpty());
    const WavHead head = ReadHead(z.st().RecordingPath);
    QVERIFY2(head.problem.isEmpty(), qPrintable(head.problem));
    QCOMPARE(head.frames, 305 * kRate);
    QVERIFY2(boxes.unexpected.isEmpty(), qPrintable(boxes.unexpected.join(" | ")));
}

// Stop asks; the minimum length decides Next; Pause and Resume by hand; a
// second Record starts a new file.
void TestRecording::stopBeforeAndAfterTheMinimum()
{
    Boxes boxes;
    Wizard z;
    DetectByLevel(z);
    UseManualDeck();
    boxes.install();
    Rig r;
    r.open(z, 600, 0);
    auto* rp = r.rp;
    auto* rec = Manual(z);
    QVERIFY(!sv::test::Find<QPushButton>(rp, "cmdPause")->isHidden()); // no flip: the user may pause
    QCOMPARE(z.st().MinRecordingLength, 1);

    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    rec->Deliver(20);
    sv::test::Find<QPushButton>(rp, "cmdPause")->click();
    QCOMPARE(sv::test::Find<QPushButton>(rp, "cmdPause")->text(), QStringLiteral("&Resume"));
    QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(), kPaused);
    rec->Deliver(5);
    sv::test::Find<QPushButton>(rp, "cmdPause")->click();
    QCOMPARE(sv::test::Find<QPushButton>(rp, "cmdPause")->text(), QStringLiteral("&Pause"));
    QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(), kRecording);
    rec->Deliver(10);
    rp->timRecord_Timer();

    // No: recording goes on.
    boxes.answer(sv::vbNo);
    sv::test::Find<QPushButton>(rp, "cmdStop")->click();
    QCOMPARE(boxes.shown.last().title, QStringLiteral("Recording"));
    QCOMPARE(boxes.shown.last().text, QStringLiteral("Are you sure you want to stop recording?"));
    QCOMPARE(boxes.shown.last().style, 260);
    QCOMPARE(boxes.shown.last().position, 7);
    QVERIFY(rec->IsCapturing());
    QVERIFY(sv::test::Find<QTimer>(rp, "timRecord")->isActive());
    QVERIFY(r.lock->held);

    // Exactly the minimum is not enough.
    rec->Deliver(30);
    boxes.answer(sv::vbYes);
    sv::test::Find<QPushButton>(rp, "cmdStop")->click();
    QVERIFY(!rec->IsCapturing());
    QCOMPARE(rp->RecordedSeconds, 60);
    QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(), kShortStop);
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QVERIFY(z.w->cmdBack()->isEnabled());
    QVERIFY(z.w->cmdCancel()->isEnabled());
    QVERIFY(sv::test::Find<QPushButton>(rp, "cmdRec")->isEnabled());
    QVERIFY(!sv::test::Find<QPushButton>(rp, "cmdStop")->isEnabled());
    QVERIFY(!sv::test::Find<QPushButton>(rp, "cmdPause")->isEnabled());
    QVERIFY(!z.st().HasRecorded);
    QVERIFY(!r.lock->held);
    QVERIFY(!z.st().IsSubclassed);
    const QString path = z.st().RecordingPath;
    QCOMPARE(ReadHead(path).frames, 60 * kRate);

    // A second Record deletes the first file rather than writing over it:
    // a read-only first file would refuse to be truncated, and keep its mode.
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    QVERIFY(rec->IsCapturing());
    QVERIFY(QFileInfo(path).permissions() & QFileDevice::WriteOwner);
    QCOMPARE(QFileInfo(path).size(), qint64(44));
    QCOMPARE(r.lock->acquired, 2);

    // One second more than the minimum offers Next.
    rec->Deliver(61);
    boxes.answer(sv::vbYes);
    sv::test::Find<QPushButton>(rp, "cmdStop")->click();
    QCOMPARE(rp->RecordedSeconds, 61);
    QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(), kLongStop);
    QVERIFY(z.w->cmdNext()->isEnabled());
    QVERIFY(z.w->cmdCancel()->isEnabled());
    QVERIFY(z.st().HasRecorded);
    QCOMPARE(ReadHead(path).frames, 61 * kRate);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
    QVERIFY2(boxes.unexpected.isEmpty(), qPrintable(boxes.unexpected.join(" | ")));
}

// The disk fills 100 s into a recording from the virtual deck: capture stops,
// the file holds those 100 s with a correct header, the user is told, and
// the recording can be taken on.
void TestRecording::diskFullKeepsWhatWasRecorded()
{
    Boxes boxes;
    Wizard z(NoiseDeck(100));
    DetectByLevel(z);
    boxes.install();
    Rig r;
    r.open(z, 600, 0);
    auto* rp = r.rp;
    auto* rec = z.st().Record();
    WavWriter::InjectFailureAfterBytes(100 * kRate * 4);
    boxes.answer(sv::vbOK);
    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    QElapsedTimer t;
    t.start();
    while (boxes.shown.isEmpty() && t.elapsed() < 30000) {
        sv::test::Find<QTimer>(rp, "timRecord")->stop();
        QTest::qWait(10);
        rp->timRecord_Timer();
    }
    QCOMPARE(boxes.shown.size(), 1);
    const sv::MsgBoxShown box = boxes.shown.first();
    QCOMPARE(box.title, QStringLiteral("Recording Stopped"));
    QCOMPARE(box.style, int(sv::vbExclamation));
    QCOMPARE(box.position, 7);
    QVERIFY2(box.text.contains(QStringLiteral("No space left on device")), qPrintable(box.text));
    QVERIFY2(box.text.contains(QStringLiteral("The 1:40 recorded until then are kept in ") + z.st().RecordingPath),
             qPrintable(box.text));
    QVERIFY(box.text.contains(QStringLiteral("Click Next")));

    QVERIFY(!rec->IsCapturing());
    QVERIFY(!sv::test::Find<QTimer>(rp, "timRecord")->isActive());
    QVERIFY(!r.lock->held);
    QVERIFY(!z.st().IsSubclassed);
    QCOMPARE(sv::test::Find<QLabel>(rp, "mblRecorded")->text(), QStringLiteral("1:40"));
    QCOMPARE(sv::test::Find<QLabel>(rp, "lblRecStatus")->text(), kLongStop);
    QVERIFY(z.st().HasRecorded);
    QVERIFY(sv::test::Find<QPushButton>(rp, "cmdRec")->isEnabled());
    QVERIFY(!sv::test::Find<QPushButton>(rp, "cmdStop")->isEnabled());
    QVERIFY(z.w->cmdBack()->isEnabled());
    QVERIFY(z.w->cmdNext()->isEnabled());
    const WavHead head = ReadHead(z.st().RecordingPath);
    QVERIFY2(head.problem.isEmpty(), qPrintable(head.problem));
    QCOMPARE(head.frames, 100 * kRate);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWaveform"));
    QCOMPARE(boxes.shown.size(), 1);
}

void TestRecording::diskFullTooShortToContinue()
{
    Boxes boxes;
    Wizard z;
    UseManualDeck();
    boxes.install();
    Rig r;
    r.open(z, 600, 0);
    auto* rec = Manual(z);
    WavWriter::InjectFailureAfterBytes(30 * kRate * 4);
    sv::test::Find<QPushButton>(r.rp, "cmdRec")->click();
    boxes.answer(sv::vbOK);
    rec->Deliver(40);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.shown.size(), 1, 5000); // the failure reaches the page as an event
    QVERIFY(boxes.shown.first().text.contains(QStringLiteral("The 0:30 recorded until then")));
    QVERIFY(boxes.shown.first().text.contains(QStringLiteral("too short")));
    QCOMPARE(sv::test::Find<QLabel>(r.rp, "lblRecStatus")->text(), kShortStop);
    QVERIFY(!z.w->cmdNext()->isEnabled());
    QVERIFY(!z.st().HasRecorded);
    QVERIFY(!r.lock->held);
    const WavHead head = ReadHead(z.st().RecordingPath);
    QVERIFY2(head.problem.isEmpty(), qPrintable(head.problem));
    QCOMPARE(head.frames, 30 * kRate);
}

void TestRecording::exitWhileRecordingReleasesTheLock()
{
    Boxes boxes;
    Wizard z;
    UseManualDeck();
    boxes.install();
    Rig r;
    r.open(z, 600, 0);
    sv::test::Find<QPushButton>(r.rp, "cmdRec")->click();
    Manual(z)->Deliver(10);
    QVERIFY(r.lock->held);
    boxes.answer(sv::vbYes); // "Anything you recorded will be lost."
    QVERIFY(z.w->close());
    QCOMPARE(boxes.shown.last().title, QStringLiteral("Exit"));
    QVERIFY(!r.lock->held);
    QCOMPARE(r.lock->released, 1);
    QVERIFY(!z.st().IsSubclassed);
    QVERIFY(!z.st().Record()->IsCapturing());
}

// While Stop or Exit asks, ticks keep the clock but neither flip nor end the
// take; after No what came due happens, after Yes the take as it was is stopped.
void TestRecording::questionsHoldTheFlipAndTheEnd()
{
    Boxes boxes;
    Wizard z;
    DetectByLevel(z);
    UseManualDeck();
    boxes.install();
    Rig r;
    r.open(z, 300, 150);
    auto* rp = r.rp;
    auto* rec = Manual(z);
    sv::test::Find<QTimer>(rp, "timRecord")->stop(); // only the test's ticks
    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    sv::test::Find<QTimer>(rp, "timRecord")->stop();
    rec->Deliver(140);
    rp->timRecord_Timer();

    const auto tickPastTheFlip = [&](const sv::MsgBoxShown&) {
        rec->Deliver(20);
        rp->timRecord_Timer();
        QCOMPARE(sv::test::Find<QLabel>(rp, "mblRecorded")->text(), QStringLiteral("2:40"));
        QCOMPARE(boxes.count(kFlipTitle), 0);
    };
    boxes.answer(sv::vbNo, tickPastTheFlip);
    boxes.answer(sv::vbOK); // the flip, once the question is answered
    sv::test::Find<QPushButton>(rp, "cmdStop")->click();
    QCOMPARE(boxes.count(kFlipTitle), 1);
    QCOMPARE(boxes.shown.last().title, kFlipTitle);
    QVERIFY(rec->IsCapturing());

    const auto tickPastTheEnd = [&](const sv::MsgBoxShown&) {
        rec->Deliver(150);
        rp->timRecord_Timer();
        QCOMPARE(z.page(), QStringLiteral("picRecord"));
        QVERIFY(rec->IsCapturing());
    };
    boxes.answer(sv::vbNo, tickPastTheEnd); // "Anything you recorded will be lost."
    QVERIFY(!z.w->close());
    QCOMPARE(boxes.shown.last().title, QStringLiteral("Exit"));
    QCOMPARE(z.page(), QStringLiteral("picWaveform")); // the end, after the answer
    QVERIFY(!rec->IsCapturing());
    QVERIFY2(boxes.unexpected.isEmpty(), qPrintable(boxes.unexpected.join(" | ")));
}

// Yes to Stop stops the take on the record page even if its end came while
// the question was open.
void TestRecording::stopAnsweredAfterTheEnd()
{
    Boxes boxes;
    Wizard z;
    UseManualDeck();
    boxes.install();
    Rig r;
    r.open(z, 120, 0);
    sv::test::Find<QPushButton>(r.rp, "cmdRec")->click();
    sv::test::Find<QTimer>(r.rp, "timRecord")->stop();
    boxes.answer(sv::vbYes, [&](const sv::MsgBoxShown&) {
        Manual(z)->Deliver(130);
        r.rp->timRecord_Timer();
    });
    sv::test::Find<QPushButton>(r.rp, "cmdStop")->click();
    QCOMPARE(z.page(), QStringLiteral("picRecord"));
    QCOMPARE(sv::test::Find<QLabel>(r.rp, "lblRecStatus")->text(), kLongStop);
    QVERIFY(z.w->cmdNext()->isEnabled());
    QVERIFY2(boxes.unexpected.isEmpty(), qPrintable(boxes.unexpected.join(" | ")));
}

// Takes that cannot go on (too short) or were left with Back are deleted at
// Exit, without the question meant for a take that would be lost.
void TestRecording::shortAndAbandonedTakesGoOnExit()
{
    for (const bool leftWithBack : {false, true}) {
        Boxes boxes;
        Wizard z;
        UseManualDeck();
        boxes.install();
        Rig r;
        r.open(z, 600, 0);
        sv::test::Find<QPushButton>(r.rp, "cmdRec")->click();
        Manual(z)->Deliver(leftWithBack ? 90 : 30);
        boxes.answer(sv::vbYes);
        sv::test::Find<QPushButton>(r.rp, "cmdStop")->click();
        const QString path = z.st().RecordingPath;
        QVERIFY(QFile::exists(path));
        QCOMPARE(z.w->cmdNext()->isEnabled(), leftWithBack);
        if (leftWithBack) {
            z.back();
            QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
        }
        QVERIFY(z.w->close());
        QVERIFY(!QFile::exists(path));
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY2(boxes.unexpected.isEmpty(), qPrintable(boxes.unexpected.join(" | ")));
    }
}

// Where no bus answers, the page records anyway, unguarded and silent.
void TestRecording::recordsWithoutAnyBus()
{
    Boxes boxes;
    Wizard z;
    UseManualDeck();
    boxes.install();
    z.noWelcomeDialog();
    QVERIFY(z.start());
    auto* rp = z.w->picRecord();
    z.st().RecordSeconds = 120;
    rp->Enter();
    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    QVERIFY(z.st().Record()->IsCapturing());
    QVERIFY(!z.st().IsSubclassed);
    QVERIFY(!rp->Standby().IsHeld());
    Manual(z)->Deliver(2);
    boxes.answer(sv::vbYes);
    sv::test::Find<QPushButton>(rp, "cmdStop")->click();
    QCOMPARE(ReadHead(z.st().RecordingPath).frames, 2 * kRate);
    QVERIFY(boxes.unexpected.isEmpty());
}

void TestRecording::levelGraphOnThePage()
{
    Boxes boxes;
    Wizard z;
    UseManualDeck();
    boxes.install();
    Rig r;
    r.open(z, 600, 0);
    auto* rp = r.rp;
    QVERIFY(sv::test::Find<QTimer>(rp, "timRecordGraph")->isActive());
    sv::test::Find<QPushButton>(rp, "cmdRec")->click();
    Manual(z)->Deliver(1, 6000);
    rp->timRecordGraph_Timer();
    QCOMPARE(rp->LevelHistory[0], 6000);
    QCOMPARE(rp->LevelHistory[1], 0);

    QWidget* pic = sv::test::Find<QFrame>(rp, "picRecordGraph");
    const QRect inner = pic->contentsRect();
    QVERIFY(inner.width() >= 100);
    const sv::LevelGraphPoints& g = rp->RecordGraph();
    QCOMPARE(int(g.points.size()), inner.width());
    const QImage img = pic->grab().toImage();
    const QPointF newest = g.points.first();
    QVERIFY(newest.y() < g.baseline); // louder input rises
    QCOMPARE(img.pixelColor(inner.topLeft() + QPoint(1, qRound(newest.y()))), QColor(0, 192, 0));
    QCOMPARE(img.pixelColor(inner.topLeft() + QPoint(0, int(g.baseline))), QColor(178, 178, 178));
    const QPointF quiet = g.points.last(); // older entries are silence
    QCOMPARE(quiet.y(), g.baseline);
    // Clipping draws higher still, in red.
    Manual(z)->Deliver(1, 30000);
    rp->timRecordGraph_Timer();
    const QPointF loud = rp->RecordGraph().clipping.value(0);
    QVERIFY(loud.y() < newest.y() && loud.x() == 1);
    QCOMPARE(pic->grab().toImage().pixelColor(inner.topLeft() + QPoint(1, qRound(loud.y()))), QColor(224, 0, 0));
    boxes.answer(sv::vbYes);
    sv::test::Find<QPushButton>(rp, "cmdStop")->click();
}

// The location link opens the dialog; OK takes its folder, Cancel keeps the
// old one; either way the folder is stored.
void TestRecording::recordingLocation()
{
    Boxes boxes;
    Wizard z;
    boxes.install();
    z.noWelcomeDialog();
    QVERIFY(z.start());
    auto* rf = z.w->picRecordFrom();
    sv::test::Find<QListWidget>(rf, "lstProfiles")->setCurrentRow(0);
    const QString good = z.env.root() + "/home/Recordings";
    QVERIFY(QDir().mkpath(good));

    OnModal([&](QWidget* w) {
        auto* d = qobject_cast<frmRecLocation*>(w);
        QVERIFY(d);
        d->SelectFolder(good);
        d->cmdOK_Click();
    });
    rf->lblRecLocation_Click();
    QCOMPARE(z.st().RecordDirectory, good + "/");
    QCOMPARE(z.get("", "RecordDirectory"), good + "/");
    QCOMPARE(sv::test::Find<QLabel>(rf, "lblRecFolder")->text(), good + "/");

    const QString before = z.st().RecordDirectory;
    z.set("", "RecordDirectory", "elsewhere");
    OnModal([&](QWidget* w) { qobject_cast<frmRecLocation*>(w)->cmdCancel_Click(); });
    rf->lblRecLocation_Click();
    QCOMPARE(z.st().RecordDirectory, before);
    QCOMPARE(z.get("", "RecordDirectory"), before);

    // Too short to be a folder: the dialog opens at the home folder.
    z.st().RecordDirectory = "D:";
    QString shownAt;
    OnModal([&](QWidget* w) {
        auto* d = qobject_cast<frmRecLocation*>(w);
        shownAt = d->Directory();
        d->cmdCancel_Click();
    });
    rf->lblRecLocation_Click();
    QCOMPARE(sv::AddSlash(shownAt), sv::AddSlash(QDir::homePath()));
    QCOMPARE(z.st().RecordDirectory, sv::AddSlash(QDir::homePath()));
    QCOMPARE(z.get("", "RecordDirectory"), sv::AddSlash(QDir::homePath()));
    QVERIFY2(boxes.unexpected.isEmpty(), qPrintable(boxes.unexpected.join(" | ")));
}

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
