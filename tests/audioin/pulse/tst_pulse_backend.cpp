// The pulse and alsa backends against a private PulseAudio daemon whose "Tape
// Deck" source is fed with generated music; alsa's `default` device reaches the
// same daemon through alsa's pulse plugin (there is no kernel sound card).
#include "PulseRig.h"
#include "WavCheck.h"
#include "support/TestEnv.h"
#include "support/TestRequire.h"

#include "audioin/engine/Backends.h"
#include "audioin/engine/CaptureSink.h"

#include <QSignalSpy>
#include <QTest>

#include <pulse/volume.h>

using namespace sv::audio;

namespace {

QStringList mixers(RecordObject* r)
{
    QStringList names;
    for (int i = 0; i < r->GetMixerCount(); ++i)
        names << r->GetMixerName(i);
    return names;
}

// A file of `seconds` of the generated music, for playback.
bool writeMusic(const QString& path, double seconds)
{
    const std::vector<std::int16_t> pcm = svtest::MakeMusic(seconds);
    WavWriter w;
    const bool ok = w.open(path, 2, 44100, nullptr) && w.append(pcm.data(), std::int64_t(pcm.size() / 2), nullptr);
    w.close();
    return ok;
}

} // namespace

class TestPulseBackend : public QObject {
    Q_OBJECT

    svtest::TestEnv m_env;
    svtest::PulseRig m_rig;
    std::vector<std::int16_t> m_music;
    std::unique_ptr<AudioEngine> m_pulse, m_alsa;

    RecordObject* rec() { return m_pulse->record.get(); }
    AudioEngine* engine(const QString& backend) { return backend == "alsa" ? m_alsa.get() : m_pulse.get(); }

    // Selects the deck: a source of its own for pulse, `default`'s Capture
    // line for alsa. An unknown name is an AudioError from SetMixer/SetLine.
    RecordObject* deck(const QString& backend)
    {
        RecordObject* r = engine(backend)->record.get();
        r->SetMixer(int(mixers(r).indexOf(r->IsDeviceMode() ? "Tape Deck" : "default")));
        for (int i = 0; !r->IsDeviceMode() && i <= r->GetLineCount(); ++i)
            if (i == r->GetLineCount() || r->GetLineName(i) == "Capture")
                return r->SetLine(i), r;
        return r;
    }

    // Records about `seconds`; returns the file read back, and the loudest level seen.
    svtest::RecordedWav record(RecordObject* r, const QString& name, double seconds, int* peak)
    {
        const QString path = m_env.tmp() + name;
        r->SetFileName(path);
        r->StartCapture(2, 44100);
        *peak = 0;
        const auto deadline = QDeadlineTimer(int((seconds + 20) * 1000));
        while (r->GetRecordedSeconds() < seconds && !deadline.hasExpired()) {
            QTest::qWait(20);
            *peak = std::max({*peak, r->GetLevel1(), r->GetLevel2()});
        }
        r->StopCapture();
        return svtest::ReadRecordedWav(path);
    }

    static void backends()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("pulse") << QStringLiteral("pulse");
        QTest::newRow("alsa") << QStringLiteral("alsa");
    }

