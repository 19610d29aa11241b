// Cutting animated GIFs into frames: counts, delays, offsets, loop count, and
// damaged input.
#include "GifWriter.h"
#include "support/TestEnv.h"
#include "widgets/GifFrames.h"

#include <QtTest>

using namespace sv;
using svtest::GifFrameSpec;
using svtest::MakeGif;

class TestGifFrames : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

private Q_SLOTS:
    void frames()
    {
        struct Case {
            const char* name;
            QByteArray gif;
            QList<int> delays;
            int repeat = 0;
            QList<QPoint> offsets = {}; // none: every frame at the origin
        };
        const QList<Case> cases = {
            {"one frame, no loop extension", MakeGif(4, 4, {{0, 0, 4, 4, 10}}), {100}},
            {"one frame, loop extension", MakeGif(4, 4, {{0, 0, 4, 4, 7}}, 2, 0), {70}},
            {"many frames with offsets",
             MakeGif(16, 12, {{0, 0, 16, 12, 10, 1}, {3, 2, 4, 4, 20, 2}, {300, 258, 4, 4, 0, 3}, {12, 8, 4, 4, 655, 1}},
                     2, 0),
             {100, 200, 0, 6550}, 0, {{0, 0}, {3, 2}, {300, 258}, {12, 8}}},
            // With a 32-colour table the loop count sits at the bytes the loader reads.
            {"loop count after a 32-colour table",
             MakeGif(8, 8, {{0, 0, 8, 8, 5, 4}, {0, 0, 8, 8, 5, 9}}, 5, 0x0103), {50, 50}, 0x0103},
            {"loop count before 127 bytes is not read", MakeGif(8, 8, {{0, 0, 8, 8, 5}, {0, 0, 8, 8, 5}}, 2, 3), {50, 50}},
        };
        for (const Case& c : cases) {
            const GifFrames cut = CutGifFrames(c.gif);
            QVERIFY2(!cut.error, c.name);
            QVERIFY2(cut.totalFrames() == c.delays.size() - 1 && cut.repeatTimes == c.repeat, c.name);
            QCOMPARE(cut.screenWidth, quint8(c.gif[6]) | quint8(c.gif[7]) << 8);
            for (int i = 0; i < c.delays.size(); ++i) {
                const GifFrame& f = cut.frames[i];
                QCOMPARE(f.delayMs, c.delays[i]);
                QCOMPARE(QPoint(f.left, f.top), c.offsets.value(i));
                // Each frame is a file of its own: the header, one frame, the trailer.
                QVERIFY(f.data.startsWith("GIF89a") && f.data.endsWith(QByteArray("\x00\x3B", 2)));
                QCOMPARE(f.data.count("\x21\xF9"), 1);
            }
        }
    }

    void refused()
    {
        const QByteArray good = MakeGif(4, 4, {GifFrameSpec{}, GifFrameSpec{}}, 2, 0);
        // Without any graphic-control extension there is nothing to cut.
        QByteArray still = good;
        still.replace(QByteArray("\x21\xF9", 2), QByteArray("\x21\xFE", 2));
        const qsizetype second = good.indexOf(QByteArray("\x00\x21\xF9", 3), good.indexOf("\x21\xF9") + 1);
        const QList<QPair<QByteArray, int>> cases = {
            {QByteArray(), kGifFormatNotSupported},
            {QByteArray("\x89PNG\r\n\x1a\n\x00\x21\xF9\x04\x00\x00", 14), kGifFormatNotSupported},
            {still, kGifFormatNotSupported},
            {good.left(second + 6), kGifInvalidPicture}, // ends inside the second extension
        };
        for (const auto& [bytes, number] : cases) {
            const GifFrames cut = CutGifFrames(bytes);
            QVERIFY(cut.error && cut.frames.isEmpty());
            QCOMPARE(cut.error->number, number);
            QCOMPARE(cut.error->description, number == kGifInvalidPicture ? QStringLiteral("Invalid picture")
                                                                        : QStringLiteral("File format is not supported"));
            QCOMPARE(cut.error->source, QStringLiteral("AnimGif"));
        }
    }

    void everyTruncationIsHandled()
    {
        // Whatever length a download or a full disk left, the cutter either
        // gives frames or an error, and never reads past the end.
        const QByteArray gif = MakeGif(6, 6, {{0, 0, 6, 6, 3, 1}, {1, 1, 2, 2, 4, 2}, {2, 2, 3, 3, 5, 3}}, 2, 0);
        for (qsizetype n = 0; n <= gif.size(); ++n) {
            const GifFrames cut = CutGifFrames(gif.left(n));
            QVERIFY2(bool(cut.error) != !cut.frames.isEmpty(), qPrintable(QString::number(n)));
            for (const GifFrame& f : cut.frames)
                QVERIFY(f.data.size() <= gif.size() + 1);
        }
    }

    void manySeparatorsStayBounded()
    {
        // A large header followed by a great many tiny frames would copy the
        // header into every frame; the cutter stops at its memory limit.
        QByteArray b("GIF89a");
        b.append(QByteArray(4 * 1024 * 1024, 'x')).append('\0');
        const QByteArray frame("\x21\xF9\x04\x00\x01\x00\x00\x00"
                               "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x01\x44\x00",
                               22);
        for (int i = 0; i < 200; ++i)
            b.append(frame);
        b.append('\x3B');
        const GifFrames cut = CutGifFrames(b);
        QVERIFY(cut.error && cut.frames.isEmpty());
        QCOMPARE(cut.error->number, kGifOutOfMemory);
    }

    // Only an existing file named *.gif in lower case is taken.
    void pathChecks()
    {
        const QByteArray gif = MakeGif(4, 4, {GifFrameSpec{}});
        QVERIFY(!CheckGifPath(env.writeFile("busy.gif", gif)));
        for (const QString& other : {env.writeFile("BUSY.GIF", gif), env.writeFile("busy.png", gif)}) {
            const auto err = CheckGifPath(other);
            QCOMPARE(err ? err->description : QString(), QStringLiteral("File format is not supported"));
            QCOMPARE(err->number, kGifFormatNotSupported);
        }
        QVERIFY(QDir().mkpath(env.tmp() + "folder.gif"));
        for (const char* missing : {"gone.gif", "GONE.GIF", "folder.gif"}) {
            const auto err = CheckGifPath(env.tmp() + missing);
            QCOMPARE(err ? err->description : QString(), QStringLiteral("File not found"));
            QCOMPARE(err->number, kGifFileNotFound);
            QVERIFY(LoadGifFrames(env.tmp() + missing).error);
        }
    }
};

QTEST_GUILESS_MAIN(TestGifFrames)
#include "tst_GifFrames.moc"
