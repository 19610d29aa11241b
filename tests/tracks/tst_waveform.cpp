// The waveform model: scale, scroll bar, conversions and the polyline read
// from generated recordings.
#include "support/TestEnv.h"
#include "tracks/WavGen.h"

#include "tracks/Waveform.h"

#include <QDir>
#include <QtTest>

using namespace sv;
using namespace svtest;

class TestWaveform : public QObject {
    Q_OBJECT
    TestEnv env;
    QString p(const QString& n) const { return env.tmp() + n; }

private Q_SLOTS:
    // The scale steps down at 10 and 30 minutes, keeping long sides narrow.
    void scale()
    {
        for (const auto& [seconds, drawScale] : {std::pair{600, 50}, std::pair{601, 35}, std::pair{1800, 35},
                                                  std::pair{1801, 20}})
            QVERIFY2(DrawScaleFor(seconds) == drawScale, qPrintable(QString::number(seconds)));
        QCOMPARE(WaveScale(35, 601).waveWidth(), 21035);
    }

    // Whatever the width, the last scroll step puts the image's end about the
    // margin inside the viewport, and the scroll range stays under 30000 steps.
    void scroll_data()
    {
        QTest::addColumn<int>("waveWidth");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("fits") << 8000 << false;
        QTest::newRow("fits exactly with margins") << 8700 << false;
        QTest::newRow("one unit too wide") << 8701 << true;
        QTest::newRow("29999") << 29999 << true;
        QTest::newRow("30000") << 30000 << true;
        QTest::newRow("two hours") << 144000 << true;
    }
    void scroll()
    {
        QFETCH(int, waveWidth);
        QFETCH(bool, enabled);
        const int viewport = 9000;
        const ScrollSetup s = ComputeScroll(waveWidth, viewport);
        QCOMPARE(s.enabled, enabled);
        QCOMPARE(ImageLeftEdge(0, s.divisor), WaveLeftMargin);
        if (!enabled)
            return;
        QVERIFY(s.max < 30000);
        QVERIFY(s.largeChange >= s.smallChange);
        QVERIFY(qAbs(ImageLeftEdge(s.max, s.divisor) + waveWidth - (viewport - WaveLeftMargin)) <= s.divisor);
    }

