// The capture engine on the virtual deck: what reaches the file while
// recording, pausing and running out of disk, and how playback ends.
#include "audioin/engine/Backends.h"
#include "audioin/engine/CaptureSink.h"
#include "audioin/engine/DemoSignal.h"
#include "audioin/engine/VirtualBackend.h"
#include "audioin/pulse/WavCheck.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <vector>

using namespace sv;
using namespace sv::audio;
using svtest::ReadRecordedWav;

namespace {

// Peak of |sample| over a span of a stereo recording.
int peakOf(const svtest::RecordedWav& w, double fromSec, double toSec)
{
    int peak = 0;
    const qint64 end = std::min<qint64>(qint64(toSec * 44100) * 2, qint64(w.pcm.size()));
    for (qint64 i = qint64(fromSec * 44100) * 2; i < end; ++i)
        peak = std::max(peak, std::abs(int(w.pcm[i])));
    return peak;
}

// The data size a header states, read while the file may still grow; -1 when
// the RIFF size does not agree with it.
qint64 statedDataBytes(const QString& path)
{
    QFile f(path);
    const QByteArray h = f.open(QIODevice::ReadOnly) ? f.read(44) : QByteArray();
    if (h.size() < 44)
        return -1;
    const quint32 data = qFromLittleEndian<quint32>(h.constData() + 40);
    return qFromLittleEndian<quint32>(h.constData() + 4) == data + 36 ? qint64(data) : -1;
}

VirtualDeck testDeck(const QString& wav, double speed)
{
    VirtualDeck d;
    d.speed = speed;
    d.mixers.append({"Card A", {{"Mic", VirtualSignal::noise(1000), 50}, {"Tape", VirtualSignal::wav(wav), 100}}});
    d.mixers.append({"Card B", {{"Silent", VirtualSignal::silence(), 50}}});
    return d;
}

bool waitFor(const std::function<bool()>& cond, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!cond() && t.elapsed() < ms)
        QTest::qWait(5);
    return cond();
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString side;

private Q_SLOTS:
    void initTestCase()
    {
        SetSettingsFile(UserDataFolder() + "settings.xml");
        side = env.tmp() + "side.wav";
        DemoLayout l;
        l.tracks = {6, 5};
        l.leadIn = 1;
        l.gap = 2;
        l.tail = 1;
        QVERIFY(WriteDemoSide(side, l));
    }
    void cleanup() { WavWriter::InjectFailureAfterBytes(-1); }

    void demoSideHasMusicAndGaps()
    {
        const auto w = ReadRecordedWav(side);
        QVERIFY2(w.ok, qPrintable(w.problem));
        QCOMPARE(w.channels, 2);
        QCOMPARE(w.rate, 44100);
        QCOMPARE(w.frames, 15 * 44100);
        QVERIFY(peakOf(w, 0.1, 0.9) < 200);     // lead-in hiss
        QVERIFY(peakOf(w, 2, 6) > 15000);       // first track
        QVERIFY(peakOf(w, 7.2, 8.8) < 200);     // gap
        QVERIFY(peakOf(w, 9.5, 13) > 15000);    // second track
    }

    // Read while still open, as after a crash: valid, and at most half a
    // second behind the frames written.
    void writerKeepsHeaderCurrent()
    {
        const QString path = env.tmp() + "grow.wav";
        WavWriter w;
        QVERIFY(w.open(path, 2, 44100, nullptr));
        std::vector<qint16> block(2 * 44100, 1000);
        for (int i = 0; i < 3; ++i)
            QVERIFY(w.append(block.data(), 44100, nullptr));
        const qint64 mid = statedDataBytes(path);
        QVERIFY2(mid >= 3 * 44100 * 4 - 22050 * 4 && mid <= QFileInfo(path).size() - 44, qPrintable(QString::number(mid)));
        w.close();
        const auto end = ReadRecordedWav(path);
        QVERIFY2(end.ok, qPrintable(end.problem));
        QCOMPARE(end.frames, 3 * 44100);
    }

    void captureWithPauseAndEvents()
    {
        auto engine = CreateVirtualEngine(testDeck(side, 20.0));
        RecordObject* rec = engine->record.get();
        QCOMPARE(rec->GetMixerCount(), 2);
        QCOMPARE(rec->GetMixerName(1), QString("Card B"));
        rec->SetMixer(0);
        QCOMPARE(rec->GetLineName(1), QString("Tape"));
        rec->SetLine(1);
        QVERIFY_THROWS_EXCEPTION(AudioError, rec->SetMixer(5));
        QVERIFY_THROWS_EXCEPTION(AudioError, rec->GetLineName(-1));

        QStringList events;
        connect(rec, &RecordObject::CaptureStarted, this, [&] { events << "started"; });
        connect(rec, &RecordObject::CapturePaused, this, [&] { events << "paused"; });
        connect(rec, &RecordObject::CaptureResumed, this, [&] { events << "resumed"; });
        connect(rec, &RecordObject::CaptureCompleted, this, [&] { events << "completed"; });

        const QString path = env.tmp() + "recording.wav";
        rec->SetFileName(path);
        rec->StartCapture(2, 44100);
        QVERIFY(rec->IsCapturing());
        QVERIFY(waitFor([&] { return rec->GetRecordedSeconds() >= 2.0; }));
        rec->PauseCapture();
        const qint64 atPause = rec->FramesWritten();
        QTest::qWait(150); // 3 s of deck time
        QVERIFY(rec->FramesWritten() - atPause <= 2205); // at most the block in flight
        rec->ResumeCapture();
        QVERIFY(waitFor([&] { return rec->GetRecordedSeconds() >= 4.0; }));
        rec->StopCapture();
        QVERIFY(!rec->IsCapturing());
        QCOMPARE(events, QStringList({"started", "paused", "resumed", "completed"}));
        const auto w = ReadRecordedWav(path);
        QVERIFY2(w.ok, qPrintable(w.problem));
        QCOMPARE(w.frames, rec->FramesWritten());
        QCOMPARE(rec->GetRecordedSeconds(), double(rec->FramesWritten()) / 44100.0);
        // Stopping twice is harmless and completes once.
        rec->StopCapture();
        QCOMPARE(events.count("completed"), 1);
    }

