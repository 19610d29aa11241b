// The volume page's line scan, and a whole take, through the real pulse
// backend: a private daemon whose "Tape Deck" pipe source is fed with music.
#include "PulseRig.h"
#include "support/FindChild.h"
#include "support/TestRequire.h"
#include "app/WizardFixture.h"
#include "e2e/E2EFlow.h"

#include "audioin/engine/Backends.h"

using namespace svtest;
using sv::test::Find;

class TestScanPulse : public QObject {
    Q_OBJECT
    PulseRig m_rig;

    // The rig (the wizard's TestEnv points XDG_RUNTIME_DIR at a private folder
    // first), a silent second source, and the window on the volume page.
    void toVolumePage(Wizard& z)
    {
        m_rig.feedLoop(MakeMusic(10.0));
        QString error;
        QVERIFY2(m_rig.start(&error), qPrintable(error));
        QVERIFY(!m_rig.addSilentSource("quiet", "Quiet").isEmpty());
        sv::audio::SetEngineFactory([] { return sv::audio::CreatePulseEngine(); });
        z.noWelcomeDialog();
        QVERIFY(z.start());
        QVERIFY(z.st().Record()->IsDeviceMode());
        z.next();
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picVolume"));
        Find<QTimer>(z.w->picVolume(), "timDoVolume")->stop();
    }

private Q_SLOTS:
    void cleanup() { m_rig.stop(); }

    // The scan finds the pipe source although the user starts on a silent
    // one; then a take from it at real-time pace, stopped just past the
    // shortest length, split, and delivered three times as WAV copies: every
    // delivered file outlives Exit, each as long as its marker.
    void scanThenTakeToDeliveredCopies()
    {
        SV_REQUIRE_TOOL(PulseRig::Installed(), "pulseaudio");
        Wizard z;
        toVolumePage(z);
        if (QTest::currentTestFailed())
            return;
        QWidget* v = z.w->picVolume();
        auto* mixers = Find<QComboBox>(v, "cboMixer");
        mixers->setCurrentText("Quiet");
        QCOMPARE(mixers->currentText(), QStringLiteral("Quiet"));
        Find<QPushButton>(v, "cmdScan")->click();
        for (int ticks = 0; z.st().IsScanning && ticks < 120; ++ticks) {
            QTest::qWait(60); // the daemon delivers in real time
            z.w->picVolume()->timDoVolume_Timer();
        }
        QVERIFY2(!z.st().IsScanning, "the scan did not end");
        QCOMPARE(Find<QLabel>(v, "lblScanInfo")->text(), QStringLiteral("Line found. Click Adjust to optimize the volume."));
        QCOMPARE(mixers->currentText(), QStringLiteral("Tape Deck"));
        QVERIFY(z.st().Record()->IsCapturing());

        Find<QPushButton>(v, "cmdAdjust")->click();
        for (int i = 0; i < 200 && z.st().IsAdjusting; ++i) {
            QTest::qWait(200);
            z.w->picVolume()->timDoVolume_Timer();
        }
        QCOMPARE(Find<QLabel>(v, "lblAdjustInfo")->text(), QStringLiteral("Volume Optimized. Click Next to continue."));
        z.next();
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picRecord"));
        auto* rp = z.w->picRecord();
        rp->SetStandbyLock(std::make_unique<NoLock>());
        Find<QPushButton>(rp, "cmdRec")->click();
        QTRY_VERIFY_WITH_TIMEOUT(z.st().Record()->GetRecordedSeconds() >= 62, 90000);
        z.boxes.answer(sv::vbYes);
        Find<QPushButton>(rp, "cmdStop")->click();
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
