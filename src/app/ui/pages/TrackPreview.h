#pragma once
// The preview of a track on the MP3 and WMA pages: Stop and a position slider
// that follows the playback, seeks where it is released, and goes back to
// the start, disabled, when the preview ends.
#include <QObject>
#include <QTimer>

#include <functional>

class QAbstractButton;
class QSlider;
class WizardPage;
struct RunState;

class TrackPreview : public QObject {
    Q_OBJECT
public:
    TrackPreview(WizardPage& page, RunState& st, QAbstractButton* stop, QSlider* slider);

    // Plays the file from its start. A file that is not there leaves the
    // controls off; one the player refuses too, after telling refused.
    void play(const QString& path);
    void stop();

    // Called with the player's reason when it refuses a file; unset: nothing is said.
    std::function<void(const QString& reason)> refused;

private:
    void tick();
    void controlsOff();

    WizardPage& m_page;
    RunState& st;
    QAbstractButton* m_stop;
    QSlider* m_slider;
    QTimer m_timer; // 250 ms while playing
    bool m_dragging = false;
};