    // The disk fills two bytes into a frame: capture stops on its own with a
    // reason, and the file keeps the whole frames of the deck's sound.
    void diskFullStopsCaptureAndKeepsFile()
    {
        auto engine = CreateVirtualEngine(testDeck(side, 50.0));
        RecordObject* rec = engine->record.get();
        rec->SetMixer(0);
        rec->SetLine(1);
        const QString path = env.tmp() + "full-rec.wav";
        rec->SetFileName(path);
        QSignalSpy failed(rec, &RecordObject::CaptureFailed);
        QSignalSpy completed(rec, &RecordObject::CaptureCompleted);
        WavWriter::InjectFailureAfterBytes(3 * 176400 + 2);
        rec->StartCapture(2, 44100);
        QVERIFY(failed.wait(10000));
        QVERIFY(!failed.first().first().toString().isEmpty());
        QVERIFY(!rec->IsCapturing());
        QCOMPARE(completed.count(), 0);
        QCOMPARE(rec->GetRecordedSeconds(), 3.0);
        const auto w = ReadRecordedWav(path);
        QVERIFY2(w.ok, qPrintable(w.problem));
        QCOMPARE(w.frames, 3 * 44100);
        QVERIFY(peakOf(w, 1.5, 2.9) > 15000); // not zeros
    }

    void unwritableFileIsReported()
    {
        auto engine = CreateVirtualEngine(testDeck(side, 1.0));
        engine->record->SetMixer(0);
        engine->record->SetFileName(env.tmp() + "no/such/folder/recording.wav");
        QVERIFY_THROWS_EXCEPTION(AudioError, engine->record->StartCapture(2, 44100));
        QVERIFY(!engine->record->IsCapturing());
        engine->record->SetFileName("");
        QVERIFY_THROWS_EXCEPTION(AudioError, engine->record->StartCapture(2, 44100));
    }

    void playbackClock()
    {
        auto engine = CreateVirtualEngine(testDeck(side, 40.0));
        PlayObject* play = engine->play.get();
        QCOMPARE(play->GetPlayLength(), 0.0);
        QVERIFY_THROWS_EXCEPTION(AudioError, play->PlayFile(env.tmp() + "missing.wav"));
        play->PlayFile(side);
        QCOMPARE(play->GetPlayLength(), 15.0);
        QVERIFY(waitFor([&] { return play->GetPlayPosition() >= 2.0; }));
        play->SetPlayPosition(13);
        QVERIFY(play->GetPlayPosition() >= 13.0);
        // Past the end the length reads 0: the preview timers' end signal.
        QVERIFY(waitFor([&] { return play->GetPlayLength() == 0.0; }));
        QCOMPARE(play->GetPlayPosition(), 0.0);
        play->PlayFile(side);
        play->StopPlay();
        QCOMPARE(play->GetPlayLength(), 0.0);
    }

    // A deck described in a file, its sound file found beside it.
    void deckFile()
    {
        const QString deckFile = env.tmp() + "deck.json";
        QFile f(deckFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"({"deviceMode": true, "mixers": [
            {"name": "USB Deck", "lines": [{"signal": "wav", "file": "side.wav", "volume": 70}]},
            {"name": "Webcam", "lines": [{"signal": "noise", "level": 200}]}]})");
        f.close();
        QVERIFY(XMLSetValue(deckFile, "VirtualDeck", "Advanced\\Audio", ""));
        QVERIFY(XMLSetValue("8", "VirtualSpeed", "Advanced\\Audio", ""));
        auto engine = CreateVirtualEngine();
        RecordObject* rec = engine->record.get();
        QVERIFY(rec->IsDeviceMode());
        QCOMPARE(rec->GetMixerCount(), 2);
        rec->SetMixer(0);
        QCOMPARE(rec->GetLineCount(), 0);
        QCOMPARE(rec->GetVolume(), 70);
        QCOMPARE(DeckOf(rec)->speed, 8.0);
        QCOMPARE(DeckOf(rec)->mixers[0].lines[0].signal.wavPath, side);
        // Without the file, the demo deck again.
        QVERIFY(XMLSetValue("", "VirtualDeck", "Advanced\\Audio", ""));
        QCOMPARE(CreateVirtualEngine()->record->GetMixerName(0), QString("Demo Deck"));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
