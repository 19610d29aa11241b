// The animated GIF control: decoding, stepping through frames with their own
// delays, stopping and continuing, and damaged files (the cutter's own
// refusals are tst_GifFrames').
#include "GifWriter.h"
#include "support/TestEnv.h"
#include "widgets/ui/AnimGif.h"

#include <QFile>
#include <QtTest>

using namespace sv;
using svtest::GifFrameSpec;
using svtest::MakeGif;

class TestAnimGif : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

    // Three frames of 50 ms each, the second and third smaller and offset.
    QByteArray threeFrames()
    {
        return MakeGif(12, 12,
                       {GifFrameSpec{0, 0, 12, 12, 5, 0}, GifFrameSpec{4, 4, 4, 4, 5, 1},
                        GifFrameSpec{8, 0, 4, 4, 5, 2}},
                       2, 0);
    }

private Q_SLOTS:
    void playsEveryFrameInTurn()
    {
        AnimGif gif;
        QVERIFY(!gif.setGifPath(env.writeFile("three.gif", threeFrames())));
        QVERIFY(!gif.StartGif());
        QCOMPARE(gif.TotalFrames(), 2);
        QCOMPARE(gif.currentFrame(), 0);
        QCOMPARE(gif.timerInterval(), 50);
        QVERIFY(gif.isPlaying());
        for (int i = 0; i <= 2; ++i)
            QVERIFY(!gif.frameImage(i).isNull());
        // The frames come round in order and the animation loops.
        QList<int> seen;
        for (int n = 0; n < 1000 && seen.size() < 5; ++n) {
            QTest::qWait(5);
            if (seen.isEmpty() || seen.last() != gif.currentFrame())
                seen << gif.currentFrame();
        }
        QCOMPARE(seen, (QList<int>{0, 1, 2, 0, 1}));
    }

    void framesAppearAtTheirOffsets()
    {
        AnimGif gif;
        gif.resize(12, 12);
        QVERIFY(!gif.setGifPath(env.writeFile("offsets.gif", threeFrames())));
        QVERIFY(!gif.StartGif());
        gif.StopGif();
        QCOMPARE(gif.frameOffset(1), QPoint(4, 4));
        QCOMPARE(gif.sizeHint(), QSize(12, 12));
        // Step to frame 1 by letting the timer run, then hold it.
        gif.ContinueGif();
        QTRY_COMPARE_WITH_TIMEOUT(gif.currentFrame(), 1, 2000);
        gif.StopGif();
        const QImage shot = gif.grab().toImage();
        const QImage frame = gif.frameImage(1);
        // Frame 1 colour inside its rectangle at (4,4)-(7,7), not at the corner.
        const QRgb inside = shot.pixel(5, 5);
        QCOMPARE(qRed(inside), 41);
        QVERIFY(shot.pixel(1, 1) != inside);
        QVERIFY(!frame.isNull());
    }

    void stopHoldsAndContinueResumes()
    {
        AnimGif gif;
        QVERIFY(!gif.setGifPath(env.writeFile("stop.gif", threeFrames())));
        QVERIFY(!gif.StartGif());
        QTRY_VERIFY_WITH_TIMEOUT(gif.currentFrame() != 0, 2000);
        gif.StopGif();
        const int held = gif.currentFrame();
        QVERIFY(!gif.timerTicking());
        QTest::qWait(120);
        QCOMPARE(gif.currentFrame(), held);
        gif.ContinueGif();
        QVERIFY(gif.timerTicking());
        QTRY_VERIFY_WITH_TIMEOUT(gif.currentFrame() != held, 2000);
        // Starting again begins at the first frame.
        QVERIFY(!gif.StartGif());
        QCOMPARE(gif.currentFrame(), 0);
    }

    void delayZeroHoldsTheFrame()
    {
        AnimGif gif;
        const QString path = env.writeFile("zero.gif", MakeGif(4, 4, {GifFrameSpec{0, 0, 4, 4, 1}, GifFrameSpec{0, 0, 4, 4, 0}}, 2, 0));
        QVERIFY(!gif.setGifPath(path));
        QVERIFY(!gif.StartGif());
        QTRY_COMPARE_WITH_TIMEOUT(gif.currentFrame(), 1, 2000);
        QCOMPARE(gif.frameDelay(1), 0);
        QCOMPARE(gif.timerInterval(), 0);
        QVERIFY(!gif.timerTicking());
        QTest::qWait(40);
        QCOMPARE(gif.currentFrame(), 1);
        gif.ContinueGif();
        QVERIFY(!gif.timerTicking());
    }

    void oneFrameKeepsShowingIt()
    {
        AnimGif gif;
        QVERIFY(!gif.setGifPath(env.writeFile("one.gif", MakeGif(4, 4, {GifFrameSpec{0, 0, 4, 4, 1}}))));
        QVERIFY(!gif.StartGif());
        QCOMPARE(gif.TotalFrames(), 0);
        QCOMPARE(gif.frameDelay(0), 10);
        QVERIFY(gif.timerTicking());
        QTest::qWait(40);
        QCOMPARE(gif.currentFrame(), 0);
        QVERIFY(gif.timerTicking());
    }

    void pathErrorsKeepThePreviousPath()
    {
        AnimGif gif;
        const QString good = env.writeFile("good.gif", threeFrames());
        QVERIFY(!gif.setGifPath(good));
        const auto err = gif.setGifPath(env.tmp() + "none.gif");
        QVERIFY(err);
        QCOMPARE(err->number, kGifFileNotFound);
        QCOMPARE(gif.gifPath(), good);
    }

    void damagedFilesRaiseAnError_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("number");
        const QByteArray good = threeFrames();
        QTest::newRow("truncated in the last frame") << good.left(good.size() - 6) << kGifInvalidPicture;
        const qsizetype first = good.indexOf(QByteArray("\x00\x21\xF9", 3));
        // Image data that is not valid compressed data (code sizes out of range).
        QByteArray garbage = good;
        const qsizetype img = garbage.indexOf('\x2C', first);
        garbage[img + 10] = char(0x0F);
        for (qsizetype i = img + 11; i < img + 20; ++i)
            garbage[i] = char(0xFF);
        QTest::newRow("garbage image data") << garbage << kGifInvalidPicture;
    }
    void damagedFilesRaiseAnError()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, number);
        AnimGif gif;
        // A good animation first, so the error must also stop it.
        QVERIFY(!gif.setGifPath(env.writeFile("before.gif", threeFrames())));
        QVERIFY(!gif.StartGif());
        QVERIFY(!gif.setGifPath(env.writeFile("damaged.gif", bytes)));
        const auto err = gif.StartGif();
        QVERIFY(err);
        QCOMPARE(err->number, number);
        QVERIFY(!gif.isPlaying());
        QVERIFY(!gif.timerTicking());
        QCOMPARE(gif.TotalFrames(), -1);
        gif.ContinueGif();
        QVERIFY(!gif.timerTicking());
        gif.grab(); // painting with no frames is harmless
    }

    void shippedBusyAnimationPlays()
    {
        const QString path = QString::fromLocal8Bit(qgetenv("SONIVAULT_SOURCE_DIR")) + "/data/compress.gif";
        AnimGif gif;
        QVERIFY(!gif.setGifPath(path));
        QVERIFY(!gif.StartGif());
        QVERIFY(gif.TotalFrames() >= 7);
        for (int i = 0; i <= gif.TotalFrames(); ++i) {
            QVERIFY(gif.frameDelay(i) > 0);
            QVERIFY(!gif.frameImage(i).isNull());
            if (i > 0)
                QVERIFY(gif.frameImage(i) != gif.frameImage(i - 1));
        }
    }
};

QTEST_MAIN(TestAnimGif)
#include "tst_AnimGif.moc"
