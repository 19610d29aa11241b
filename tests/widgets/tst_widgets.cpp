// The widgets: cutting animated GIFs into frames (counts, delays, offsets,
// loop count, damaged input), the animated GIF control (frames in turn with
// their own delays, stopping and continuing, damaged files), and folder-name
// completion in an editable box.
#include "support/TestEnv.h"
#include "widgets/GifFrames.h"
#include "widgets/ui/AnimGif.h"
#include "widgets/ui/PathCompletion.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace sv;

namespace {

// Small animated GIFs: a global colour table, an optional looping extension,
// and per frame a graphic-control extension (delay), an image descriptor
// (offset, size) and image data coded without compression.
struct GifFrameSpec {
    int left = 0, top = 0, width = 4, height = 4;
    int delay = 10;        // hundredths of a second
    quint8 colour = 1;     // every pixel has this palette index
};

inline void putLe16(QByteArray& b, int v) { b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); }

// Palette size 2^bits (1..8 bits). Literal codes only, with a clear code
// often enough that the code width never grows.
inline QByteArray MakeGif(int width, int height, const QList<GifFrameSpec>& frames, int bits = 2, int loops = -1)
{
    QByteArray b("GIF89a");
    putLe16(b, width);
    putLe16(b, height);
    b.append(char(0x80 | ((bits - 1) << 4) | (bits - 1))).append(2, '\0');
    // The last colour is black: its 0 ends the table the way the end of a
    // block does, which is what finds the first frame of a file without a
    // looping extension.
    for (int i = 0; i < (1 << bits) - 1; ++i)
        b.append(char(i * 40 + 1)).append(char(255 - i * 30)).append(char(i * 17 + 3));
    b.append(3, '\0');
    if (loops >= 0) {
        b.append("\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01", 16);
        putLe16(b, loops);
        b.append('\0');
    }
    const int minCode = bits < 2 ? 2 : bits, clear = 1 << minCode;
    for (const GifFrameSpec& f : frames) {
        b.append("\x21\xF9\x04\x00", 4);
        putLe16(b, f.delay);
        b.append(2, '\0').append('\x2C');
        for (int v : {f.left, f.top, f.width, f.height})
            putLe16(b, v);
        b.append('\0').append(char(minCode));
        QByteArray data;
        quint32 acc = 0;
        int nbits = 0;
        auto put = [&](int code) {
            for (acc |= quint32(code) << nbits, nbits += minCode + 1; nbits >= 8; acc >>= 8, nbits -= 8)
                data.append(char(acc & 0xFF));
        };
        put(clear);
        for (int i = 0; i < f.width * f.height; ++i) {
            if (i > 0 && i % (clear - 2) == 0)
                put(clear);
            put(f.colour);
        }
        put(clear + 1);
        if (nbits > 0)
            data.append(char(acc & 0xFF));
        for (int i = 0; i < data.size(); i += 255)
            b.append(char(data.mid(i, 255).size())).append(data.mid(i, 255));
        b.append('\0');
    }
    return b.append('\x3B');
}

} // namespace

