// The volume page's line scan through the real pulse backend: a private
// daemon with a silent source and the "Tape Deck" pipe source fed with music.
#include "PulseRig.h"
#include "support/FindChild.h"
#include "support/TestRequire.h"
#include "app/WizardFixture.h"
#include "e2e/E2EFlow.h"

#include "audioin/engine/Backends.h"

using namespace svtest;

class TestScanPulse : public QObject {
    Q_OBJECT
    PulseRig m_rig;

private Q_SLOTS:
    void scanFindsThePipeSource()
    {
        SV_REQUIRE_TOOL(PulseRig::Installed(), "pulseaudio");
        Wizard z; // its TestEnv points XDG_RUNTIME_DIR at a private folder first
        m_rig.feedLoop(MakeMusic(10.0));
        QString error;
        QVERIFY2(m_rig.start(&error), qPrintable(error));
        auto stop = qScopeGuard([this] { m_rig.stop(); });
        // A second pipe source that nobody feeds: a device that stays silent.
        bool loaded = false;
        m_rig.pactl({"load-module", "module-pipe-source", "source_name=quiet",
                     "file=" + qEnvironmentVariable("XDG_RUNTIME_DIR") + "/quiet.fifo",
                     "source_properties=device.description=Quiet"},
                    &loaded);
        QVERIFY(loaded);
        sv::audio::SetEngineFactory([] { return sv::audio::CreatePulseEngine(); });

        z.noWelcomeDialog();
        QVERIFY(z.start());
        QVERIFY(z.st().Record()->IsDeviceMode());
        QWidget* v = z.w->picVolume();
        const int quiet = sv::test::Find<QComboBox>(v, "cboMixer")->findText("Quiet");
        QVERIFY(quiet >= 0 && sv::test::Find<QComboBox>(v, "cboMixer")->findText("Tape Deck") >= 0);
        z.next();
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picVolume"));
        sv::test::Find<QTimer>(z.w->picVolume(), "timDoVolume")->stop();
        // Start on the quiet device, as a user with the wrong default would;
        // the scan itself starts from the top of the list.
        sv::test::Find<QComboBox>(v, "cboMixer")->setCurrentIndex(quiet);

        sv::test::Find<QPushButton>(v, "cmdScan")->click();
        QVERIFY(z.st().IsScanning);
        int ticks = 0;
        while (z.st().IsScanning && ticks < 120) {
            QTest::qWait(60); // the daemon delivers in real time
            z.w->picVolume()->timDoVolume_Timer();
            ++ticks;
        }
        QVERIFY2(!z.st().IsScanning, "the scan did not end");
        QCOMPARE(sv::test::Find<QLabel>(v, "lblScanInfo")->text(), QStringLiteral("Line found. Click Adjust to optimize the volume."));
        QCOMPARE(sv::test::Find<QComboBox>(v, "cboMixer")->currentText(), QStringLiteral("Tape Deck"));
        QVERIFY(z.st().Record()->IsCapturing());
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
        z.w->picVolume()->VolPreviewStop();
    }

    // A take from the pipe source at real-time pace, stopped just past the
    // shortest length, split, and delivered three times as WAV copies: every
    // delivered file outlives Exit, each as long as its marker.
    void realTimeTakeToDeliveredCopies()
    {
        SV_REQUIRE_TOOL(PulseRig::Installed(), "pulseaudio");
        Wizard z;
        m_rig.feedLoop(MakeMusic(10.0));
        QString error;
        QVERIFY2(m_rig.start(&error), qPrintable(error));
        auto stop = qScopeGuard([this] { m_rig.stop(); });
        sv::audio::SetEngineFactory([] { return sv::audio::CreatePulseEngine(); });
        z.noWelcomeDialog();
        QVERIFY(z.start());
        z.next();
        z.next();
        QWidget* v = z.w->picVolume();
        sv::test::Find<QTimer>(v, "timDoVolume")->stop();
        sv::test::Find<QComboBox>(v, "cboMixer")->setCurrentText("Tape Deck");
        sv::test::Find<QPushButton>(v, "cmdAdjust")->click();
        for (int i = 0; i < 200 && z.st().IsAdjusting; ++i) {
            QTest::qWait(200);
            z.w->picVolume()->timDoVolume_Timer();
        }
        QCOMPARE(sv::test::Find<QLabel>(v, "lblAdjustInfo")->text(), QStringLiteral("Volume Optimized. Click Next to continue."));
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picRecord"));
        auto* rp = z.w->picRecord();
        rp->SetStandbyLock(std::make_unique<NoLock>());
        sv::test::Find<QPushButton>(rp, "cmdRec")->click();
        QTRY_VERIFY_WITH_TIMEOUT(z.st().Record()->GetRecordedSeconds() >= 62, 90000);
        z.boxes.answer(sv::vbYes);
        sv::test::Find<QPushButton>(rp, "cmdStop")->click();
        QTRY_VERIFY_WITH_TIMEOUT(z.w->cmdNext()->isEnabled(), 5000);
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picWaveform"));
        // Steady music without a gap: detection may say so in a box.
        z.boxes.answer(sv::vbOK);
        QTRY_VERIFY_WITH_TIMEOUT(!z.w->picWaveform()->SplitList().isEmpty(), 30000);
        const QVector<sv::FrameSpan> spans = z.w->picSplit()->SplitSpans(44100);
        z.boxes.answer(sv::vbYes);
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picOutput"));
        DeliverCopiesThreeTimesAndExit(z, spans);
    }
};

QTEST_MAIN(TestScanPulse)
#include "tst_scan_pulse.moc"
