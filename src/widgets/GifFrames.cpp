#include "widgets/GifFrames.h"

#include "util/modFunctions.h"

#include <QFile>

namespace sv {

namespace {

const QByteArray kSeparator("\x00\x21\xF9", 3);

GifError makeError(qint32 number, const QString& description)
{
    return GifError{number, description, kGifSource};
}

GifError fileNotFound() { return makeError(kGifFileNotFound, QStringLiteral("File not found")); }
GifError notSupported() { return makeError(kGifFormatNotSupported, QStringLiteral("File format is not supported")); }
GifError invalidPicture() { return makeError(kGifInvalidPicture, QStringLiteral("Invalid picture")); }
GifError outOfMemory() { return makeError(kGifOutOfMemory, QStringLiteral("Out of memory")); }

int le16(const QByteArray& b, qsizetype i)
{
    return quint8(b[i]) | (quint8(b[i + 1]) << 8);
}

// F starts at the graphic-control label (its delay at bytes 3-4); the image
// descriptor normally follows at byte 7. Walks the frame's blocks and returns
// the descriptor's position, or -1 when the frame is cut short or malformed:
// a truncated file must be refused rather than shown half drawn.
qsizetype imageDescriptorIn(const QByteArray& f)
{
    const qsizetype n = f.size();
    auto skipSubBlocks = [&](qsizetype i) -> qsizetype {
        while (i < n) {
            const int len = quint8(f[i]);
            if (len == 0)
                return i + 1;
            i += len + 1;
        }
        return -1;
    };
    if (n < 7 || quint8(f[1]) != 4)
        return -1;
    qsizetype i = skipSubBlocks(1);
    // Other extensions (a comment, say) may stand before the picture.
    while (i >= 0 && i + 1 < n && quint8(f[i]) == 0x21)
        i = skipSubBlocks(i + 2);
    if (i < 0 || i + 10 > n || quint8(f[i]) != 0x2C)
        return -1;
    const qsizetype descriptor = i;
    const int flags = quint8(f[i + 9]);
    i += 10;
    if (flags & 0x80)
        i += 3 * (1 << ((flags & 7) + 1));
    if (i + 1 >= n)
        return -1;
    i = skipSubBlocks(i + 1); // after the minimum code size
    return i < 0 ? -1 : descriptor;
}

} // namespace

std::optional<GifError> CheckGifPath(const QString& path)
{
    if (!FileExists(path))
        return fileNotFound();
    if (!path.endsWith(QLatin1String("gif"), Qt::CaseSensitive))
        return notSupported();
    return std::nullopt;
}

GifFrames CutGifFrames(const QByteArray& b)
{
    GifFrames out;
    const qsizetype L = b.size();
    const qsizetype first = b.indexOf(kSeparator);
    // The header runs up to and including the 0 and "!" of the first separator.
    const QByteArray header = first < 0 ? b.left(1) : b.left(first + 2);
    if (!header.startsWith("GIF")) {
        out.error = notSupported();
        return out;
    }
    if (header.size() >= 127)
        out.repeatTimes = quint8(header[126]) * 256 + quint8(header[125]);
    if (header.size() >= 10) {
        out.screenWidth = le16(header, 6);
        out.screenHeight = le16(header, 8);
    }

    qsizetype budget = kGifMaxFrameBytes;
    // Adds the frame whose bytes F start at the label and run to the given end
    // (exclusive). Returns false with out.error set when it cannot.
    auto addFrame = [&](qsizetype from, qsizetype to) {
        const QByteArray f = b.mid(from, to - from);
        const qsizetype descriptor = imageDescriptorIn(f);
        if (descriptor < 0) {
            out.error = invalidPicture();
            return false;
        }
        budget -= header.size() + f.size() + 1;
        if (budget < 0) {
            out.error = outOfMemory();
            return false;
        }
        GifFrame frame;
        frame.delayMs = le16(f, 3) * 10;
        frame.left = le16(f, descriptor + 1);
        frame.top = le16(f, descriptor + 3);
        // A cut frame ends with the 0 and "!" that open the next separator;
        // the "!" becomes the trailer so the frame is a complete GIF file.
        frame.data.reserve(header.size() + f.size() + 1);
        frame.data.append(header).append(f);
        if (frame.data.endsWith(QByteArray("\x00\x21", 2)))
            frame.data.chop(1);
        frame.data.append('\x3B');
        out.frames.append(frame);
        return true;
    };

    qsizetype pos = first + 3; // the first byte after the first label
    for (;;) {
        const qsizetype q = b.indexOf(kSeparator, pos);
        if (q < 0)
            break;
        const qsizetype next = q + 3;
        if (!addFrame(pos - 1, q + 2)) {
            out.frames.clear();
            return out;
        }
        pos = next;
    }
    // The last frame runs up to the trailer, the file's last byte.
    if (pos < L - 1) {
        if (!addFrame(pos - 1, L - 1)) {
            out.frames.clear();
            return out;
        }
    }
    if (out.frames.isEmpty())
        out.error = invalidPicture();
    return out;
}

GifFrames LoadGifFrames(const QString& path)
{
    GifFrames out;
    if (path.isEmpty() || !FileExists(path)) {
        out.error = fileNotFound();
        return out;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        out.error = fileNotFound();
        return out;
    }
    if (f.size() > kGifMaxFileSize) {
        out.error = outOfMemory();
        return out;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        out.error = makeError(kGifInvalidPicture, f.errorString());
        return out;
    }
    return CutGifFrames(bytes);
}

} // namespace sv
