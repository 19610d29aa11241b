#include "audioin/engine/Backends.h"
#include "audioin/engine/CaptureSink.h"
#include "audioin/engine/DemoSignal.h"
#include "audioin/engine/VirtualBackend.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <vector>

using namespace sv;
using namespace sv::audio;

namespace {

struct WavInfo {
    bool ok = false;
    quint32 riffSize = 0, dataSize = 0;
    int channels = 0, rate = 0, bits = 0;
    qint64 fileSize = 0;
};

quint32 le32(const QByteArray& b, int p)
{
    return quint32(quint8(b[p])) | quint32(quint8(b[p + 1])) << 8 | quint32(quint8(b[p + 2])) << 16
        | quint32(quint8(b[p + 3])) << 24;
}

WavInfo readHeader(const QString& path)
{
    WavInfo w;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return w;
    const QByteArray h = f.read(44);
    w.fileSize = f.size();
    if (h.size() < 44 || !h.startsWith("RIFF") || h.mid(8, 8) != "WAVEfmt " || h.mid(36, 4) != "data")
        return w;
    w.riffSize = le32(h, 4);
    w.channels = quint8(h[22]);
    w.rate = int(le32(h, 24));
    w.bits = quint8(h[34]);
    w.dataSize = le32(h, 40);
    w.ok = w.riffSize == w.dataSize + 36;
    return w;
}

// Peak of |sample| over a span of a 16-bit stereo file.
int peakOf(const QString& path, double fromSec, double toSec)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const qint64 from = 44 + qint64(fromSec * 44100) * 4, to = 44 + qint64(toSec * 44100) * 4;
    f.seek(from);
    const QByteArray d = f.read(to - from);
    const auto* s = reinterpret_cast<const qint16*>(d.constData());
    int peak = 0;
    for (qsizetype i = 0; i < d.size() / 2; ++i)
        peak = std::max(peak, std::abs(int(s[i])));
    return peak;
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
        const WavInfo w = readHeader(side);
        QVERIFY(w.ok);
        QCOMPARE(w.channels, 2);
        QCOMPARE(w.rate, 44100);
        QCOMPARE(w.bits, 16);
        QCOMPARE(qint64(w.dataSize), qint64(15 * 44100) * 4);
        QCOMPARE(w.fileSize, qint64(w.dataSize) + 44);
        QVERIFY(peakOf(side, 0.1, 0.9) < 200);     // lead-in hiss
        QVERIFY(peakOf(side, 2, 6) > 15000);       // first track
        QVERIFY(peakOf(side, 7.2, 8.8) < 200);     // gap
        QVERIFY(peakOf(side, 9.5, 13) > 15000);    // second track
        QCOMPARE(DemoTrackStarts({}).size(), 4);
    }

    void writerKeepsHeaderCurrent()
    {
        const QString path = env.tmp() + "grow.wav";
        WavWriter w;
        QVERIFY(w.open(path, 2, 44100, nullptr));
        std::vector<qint16> block(2 * 44100, 1000);
        for (int i = 0; i < 3; ++i)
            QVERIFY(w.append(block.data(), 44100, nullptr));
        // Read while still open, as after a crash: valid, and at most half a
        // second behind the frames written.
        const WavInfo mid = readHeader(path);
        QVERIFY(mid.ok);
        QVERIFY(qint64(mid.dataSize) >= 3 * 44100 * 4 - 22050 * 4);
        QVERIFY(qint64(mid.dataSize) <= mid.fileSize - 44);
        w.close();
        const WavInfo end = readHeader(path);
        QCOMPARE(qint64(end.dataSize), qint64(3 * 44100 * 4));
        QCOMPARE(end.fileSize, qint64(end.dataSize) + 44);
    }

    void writerStopsCleanlyWhenDiskIsFull()
    {
        const QString path = env.tmp() + "full.wav";
        WavWriter w;
        QVERIFY(w.open(path, 2, 44100, nullptr));
        WavWriter::InjectFailureAfterBytes(10001); // not a whole frame
        std::vector<qint16> block(2 * 1000, 5);
        QString error;
        bool ok = true;
        for (int i = 0; i < 10 && ok; ++i)
            ok = w.append(block.data(), 1000, &error);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        w.close();
        const WavInfo info = readHeader(path);
        QVERIFY(info.ok);
        QCOMPARE(qint64(info.dataSize), qint64(2500 * 4)); // whole frames only
        QCOMPARE(info.fileSize, qint64(info.dataSize) + 44);
    }

    void captureWithPauseAndEvents()
    {
        auto engine = CreateVirtualEngine(testDeck(side, 20.0));
        RecordObject* rec = engine->record.get();
        QCOMPARE(rec->GetMixerCount(), 2);
        QCOMPARE(rec->GetMixerName(1), QString("Card B"));
        rec->SetMixer(0);
        QCOMPARE(rec->GetLineCount(), 2);
        QCOMPARE(rec->GetLineName(1), QString("Tape"));
        rec->SetLine(1);
        QVERIFY(!rec->IsDeviceMode());
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
        const WavInfo w = readHeader(path);
        QVERIFY(w.ok);
        QCOMPARE(qint64(w.dataSize), rec->FramesWritten() * 4);
        QCOMPARE(w.fileSize, qint64(w.dataSize) + 44);
        QCOMPARE(rec->GetRecordedSeconds(), double(rec->FramesWritten()) / 44100.0);
        // Stopping twice is harmless and completes once.
        rec->StopCapture();
        QCOMPARE(events.count("completed"), 1);
    }

    void levelsFollowVolumeLive()
    {
        auto engine = CreateVirtualEngine(testDeck(side, 1.0));
        RecordObject* rec = engine->record.get();
        rec->SetMixer(0);
        rec->SetLine(0); // noise peaking at 1000 at full volume
        rec->SetVolume(32768);
        QCOMPARE(rec->GetVolume(), 100);
        rec->SetPreviewFileName(env.tmp() + "volset.wav");
        QCOMPARE(rec->GetLevel1(), 0);
        rec->StartCapture(2, 44100);
        QVERIFY(waitFor([&] { return rec->GetLevel1() > 900; }));
        QVERIFY(rec->GetLevel1() <= 1000 && rec->GetLevel2() <= 1000);
        rec->SetVolume(20);
        QVERIFY(waitFor([&] { return rec->GetLevel1() <= 200 && rec->GetLevel1() > 100; }));
        rec->SetMixer(1);
        QCOMPARE(rec->GetVolume(), 50); // every line keeps its own volume
        rec->StopCapture();
        QCOMPARE(rec->GetLevel1(), 0);
    }

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
        WavWriter::InjectFailureAfterBytes(3 * 176400);
        rec->StartCapture(2, 44100);
        QVERIFY(failed.wait(10000));
        QVERIFY(!rec->IsCapturing());
        QCOMPARE(completed.count(), 0);
        QCOMPARE(rec->GetRecordedSeconds(), 3.0);
        const WavInfo w = readHeader(path);
        QVERIFY(w.ok);
        QCOMPARE(qint64(w.dataSize), qint64(3 * 176400));
        QCOMPARE(w.fileSize, qint64(w.dataSize) + 44);
        // The captured sound is the deck's, not zeros.
        QVERIFY(peakOf(path, 1.5, 2.9) > 15000);
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

    void deviceModeAndDeckFile()
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
        QVERIFY(DeckOf(rec)->mixers[0].lines[0].signal.wavPath.endsWith("/side.wav"));
        QVERIFY(XMLSetValue("", "VirtualDeck", "Advanced\\Audio", ""));
        auto demo = CreateVirtualEngine();
        QCOMPARE(demo->record->GetMixerName(0), QString("Demo Deck"));
        demo->record->SetMixer(0);
        QCOMPARE(demo->record->GetLineName(0), QString("Line In"));
        QCOMPARE(demo->record->GetLineName(1), QString("Microphone"));
        QCOMPARE(demo->record->GetLineName(2), QString("CD Audio"));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