private Q_SLOTS:
    void initTestCase()
    {
        SV_REQUIRE_TOOL(svtest::PulseRig::Installed(), "pulseaudio");
        m_music = svtest::MakeMusic(20.0);
        m_rig.feedLoop(m_music);
        QString error;
        // Before the first ALSA call: alsa-lib decides once per process
        // whether `default` goes to the sound server.
        QVERIFY2(m_rig.start(&error), qPrintable(error));
        m_pulse = CreatePulseEngine();
        m_alsa = CreateAlsaEngine();
        QVERIFY2(m_pulse && m_alsa, "no engine although the daemon runs");
        QCOMPARE(m_pulse->backend + m_alsa->backend, QStringLiteral("pulsealsa"));
        QVERIFY(rec()->IsDeviceMode() && !m_alsa->record->IsDeviceMode());
    }

    void cleanupTestCase()
    {
        m_pulse.reset();
        m_alsa.reset();
        m_rig.stop();
    }

    // No server, no engine; a server's monitor sources are no inputs.
    void listsSourcesButNotMonitors()
    {
        qputenv("PULSE_SERVER", QFile::encodeName(m_env.root() + "/no-such-server"));
        const bool noEngine = !CreatePulseEngine();
        qunsetenv("PULSE_SERVER");
        QVERIFY(noEngine);
        QCOMPARE(mixers(rec()), QStringList{QStringLiteral("Tape Deck")});
        QCOMPARE(rec()->GetLineCount(), 0);
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->GetMixerName(1));
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->SetMixer(-1));
        // alsa: `default` with its Capture line (deck() throws without them).
        RecordObject* alsa = deck("alsa");
        QVERIFY_THROWS_EXCEPTION(AudioError, alsa->GetLineName(alsa->GetLineCount()));
    }

    void volumeIsTheSourceVolume_data() { backends(); }
    void volumeIsTheSourceVolume()
    {
        QFETCH(QString, backend);
        RecordObject* r = deck(backend);
        const auto server = [this] { return m_rig.pactl({"get-source-volume", "deck"}); };
        r->SetVolume(37);
        QCOMPARE(r->GetVolume(), 37);
        QVERIFY2(server().contains(QStringLiteral("37%")), qPrintable(server()));
        // The page passes 32768 for "full"; anything below 0 is silence.
        r->SetVolume(32768);
        QVERIFY2(server().contains(QStringLiteral("100%")), qPrintable(server()));
        QCOMPARE(r->GetVolume(), 100);
        r->SetVolume(-4);
        QCOMPARE(r->GetVolume(), 0);
        // Changes made elsewhere (the desktop's mixer) are read back.
        m_rig.pactl({"set-source-volume", "deck", "64%"});
        QTRY_COMPARE_WITH_TIMEOUT(r->GetVolume(), 64, 3000);
        r->SetVolume(100);
    }

    void recordsWhatWasFed_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("volume");
        QTest::newRow("pulse, ten seconds") << QStringLiteral("pulse") << 10.0 << 100;
        QTest::newRow("alsa, three seconds") << QStringLiteral("alsa") << 3.0 << 100;
        QTest::newRow("pulse, half volume") << QStringLiteral("pulse") << 1.5 << 50;
    }
    void recordsWhatWasFed()
    {
        QFETCH(QString, backend);
        QFETCH(double, seconds);
        QFETCH(int, volume);
        RecordObject* r = deck(backend);
        r->SetVolume(volume);
        QSignalSpy started(r, &RecordObject::CaptureStarted);
        QSignalSpy completed(r, &RecordObject::CaptureCompleted);
        QSignalSpy failed(r, &RecordObject::CaptureFailed);
        int peak = 0;
        const svtest::RecordedWav wav = record(r, backend + ".wav", seconds, &peak);
        r->SetVolume(100);
        QCOMPARE(QList<int>({int(started.size()), int(completed.size()), int(failed.size())}), QList<int>({1, 1, 0}));
        QVERIFY2(wav.ok, qPrintable(wav.problem));
        QCOMPARE(QList<int>({wav.channels, wav.rate}), QList<int>({2, 44100}));
        const std::int64_t expected = std::llround(seconds * 44100);
        QVERIFY2(wav.frames >= expected && wav.frames < expected + 44100, qPrintable(QString::number(wav.frames)));
        QVERIFY2(peak > 600, qPrintable(QString::number(peak)));
        QVERIFY(!r->IsCapturing());
        QCOMPARE(r->GetLevel1(), 0);
        // Full volume, same rate and format end to end: the samples arrive untouched.
        // 50 is half the server's normal volume, which it applies on a cubic scale.
        const double gain = volume == 100 ? 1.0 : pa_sw_volume_to_linear(PA_VOLUME_NORM / 2);
        QCOMPARE(svtest::MismatchesAgainstLoop(m_music, wav.pcm, gain, volume == 100 ? 0 : 2), std::int64_t(0));
    }

    void playsAFileWithAdvancingPosition_data() { backends(); }
    void playsAFileWithAdvancingPosition()
    {
        QFETCH(QString, backend);
        PlayObject* play = engine(backend)->play.get();
        const QString path = m_env.tmp() + QStringLiteral("three.wav");
        QVERIFY(writeMusic(path, 3.0));
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
        const QString module = m_rig.addSilentSource("turntable", "Turntable");
        QVERIFY2(!module.isEmpty(), "cannot add a second source");
        rec()->SetMixer(int(mixers(rec()).indexOf("Turntable")));
        QSignalSpy failed(rec(), &RecordObject::CaptureFailed);
        QSignalSpy completed(rec(), &RecordObject::CaptureCompleted);
        const QString path = m_env.tmp() + QStringLiteral("unplugged.wav");
        rec()->SetFileName(path);
        rec()->StartCapture(2, 44100);
        bool ok = false;
        m_rig.pactl({"unload-module", module}, &ok);
        QVERIFY(ok);
        // It must not go on recording from whatever the server picks instead.
        QVERIFY(failed.wait(5000));
        QVERIFY(failed.first().first().toString().contains(QStringLiteral("Turntable")));
        QVERIFY(!rec()->IsCapturing());
        QCOMPARE(completed.size(), 0);
        QVERIFY2(svtest::ReadRecordedWav(path).ok, "the file of a failed capture is not readable");
        // Listing again forgets it; asking about it is an error, not a hang.
        QVERIFY(!mixers(rec()).contains("Turntable"));
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->GetVolume());
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->StartCapture(2, 44100));
        QVERIFY(!rec()->IsCapturing());
    }

    // Last: it ends the daemon.
    void serverGoingAwayFailsTheCaptureWithoutHanging()
    {
        m_alsa.reset();
        deck("pulse");
        const QString path = m_env.tmp() + QStringLiteral("server-gone.wav");
        rec()->SetFileName(path);
        rec()->StartCapture(2, 44100);
        QTRY_VERIFY_WITH_TIMEOUT(rec()->GetRecordedSeconds() > 0.3, 10000);
        PlayObject* play = m_pulse->play.get();
        const QString music = m_env.tmp() + QStringLiteral("long.wav");
        QVERIFY(writeMusic(music, 10.0));
        play->PlayFile(music);
        QSignalSpy failed(rec(), &RecordObject::CaptureFailed);
        m_rig.stop();
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
