// The record page's level graph: history, geometry and the walk across it.
#include "audioin/LevelGraph.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using sv::LevelHistory;

namespace {
LevelHistory filled(int v)
{
    LevelHistory h;
    h.fill(v);
    return h;
}
} // namespace

class TestLevelGraph : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void historyShiftsAndRoundsHalvesToEven()
    {
        LevelHistory h{};
        sv::PushLevel(h, 1, 2); // 1.5 -> 2
        QCOMPARE(h[0], 2);
        sv::PushLevel(h, 2, 3); // 2.5 -> 2
        QCOMPARE(h[0], 2);
        sv::PushLevel(h, 0, 1); // 0.5 -> 0
        QCOMPARE(h[0], 0);
        sv::PushLevel(h, 32768, 32768);
        QCOMPARE(h[0], 32768);
        QCOMPARE(h[1], 0);
        QCOMPARE(h[2], 2);
        QCOMPARE(h[3], 2);
        for (int i = 1; i <= 11; ++i)
            sv::PushLevel(h, i * 10, i * 10);
        // Only the last 11 remain, newest first.
        for (int i = 0; i < 11; ++i)
            QCOMPARE(h[i], (11 - i) * 10);
    }

    void baselineAndQuietInput_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("baseline");
        QTest::addColumn<int>("points");
        QTest::newRow("200x100") << 200.0 << 100.0 << 75.0 << 200;
        QTest::newRow("H/4 = 2.5 rounds to 2") << 100.0 << 10.0 << 6.0 << 100;
        QTest::newRow("H/4 = 3.5 rounds to 4") << 100.0 << 14.0 << 12.0 << 100;
        QTest::newRow("fractional width rounds") << 150.4 << 100.0 << 75.0 << 150;
        QTest::newRow("step 0.5 rounds to 0: baseline only") << 5.0 << 100.0 << 75.0 << 0;
        QTest::newRow("too narrow for a step") << 4.0 << 100.0 << 75.0 << 0;
        QTest::newRow("empty picture") << 0.0 << 0.0 << 0.0 << 0;
    }
    void baselineAndQuietInput()
    {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(double, baseline);
        QFETCH(int, points);
        const auto g = sv::ComputeLevelGraph(filled(0), width, height);
        QCOMPARE(g.baseline, baseline);
        QCOMPARE(int(g.points.size()), points);
        for (int i = 0; i < g.points.size(); ++i) {
            QCOMPARE(g.points[i].x(), double(i + 1));
            QCOMPARE(g.points[i].y(), baseline); // silence lies on the baseline
        }
    }

    // y = |2 * level * H / 32768 - baseline|: louder rises, and past the top
    // (level 12288 at any height) the trace folds back down.
    void levelToHeight_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("y");
        QTest::newRow("quarter") << 8192 << 25.0;
        QTest::newRow("top") << 12288 << 0.0;
        QTest::newRow("folds back") << 16384 << 25.0;
        QTest::newRow("full scale") << 32768 << 125.0;
    }
    void levelToHeight()
    {
        QFETCH(int, level);
        QFETCH(double, y);
        const auto g = sv::ComputeLevelGraph(filled(level), 200, 100);
        QCOMPARE(int(g.points.size()), 200);
        for (const QPointF& p : g.points)
            QCOMPARE(p.y(), y);
    }

    // Each step runs from one entry toward the next over S pixels, then the
    // count restarts at the next entry: the newest level is at the left.
    void walkAcrossTheHistory()
    {
        LevelHistory h{};
        h[1] = 1000; // one bump, one step back in time
        const auto g = sv::ComputeLevelGraph(h, 200, 100); // S = 20
        const double k = 100.0 / 32768.0;
        const auto levelAt = [&](int x) { return (75.0 - g.points[x - 1].y()) / (2 * k); };
        QCOMPARE(levelAt(1), 0.0);
        QVERIFY(qAbs(levelAt(11) - 500) < 1e-6);
        QVERIFY(qAbs(levelAt(21) - 1000) < 1e-6);  // end of the first step
        QVERIFY(qAbs(levelAt(22) - 1000) < 1e-6);  // start of the second: entry 1
        QVERIFY(qAbs(levelAt(32) - 500) < 1e-6);
        QVERIFY(qAbs(levelAt(42)) < 1e-6);         // back to entry 2
        for (int x = 43; x <= 200; ++x)
            QVERIFY(qAbs(levelAt(x)) < 1e-6);
    }

    // Any picture size walks only through the 11 entries: every drawn level
    // lies between the quietest and the loudest of them.
    void everyWidthStaysInsideTheHistory()
    {
        LevelHistory h;
        for (int i = 0; i < 11; ++i)
            h[i] = 500 + 1000 * ((i * 7) % 11); // below the fold, all different
        const int lo = *std::min_element(h.begin(), h.end());
        const int hi = *std::max_element(h.begin(), h.end());
        for (int w = 1; w <= 600; ++w) {
            const auto g = sv::ComputeLevelGraph(h, w, 90);
            const double s = std::nearbyint(w / 10.0);
            QCOMPARE(int(g.points.size()), s < 1 ? 0 : w);
            const double k = 90.0 / 32768.0;
            for (const QPointF& p : g.points) {
                const double level = (g.baseline - p.y()) / (2 * k);
                QVERIFY2(level > lo - 1e-6 && level < hi + 1e-6, qPrintable(QString::number(w)));
            }
            if (!g.points.isEmpty())
                QVERIFY(qAbs((g.baseline - g.points[0].y()) / (2 * k) - h[0]) < 1e-6);
        }
    }
};

QTEST_GUILESS_MAIN(TestLevelGraph)
#include "test_levelgraph.moc"
