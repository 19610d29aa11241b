// The capture engine on the virtual deck: what reaches the file while recording,
// pausing and running out of disk (playback: tst_pulse_backend).
#include "audioin/engine/Backends.h"
#include "audioin/engine/CaptureSink.h"
#include "audioin/engine/DemoSignal.h"
#include "audioin/engine/VirtualBackend.h"
#include "audioin/pulse/WavCheck.h"
#include "settings/modXML.h"
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
    return d;
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString side;

private Q_SLOTS:
    void initTestCase()
    {
        side = env.tmp() + "side.wav";
        DemoLayout l;
        l.tracks = {6, 5};
        l.leadIn = 1;
        l.gap = 2;
        l.tail = 1;
        QVERIFY(WriteDemoSide(side, l));
    }
    void cleanup() { WavWriter::InjectFailureAfterBytes(-1); }

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
        rec->SetMixer(0);
        rec->SetLine(1);
        QStringList events;
        for (auto [signal, name] : {std::pair{&RecordObject::CaptureStarted, "started"},
                                    {&RecordObject::CapturePaused, "paused"},
                                    {&RecordObject::CaptureResumed, "resumed"},
                                    {&RecordObject::CaptureCompleted, "completed"}})
            connect(rec, signal, this, [&events, name] { events << name; });

        const QString path = env.tmp() + "recording.wav";
        rec->SetFileName(path);
        rec->StartCapture(2, 44100);
        QTRY_VERIFY_WITH_TIMEOUT(rec->GetRecordedSeconds() >= 2.0, 10000);
        rec->PauseCapture();
        const qint64 atPause = rec->FramesWritten();
        QTest::qWait(150); // 3 s of deck time
        QVERIFY(rec->FramesWritten() - atPause <= 2205); // at most the block in flight
        rec->ResumeCapture();
        QTRY_VERIFY_WITH_TIMEOUT(rec->GetRecordedSeconds() >= 4.0, 10000);
        rec->StopCapture();
        QVERIFY(!rec->IsCapturing());
        QCOMPARE(events, QStringList({"started", "paused", "resumed", "completed"}));
        const auto w = ReadRecordedWav(path);
        QVERIFY2(w.ok, qPrintable(w.problem));
        QCOMPARE(w.frames, rec->FramesWritten());
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
        QVERIFY(!failed.first().first().toString().isEmpty() && !rec->IsCapturing());
        QCOMPARE(completed.count(), 0);
        const auto w = ReadRecordedWav(path);
        QVERIFY2(w.ok, qPrintable(w.problem));
        QCOMPARE(w.frames, 3 * 44100);
        QVERIFY(*std::max_element(w.pcm.begin() + 2 * 66150, w.pcm.end()) > 15000); // not zeros
    }

    void unwritableFileIsReported()
    {
        auto engine = CreateVirtualEngine(testDeck(side, 1.0));
        RecordObject* rec = engine->record.get();
        rec->SetMixer(0);
        for (const QString& file : {env.tmp() + "no/such/folder/recording.wav", QString()}) {
            rec->SetFileName(file);
            QVERIFY_THROWS_EXCEPTION(AudioError, rec->StartCapture(2, 44100));
            QVERIFY(!rec->IsCapturing());
        }
    }
    // A deck described in a file (Advanced\Audio VirtualDeck) replaces the demo
    // deck; a relative WAV path is read beside the file.
    void deckFileReplacesTheDemoDeck()
    {
        const QString deckFile = env.tmp() + "deck.json";
        QFile f(deckFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"({"deviceMode": true, "mixers": [
            {"name": "USB Deck", "lines": [{"signal": "wav", "file": "side.wav", "volume": 70}]},
            {"name": "Webcam", "lines": [{"signal": "noise", "level": 200}]}]})");
        f.close();
        SetSettingsFile(env.tmp() + "settings.xml");
        QVERIFY(XMLSetValue(deckFile, "VirtualDeck", "Advanced\\Audio", ""));
        auto engine = CreateVirtualEngine();
        QVERIFY(XMLSetValue("", "VirtualDeck", "Advanced\\Audio", ""));
        RecordObject* rec = engine->record.get();
        QVERIFY(rec->IsDeviceMode());
        QCOMPARE(rec->GetMixerCount(), 2);
        rec->SetMixer(0);
        QCOMPARE(rec->GetVolume(), 70);
        QCOMPARE(DeckOf(rec)->mixers[0].lines[0].signal.wavPath, env.tmp() + "side.wav");
        QCOMPARE(CreateVirtualEngine()->record->GetMixerName(0), QStringLiteral("Demo Deck"));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
