#include "audioin/LevelGraph.h"

#include <algorithm>
#include <cmath>

namespace sv {

namespace {
// Rounding of the meter's arithmetic: halves go to the even neighbour.
double RoundEven(double v) { return std::nearbyint(v); }
} // namespace

void PushLevel(LevelHistory& history, int level1, int level2)
{
    for (std::size_t i = history.size() - 1; i >= 1; --i)
        history[i] = history[i - 1];
    history[0] = int(RoundEven((double(level1) + double(level2)) / 2.0));
}

LevelGraphPoints ComputeLevelGraph(const LevelHistory& history, double width, double height, int clipLevel)
{
    LevelGraphPoints g;
    if (!(width > 0) || !(height > 0))
        return g;
    const double q = RoundEven(height / 4.0);
    const double y0 = 3.0 * q;
    g.baseline = y0;

    // One history step spans s pixels; a picture too narrow for one step
    // shows the baseline only.
    const double s = RoundEven(width / 10.0);
    if (s < 1)
        return g;

    const int last = int(history.size()) - 1;
    const auto slopeFrom = [&](int entry) {
        return entry < last ? (history[entry + 1] - history[entry]) / s : 0.0;
    };
    int entry = 0;
    double c = history[0];
    double d = slopeFrom(0);
    int count = 0;
    const int right = int(RoundEven(width));
    g.points.reserve(right);
    for (int x = 1; x <= right; ++x) {
        // The whole range up to full scale fits between baseline and top, so
        // no level folds back down.
        const double level = std::clamp(c, 0.0, 32768.0);
        const QPointF pt(x, y0 - level * y0 / 32768.0);
        if (level >= clipLevel)
            g.clipping.append(pt);
        else
            g.points.append(pt);
        ++count;
        if (count <= s) {
            c += d;
        } else {
            count = 0;
            if (entry < last)
                ++entry;
            c = history[entry];
            d = slopeFrom(entry);
        }
    }
    return g;
}

} // namespace sv
