// The alsa backend without a kernel sound card: its `default` device goes
// through alsa's pulse plugin to a private PulseAudio daemon, whose default
// source is the "Tape Deck" pipe fed with generated music.
#include "PulseRig.h"
#include "support/TestRequire.h"
#include "WavCheck.h"
#include "support/TestEnv.h"

#include "audioin/engine/Backends.h"

#include <QSignalSpy>
#include <QTest>

using namespace sv::audio;

class TestAlsaBackend : public QObject {
    Q_OBJECT

    svtest::TestEnv m_env;
    svtest::PulseRig m_rig;
    std::vector<std::int16_t> m_music;
    std::unique_ptr<AudioEngine> m_engine;

    RecordObject* rec() { return m_engine->record.get(); }

    void selectDefaultCapture()
    {
        int mixer = -1;
        for (int i = 0; i < rec()->GetMixerCount(); ++i)
            if (rec()->GetMixerName(i) == QLatin1String("default"))
                mixer = i;
        QVERIFY2(mixer >= 0, "`default` is not listed as a mixer");
        rec()->SetMixer(mixer);
        int line = -1;
        for (int i = 0; i < rec()->GetLineCount(); ++i)
            if (rec()->GetLineName(i) == QLatin1String("Capture"))
                line = i;
        QVERIFY2(line >= 0, "`default` has no Capture line");
        rec()->SetLine(line);
    }

    // The daemon's own view of the deck's volume, in per cent.
    QString serverVolume() { return m_rig.pactl({"get-source-volume", "@DEFAULT_SOURCE@"}); }

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
        m_engine = CreateAlsaEngine();
        QVERIFY(m_engine);
        QCOMPARE(m_engine->backend, QStringLiteral("alsa"));
        QVERIFY(!rec()->IsDeviceMode());
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_rig.stop();
    }

    void listsDefaultWithItsCaptureLine()
    {
        selectDefaultCapture();
        QVERIFY_THROWS_EXCEPTION(AudioError, rec()->GetLineName(rec()->GetLineCount()));
    }

    void volumeIsTheServersSourceVolume()
    {
        selectDefaultCapture();
        rec()->SetVolume(40);
        QVERIFY2(serverVolume().contains(QStringLiteral("40%")), qPrintable(serverVolume()));
        QCOMPARE(rec()->GetVolume(), 40);
        rec()->SetVolume(32768);
        QVERIFY2(serverVolume().contains(QStringLiteral("100%")), qPrintable(serverVolume()));
        QCOMPARE(rec()->GetVolume(), 100);
        // A change on the server side shows up (the slider follows it).
        m_rig.pactl({"set-source-volume", "deck", "70%"});
        QTRY_COMPARE_WITH_TIMEOUT(rec()->GetVolume(), 70, 3000);
        rec()->SetVolume(100);
    }

    void recordsTheDeck()
    {
        selectDefaultCapture();
        rec()->SetVolume(100);
        const QString path = m_env.tmp() + QStringLiteral("alsa.wav");
        rec()->SetFileName(path);
        QSignalSpy failed(rec(), &RecordObject::CaptureFailed);
        rec()->StartCapture(2, 44100);
        int peak = 0;
        const QDeadlineTimer deadline(20000);
        while (rec()->GetRecordedSeconds() < 3.0 && !deadline.hasExpired()) {
            QTest::qWait(20);
            peak = std::max({peak, rec()->GetLevel1(), rec()->GetLevel2()});
        }
        rec()->StopCapture();
        QCOMPARE(failed.size(), 0);
        const svtest::RecordedWav wav = svtest::ReadRecordedWav(path);
        QVERIFY2(wav.ok, qPrintable(wav.problem));
        QCOMPARE(wav.channels, 2);
        QCOMPARE(wav.rate, 44100);
        QVERIFY2(wav.frames >= 3 * 44100, qPrintable(QString::number(wav.frames)));
        QVERIFY2(peak > 600, qPrintable(QString::number(peak)));
        // Same rate and format end to end: the samples arrive unchanged.
        const std::int64_t offset = svtest::FindInLoop(m_music, wav.pcm, 0, 2048, 1.0, 0);
        QVERIFY2(offset >= 0, "the recording is not the fed music");
        QCOMPARE(svtest::CountMismatches(m_music, wav.pcm, 0, offset, 1.0, 0), std::int64_t(0));
    }

    void playsThroughDefault()
    {
        PlayObject* play = m_engine->play.get();
        const QString path = m_env.tmp() + QStringLiteral("two.wav");
        QVERIFY(svtest::WriteWav(path, svtest::MakeMusic(2.0)));
        play->PlayFile(path);
        QCOMPARE(play->GetPlayLength(), 2.0);
        QTRY_VERIFY_WITH_TIMEOUT(play->GetPlayPosition() > 0.3, 5000);
        play->SetPlayPosition(1);
        QVERIFY(play->GetPlayPosition() >= 1.0);
        QTRY_COMPARE_WITH_TIMEOUT(play->GetPlayLength(), 0.0, 5000);
    }
};

QTEST_GUILESS_MAIN(TestAlsaBackend)
#include "tst_alsa_backend.moc"
