#pragma once
// Page: WMA settings and tags of each track.
#include "app/ui/pages/WizardPage.h"

#include <memory>

namespace Ui { class PageWMA; }
class TrackPreview;

class PageWMA : public WizardPage {
    Q_OBJECT
public:
    explicit PageWMA(WizardHost& wizard);
    ~PageWMA() override;

    // Fills and shows the page in place of the output page.
    void LoadWMAPage();
    // Stores the shown track, checks the save location and asks for the
    // compression.
    void WMAPageNext();
    void cmdWMAPlay_Click();
    void cmdWMAStop_Click();
    // Stores the fields of the track shown so far and shows the selected one.
    void lstWMATracks_Click();
    // No track is shown yet and the page is not busy.
    void ResetTrackState();
    // Start-up and page load: the bit rate profiles, the stored one selected.
    void WMABitratesLoad();
    // The number of track files of the split recording.
    void SetTrackCount(int count) { m_trackCount = count; }

    int ShownTrack = -1;
    bool Busy = false;
    // Start-up: the save-location box and its browse button.
    void SaveLocationLoad();

Q_SIGNALS:
    // The fields are stored and the save folder checked (st.OutputFolder):
    // the tracks 1 .. count are to be compressed.
    void convertRequested(int count);

private:
    void cboWMABitrate_Click(int index);

    std::unique_ptr<Ui::PageWMA> ui;
    TrackPreview* m_preview;
    int m_trackCount = 0;
};
