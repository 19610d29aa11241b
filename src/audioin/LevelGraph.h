#pragma once
// The record page's scrolling input-level graph, as numbers: the history of
// mean levels and the points that draw it. The page only paints them.
#include <QList>
#include <QPointF>

#include <array>

namespace sv {

// The last 11 mean input levels (0..32768), entry 0 the newest.
using LevelHistory = std::array<int, 11>;

// Moves every entry one place older and puts the mean of the two channels'
// levels (halves to even) at entry 0.
void PushLevel(LevelHistory& history, int level1, int level2);

struct LevelGraphPoints {
    double baseline = 0;     // y of the grey line, drawn from x 0 to width
    QList<QPointF> points;   // one green pixel per x, newest level at the left
};

// The graph for a picture of the given inner width and height (pixels). A
// level of 0 lies on the baseline; louder input rises above it.
LevelGraphPoints ComputeLevelGraph(const LevelHistory& history, double width, double height);

} // namespace sv
