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

// Mean level from which the graph marks the input as clipping: the level at
// which Adjust lowers the volume by default.
constexpr int DefaultGraphClipLevel = 22000;

struct LevelGraphPoints {
    double baseline = 0;     // y of the grey line, drawn from x 0 to width
    QList<QPointF> points;   // one green pixel per x, newest level at the left
    QList<QPointF> clipping; // the pixels of levels at or above the clip level, drawn red instead
};

// The graph for a picture of the given inner width and height (pixels). A
// level of 0 lies on the baseline; louder input draws higher, full scale
// (32768) at the top edge.
LevelGraphPoints ComputeLevelGraph(const LevelHistory& history, double width, double height,
                                   int clipLevel = DefaultGraphClipLevel);

} // namespace sv
