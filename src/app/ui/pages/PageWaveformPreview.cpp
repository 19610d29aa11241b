// The waveform page's preview: playing the recording from a point, the
// slider that follows it, and the moving line over the waveform.
#include "app/ui/pages/PageWaveform.h"
#include "ui_PageWaveform.h"

#include "tracks/TrackMessages.h"
#include "tracks/ui/WaveformView.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QPushButton>

#include <algorithm>
#include <cmath>

using sv::audio::AudioError;

void PageWaveform::cmdWaveStop_Click()
{
    m_lineShown = false;
    View()->setPositionLine(-1);
    ui->WaveSlide->setValue(0);
    if (auto* play = st.Play()) {
        try {
            play->StopPlay();
        } catch (const AudioError&) {
        }
    }
    timWaveform.stop();
}

void PageWaveform::cmdWavePlay_Click()
{
    PlayFrom(m_playStart);
}

bool PageWaveform::PlayFrom(int seconds)
{
    auto* play = st.Play();
    if (!play || !m_waveValid)
        return false;
    try {
        play->StopPlay();
        play->PlayFile(RecordingFile());
        play->SetPlayPosition(seconds);
    } catch (const AudioError& e) {
        cmdWaveStop_Click();
        Ask(sv::TrackMsg::PlayFailed,
            sv::TrackMessage(sv::TrackMsg::PlayFailed, QString::number(e.number()) + QStringLiteral("  ") + e.description()));
        return false;
    }
    WaveformTimer(true, seconds);
    return true;
}

void PageWaveform::WaveSlide_Press()
{
    timWaveform.stop();
}

void PageWaveform::WaveSlide_Release()
{
    PlayFrom(ui->WaveSlide->value());
}

void PageWaveform::StartPlay(int x)
{
    ApplyOutcome(m_tracks.releaseOnEmpty(sv::MouseButton::Right, x));
}

void PageWaveform::WaveformTimer(bool seek, double position)
{
    auto* play = st.Play();
    double P = position;
    if (!seek) {
        try {
            P = play ? play->GetPlayPosition() : 0.0;
            // The player ends on its own at the end of the file, which can
            // lie before PlayEnd (whole seconds round up); it then reports 0.
            if (!play || play->GetPlayLength() <= 0)
                P = std::max(P, double(m_playEnd));
        } catch (const AudioError&) {
        }
    }
    m_lineShown = true;
    if (P >= m_playEnd) {
        timWaveform.stop();
        if (play) {
            try {
                play->StopPlay();
            } catch (const AudioError&) {
            }
        }
        ui->WaveSlide->setValue(0);
        m_lineShown = false;
    }
    ui->WaveSlide->setValue(int(sv::RoundHalfEven(P)));

    sv::WaveformView* view = View();
    ui->lblWaveTime->setText(sv::FormatTime(int(sv::RoundHalfEven(P - m_playStart))));

    const double x = m_wave.scale().unitsAt(P);
    if (seek && m_lineShown)
        timWaveform.start();
    view->setPositionLine(m_lineShown ? x : -1);

    const sv::FollowMoves moves = sv::FollowScroll(
        {x, view->imageLeftEdge(), view->viewportUnits(), ScrollDivisor, seek, ScrollChanged, ScrollKeyDown});
    const int step = ui->hsWave->singleStep();
    if (moves.forward)
        ScrollTo(ui->hsWave->value() + step);
    if (moves.clearScrolled)
        ScrollChanged = false;
    if (moves.back)
        ScrollTo(ui->hsWave->value() - step);
    if (moves.jumpTo >= 0)
        ScrollTo(moves.jumpTo);
    view->update();
}
