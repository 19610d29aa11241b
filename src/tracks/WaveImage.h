#pragma once
// The waveform picture as the page draws it (white background, centre line,
// the two guide lines, the polyline), rendered without a GUI library so the
// command-line tool can write it, and a small PNG writer for it.
#include "tracks/Waveform.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace sv {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb WaveBackground{255, 255, 255};
inline constexpr Rgb WaveForeground{0, 0, 0};
inline constexpr Rgb WaveGuide{239, 239, 239}; // the toolkit's button face

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels; // row by row
    Rgb at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

// widthPixels <= 0: one pixel per 15 image units. An empty waveform gives a
// blank image one pixel wide.
RgbImage RenderWaveform(const Waveform& wave, int widthPixels = 0);

// 8-bit RGB PNG.
QByteArray EncodePng(const RgbImage& image);
bool WritePng(const RgbImage& image, const QString& path, QString* error = nullptr);

} // namespace sv
