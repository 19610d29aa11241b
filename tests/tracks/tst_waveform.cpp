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
    void scroll()
    {
        const int viewport = 9000;
        // Fits; fits exactly with margins; one unit too wide; around 30000; two hours.
        for (const auto& [waveWidth, enabled] : {std::pair{8000, false}, std::pair{8700, false}, std::pair{8701, true},
                                                  std::pair{29999, true}, std::pair{30000, true}, std::pair{144000, true}}) {
            const ScrollSetup s = ComputeScroll(waveWidth, viewport);
            QCOMPARE(s.enabled, enabled);
            QCOMPARE(ImageLeftEdge(0, s.divisor), WaveLeftMargin);
            if (!enabled)
                continue;
            QVERIFY(s.max < 30000);
            QVERIFY(s.largeChange >= s.smallChange);
            QVERIFY2(qAbs(ImageLeftEdge(s.max, s.divisor) + waveWidth - (viewport - WaveLeftMargin)) <= s.divisor,
                     qPrintable(QString::number(waveWidth)));
        }
    }

    // Both channels add up; a full-scale swing nearly fills the height.
    void pointHeights()
    {
        struct Row { int channels, bits, left, right, y; };
        const Row rows[] = {
            {2, 16, 0, 0, 1125},         // silence on the centre
            {2, 16, 3500, 3500, 1025},
            {2, 16, 3500, -3500, 1125},  // opposite swings cancel
            {2, 16, 32767, 32767, 189},
            {1, 16, 3500, 0, 1025},
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

    // One frame per column, frames per column rounded up; the columns whose
    // frame lies past the data end the polyline.
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

    // Fewer frames than columns: every frame, spread over the width.
    void shortRecording()
    {
        const WavSpec s{.rate = 40};
        QVERIFY(writeWav(p("s.wav"), s, 120, [](std::int64_t k, int) { return int(k) * 35; }));
        Waveform w;
        QCOMPARE(w.load(p("s.wav")), WaveStatus::Ok);
        QCOMPARE(w.waveWidth(), 150);
        QCOMPARE(w.polyline().size(), 120);
        for (int i = 0; i < 120; ++i)
            QCOMPARE(w.polyline()[i], QPoint(int(i * 1.25), 1125 - i));
    }

    // No frames, or under half a second: nothing to draw, and no crash.
    void emptyRecording()
    {
        const WavSpec s{.rate = 1000};
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
        const WavSpec bad{.blockAlign = 3};
        QVERIFY(writeWav(p("bad.wav"), bad, 100, {}));
        Waveform w;
        QCOMPARE(w.load(p("bad.wav")), WaveStatus::Corrupted);
        QVERIFY(w.isEmpty());

        const WavSpec s{.rate = 4000};
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
