#pragma once
// Cuts an animated GIF into one small GIF per frame, with each frame's offset
// and delay. Decoding the pictures is left to the widget (Qt Gui), so this
// stays in the core library and can be fuzzed on its own.
#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace sv {

struct GifError {
    qint32 number = 0;
    QString description;
    QString source;
};

// The control's own error numbers (application error base + 1 and + 2).
constexpr qint32 kGifFileNotFound = -2147221503;
constexpr qint32 kGifFormatNotSupported = -2147221502;
// A frame that cannot be turned into a picture.
constexpr qint32 kGifInvalidPicture = 481;
// A file whose frames would not fit the limits below.
constexpr qint32 kGifOutOfMemory = 7;

inline const QString kGifSource = QStringLiteral("AnimGif");

struct GifFrame {
    // A GIF file of its own: the original header (with its colour table and
    // any extensions before the first frame) followed by this frame's bytes.
    QByteArray data;
    int left = 0;     // offset inside the logical screen, pixels
    int top = 0;
    int delayMs = 0;  // the file's delay in hundredths of a second × 10
};

struct GifFrames {
    QList<GifFrame> frames;
    int repeatTimes = 0;
    int screenWidth = 0;   // logical screen size, pixels
    int screenHeight = 0;
    std::optional<GifError> error;

    // Index of the last frame, as the control reports it.
    int totalFrames() const { return int(frames.size()) - 1; }
};

// Files and frame data are bounded: the busy animation is a few kilobytes,
// and a hostile file must not make the cutter allocate without limit.
constexpr qsizetype kGifMaxFileSize = 16 * 1024 * 1024;
constexpr qsizetype kGifMaxFrameBytes = 64 * 1024 * 1024;

// The checks made when a path is given: the file must exist, and its name
// must end in lower-case "gif".
std::optional<GifError> CheckGifPath(const QString& path);

// Cuts the frames at each graphic-control extension that follows the end of
// a block (bytes 0, 33, 249). A file with no such extension, or whose bytes
// before it do not start with "GIF", is not supported; a frame too short to
// hold its extension and image descriptor is an invalid picture.
GifFrames CutGifFrames(const QByteArray& bytes);

// Reads the file and cuts it.
GifFrames LoadGifFrames(const QString& path);

} // namespace sv