class TestWidgets : public QObject {
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
             MakeGif(16, 12,
                     {{0, 0, 16, 12, 10, 1}, {3, 2, 4, 4, 20, 2}, {300, 258, 4, 4, 0, 3}, {12, 8, 4, 4, 655, 1}}, 2, 0),
             {100, 200, 0, 6550}, 0, {{0, 0}, {3, 2}, {300, 258}, {12, 8}}},
            // With a 32-colour table the loop count sits at the bytes the loader reads.
            {"loop count after a 32-colour table",
             MakeGif(8, 8, {{0, 0, 8, 8, 5, 4}, {0, 0, 8, 8, 5, 9}}, 5, 0x0103), {50, 50}, 0x0103},
            {"loop count before 127 bytes is not read",
             MakeGif(8, 8, {{0, 0, 8, 8, 5}, {0, 0, 8, 8, 5}}, 2, 3), {50, 50}},
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

    // Damaged, truncated and hostile input is refused with the error it deserves.
    void refused()
    {
        const QByteArray good = MakeGif(4, 4, {GifFrameSpec{}, GifFrameSpec{}}, 2, 0);
        // Without any graphic-control extension there is nothing to cut.
        const QByteArray still = QByteArray(good).replace(QByteArray("\x21\xF9", 2), QByteArray("\x21\xFE", 2));
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
            QCOMPARE(cut.error->description,
                     QString(number == kGifInvalidPicture ? "Invalid picture" : "File format is not supported"));
        }

        // Whatever length a download or a full disk left, the cutter either
        // gives frames or an error, and never reads past the end.
        const QByteArray gif = MakeGif(6, 6, {{0, 0, 6, 6, 3, 1}, {1, 1, 2, 2, 4, 2}, {2, 2, 3, 3, 5, 3}}, 2, 0);
        for (qsizetype n = 0; n <= gif.size(); ++n) {
            const GifFrames cut = CutGifFrames(gif.left(n));
            QVERIFY2(bool(cut.error) != !cut.frames.isEmpty(), qPrintable(QString::number(n)));
            for (const GifFrame& f : cut.frames)
                QVERIFY(f.data.size() <= gif.size() + 1);
        }

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
        const GifFrames huge = CutGifFrames(b);
        QVERIFY(huge.error && huge.frames.isEmpty());
        QCOMPARE(huge.error->number, kGifOutOfMemory);
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

    void playsStopsAndContinues()
    {
        AnimGif gif;
        gif.resize(12, 12);
        QVERIFY(start(gif, "three.gif", threeFrames()));
        QCOMPARE(gif.TotalFrames(), 2);
        QCOMPARE(gif.timerInterval(), 50);
        QVERIFY(gif.isPlaying());
        // The frames come round in order and the animation loops.
        QList<int> seen;
        for (int n = 0; n < 1000 && seen.size() < 5; ++n) {
            QTest::qWait(5);
            if (seen.isEmpty() || seen.last() != gif.currentFrame())
                seen << gif.currentFrame();
        }
        QCOMPARE(seen, (QList<int>{0, 1, 2, 0, 1}));

        // Stop holds the frame shown: frame 1, painted inside its rectangle at
        // (4,4)-(7,7), not at the corner. Continue goes on; Start begins again.
        gif.StopGif();
        const int held = gif.currentFrame();
        QVERIFY(!gif.timerTicking());
        QTest::qWait(120);
        QCOMPARE(gif.currentFrame(), held);
        const QImage shot = gif.grab().toImage();
        QCOMPARE(qRed(shot.pixel(5, 5)), 41);
        QVERIFY(shot.pixel(1, 1) != shot.pixel(5, 5));
        gif.ContinueGif();
        QVERIFY(gif.timerTicking());
        QTRY_VERIFY_WITH_TIMEOUT(gif.currentFrame() != held, 2000);
        QVERIFY(!gif.StartGif());
        QCOMPARE(gif.currentFrame(), 0);
    }

    // A frame of delay 0 holds for good, without a timer spinning.
    void delayZeroHoldsTheFrame()
    {
        AnimGif gif;
        QVERIFY(start(gif, "zero.gif", MakeGif(4, 4, {{0, 0, 4, 4, 1}, {0, 0, 4, 4, 0}}, 2, 0)));
        QTRY_COMPARE_WITH_TIMEOUT(gif.currentFrame(), 1, 2000);
        gif.ContinueGif();
        QVERIFY(!gif.timerTicking());
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

    // Folders are offered, not files, and the box's own list is untouched.
    // With the list of folders open, the first click on another button is
    // that button's click, not only the closing of the list.
    void offersFoldersAndPassesTheClickOn()
    {
        const QString base = env.root() + "/music";
        for (const char* sub : {"/Albums", "/Alphabet", "/Other"})
            QVERIFY(QDir().mkpath(base + sub));
        QVERIFY(!env.writeFile("../music/Alien.txt", "").isEmpty());
        QWidget window;
        auto* box = new QComboBox;
        auto* next = new QPushButton("Next");
        auto* layout = new QHBoxLayout(&window); // the list opens below the box, not over Next
        layout->addWidget(box);
        layout->addWidget(next);
        box->setEditable(true);
        box->addItems({"Desktop", "Documents", "Music"});
        sv::EnablePathCompletion(box);
        window.resize(400, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicks(next, &QPushButton::clicked);
        QCompleter* c = box->lineEdit()->completer();
        QVERIFY(c);

        QStringList offered;
        auto collect = [&] {
            offered.clear();
            for (int i = 0; c->setCurrentRow(i); ++i)
                offered << c->currentCompletion();
            return offered.size() == 2;
        };
        // Typed as a user types it: the folders load while the text grows.
        box->lineEdit()->setFocus();
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), base + "/");
        QTest::qWait(200);
        QTest::keyClicks(box->lineEdit(), "Al");
        QTRY_VERIFY_WITH_TIMEOUT(collect() && c->popup()->isVisible(), 5000);
        offered.sort();
        QCOMPARE(offered, (QStringList{base + "/Albums", base + "/Alphabet"}));
        QCOMPARE(box->count(), 3);

        // Through the window, as the window system delivers it.
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, next->mapTo(&window, next->rect().center()));
        QTRY_VERIFY_WITH_TIMEOUT(!c->popup()->isVisible(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(clicks.size(), 1, 2000);
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
