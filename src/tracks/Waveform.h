#pragma once
// The waveform of a recording: a polyline with one point per image column,
// read from the memory-mapped WAV file, in image units (twips, 15 per screen
// pixel). WaveScale is the one place that converts image units, pixels and
// seconds; views and markers ask it instead of converting themselves.
#include "tracks/modWaveSplit.h"

#include <QFile>
#include <QPoint>
#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>
#include <memory>

namespace sv {

constexpr int TwipsPerPixel = 15;
// Height of the image in image units (150 pixels): a full-scale sample swings
// 32768 / 35 = 936 units, which stays inside the half height.
constexpr int DefaultWaveHeight = 2250;
// The image's left edge inside the viewport when scrolled to the start, and
// the margin kept at the end.
constexpr int WaveLeftMargin = 150;

// Image units per second: 50 up to 600 s, 35 up to 1800 s, 20 above.
int DrawScaleFor(std::int64_t waveSeconds);
// Image units per scroll step, keeping the scroll range below 30000 steps.
int ScrollDivisorFor(int waveWidth);

struct ScrollSetup {
    bool enabled = false;
    int divisor = 1;
    int max = 1;
    int smallChange = 0;
    int largeChange = 0;
};
// Scroll bar for an image of waveWidth units in a viewport of viewportWidth
// units: scrolling is needed when the image is wider than the viewport less
// twice the margin.
ScrollSetup ComputeScroll(int waveWidth, int viewportWidth);
// Left edge of the image in the viewport at a scroll value.
inline int ImageLeftEdge(int scrollValue, int divisor) { return WaveLeftMargin - scrollValue * divisor; }

// Follow-scrolling of the preview: how the scroll bar moves so the play
// position stays in sight. A seek jumps when the position is outside the
// view; playing steps one small change forward near the right edge (back near
// the left); after the user scrolled, playing waits until the position comes
// near the right edge. Positions before 1000 units and held scroll keys leave
// the view alone.
struct FollowInput {
    double x = 0;            // play position, image units
    int imageLeftEdge = 0;   // of the view, image units
    int viewportUnits = 0;
    int divisor = 1;         // image units per scroll step
    bool seek = false;
    bool userScrolled = false;
    bool keyDown = false;
};
struct FollowMoves {
    bool forward = false;        // one small change forward, first
    bool clearScrolled = false;  // then the user's scroll no longer counts
    bool back = false;           // then one small change back
    int jumpTo = -1;             // then this scroll value, when not negative
};
FollowMoves FollowScroll(const FollowInput& in);

class WaveScale {
public:
    WaveScale() = default;
    WaveScale(int drawScale, int waveSeconds)
        : m_drawScale(drawScale), m_waveSeconds(waveSeconds), m_waveWidth(drawScale * waveSeconds) {}

    int drawScale() const { return m_drawScale; }
    int waveSeconds() const { return m_waveSeconds; }
    int waveWidth() const { return m_waveWidth; }
    bool isEmpty() const { return m_waveWidth <= 0; }

    // x / WaveWidth x WaveSeconds; 0 for an empty image.
    double secondsAt(double x) const { return m_waveWidth > 0 ? x / m_waveWidth * m_waveSeconds : 0.0; }
    // t / WaveSeconds x WaveWidth; 0 for an empty image.
    double unitsAt(double seconds) const { return m_waveSeconds > 0 ? seconds / m_waveSeconds * m_waveWidth : 0.0; }
    // Whole seconds of an image position, as the split cuts it (half to even).
    int wholeSeconds(double x) const { return m_drawScale > 0 ? int(RoundHalfEven(x / m_drawScale)) : 0; }

    static double pixelsFromUnits(double units) { return units / TwipsPerPixel; }
    static double unitsFromPixels(double pixels) { return pixels * TwipsPerPixel; }

private:
    int m_drawScale = 50;
    int m_waveSeconds = 0;
    int m_waveWidth = 0;
};

// Read access to the frames of a recording through a memory mapping; no
// copy of the file is made. Samples come out on the 16-bit scale whatever the
// stored format (8-bit samples are centred and scaled), mono as both channels.
class WaveSamples {
public:
    WaveSamples() = default;
    WaveStatus open(const QString& path, QString* error = nullptr);
    // Uses a header that was already read from path.
    WaveStatus open(const QString& path, const WaveHeader& header, QString* error = nullptr);
    const WaveHeader& header() const { return m_header; }
    std::int64_t frames() const { return m_header.Frames; }
    bool isOpen() const { return m_data != nullptr || m_header.Frames == 0; }

    // Frame k < frames(): left and right samples.
    void frame(std::int64_t k, int& left, int& right) const
    {
        const uchar* p = m_data + k * m_header.BlockAlign;
        if (m_header.BitsPerSample == 16) {
            left = std::int16_t(p[0] | p[1] << 8);
            right = m_header.Channels == 2 ? std::int16_t(p[2] | p[3] << 8) : left;
        } else {
            left = (int(p[0]) - 128) * 256;
            right = m_header.Channels == 2 ? (int(p[1]) - 128) * 256 : left;
        }
    }

private:
    WaveHeader m_header;
    std::unique_ptr<QFile> m_file;
    const uchar* m_data = nullptr;
};

// Called every few hundred columns while drawing; false cancels.
using DrawProgress = std::function<bool(std::int64_t columnsDone, std::int64_t columnsTotal)>;

// "Loading wave image..." alone while nothing is done, else with the time
// left, estimated from the elapsed time: "Loading wave image... 0:42 remaining."
QString LoadingWaveText(double percentDone, double elapsedSeconds);

class Waveform {
public:
    // Reads the header and draws the polyline. Corrupted for a rejected
    // header; Canceled when progress said stop (the polyline is then partial).
    WaveStatus load(const QString& path, const DrawProgress& progress = {}, int height = DefaultWaveHeight,
                    QString* error = nullptr);
    // Draws from samples already opened.
    WaveStatus draw(const WaveSamples& samples, const DrawProgress& progress = {}, int height = DefaultWaveHeight);

    const WaveHeader& header() const { return m_header; }
    const WaveScale& scale() const { return m_scale; }
    int drawScale() const { return m_scale.drawScale(); }
    int waveWidth() const { return m_scale.waveWidth(); }
    int waveSeconds() const { return m_scale.waveSeconds(); }
    // A recording of 0 whole seconds: empty image, no track can be made.
    bool isEmpty() const { return m_scale.isEmpty(); }

    int height() const { return m_height; }
    // Centre line, not rounded.
    double centre() const { return m_height / 2.0; }
    // Guide lines at centre -/+ height / 5.
    double upperGuide() const { return centre() - m_height / 5.0; }
    double lowerGuide() const { return centre() + m_height / 5.0; }
    // Height of a sample: centre - s / 35, rounded.
    int sampleY(int sample) const;
    // A frame's point: the mean of its two sample heights, rounded half to even.
    int frameY(int left, int right) const;

    // Points in ascending x; x in image units. Ends early when the data does.
    const QVector<QPoint>& polyline() const { return m_points; }

private:
    WaveHeader m_header;
    WaveScale m_scale;
    int m_height = DefaultWaveHeight;
    QVector<QPoint> m_points;
};

} // namespace sv
