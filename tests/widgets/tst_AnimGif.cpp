// The animated GIF control: decoding, stepping through frames with their own
// delays, stopping and continuing, and damaged files (the cutter's own
// refusals are tst_GifFrames').
#include "GifWriter.h"
#include "support/TestEnv.h"
#include "widgets/ui/AnimGif.h"

#include <QtTest>

using namespace sv;
using svtest::MakeGif;

class TestAnimGif : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

    // Three frames of 50 ms each, the second and third smaller and offset.
    static QByteArray threeFrames()
    {
        return MakeGif(12, 12, {{0, 0, 12, 12, 5, 0}, {4, 4, 4, 4, 5, 1}, {8, 0, 4, 4, 5, 2}}, 2, 0);
    }
    bool start(AnimGif& gif, const QString& name, const QByteArray& bytes)
    {
        return !gif.setGifPath(env.writeFile(name, bytes)) && !gif.StartGif();
    }

private Q_SLOTS:
    void playsStopsAndContinues()
    {
        AnimGif gif;
        QVERIFY(start(gif, "three.gif", threeFrames()));
        QCOMPARE(gif.TotalFrames(), 2);
        QCOMPARE(gif.timerInterval(), 50);
        QVERIFY(gif.isPlaying());
        // The frames come round in order and the animation loops.
        QList<int> seen;
        for (int n = 0; n < 1000 && seen.size() < 5; ++n) {
            if (seen.isEmpty() || seen.last() != gif.currentFrame())
                seen << gif.currentFrame();
            QTest::qWait(5);
        }
        QCOMPARE(seen, (QList<int>{0, 1, 2, 0, 1}));

        // Stop holds the frame shown; Continue goes on from it; Start begins again.
        gif.StopGif();
        const int held = gif.currentFrame();
        QVERIFY(!gif.timerTicking());
        QTest::qWait(120);
        QCOMPARE(gif.currentFrame(), held);
        gif.ContinueGif();
        QVERIFY(gif.timerTicking());
        QTRY_VERIFY_WITH_TIMEOUT(gif.currentFrame() != held, 2000);
        QVERIFY(!gif.StartGif());
        QCOMPARE(gif.currentFrame(), 0);
    }

    void framesAppearAtTheirOffsets()
    {
        AnimGif gif;
        gif.resize(12, 12);
        QVERIFY(start(gif, "offsets.gif", threeFrames()));
        QCOMPARE(gif.frameOffset(1), QPoint(4, 4));
        QCOMPARE(gif.sizeHint(), QSize(12, 12));
        QTRY_COMPARE_WITH_TIMEOUT(gif.currentFrame(), 1, 2000);
        gif.StopGif();
        // Frame 1's colour inside its rectangle at (4,4)-(7,7), not at the corner.
        const QImage shot = gif.grab().toImage();
        QCOMPARE(qRed(shot.pixel(5, 5)), 41);
        QVERIFY(shot.pixel(1, 1) != shot.pixel(5, 5));
    }

    // A frame of delay 0 holds for good, without a timer spinning.
    void delayZeroHoldsTheFrame()
    {
        AnimGif gif;
        QVERIFY(start(gif, "zero.gif", MakeGif(4, 4, {{0, 0, 4, 4, 1}, {0, 0, 4, 4, 0}}, 2, 0)));
        QTRY_COMPARE_WITH_TIMEOUT(gif.currentFrame(), 1, 2000);
        QCOMPARE(gif.timerInterval(), 0);
        QVERIFY(!gif.timerTicking());
        gif.ContinueGif();
        QVERIFY(!gif.timerTicking());
        QTest::qWait(40);
        QCOMPARE(gif.currentFrame(), 1);
    }

    void pathErrorsKeepThePreviousPath()
    {
        AnimGif gif;
        const QString good = env.writeFile("good.gif", threeFrames());
        QVERIFY(!gif.setGifPath(good));
        const auto err = gif.setGifPath(env.tmp() + "none.gif");
        QVERIFY(err && err->number == kGifFileNotFound);
        QCOMPARE(gif.gifPath(), good);
    }

    // Truncated in the last frame, or image data that is not valid compressed
    // data (code sizes out of range).
    void damagedFilesRaiseAnError()
    {
        const QByteArray good = threeFrames();
        QByteArray garbage = good;
        const qsizetype img = garbage.indexOf('\x2C', good.indexOf(QByteArray("\x00\x21\xF9", 3)));
        garbage[img + 10] = char(0x0F);
        for (qsizetype i = img + 11; i < img + 20; ++i)
            garbage[i] = char(0xFF);
        for (const QByteArray& bytes : {good.left(good.size() - 6), garbage}) {
            AnimGif gif;
            // A good animation first, so the error must also stop it.
            QVERIFY(start(gif, "before.gif", good));
            QVERIFY(!gif.setGifPath(env.writeFile("damaged.gif", bytes)));
            const auto err = gif.StartGif();
            QVERIFY(err && err->number == kGifInvalidPicture);
            QVERIFY(!gif.isPlaying());
            QCOMPARE(gif.TotalFrames(), -1);
            gif.ContinueGif();
            QVERIFY(!gif.timerTicking());
            gif.grab(); // painting with no frames is harmless
        }
    }

    void shippedBusyAnimationPlays()
    {
        AnimGif gif;
        QVERIFY(!gif.setGifPath(qEnvironmentVariable("SONIVAULT_SOURCE_DIR") + "/data/compress.gif"));
        QVERIFY(!gif.StartGif());
        QVERIFY(gif.TotalFrames() >= 7);
        for (int i = 0; i <= gif.TotalFrames(); ++i) {
            QVERIFY(gif.frameDelay(i) > 0);
            QVERIFY(!gif.frameImage(i).isNull());
            QVERIFY(i == 0 || gif.frameImage(i) != gif.frameImage(i - 1));
        }
    }
};

QTEST_MAIN(TestAnimGif)
#include "tst_AnimGif.moc"
