#include "tracks/Waveform.h"

#include "util/modFunctions.h"

#include <algorithm>
#include <cmath>

namespace sv {

int DrawScaleFor(std::int64_t waveSeconds)
{
    if (waveSeconds > 1800)
        return 20;
    if (waveSeconds > 600)
        return 35;
    return 50;
}

int ScrollDivisorFor(int waveWidth)
{
    return std::max(waveWidth, 0) / 30000 + 1;
}

FollowMoves FollowScroll(const FollowInput& in)
{
    FollowMoves m;
    const double left = -in.imageLeftEdge + 100;
    const double right = in.viewportUnits + left - 200;
    if (in.seek) {
        m.clearScrolled = true;
        if (in.x < left || in.x > right)
            m.jumpTo = int(RoundHalfEven(in.x / std::max(in.divisor, 1)));
        return m;
    }
    if (in.x < 1000 || in.keyDown)
        return m;
    // In a narrow view the position is seen ahead, so it never reaches the edge.
    const double cx = right < 8000 ? in.x + 300 : in.x;
    if (in.userScrolled) {
        if (std::abs(cx - right) < 300) {
            m.forward = true;
            m.clearScrolled = true;
        }
        return m;
    }
    m.forward = cx >= right;
    m.back = cx >= 1000 && cx <= left;
    return m;
}

ScrollSetup ComputeScroll(int waveWidth, int viewportWidth)
{
    ScrollSetup s;
    if (viewportWidth - 2 * WaveLeftMargin < waveWidth) {
        s.enabled = true;
        s.divisor = ScrollDivisorFor(waveWidth);
        s.max = int(RoundHalfEven(double(waveWidth - viewportWidth + 2 * WaveLeftMargin) / s.divisor));
        s.smallChange = s.max / 50;
        s.largeChange = s.max / 10;
    }
    return s;
}

WaveStatus WaveSamples::open(const QString& path, QString* error)
{
    WaveHeader h;
    const WaveStatus st = ReadWaveHeader(path, h, error);
    if (st != WaveStatus::Ok)
        return st;
    return open(path, h, error);
}

WaveStatus WaveSamples::open(const QString& path, const WaveHeader& header, QString* error)
{
    m_header = header;
    m_data = nullptr;
    m_file = std::make_unique<QFile>(path);
    if (!m_file->open(QIODevice::ReadOnly)) {
        if (error)
            *error = m_file->errorString();
        return WaveStatus::OpenFailed;
    }
    if (m_header.Frames == 0)
        return WaveStatus::Ok;
    // Map only the data: the header guarantees Frames whole frames are there.
    m_data = m_file->map(m_header.DataStart - 1, m_header.Frames * m_header.BlockAlign);
    if (!m_data) {
        if (error)
            *error = m_file->errorString();
        return WaveStatus::ReadFailed;
    }
    return WaveStatus::Ok;
}

QString LoadingWaveText(double percentDone, double elapsedSeconds)
{
    const QString base = QStringLiteral("Loading wave image...");
    if (!(percentDone > 0))
        return base;
    const double perPercent = std::max(elapsedSeconds, 0.0) / percentDone;
    const double remaining = std::floor((100 - percentDone) * perPercent);
    return base + QLatin1Char(' ') + FormatTime(int(std::min(RoundHalfEven(remaining), std::int64_t(32767))))
        + QStringLiteral(" remaining.");
}

int Waveform::sampleY(int sample) const
{
    return int(RoundHalfEven(centre() - sample / 35.0));
}

int Waveform::frameY(int left, int right) const
{
    return int(RoundHalfEven((sampleY(left) + sampleY(right)) / 2.0));
}

WaveStatus Waveform::load(const QString& path, const DrawProgress& progress, int height, QString* error)
{
    WaveSamples samples;
    const WaveStatus st = samples.open(path, error);
    if (st != WaveStatus::Ok) {
        m_header = samples.header();
        m_scale = WaveScale();
        m_points.clear();
        return st;
    }
    return draw(samples, progress, height);
}

WaveStatus Waveform::draw(const WaveSamples& samples, const DrawProgress& progress, int height)
{
    m_header = samples.header();
    m_height = height;
    m_points.clear();
    const std::int64_t seconds = std::min<std::int64_t>(m_header.WaveSeconds(), 1 << 20);
    m_scale = WaveScale(DrawScaleFor(seconds), int(seconds));
    const std::int64_t width = m_scale.waveWidth();
    const std::int64_t F = samples.frames();
    if (width <= 0 || F <= 0)
        return WaveStatus::Ok;

    int l = 0, r = 0;
    if (F > width) {
        // One frame per column, frames per column rounded up: the last
        // columns fall past the data and end the polyline there.
        const std::int64_t P = (F + width - 1) / width;
        m_points.reserve(qsizetype(std::min(width + 1, F / P + 2)));
        samples.frame(0, l, r);
        m_points.append(QPoint(0, frameY(l, r)));
        constexpr int Step = 256;
        for (std::int64_t i = 1; i <= width; ++i) {
            const std::int64_t k = i * P;
            if (k >= F)
                break;
            samples.frame(k, l, r);
            m_points.append(QPoint(int(i), frameY(l, r)));
            if (progress && i % Step == 0 && !progress(i, width))
                return WaveStatus::Canceled;
        }
    } else {
        // Fewer frames than columns: every frame, spread evenly.
        const double C = double(width) / double(F);
        m_points.reserve(qsizetype(F));
        for (std::int64_t i = 0; i < F; ++i) {
            samples.frame(i, l, r);
            m_points.append(QPoint(int(std::floor(i * C)), frameY(l, r)));
        }
    }
    if (progress)
        progress(width, width);
    return WaveStatus::Ok;
}

} // namespace sv
