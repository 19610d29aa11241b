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

inline void putLe16(QByteArray& b, int v) { b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); }

// Palette size 2^bits (1..8 bits). Literal codes only, with a clear code
// often enough that the code width never grows.
inline QByteArray MakeGif(int width, int height, const QList<GifFrameSpec>& frames, int bits = 2, int loops = -1)
{
    QByteArray b("GIF89a");
    putLe16(b, width);
    putLe16(b, height);
    b.append(char(0x80 | ((bits - 1) << 4) | (bits - 1))).append(2, '\0');
    // The last colour is black: its 0 ends the table the way the end of a
    // block does, which is what finds the first frame of a file without a
    // looping extension.
    for (int i = 0; i < (1 << bits) - 1; ++i)
        b.append(char(i * 40 + 1)).append(char(255 - i * 30)).append(char(i * 17 + 3));
    b.append(3, '\0');
    if (loops >= 0) {
        b.append("\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01", 16);
        putLe16(b, loops);
        b.append('\0');
    }
    const int minCode = bits < 2 ? 2 : bits, clear = 1 << minCode;
    for (const GifFrameSpec& f : frames) {
        b.append("\x21\xF9\x04\x00", 4);
        putLe16(b, f.delay);
        b.append(2, '\0').append('\x2C');
        for (int v : {f.left, f.top, f.width, f.height})
            putLe16(b, v);
        b.append('\0').append(char(minCode));
        QByteArray data;
        quint32 acc = 0;
        int nbits = 0;
        auto put = [&](int code) {
            for (acc |= quint32(code) << nbits, nbits += minCode + 1; nbits >= 8; acc >>= 8, nbits -= 8)
                data.append(char(acc & 0xFF));
        };
        put(clear);
        for (int i = 0; i < f.width * f.height; ++i) {
            if (i > 0 && i % (clear - 2) == 0)
                put(clear);
            put(f.colour);
        }
        put(clear + 1);
        if (nbits > 0)
            data.append(char(acc & 0xFF));
        for (int i = 0; i < data.size(); i += 255)
            b.append(char(data.mid(i, 255).size())).append(data.mid(i, 255));
        b.append('\0');
    }
    return b.append('\x3B');
}

} // namespace svtest
