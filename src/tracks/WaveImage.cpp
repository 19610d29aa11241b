#include "tracks/WaveImage.h"

#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace sv {

namespace {

void plot(RgbImage& img, int x, int y, Rgb c)
{
    if (x >= 0 && x < img.width && y >= 0 && y < img.height)
        img.pixels[std::size_t(y) * img.width + x] = c;
}

void hline(RgbImage& img, double yUnits, Rgb c)
{
    const int y = int(std::floor(yUnits / TwipsPerPixel));
    for (int x = 0; x < img.width; ++x)
        plot(img, x, y, c);
}

void line(RgbImage& img, int x0, int y0, int x1, int y1, Rgb c)
{
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int e = dx + dy;
    for (;;) {
        plot(img, x0, y0, c);
        if (x0 == x1 && y0 == y1)
            return;
        const int e2 = 2 * e;
        if (e2 >= dy) {
            e += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            e += dx;
            y0 += sy;
        }
    }
}

std::uint32_t crc32(const QByteArray& data)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xffffffffu;
    for (char ch : data)
        c = table[(c ^ std::uint8_t(ch)) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

void be32(QByteArray& b, std::uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xff));
}

void pngChunk(QByteArray& out, const char* type, const QByteArray& data)
{
    be32(out, std::uint32_t(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    out += typed;
    be32(out, crc32(typed));
}

} // namespace

RgbImage RenderWaveform(const Waveform& wave, int widthPixels)
{
    RgbImage img;
    const int units = wave.waveWidth();
    img.width = widthPixels > 0 ? widthPixels : std::max(1, (units + TwipsPerPixel - 1) / TwipsPerPixel);
    img.height = std::max(1, wave.height() / TwipsPerPixel);
    img.pixels.assign(std::size_t(img.width) * img.height, WaveBackground);
    if (wave.isEmpty())
        return img;
    hline(img, wave.upperGuide(), WaveGuide);
    hline(img, wave.lowerGuide(), WaveGuide);
    hline(img, wave.centre(), WaveForeground);
    const double xScale = double(img.width) / units;
    const auto px = [&](const QPoint& p) {
        return std::min(img.width - 1, int(std::floor(p.x() * xScale)));
    };
    const auto py = [&](const QPoint& p) { return int(std::floor(double(p.y()) / TwipsPerPixel)); };
    const auto& pts = wave.polyline();
    for (qsizetype i = 0; i < pts.size(); ++i) {
        if (i == 0)
            plot(img, px(pts[0]), py(pts[0]), WaveForeground);
        else
            line(img, px(pts[i - 1]), py(pts[i - 1]), px(pts[i]), py(pts[i]), WaveForeground);
    }
    return img;
}

QByteArray EncodePng(const RgbImage& image)
{
    QByteArray raw;
    raw.reserve(qsizetype(image.height) * (1 + 3 * image.width));
    for (int y = 0; y < image.height; ++y) {
        raw.append('\0'); // no filter
        for (int x = 0; x < image.width; ++x) {
            const Rgb c = image.at(x, y);
            raw.append(char(c.r));
            raw.append(char(c.g));
            raw.append(char(c.b));
        }
    }
    QByteArray ihdr;
    be32(ihdr, std::uint32_t(image.width));
    be32(ihdr, std::uint32_t(image.height));
    ihdr.append(char(8)); // bit depth
    ihdr.append(char(2)); // RGB
    ihdr.append(3, '\0');
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    pngChunk(out, "IHDR", ihdr);
    // qCompress gives a zlib stream behind a 4-byte length of its own.
    pngChunk(out, "IDAT", qCompress(raw, 9).mid(4));
    pngChunk(out, "IEND", QByteArray());
    return out;
}

bool WritePng(const RgbImage& image, const QString& path, QString* error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(EncodePng(image)) < 0 || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace sv
