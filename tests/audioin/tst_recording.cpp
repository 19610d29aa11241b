// The record page in the main window, on a deck whose audio the test hands
// over frame by frame, so that clock, flip and files are checked on exact counts.
#include "app/WizardFixture.h"
#include "audioin/engine/CaptureSink.h"
#include "audioin/pulse/WavCheck.h"
#include "audioin/ui/frmRecLocation.h"
#include "support/FindChild.h"
#include "util/modFunctions.h"

#include <QFileInfo>

#include <cmath>
#include <vector>

using namespace svtest;
using sv::audio::CaptureSink;
using sv::audio::WavWriter;
using sv::test::Find;

namespace {

const QString kFlipTitle = QStringLiteral("Flip Cassette or LP");
const QString kRecording = QStringLiteral("Recording...");
const QString kPaused = QStringLiteral("Recording paused. Press Pause again to continue.");
const QString kShortStop = QStringLiteral("This recording is shorter than 61 seconds, too short to continue with. "
                                          "Click Record to start over, or click Back to change settings.");
const QString kLongStop =
    QStringLiteral("Click Record to start over, Back to change settings, or Next to continue with what you've recorded.");
constexpr qint64 kRate = 44100;

// A device whose audio the test hands over, so counts are exact.
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

// Counts what the page does with the lock that keeps the computer awake.
struct SpyLock : StandbyLock {
    int acquired = 0, released = 0;
    bool held = false;
    bool Acquire(const QString&) override { return acquired += !held, held = true; }
    void Release() override { released += held, held = false; }
    bool IsHeld() const override { return held; }
};

// Answers boxes in order; an answer may first act while its box is open.
struct Boxes {
    QList<sv::MsgBoxShown> shown;
    QStringList unexpected;
    QList<QPair<int, std::function<void(const sv::MsgBoxShown&)>>> queue;

    void install()
    {
        sv::SetMsgBoxResponder([this](const sv::MsgBoxShown& b) {
            shown.append(b);
            if (queue.isEmpty()) {
                unexpected.append(b.title + QStringLiteral(": ") + b.text);
                return (b.style & 7) == sv::vbYesNo ? int(sv::vbNo) : int(sv::vbOK);
            }
            auto [answer, during] = queue.takeFirst();
            if (during)
                during(b);
            return answer;
        });
    }
    void answer(int result, std::function<void(const sv::MsgBoxShown&)> during = {})
    {
        queue.append({result, std::move(during)});
    }
    int count(const QString& title) const
    {
        return int(std::count_if(shown.begin(), shown.end(), [&](const auto& b) { return b.title == title; }));
    }
    bool onlyExpected() const
    {
        if (!unexpected.isEmpty())
            qWarning("unexpected: %s", qPrintable(unexpected.join(" | ")));
        return unexpected.isEmpty();
    }
};

// The recording's frames; -1 (with the reason) for a damaged or lying header.
qint64 FramesIn(const QString& path)
{
    const RecordedWav w = ReadRecordedWav(path);
    if (w.ok && w.channels == 2 && w.rate == kRate)
        return w.frames;
    qWarning("%s: %s (%d channels, %d Hz)", qPrintable(path), qPrintable(w.problem), w.channels, w.rate);
    return -1;
}

// The record page on the manual deck, with a lock spy or the real guard.
struct Take {
    Boxes boxes; // first, so that it outlives the window
    Wizard z;
    PageRecord* rp = nullptr;
    SpyLock* lock = nullptr; // the page's