    // Follow-scrolling of the preview, in a view of 9000 units scrolled to the
    // start (sees -50..8750) or by 100 steps of 50 (sees 4950..13750).
    void followScroll_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("leftEdge");
        QTest::addColumn<int>("viewport");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("moves");
        const int start = 150, scrolled = 150 - 100 * 50;
        QTest::newRow("inside") << 5000.0 << start << 9000 << "" << "";
        QTest::newRow("right edge steps on") << 8750.0 << start << 9000 << "" << "forward";
        QTest::newRow("key held on the bar") << 8800.0 << start << 9000 << "key" << "";
        QTest::newRow("first 1000 units never move") << 999.0 << scrolled << 9000 << "" << "";
        QTest::newRow("left of the view steps back") << 3000.0 << scrolled << 9000 << "" << "back";
        QTest::newRow("user scrolled: no step back") << 3000.0 << scrolled << 9000 << "user" << "";
        QTest::newRow("user scrolled: near the right edge") << 13500.0 << scrolled << 9000 << "user"
                                                            << "forward clear";
        QTest::newRow("user scrolled: past the right edge") << 14100.0 << scrolled << 9000 << "user" << "";
        QTest::newRow("narrow view looks ahead") << 4450.0 << start << 5000 << "" << "forward";
        QTest::newRow("narrow view, not yet") << 4400.0 << start << 5000 << "" << "";
        QTest::newRow("seek inside") << 5000.0 << start << 9000 << "seek user" << "clear";
        QTest::newRow("seek beyond the view") << 20000.0 << start << 9000 << "seek" << "clear jump 400";
        QTest::newRow("seek before the view") << 500.0 << scrolled << 9000 << "seek key" << "clear jump 10";
    }
    void followScroll()
    {
        QFETCH(double, x);
        QFETCH(int, leftEdge);
        QFETCH(int, viewport);
        QFETCH(QString, state);
        QFETCH(QString, moves);
        const FollowMoves m = FollowScroll({x, leftEdge, viewport, 50, state.contains("seek"), state.contains("user"),
                                            state.contains("key")});
        QStringList got;
        if (m.forward)
            got << "forward";
        if (m.clearScrolled)
            got << "clear";
        if (m.back)
            got << "back";
        if (m.jumpTo >= 0)
            got << "jump " + QString::number(m.jumpTo);
        QCOMPARE(got.join(' '), moves);
    }

    void pointHeights_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("y");
        QTest::newRow("silence on the centre") << 2 << 16 << 0 << 0 << 1125;
        QTest::newRow("both up") << 2 << 16 << 3500 << 3500 << 1025;
        QTest::newRow("opposite swings cancel") << 2 << 16 << 3500 << -3500 << 1125;
        QTest::newRow("full scale up") << 2 << 16 << 32767 << 32767 << 189;
        QTest::newRow("mono") << 1 << 16 << 3500 << 0 << 1025;
        QTest::newRow("mono 8-bit") << 1 << 8 << 16384 << 0 << 657;
    }
    void pointHeights()
    {
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(int, y);
        WavSpec s;
        s.channels = channels;
        s.bits = bits;
        s.rate = 1000;
        QVERIFY(writeWav(p("y.wav"), s, 2000, [&](std::int64_t, int c) { return c == 0 ? left : right; }));
        Waveform w;
        QCOMPARE(w.load(p("y.wav")), WaveStatus::Ok);
        QVERIFY(!w.polyline().isEmpty());
        for (const QPoint& pt : w.polyline())
            QCOMPARE(pt.y(), y);
    }

    // One frame per column, frames per column rounded up; the columns whose
    // frame lies past the data end the polyline.
    void decimation_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("perColumn");
        QTest::addColumn<int>("lastColumn");
        QTest::newRow("exact: last column falls on the end") << 8000 << 80000 << 160 << 499;
        QTest::newRow("rounded up") << 8000 << 81600 << 164 << 497;
        QTest::newRow("just over") << 8000 << 80001 << 161 << 496;
    }
    void decimation()
    {
        QFETCH(int, rate);
        QFETCH(int, frames);
        QFETCH(int, perColumn);
        QFETCH(int, lastColumn);
        WavSpec s;
        s.rate = rate;
        // Each frame's level tells its index: y = 1125 - k / 160 exactly.
        QVERIFY(writeWav(p("d.wav"), s, frames, [](std::int64_t k, int) { return int((k / 160 - 458) * 35); }));
        Waveform w;
        QCOMPARE(w.load(p("d.wav")), WaveStatus::Ok);
        QCOMPARE(w.waveWidth(), 500);
        const auto& pts = w.polyline();
        QCOMPARE(pts.size(), lastColumn + 1);
        for (int i = 0; i < pts.size(); ++i) {
            QCOMPARE(pts[i].x(), i);
            const std::int64_t k = std::int64_t(i) * perColumn;
            QCOMPARE(pts[i].y(), int(1125 - (k / 160 - 458)));
        }
    }

    // Fewer frames than columns: every frame, spread over the width.
    void shortRecording()
    {
        WavSpec s;
        s.rate = 40;
        QVERIFY(writeWav(p("s.wav"), s, 120, [](std::int64_t k, int) { return int(k) * 35; }));
        Waveform w;
        QCOMPARE(w.load(p("s.wav")), WaveStatus::Ok);
        QCOMPARE(w.waveWidth(), 150);
        QCOMPARE(w.polyline().size(), 120);
        for (int i = 0; i < 120; ++i) {
            QCOMPARE(w.polyline()[i].x(), int(i * 1.25));
            QCOMPARE(w.polyline()[i].y(), 1125 - i);
        }
    }

    // No frames, or under half a second: nothing to draw, and no crash.
    void emptyRecording()
    {
        WavSpec s;
        s.rate = 1000;
        for (int frames : {0, 400}) {
            QVERIFY(writeWav(p("e.wav"), s, frames, [](std::int64_t, int) { return 9000; }));
            Waveform w;
            QCOMPARE(w.load(p("e.wav")), WaveStatus::Ok);
            QVERIFY(w.isEmpty());
            QCOMPARE(w.waveWidth(), 0);
            QVERIFY(w.polyline().isEmpty());
        }
        const WaveScale empty(50, 0);
        QCOMPARE(empty.secondsAt(100), 0.0);
        QCOMPARE(empty.unitsAt(3), 0.0);
    }

    void rejectedAndCanceled()
    {
        WavSpec bad;
        bad.blockAlign = 3;
        QVERIFY(writeWav(p("bad.wav"), bad, 100, {}));
        Waveform w;
        QCOMPARE(w.load(p("bad.wav")), WaveStatus::Corrupted);
        QVERIFY(w.isEmpty());

        WavSpec s;
        s.rate = 4000;
        QVERIFY(writeWav(p("long.wav"), s, 4000 * 60, {}));
        std::int64_t seen = 0;
        QCOMPARE(w.load(p("long.wav"), [&](std::int64_t done, std::int64_t total) {
                     seen = done;
                     return total == 3000 && done < 1000;
                 }),
                 WaveStatus::Canceled);
        QVERIFY(seen >= 1000 && seen < 1300);
    }

    void loadingText()
    {
        QCOMPARE(LoadingWaveText(0, 5), QStringLiteral("Loading wave image..."));
        QCOMPARE(LoadingWaveText(10, 10), QStringLiteral("Loading wave image... 1:30 remaining."));
        QCOMPARE(LoadingWaveText(100, 30), QStringLiteral("Loading wave image... 0:00 remaining."));
    }
};

QTEST_GUILESS_MAIN(TestWaveform)
#include "tst_waveform.moc"
