#pragma once
// Page 6: the waveform, the track markers and the preview.
#include "app/pages/WizardPage.h"

#include <QTimer>
#include <memory>

namespace Ui { class PageWaveform; }

class PageWaveform : public WizardPage {
    Q_OBJECT
public:
    explicit PageWaveform(frmMain& main);
    ~PageWaveform() override;

    void DetectTracksLoad();
    // Leaves the record page for this one with the new recording.
    void WaveFormStep();
    // Back to the record page; the markers go.
    void WaveformBack();
    void cmdWaveStop_Click();
    void cmdResetTracks_Click();

    // The track list: empty when the first marker is hidden.
    bool HasTracks() const { return m_trackCount > 0; }
    int TrackCount() const { return m_trackCount; }
    void RemoveAllTracks();

    QTimer timWaveform; // 400 ms

    std::unique_ptr<Ui::PageWaveform> ui;

private:
    int m_trackCount = 0;
};
