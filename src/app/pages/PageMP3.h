#pragma once
// Page: MP3 settings and tags of each track.
#include "app/pages/WizardPage.h"

#include <QTimer>
#include <memory>

namespace Ui { class PageMP3; }

class PageMP3 : public WizardPage {
    Q_OBJECT
public:
    explicit PageMP3(WizardHost& wizard);
    ~PageMP3() override;

    // Fills and shows the page in place of the output page.
    void LoadMP3Page();
    // Checks the save location and starts the compression.
    void MP3PageNext();
    void cmdMP3Stop_Click();
    void lstMP3Tracks_Click();
    // No track is shown yet and the page is not busy.
    void ResetTrackState();
    // Start-up: the bit rate list and the stored MP3 options.
    void MP3OptionsLoad();

    int ShownTrack = -1;
    bool Busy = false;
    // Start-up: the save-location box and its browse button.
    void SaveLocationLoad();

Q_SIGNALS:
    // The tracks were delivered to folder.
    void delivered(const QString& folder, Delivery what);

private:
    QTimer timMP3WMA; // 250 ms
    std::unique_ptr<Ui::PageMP3> ui;
};
