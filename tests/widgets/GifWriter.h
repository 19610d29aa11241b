#pragma once
// Writes small animated GIFs for tests: a global colour table, an optional
// looping extension, and per frame a graphic-control extension (delay), an
// image descriptor (offset, size) and image data coded without compression.
#include <QByteArray>
#include <QList>

namespace svtest {

struct GifFrameSpec {
    int left = 0, top = 0, width = 4, height = 4;
    int delay = 10;        // hundredths of a second
    quint8 colour = 1;     // every pixel has this palette index
};

inline void putLe16(QByteArray& b, int v)
{
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

// Palette size 2^bits (1..8 bits). Literal codes only, with a clear code
// often enough that the code width never grows.
inline QByteArray MakeGif(int width, int height, const QList<GifFrameSpec>& frames, int bits = 2,
                          int loops = -1)
{
    QByteArray b("GIF89a");
    putLe16(b, width);
    putLe16(b, height);
    b.append(char(0x80 | ((bits - 1) << 4) | (bits - 1))).append('\0').append('\0');
    const int colours = 1 << bits;
    // The last colour is black: its 0 ends the table the way the end of a
    // block does, which is what finds the first frame of a file without a
    // looping extension.
    for (int i = 0; i < colours - 1; ++i)
        b.append(char(i * 40 + 1)).append(char(255 - i * 30)).append(char(i * 17 + 3));
    b.append(3, '\0');
    if (loops >= 0) {
        b.append("\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01", 16);
        putLe16(b, loops);
        b.append('\0');
    }
    const int minCode = bits < 2 ? 2 : bits;
    const int clear = 1 << minCode;
    const int width0 = minCode + 1;
    for (const GifFrameSpec& f : frames) {
        b.append("\x21\xF9\x04\x00", 4);
        putLe16(b, f.delay);
        b.append('\0').append('\0');
        b.append('\x2C');
        putLe16(b, f.left);
        putLe16(b, f.top);
        putLe16(b, f.width);
        putLe16(b, f.height);
        b.append('\0');
        b.append(char(minCode));
        QByteArray data;
        quint32 acc = 0;
        int nbits = 0;
        auto put = [&](int code) {
            acc |= quint32(code) << nbits;
            nbits += width0;
            while (nbits >= 8) {
                data.append(char(acc & 0xFF));
                acc >>= 8;
                nbits -= 8;
            }
        };
        const int run = clear - 2;
        put(clear);
        for (int i = 0, n = 0; i < f.width * f.height; ++i) {
            if (n == run) {
                put(clear);
                n = 0;
            }
            put(f.colour);
            ++n;
        }
        put(clear + 1);
        if (nbits > 0)
            data.append(char(acc & 0xFF));
        for (int i = 0; i < data.size(); i += 255) {
            const QByteArray block = data.mid(i, 255);
            b.append(char(block.size())).append(block);
        }
        b.append('\0');
    }
    b.append('\x3B');
    return b;
}

} // namespace svtest
