#pragma once
// Plays an animated GIF frame by frame, each frame for its own delay, looping
// for as long as it runs. Used for the busy animation of the compression pages.
#include "widgets/GifFrames.h"

#include <QImage>
#include <QList>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace sv {

class AnimGif : public QWidget {
    Q_OBJECT
public:
    explicit AnimGif(QWidget* parent = nullptr);

    // Checks and stores the path; on an error the previous path stays.
    std::optional<GifError> setGifPath(const QString& path);
    QString gifPath() const { return m_path; }

    // Loads the file named by the path and plays it from the first frame. On
    // an error nothing plays and the error is returned.
    std::optional<GifError> StartGif();
    // Halts on the frame shown.
    void StopGif();
    // Resumes from the frame shown.
    void ContinueGif();

    int TotalFrames() const { return int(m_images.size()) - 1; }
    int RepeatTimes() const { return m_repeatTimes; }
    int currentFrame() const { return m_current; }
    bool isPlaying() const { return m_playing; }
    // The interval the frame timer runs with now (the shown frame's delay).
    int timerInterval() const { return m_timer.interval(); }
    bool timerTicking() const { return m_timer.isActive(); }
    int frameDelay(int frame) const { return m_frames.value(frame).delayMs; }
    QPoint frameOffset(int frame) const;
    QImage frameImage(int frame) const { return m_images.value(frame); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void tick();
    void applyInterval();

    QString m_path;
    QList<GifFrame> m_frames;
    QList<QImage> m_images;
    QSize m_screen;
    int m_repeatTimes = 0;
    int m_current = 0;
    bool m_playing = false;
    QTimer m_timer;
};

} // namespace sv
