// The waveform model: scale, scroll bar and the polyline read from generated recordings.
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
    }

    // The last scroll step puts the image's end a margin inside the viewport, in under 30000 steps.
    void scroll()
    {
        const int viewport = 9000;
        // Fits; fits exactly with margins; one unit too wide; around 30000; two hours.
        const std::pair<int, bool> rows[] = {{8000, false}, {8700, false}, {8701, true}, {29999, true}, {30000, true},
                                             {144000, true}};
        for (const auto& [waveWidth, enabled] : rows) {
            const ScrollSetup s = ComputeScroll(waveWidth, viewport);
            QCOMPARE(s.enabled, enabled);
            QCOMPARE(ImageLeftEdge(0, s.divisor), WaveLeftMargin);
            if (!enabled)
                continue;
            QVERIFY(s.max < 30000 && s.largeChange >= s.smallChange);
            QVERIFY2(qAbs(ImageLeftEdge(s.max, s.divisor) + waveWidth - (viewport - WaveLeftMargin)) <= s.divisor,
                     qPrintable(QString::number(waveWidth)));
        }
    }

    // Both channels add up; a full-scale swing nearly fills the height.
    void pointHeights()
    {
        struct Row { int channels, bits, left, right, y; };
        const Row rows[] = {
            {2, 16, 3500, 3500, 1025},
            {2, 16, 3500, -3500, 1125},  // opposite swings cancel
            {2, 16, 32767, 32767, 189},
            {1, 8, 16384, 0, 657},
        };
        for (const Row& r : rows) {
            const WavSpec s{.channels = r.channels, .rate = 1000, .bits = r.bits};
            QVERIFY(writeWav(p("y.wav"), s, 2000, [&](std::int64_t, int c) { return c == 0 ? r.left : r.right; }));
            Waveform w;
            QCOMPARE(w.load(p("y.wav")), WaveStatus::Ok);
            QVERIFY(!w.polyline().isEmpty());
            for (const QPoint& pt : w.polyline())
                QVERIFY2(pt.y() == r.y, qPrintable(QString("%1 %2: %3").arg(r.channels).arg(r.left).arg(pt.y())));
        }
    }

    // One frame per column, frames per column rounded up; columns past the data end the polyline.
    void decimation()
    {
        struct Row { int frames, perColumn, lastColumn; };
        // Exact: the last column falls on the end; rounded up; just over.
        for (const Row& r : {Row{80000, 160, 499}, Row{81600, 164, 497}, Row{80001, 161, 496}}) {
            const WavSpec s{.rate = 8000};
            // Each frame's level tells its index: y = 1125 - k / 160 exactly.
            QVERIFY(writeWav(p("d.wav"), s, r.frames, [](std::int64_t k, int) { return int((k / 160 - 458) * 35); }));
            Waveform w;
            QCOMPARE(w.load(p("d.wav")), WaveStatus::Ok);
            QCOMPARE(w.waveWidth(), 500);
            const auto& pts = w.polyline();
            QCOMPARE(pts.size(), r.lastColumn + 1);
            for (int i = 0; i < pts.size(); ++i)
                QCOMPARE(pts[i], QPoint(i, int(1125 - (std::int64_t(i) * r.perColumn / 160 - 458))));
        }
    }

    // No frames, or under half a second: nothing to draw, and no crash.
    void emptyRecording()
    {
        for (int frames : {0, 400}) {
            QVERIFY(writeWav(p("e.wav"), WavSpec{.rate = 1000}, frames, [](std::int64_t, int) { return 9000; }));
            Waveform w;
            QCOMPARE(w.load(p("e.wav")), WaveStatus::Ok);
            QVERIFY(w.isEmpty() && w.waveWidth() == 0 && w.polyline().isEmpty());
        }
        const WaveScale empty(50, 0);
        QVERIFY(empty.secondsAt(100) == 0.0 && empty.unitsAt(3) == 0.0);
    }

    void rejectedAndCanceled()
    {
        QVERIFY(writeWav(p("bad.wav"), WavSpec{.blockAlign = 3}, 100, {}));
        Waveform w;
        QCOMPARE(w.load(p("bad.wav")), WaveStatus::Corrupted);
        QVERIFY(w.isEmpty());

        QVERIFY(writeWav(p("long.wav"), WavSpec{.rate = 4000}, 4000 * 60, {}));
        std::int64_t seen = 0;
        QCOMPARE(w.load(p("long.wav"), [&](std::int64_t done, std::int64_t total) {
                     seen = done;
                     return total == 3000 && done < 1000;
                 }),
                 WaveStatus::Canceled);
        QVERIFY(seen >= 1000 && seen < 1300);
    }
};

QTEST_GUILESS_MAIN(TestWaveform)
#include "tst_waveform.moc"
