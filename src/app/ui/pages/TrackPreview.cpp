#include "app/ui/pages/TrackPreview.h"

#include "app/ui/pages/WizardPage.h"
#include "util/modFunctions.h"

#include <QAbstractButton>
#include <QSlider>

#include <cmath>

using sv::audio::AudioError;

TrackPreview::TrackPreview(WizardPage& page, RunState& state, QAbstractButton* stop, QSlider* slider)
    : QObject(&page), m_page(page), st(state), m_stop(stop), m_slider(slider)
{
    m_timer.setObjectName(QStringLiteral("timMP3WMA"));
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, &TrackPreview::tick);
    connect(m_slider, &QSlider::sliderPressed, this, [this] { m_dragging = true; });
    connect(m_slider, &QSlider::sliderReleased, this, [this] {
        m_dragging = false;
        if (auto* play = st.Play()) {
            try {
                play->SetPlayPosition(m_slider->value());
            } catch (const AudioError&) {
            }
        }
    });
    controlsOff();
}

void TrackPreview::controlsOff()
{
    m_timer.stop();
    m_stop->setEnabled(false);
    m_slider->setValue(0);
    m_slider->setEnabled(false);
}

void TrackPreview::play(const QString& path)
{
    auto* play = st.Play();
    if (!play || path.isEmpty() || !sv::FileExists(path)) {
        stop(); // a preview still running would have no Stop button
        return;
    }
    try {
        play->StopPlay();
        play->PlayFile(path);
        m_slider->setMaximum(int(std::lround(play->GetPlayLength())));
    } catch (const AudioError& e) {
        controlsOff();
        if (refused)
            refused(e.description());
        return;
    }
    m_slider->setEnabled(true);
    m_stop->setEnabled(true);
    m_timer.start();
}

void TrackPreview::stop()
{
    if (auto* play = st.Play()) {
        try {
            play->StopPlay();
        } catch (const AudioError&) {
        }
    }
    controlsOff();
}

void TrackPreview::tick()
{
    if (!m_page.IsCurrent()) {
        m_timer.stop();
        return;
    }
    auto* play = st.Play();
    double length = 0;
    double position = 0;
    try {
        if (play) {
            length = play->GetPlayLength();
            position = play->GetPlayPosition();
        }
    } catch (const AudioError&) {
        length = 0;
    }
    if (length <= 0)
        controlsOff();
    else if (!m_dragging)
        m_slider->setValue(int(std::lround(position)));
}
