// Takes the README's pictures: the program on the demo deck through one side,
// from the first page to the finish page, each page grabbed as a PNG into
// $SONIVAULT_SHOT_DIR. scripts/screenshots.sh runs it (under Xvfb when it can).
#include "e2e/E2EFlow.h"

#include "util/modFunctions.h"

#include <QImage>

using namespace svtest;

class Screenshots : public QObject {
    Q_OBJECT
    QString m_dir;

    // Grabs the window, which must show the page of that name.
    void shot(Wizard& z, const QString& page, const QString& name)
    {
        QCOMPARE(z.page(), page);
        QTest::qWait(50); // let the page paint
        const QString path = m_dir + QLatin1Char('/') + name + QStringLiteral(".png");
        QVERIFY2(z.w->grab().toImage().save(path, "PNG", 0), qPrintable(path));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_dir = qEnvironmentVariable("SONIVAULT_SHOT_DIR");
        QVERIFY2(!m_dir.isEmpty() && QDir().mkpath(m_dir), "SONIVAULT_SHOT_DIR names the folder for the pictures");
        QVERIFY2(QFile::exists(sv::DataFolder() + QStringLiteral("demo-side.wav")), "the demo side is built");
    }

    void oneSide()
    {
        sv::audio::VirtualDeck deck = sv::audio::VirtualDeck::Demo();
        deck.speed = 20;
        Wizard z(deck);
        z.noWelcomeDialog();
        QVERIFY(z.start());
        z.w->show();
        shot(z, QStringLiteral("picWelcome"), QStringLiteral("welcome"));

        z.next();
        z.next();
        ScanAndAdjust(z);
        shot(z, QStringLiteral("picVolume"), QStringLiteral("volume"));

        // A 5-minute side, recorded fast.
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picRecordFrom"));
        auto* rf = z.w->picRecordFrom();
        for (int row = 0; row < rf->ProfileCount(); ++row) {
            sv::test::Find<QListWidget>(rf, "lstProfiles")->setCurrentRow(row);
            if (z.st().RecordSeconds == 300 && z.st().PauseSeconds == 0)
                break;
        }
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picRecord"));
        auto* rp = z.w->picRecord();
        rp->SetStandbyLock(std::make_unique<NoLock>());
        sv::audio::DeckOf(z.st().Record())->speed = 40;
        sv::test::Find<QPushButton>(rp, "cmdRec")->click();
        QElapsedTimer clock;
        clock.start();
        bool recordShot = false;
        while (z.page() == QStringLiteral("picRecord") && clock.elapsed() < 60000) {
            sv::test::Find<QTimer>(rp, "timRecord")->stop();
            QTest::qWait(10);
            rp->timRecord_Timer();
            // Mid-side: the clock and meters are running.
            if (!recordShot && z.st().Record()->FramesWritten() > 44100 * 100) {
                shot(z, QStringLiteral("picRecord"), QStringLiteral("record"));
                recordShot = true;
            }
        }
        QVERIFY(recordShot);
        QVERIFY(!z.w->picWaveform()->SplitList().isEmpty());
        shot(z, QStringLiteral("picWaveform"), QStringLiteral("waveform"));

        z.boxes.answer(sv::vbYes);
        z.next();
        shot(z, QStringLiteral("picOutput"), QStringLiteral("output"));

        sv::test::Find<QRadioButton>(z.w->picOutput(), "optDPP")->setChecked(true);
        z.next();
        QCOMPARE(z.page(), QStringLiteral("picWaveCopy"));
        const QString target = z.env.root() + QStringLiteral("/home/Music/My Tapes");
        QVERIFY(QDir().mkpath(target));
        sv::test::Find<QComboBox>(z.w->picWaveCopy(), "cboWaveCopy")->setEditText(target);
        z.next();
        shot(z, QStringLiteral("picFinish"), QStringLiteral("finish"));
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }
};

QTEST_MAIN(Screenshots)
#include "sv_screenshots.moc"
