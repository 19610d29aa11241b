#include "widgets/ui/AnimGif.h"

#include <QPainter>

namespace sv {

AnimGif::AnimGif(QWidget* parent)
    : QWidget(parent)
{
    m_timer.setObjectName(QStringLiteral("Timer"));
    connect(&m_timer, &QTimer::timeout, this, &AnimGif::tick);
}

std::optional<GifError> AnimGif::setGifPath(const QString& path)
{
    if (auto err = CheckGifPath(path))
        return err;
    m_path = path;
    return std::nullopt;
}

std::optional<GifError> AnimGif::StartGif()
{
    m_timer.stop();
    m_playing = false;
    m_current = 0;
    m_frames.clear();
    m_images.clear();
    m_repeatTimes = 0;

    GifFrames cut = LoadGifFrames(m_path);
    if (cut.error) {
        update();
        return cut.error;
    }
    QList<QImage> images;
    images.reserve(cut.frames.size());
    for (const GifFrame& f : cut.frames) {
        QImage img;
        if (!img.loadFromData(f.data, "GIF") || img.isNull()) {
            update();
            return GifError{kGifInvalidPicture, QStringLiteral("Invalid picture"), kGifSource};
        }
        images.append(img);
    }
    m_frames = cut.frames;
    m_images = images;
    m_repeatTimes = cut.repeatTimes;
    m_screen = QSize(cut.screenWidth, cut.screenHeight);
    updateGeometry();
    m_playing = true;
    applyInterval();
    update();
    return std::nullopt;
}

void AnimGif::StopGif()
{
    m_playing = false;
    m_timer.stop();
}

void AnimGif::ContinueGif()
{
    if (m_images.isEmpty())
        return;
    m_playing = true;
    applyInterval();
}

// A delay of 0 holds the frame: the timer does not tick until the control is
// started again.
void AnimGif::applyInterval()
{
    const int delay = frameDelay(m_current);
    m_timer.setInterval(delay);
    if (m_playing && delay > 0)
        m_timer.start();
    else
        m_timer.stop();
}

void AnimGif::tick()
{
    if (m_images.isEmpty()) {
        m_timer.stop();
        return;
    }
    m_current = m_current < TotalFrames() ? m_current + 1 : 0;
    applyInterval();
    update();
}

QPoint AnimGif::frameOffset(int frame) const
{
    if (frame < 0 || frame >= m_frames.size())
        return {};
    return {m_frames[frame].left, m_frames[frame].top};
}

QSize AnimGif::sizeHint() const
{
    if (m_screen.isValid() && !m_screen.isEmpty())
        return m_screen;
    return QWidget::sizeHint();
}

void AnimGif::paintEvent(QPaintEvent*)
{
    if (m_current < 0 || m_current >= m_images.size())
        return;
    QPainter p(this);
    // Qt's reader already places a frame on a canvas of the logical screen's
    // size; a smaller picture is drawn at the frame's offset instead.
    const QImage& img = m_images[m_current];
    p.drawImage(img.size() == m_screen ? QPoint() : frameOffset(m_current), img);
}

} // namespace sv
