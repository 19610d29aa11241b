#pragma once
// Page: MP3 settings and tags of each track.
#include "app/ui/pages/TrackTagFields.h"
#include "app/ui/pages/WizardPage.h"

#include <memory>

namespace Ui { class PageMP3; }
class TrackPreview;

class PageMP3 : public WizardPage {
    Q_OBJECT
public:
    explicit PageMP3(WizardHost& wizard);
    ~PageMP3() override;

    // Fills and shows the page in place of the output page.
    void LoadMP3Page();
    // Stores the shown track, checks the save location and asks for the
    // compression.
    void MP3PageNext();
    void cmdMP3Play_Click();
    void cmdMP3Stop_Click();
    // Stores the fields of the track shown so far and shows the selected one.
    void lstMP3Tracks_Click();
    // No track is shown yet and the page is not busy.
    void ResetTrackState();
    // Start-up: the bit rate list, the genres, the years.
    void MP3OptionsLoad();
    // The tag panel and the bit rate list, from the stored options.
    void MP3BitratesLoad();
    // The options dialog; stores its values when confirmed.
    void lblShowMP3Options_Click();

    int ShownTrack = -1;
    bool Busy = false;
    // Start-up: the save-location box and its browse button.
    void SaveLocationLoad();

Q_SIGNALS:
    // The save folder is checked (st.OutputFolder) and the tracks' fields
    // are stored: the tracks can be encoded.
    void compressRequested();

private:
    void StoreShownTrack();
    void ShowTrack(int number);
    int TrackCount() const;

    TrackPreview* m_preview;
    TrackTagFields m_fields;
    bool m_updating = false;
    std::unique_ptr<Ui::PageMP3> ui;
};
