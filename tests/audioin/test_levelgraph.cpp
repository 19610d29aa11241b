// The record page's level graph: its geometry (the page test shows the
// history's newest level drawn first).
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
    // Louder always draws higher, up to full scale at the top edge; levels at
    // or above the clip level are the red pixels, the rest green.
    void louderDrawsHigherAndClippingShows()
    {
        double previous = 76;
        for (int level : {0, 1000, 8192, 12288, 16384, 21999, 22000, 24576, 32768}) {
            const auto g = sv::ComputeLevelGraph(filled(level), 200, 100);
            const bool clipping = level >= sv::DefaultGraphClipLevel;
            const auto& drawn = clipping ? g.clipping : g.points;
            QCOMPARE(int((clipping ? g.points : g.clipping).size()), 0);
            const double y = drawn[0].y();
            QVERIFY2(y < previous && y >= 0, qPrintable(QString::number(level)));
            for (const QPointF& p : drawn)
                QCOMPARE(p.y(), y);
            previous = y;
        }
        QCOMPARE(previous, 0.0);
        // A clip level from the settings moves the mark, not the height.
        const auto own = sv::ComputeLevelGraph(filled(16384), 200, 100, 16000);
        QCOMPARE(int(own.clipping.size()), 200);
        QCOMPARE(own.clipping[0].y(), 37.5);
    }

    // Any picture size walks only through the 11 entries, newest at the left:
    // every drawn pixel lies between the heights of the quietest and the
    // loudest of them. A picture too small for a step draws nothing.
    void everyWidthStaysInsideTheHistory()
    {
        LevelHistory h;
        for (int i = 0; i < 11; ++i)
            h[i] = 500 + 2000 * ((i * 7) % 11); // up to 20500, all different
        const auto [lo, hi] = std::minmax_element(h.begin(), h.end());
        const double top = sv::ComputeLevelGraph(filled(*hi), 20, 90).points.value(0).y();
        const double bottom = sv::ComputeLevelGraph(filled(*lo), 20, 90).points.value(0).y();
        const double newest = sv::ComputeLevelGraph(filled(h[0]), 20, 90).points.value(0).y();
        for (int w = 0; w <= 600; ++w) {
            const auto g = sv::ComputeLevelGraph(h, w, 90);
            QCOMPARE(int(g.points.size()), std::nearbyint(w / 10.0) < 1 ? 0 : w);
            if (!g.points.isEmpty())
                QCOMPARE(g.points[0].y(), newest);
            for (const QPointF& p : g.points)
                QVERIFY2(p.y() > top - 1e-6 && p.y() < bottom + 1e-6, qPrintable(QString::number(w)));
        }
    }
};

QTEST_GUILESS_MAIN(TestLevelGraph)
#include "test_levelgraph.moc"