    Take(int recordSeconds, int pauseSeconds, bool spyLock = true)
    {
        // A steady signal is a blank tape to detection by bands; detect by level.
        z.set(QStringLiteral("Advanced\\Track Detection"), QStringLiteral("Method"), QStringLiteral("Audio"));
        sv::audio::SetEngineFactory([] {
            auto e = sv::audio::CreateVirtualEngine(SmallDeck());
            e->record = std::make_unique<ManualRecord>();
            return e;
        });
        boxes.install();
        z.noWelcomeDialog();
        if (!z.start())
            qFatal("the main window did not load");
        rp = z.w->picRecord();
        if (spyLock) {
            auto spy = std::make_unique<SpyLock>();
            lock = spy.get();
            rp->SetStandbyLock(std::move(spy));
        }
        z.st().RecordSeconds = recordSeconds;
        z.st().PauseSeconds = pauseSeconds;
        rp->Enter();
    }
    ManualRecord* rec() { return static_cast<ManualRecord*>(z.st().Record()); }
    QString text(const char* label) { return Find<QLabel>(rp, label)->text(); }
    QPushButton* button(const char* name) { return Find<QPushButton>(rp, name); }
    QTimer* timer() { return Find<QTimer>(rp, "timRecord"); }
    void tick() { rp->timRecord_Timer(); }
    void stop()
    {
        boxes.answer(sv::vbYes);
        button("cmdStop")->click();
    }
    // Which of Record, Stop, Next, Back and Exit are enabled, e.g. "10011".
    QString enabled()
    {
        QString b;
        for (QWidget* x : std::initializer_list<QWidget*>{button("cmdRec"), button("cmdStop"), z.w->cmdNext(),
                                                         z.w->cmdBack(), z.w->cmdCancel()})
            b += x->isEnabled() ? '1' : '0';
        return b;
    }
};

} // namespace

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

    // Clock, status texts, a late flip whose pause drops audio, a late end.
    void clockFlipAndEndOnExactCounts()
    {
        Take t(300, 150);
        auto* rec = t.rec();
        QVERIFY(t.button("cmdPause")->isHidden()); // a profile with a flip

        t.button("cmdRec")->click();
        QCOMPARE(t.text("lblRecStatus") + t.text("mblRecorded") + "/" + t.text("mblRemain"), kRecording + "00:00/5:00");
        QCOMPARE(t.enabled(), QStringLiteral("01000"));
        QVERIFY(t.lock->held && t.z.st().IsSubclassed);
        rec->Deliver(100);
        t.tick();
        QCOMPARE(t.text("mblRecorded") + "/" + t.text("mblRemain"), QStringLiteral("1:40/3:20"));

        // The tick at 150 never came: the next one, at 160, still flips.
        rec->Deliver(60);
        t.boxes.answer(sv::vbOK, [&](const sv::MsgBoxShown& b) {
            QCOMPARE(b.text, QStringLiteral("Please flip the cassette or LP over and click OK."));
            QVERIFY(rec->IsPaused() && !t.timer()->isActive());
            QCOMPARE(t.text("lblRecStatus"), kPaused);
            rec->Deliver(10); // the user turning the tape over: not recorded
        });
        t.tick();
        QCOMPARE(t.boxes.count(kFlipTitle), 1);
        QVERIFY(!rec->IsPaused() && t.timer()->isActive());
        QCOMPARE(t.text("lblRecStatus"), kRecording);
        QCOMPARE(rec->FramesWritten(), 160 * kRate);
        rec->Deliver(20);
        t.tick();
        QCOMPARE(t.boxes.count(kFlipTitle), 1); // once per recording

        // A late last tick: past the end, the remaining time shows 0:00.
        rec->Deliver(125);
        QString statusAtCompletion;
        connect(rec, &sv::audio::RecordObject::CaptureCompleted, this,
                [&] { statusAtCompletion = t.text("lblRecStatus"); });
        t.tick();
        QCOMPARE(statusAtCompletion, QStringLiteral("Recording completed."));
        QCOMPARE(t.z.page(), QStringLiteral("picWaveform"));
        QCOMPARE(t.text("mblRecorded") + "/" + t.text("mblRemain"), QStringLiteral("5:05/0:00"));
        QVERIFY(!rec->IsCapturing() && !t.timer()->isActive() && t.z.st().HasRecorded);
        QVERIFY(!t.lock->held && !t.z.st().IsSubclassed);
        QCOMPARE(t.z.st().RecordingPath, t.z.st().RecordDirectory + "recording.wav");
        QCOMPARE(FramesIn(t.z.st().RecordingPath), 305 * kRate);
        QVERIFY(t.boxes.onlyExpected());
    }

    // Stop asks; the minimum length decides Next; a second take replaces the first.
    void stopBeforeAndAfterTheMinimum()
    {
        Take t(600, 0);
        auto* rec = t.rec();
        auto* pause = t.button("cmdPause");
        QVERIFY(!pause->isHidden()); // no flip: the user may pause
        t.button("cmdRec")->click();
        rec->Deliver(20);
        pause->click();
        QCOMPARE(pause->text() + t.text("lblRecStatus"), "&Resume" + kPaused);
        rec->Deliver(5);
        pause->click();
        QCOMPARE(pause->text() + t.text("lblRecStatus"), "&Pause" + kRecording);
        rec->Deliver(10);
        t.tick();

        t.boxes.answer(sv::vbNo);
        t.button("cmdStop")->click();
        const sv::MsgBoxShown asked = t.boxes.shown.last();
        QCOMPARE(asked.title + ": " + asked.text, QStringLiteral("Recording: Are you sure you want to stop recording?"));
        QCOMPARE(asked.style, sv::vbYesNo + sv::vbDefaultButton2);
        QVERIFY(rec->IsCapturing() && t.timer()->isActive() && t.lock->held);

        // Exactly the minimum is not enough.
        rec->Deliver(30);
        t.stop();
        QCOMPARE(t.text("lblRecStatus"), kShortStop);
        QCOMPARE(t.enabled(), QStringLiteral("10011"));
        QVERIFY(!pause->isEnabled() && !t.z.st().HasRecorded && !t.lock->held && !t.z.st().IsSubclassed);
        const QString path = t.z.st().RecordingPath;
        QCOMPARE(FramesIn(path), 60 * kRate);

        // A second Record deletes the first file rather than writing over it:
        // a read-only first file would refuse to be truncated, and keep its mode.
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
        t.button("cmdRec")->click();
        QVERIFY(rec->IsCapturing());
        QVERIFY(QFileInfo(path).permissions() & QFileDevice::WriteOwner);
        QCOMPARE(QFileInfo(path).size(), qint64(44));
        QCOMPARE(t.lock->acquired, 2);

        // One second more than the minimum offers Next.
        rec->Deliver(61);
        t.stop();
        QCOMPARE(t.text("lblRecStatus"), kLongStop);
        QCOMPARE(t.enabled(), QStringLiteral("10111"));
        QVERIFY(t.z.st().HasRecorded);
        QCOMPARE(FramesIn(path), 61 * kRate);
        t.z.next();
        QCOMPARE(t.z.page(), QStringLiteral("picWaveform"));
        QVERIFY(t.boxes.onlyExpected());
    }

    // The disk fills during a take: capture stops, the file keeps what came
    // before with a sound header, the user is told; a long enough take goes on.
    void diskFullKeepsWhatWasRecorded_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<QString>("advice");
        QTest::newRow("long enough") << 100 << QStringLiteral("1:40")
                                     << QStringLiteral("Click Next to continue with this recording, or Record to start over.");
        QTest::newRow("too short") << 30 << QStringLiteral("0:30")
                                   << QStringLiteral("This is too short to continue with. Make room on the disk or choose "
                                                     "another recording location, then record again.");
    }

    void diskFullKeepsWhatWasRecorded()
    {
        QFETCH(int, seconds);
        QFETCH(QString, clock);
        QFETCH(QString, advice);
        const bool enough = seconds > 60;
        Take t(600, 0);
        WavWriter::InjectFailureAfterBytes(seconds * kRate * 4);
        t.button("cmdRec")->click();
        t.boxes.answer(sv::vbOK);
        t.rec()->Deliver(seconds + 10);
        QTRY_COMPARE_WITH_TIMEOUT(t.boxes.shown.size(), 1, 5000); // the failure reaches the page as an event
        const sv::MsgBoxShown box = t.boxes.shown.first();
        QCOMPARE(box.style, int(sv::vbExclamation));
        QCOMPARE(box.title + ": " + box.text,
                 QStringLiteral("Recording Stopped: Sonivault had to stop recording: No space left on device\r\n\r\n"
                                "The %1 recorded until then are kept in %2.\r\n%3")
                     .arg(clock, t.z.st().RecordingPath, advice));
        QVERIFY(!t.rec()->IsCapturing() && !t.timer()->isActive() && !t.lock->held && !t.z.st().IsSubclassed);
        QCOMPARE(t.text("mblRecorded"), clock);
        QCOMPARE(t.text("lblRecStatus"), enough ? kLongStop : kShortStop);
        QCOMPARE(t.z.st().HasRecorded, enough);
        QCOMPARE(t.enabled(), enough ? QStringLiteral("10111") : QStringLiteral("10011"));
        QCOMPARE(FramesIn(t.z.st().RecordingPath), seconds * kRate);
        if (enough) {
            t.z.next();
            QCOMPARE(t.z.page(), QStringLiteral("picWaveform"));
        }
        QCOMPARE(t.boxes.shown.size(), 1);
    }

    // While Stop or Exit asks, ticks keep the clock but neither flip nor end the
    // take; after No what came due happens, after Yes the take as it was is stopped.
    void questionsHoldTheFlipAndTheEnd()
    {
        Take t(300, 150);
        auto* rec = t.rec();
        t.button("cmdRec")->click();
        t.timer()->stop(); // only the test's ticks
        rec->Deliver(140);
        t.tick();

        t.boxes.answer(sv::vbNo, [&](const sv::MsgBoxShown&) {
            rec->Deliver(20);
            t.tick();
            QCOMPARE(t.text("mblRecorded"), QStringLiteral("2:40"));
            QCOMPARE(t.boxes.count(kFlipTitle), 0);
        });
        t.boxes.answer(sv::vbOK); // the flip, once the question is answered
        t.button("cmdStop")->click();
        QCOMPARE(t.boxes.shown.last().title, kFlipTitle);
        QVERIFY(rec->IsCapturing());

        t.boxes.answer(sv::vbNo, [&](const sv::MsgBoxShown&) { // "Anything you recorded will be lost."
            rec->Deliver(150);
            t.tick();
            QCOMPARE(t.z.page(), QStringLiteral("picRecord"));
            QVERIFY(rec->IsCapturing());
        });
        QVERIFY(!t.z.w->close());
        QCOMPARE(t.boxes.shown.last().title, QStringLiteral("Exit"));
        QCOMPARE(t.z.page(), QStringLiteral("picWaveform")); // the end, after the answer
        QVERIFY(!rec->IsCapturing());
        QVERIFY(t.boxes.onlyExpected());
    }

    // Yes to Stop stops the take on the page even if its end came during the
    // question. Where no bus answers, the page records, unguarded and silent.
    void stopAnsweredAfterTheEndWithoutAnyBus()
    {
        Take t(120, 0, false);
        t.button("cmdRec")->click();
        QVERIFY(t.rec()->IsCapturing() && !t.z.st().IsSubclassed && !t.rp->Standby().IsHeld());
        t.timer()->stop();
        t.boxes.answer(sv::vbYes, [&](const sv::MsgBoxShown&) {
            t.rec()->Deliver(130);
            t.tick();
        });
        t.button("cmdStop")->click();
        QCOMPARE(t.z.page(), QStringLiteral("picRecord"));
        QCOMPARE(t.text("lblRecStatus"), kLongStop);
        QVERIFY(t.z.w->cmdNext()->isEnabled());
        QCOMPARE(FramesIn(t.z.st().RecordingPath), 130 * kRate);
        QVERIFY(t.boxes.onlyExpected());
    }

    // Exit deletes the take's file and lets the computer sleep; it asks only
    // while recording, not for a take too short or one left with Back.
    void exitDeletesTheTake_data()
    {
        QTest::addColumn<QString>("take");
        QTest::newRow("recording") << QStringLiteral("recording");
        QTest::newRow("too short") << QStringLiteral("short");
        QTest::newRow("left with Back") << QStringLiteral("back");
    }

    void exitDeletesTheTake()
    {
        QFETCH(QString, take);
        Take t(600, 0);
        t.button("cmdRec")->click();
        t.rec()->Deliver(take == "back" ? 90 : 30);
        if (take == "recording")
            t.boxes.answer(sv::vbYes); // "Anything you recorded will be lost."
        else
            t.stop();
        if (take == "back")
            t.z.back();
        const QString path = t.z.st().RecordingPath;
        QVERIFY(QFile::exists(path));
        QVERIFY(t.z.w->close());
        QVERIFY(!QFile::exists(path));
        QCOMPARE(t.boxes.shown.last().title, take == "recording" ? QStringLiteral("Exit") : QStringLiteral("Recording"));
        QVERIFY(!t.rec()->IsCapturing() && !t.lock->held && !t.z.st().IsSubclassed);
        QCOMPARE(t.lock->released, 1);
        QVERIFY(t.boxes.onlyExpected());
    }

    // Louder input rises in green, newest at the left; clipping higher, in red.
    void levelGraphOnThePage()
    {
        Take t(600, 0);
        t.button("cmdRec")->click();
        QWidget* pic = Find<QFrame>(t.rp, "picRecordGraph");
        const QPoint origin = pic->contentsRect().topLeft();
        // The newest level's height, and the colour drawn there.
        auto deliver = [&](qint16 level) {
            t.rec()->Deliver(1, level);
            t.rp->timRecordGraph_Timer();
            const sv::LevelGraphPoints& g = t.rp->RecordGraph();
            const double y = (g.clipping.isEmpty() ? g.points : g.clipping).value(0).y();
            return qMakePair(y, pic->grab().toImage().pixelColor(origin + QPoint(1, qRound(y))));
        };
        const auto quiet = deliver(6000);
        QCOMPARE(t.rp->LevelHistory[0], 6000);
        QVERIFY(quiet.first < t.rp->RecordGraph().baseline);
        QCOMPARE(quiet.second, QColor(0, 192, 0));
        const auto loud = deliver(30000);
        QCOMPARE(loud.second, QColor(224, 0, 0));
        t.stop();
    }

    // A stored folder too short to be one opens the location dialog at home,
    // which is kept and stored even on Cancel (OK: tst_profilepage).
    void recordingLocation()
    {
        Wizard z;
        z.noWelcomeDialog();
        QVERIFY(z.start());
        auto* rf = z.w->picRecordFrom();
        Find<QListWidget>(rf, "lstProfiles")->setCurrentRow(0);
        z.st().RecordDirectory = "D:";
        QString shownAt;
        OnModal([&](QWidget* w) {
            auto* d = qobject_cast<frmRecLocation*>(w);
            QVERIFY(d);
            shownAt = d->Directory();
            d->cmdCancel_Click();
        });
        rf->lblRecLocation_Click();
        const QString home = sv::AddSlash(QDir::homePath());
        QCOMPARE(sv::AddSlash(shownAt), home);
        QCOMPARE(z.st().RecordDirectory + z.get("", "RecordDirectory"), home + home);
        QCOMPARE(Find<QLabel>(rf, "lblRecFolder")->text(), home);
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }
};

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
