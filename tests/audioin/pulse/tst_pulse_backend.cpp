// The pulse backend against a private PulseAudio daemon whose "Tape Deck"
// source is fed with generated music.
#include "PulseRig.h"
#include "support/TestRequire.h"
#include "WavCheck.h"
#include "support/TestEnv.h"

#include "audioin/engine/Backends.h"

#include <QSignalSpy>
#include <QTest>

#include <pulse/volume.h>

using namespace sv::audio;

namespace {

int indexOfMixer(RecordObject* r, const QString& name)
{
    const int n = r->GetMixerCount();
    for (int i = 0; i < n; ++i)
        if (r->GetMixerName(i) == name)
            return i;
    return -1;
}

} // namespace

class TestPulseBackend : public QObject {
    Q_OBJECT

    svtest::TestEnv m_env;
    svtest::PulseRig m_rig;
    std::vector<std::int16_t> m_music;
    std::unique_ptr<AudioEngine> m_engine;

    RecordObject* rec() { return m_engine->record.get(); }

    void selectDeck()
    {
        const int deck = indexOfMixer(rec(), QStringLiteral("Tape Deck"));
        QVERIFY(deck >= 0);
        rec()->SetMixer(deck);
    }

    // Records about `seconds` from the selected device; returns the file read back.
    svtest::RecordedWav record(const QString& name, double seconds, int* peak)
    {
        const QString path = m_env.tmp() + name;
        rec()->SetFileName(path);
        rec()->StartCapture(2, 44100);
        *peak = 0;
        const auto deadline = QDeadlineTimer(int((seconds + 20) * 1000));
        while (rec()->GetRecordedSeconds() < seconds && !deadline.hasExpired()) {
            QTest::qWait(20);
            *peak = std::max({*peak, rec()->GetLevel1(), rec()->GetLevel2()});
        }
        rec()->StopCapture();
        return svtest::ReadRecordedWav(path);
    }

private Q_SLOTS:
    void initTestCase()
    {
        SV_REQUIRE_TOOL(svtest::PulseRig::Installed(), "pulseaudio");
        m_music = svtest::MakeMusic(20.0);
        m_rig.feedLoop(m_music);
        QString error;
        QVERIFY2(m_rig.start(&error), qPrintable(error));
        m_engine = CreatePulseEngine();
        QVERIFY2(m_engine, "no engine although the daemon runs");
        QCOMPARE(m_engine->backend, QStringLiteral("pulse"));
        QVERIFY(rec()->IsDeviceMode());
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_rig.stop();
    }

    void noServerMeansNoEngine()
    {
        qputenv("PULSE_SERVER", QFile::encodeName(m_env.root() + "/no-such-server"));
        auto engine = CreatePulseEngine();
        qunsetenv("PULSE_SERVER");
        QVERIFY(!engine);
    }

