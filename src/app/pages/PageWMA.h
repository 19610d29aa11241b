#pragma once
// Page: WMA settings and tags of each track.
#include "app/pages/WizardPage.h"

#include <QTimer>
#include <memory>

namespace Ui { class PageWMA; }

class PageWMA : public WizardPage {
    Q_OBJECT
public:
    explicit PageWMA(WizardHost& wizard);
    ~PageWMA() override;

    // Fills and shows the page in place of the output page.
    void LoadWMAPage();
    // Checks the save location and starts the compression.
    void WMAPageNext();
    void cmdWMAStop_Click();
    void lstWMATracks_Click();
    // No track is shown yet and the page is not busy.
    void ResetTrackState();
    // Start-up: the bit rate list.
    void WMABitratesLoad();

    int ShownTrack = -1;
    bool Busy = false;
    // Start-up: the save-location box and its browse button.
    void SaveLocationLoad();

Q_SIGNALS:
    // The tracks were delivered to folder.
    void delivered(const QString& folder, Delivery what);

private:
    QTimer timMP3WMA; // 250 ms
    std::unique_ptr<Ui::PageWMA> ui;
};