    void listsSourcesButNotMonitors()
    {
        QStringList names;
        for (int i = 0; i < rec()->GetMixerCount(); ++i)
            names << rec()->GetMixerName(i);
        QCOMPARE(names, QStringList{QStringLiteral("Tape Deck")});
        QCOMPARE(rec()->GetLineCount(), 0);
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->GetMixerName(1));
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->SetMixer(-1));
    }

    void volumeMapsToTheSourceVolume()
    {
        selectDeck();
        rec()->SetVolume(37);
        QCOMPARE(rec()->GetVolume(), 37);
        QVERIFY2(m_rig.pactl({"get-source-volume", "deck"}).contains(QStringLiteral("37%")),
                 qPrintable(m_rig.pactl({"get-source-volume", "deck"})));
        // The page passes 32768 for "full"; anything below 0 is silence.
        rec()->SetVolume(32768);
        QCOMPARE(rec()->GetVolume(), 100);
        rec()->SetVolume(-4);
        QCOMPARE(rec()->GetVolume(), 0);
        // Changes made elsewhere (the desktop's mixer) are read back.
        m_rig.pactl({"set-source-volume", "deck", "64%"});
        QCOMPARE(rec()->GetVolume(), 64);
        rec()->SetVolume(100);
    }

    void recordsTenSecondsOfWhatWasFed()
    {
        selectDeck();
        rec()->SetVolume(100);
        QSignalSpy started(rec(), &RecordObject::CaptureStarted);
        QSignalSpy completed(rec(), &RecordObject::CaptureCompleted);
        int peak = 0;
        const svtest::RecordedWav wav = record(QStringLiteral("ten.wav"), 10.0, &peak);
        QCOMPARE(started.size(), 1);
        QCOMPARE(completed.size(), 1);
        QVERIFY2(wav.ok, qPrintable(wav.problem));
        QCOMPARE(wav.channels, 2);
        QCOMPARE(wav.rate, 44100);
        QVERIFY2(wav.frames >= 441000 && wav.frames < 441000 + 44100, qPrintable(QString::number(wav.frames)));
        QVERIFY2(peak > 600, qPrintable(QString::number(peak)));
        QVERIFY(!rec()->IsCapturing());
        QCOMPARE(rec()->GetLevel1(), 0);

        // At full volume the server passes the samples through untouched.
        const std::int64_t offset = svtest::FindInLoop(m_music, wav.pcm, 0, 2048, 1.0, 0);
        QVERIFY2(offset >= 0, "the recording's start is nowhere in the fed music");
        QCOMPARE(svtest::CountMismatches(m_music, wav.pcm, 0, offset, 1.0, 0), std::int64_t(0));
    }

    void lowerVolumeScalesTheRecording()
    {
        selectDeck();
        rec()->SetVolume(50);
        int peak = 0;
        const svtest::RecordedWav wav = record(QStringLiteral("half.wav"), 1.5, &peak);
        rec()->SetVolume(100);
        QVERIFY2(wav.ok, qPrintable(wav.problem));
        // 50 is half the server's normal volume, which it applies on a cubic scale.
        const double gain = pa_sw_volume_to_linear(PA_VOLUME_NORM / 2);
        const std::int64_t offset = svtest::FindInLoop(m_music, wav.pcm, 0, 2048, gain, 2);
        QVERIFY2(offset >= 0, "the quieter recording does not follow the fed music");
        QCOMPARE(svtest::CountMismatches(m_music, wav.pcm, 0, offset, gain, 2), std::int64_t(0));
    }

    void pauseDropsFramesIntoOneFile()
    {
        selectDeck();
        const QString path = m_env.tmp() + QStringLiteral("paused.wav");
        rec()->SetFileName(path);
        rec()->StartCapture(2, 44100);
        QTRY_VERIFY_WITH_TIMEOUT(rec()->GetRecordedSeconds() > 0.5, 10000);
        rec()->PauseCapture();
        const qint64 atPause = rec()->FramesWritten();
        QTest::qWait(400);
        QVERIFY(rec()->FramesWritten() - atPause < 4410); // at most a block in flight
        rec()->ResumeCapture();
        QTRY_VERIFY_WITH_TIMEOUT(rec()->FramesWritten() > atPause + 22050, 10000);
        rec()->StopCapture();
        const svtest::RecordedWav wav = svtest::ReadRecordedWav(path);
        QVERIFY2(wav.ok, qPrintable(wav.problem));
        QCOMPARE(wav.frames, rec()->FramesWritten());
    }

    void defaultSourceChangeIsReported()
    {
        QSignalSpy changed(rec(), &RecordObject::DefaultDeviceChanged);
        // Other server changes (the default sink) are not a new input.
        m_rig.pactl({"set-default-sink", "speakers"});
        m_rig.pactl({"set-default-source", "speakers.monitor"});
        QVERIFY(changed.wait(5000));
        QTest::qWait(200);
        QCOMPARE(changed.size(), 1);
        m_rig.pactl({"set-default-source", "deck"});
        QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 2, 5000);
    }

    void losingTheDeviceFailsTheCapture()
    {
        // A second deck that can be unplugged: a pipe source of its own.
        const QString fifo = m_env.root() + QStringLiteral("/runtime/turntable.fifo");
        bool ok = false;
        const QString module = m_rig.pactl({"load-module", "module-pipe-source", "source_name=turntable",
                                            "file=" + fifo, "source_properties=device.description=Turntable"},
                                           &ok)
                                   .trimmed();
        QVERIFY2(ok, "cannot add a second source");
        const int turntable = indexOfMixer(rec(), QStringLiteral("Turntable"));
        QVERIFY(turntable >= 0);
        rec()->SetMixer(turntable);
        QSignalSpy failed(rec(), &RecordObject::CaptureFailed);
        QSignalSpy completed(rec(), &RecordObject::CaptureCompleted);
        const QString path = m_env.tmp() + QStringLiteral("unplugged.wav");
        rec()->SetFileName(path);
        rec()->StartCapture(2, 44100);
        m_rig.pactl({"unload-module", module}, &ok);
        QVERIFY(ok);
        // It must not go on recording from whatever the server picks instead.
        QVERIFY(failed.wait(5000));
        QVERIFY(failed.first().first().toString().contains(QStringLiteral("Turntable")));
        QVERIFY(!rec()->IsCapturing());
        QCOMPARE(completed.size(), 0);
        QVERIFY2(svtest::ReadRecordedWav(path).ok, "the file of a failed capture is not readable");
        // Listing again forgets it; asking about it is an error, not a hang.
        QCOMPARE(indexOfMixer(rec(), QStringLiteral("Turntable")), -1);
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->GetVolume());
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->StartCapture(2, 44100));
        QVERIFY(!rec()->IsCapturing());
    }

    void playsAFileWithAdvancingPosition()
    {
        PlayObject* play = m_engine->play.get();
        const QString path = m_env.tmp() + QStringLiteral("three.wav");
        QVERIFY(svtest::WriteWav(path, svtest::MakeMusic(3.0)));
        QCOMPARE(play->GetPlayLength(), 0.0);
        play->PlayFile(path);
        QCOMPARE(play->GetPlayLength(), 3.0);
        QTRY_VERIFY_WITH_TIMEOUT(play->GetPlayPosition() > 0.3, 5000);
        const double first = play->GetPlayPosition();
        QTRY_VERIFY_WITH_TIMEOUT(play->GetPlayPosition() > first + 0.2, 5000);
        QVERIFY(m_rig.pactl({"list", "short", "sink-inputs"}).contains(QStringLiteral("\t")));

        play->SetPlayPosition(2);
        const double afterSeek = play->GetPlayPosition();
        QVERIFY2(afterSeek >= 2.0 && afterSeek < 2.5, qPrintable(QString::number(afterSeek)));
        // The end of playback shows as length 0.
        QTRY_COMPARE_WITH_TIMEOUT(play->GetPlayLength(), 0.0, 5000);
        QCOMPARE(play->GetPlayPosition(), 0.0);

        play->PlayFile(path);
        play->SetPlayPosition(99);
        QCOMPARE(play->GetPlayLength(), 0.0);
        play->PlayFile(path);
        play->StopPlay();
        QCOMPARE(play->GetPlayLength(), 0.0);
    }

    void refusesFilesItCannotPlay()
    {
        PlayObject* play = m_engine->play.get();
        try {
            play->PlayFile(m_env.tmp() + QStringLiteral("missing.wav"));
            QFAIL("a missing file played");
        } catch (const AudioError& e) {
            QCOMPARE(e.number(), 53);
        }
        const QString junk = m_env.tmp() + QStringLiteral("junk.wav");
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("RIFF\x10\0\0\0WAVEjunk", 16);
        f.close();
        QVERIFY_THROWS_EXCEPTION(AudioError, play->PlayFile(junk));
        QCOMPARE(play->GetPlayLength(), 0.0);
    }

    // Last: it ends the daemon.
    void serverGoingAwayFailsTheCaptureWithoutHanging()
    {
        selectDeck();
        const QString path = m_env.tmp() + QStringLiteral("server-gone.wav");
        rec()->SetFileName(path);
        rec()->StartCapture(2, 44100);
        QTRY_VERIFY_WITH_TIMEOUT(rec()->GetRecordedSeconds() > 0.3, 10000);
        PlayObject* play = m_engine->play.get();
        const QString music = m_env.tmp() + QStringLiteral("long.wav");
        QVERIFY(svtest::WriteWav(music, svtest::MakeMusic(10.0)));
        play->PlayFile(music);
        QSignalSpy failed(rec(), &RecordObject::CaptureFailed);
        m_rig.stopDaemon();
        QVERIFY(failed.wait(5000));
        QVERIFY(!rec()->IsCapturing());
        QVERIFY2(svtest::ReadRecordedWav(path).ok, "the recording made before the server left is not readable");
        // Playback ends; every further call is an error, not a wait for an answer.
        QTRY_COMPARE_WITH_TIMEOUT(play->GetPlayLength(), 0.0, 5000);
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->GetMixerCount());
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->GetVolume());
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->StartCapture(2, 44100));
        QVERIFY_THROWS_EXCEPTION(AudioError, play->PlayFile(music));
    }
};

QTEST_GUILESS_MAIN(TestPulseBackend)
#include "tst_pulse_backend.moc"
