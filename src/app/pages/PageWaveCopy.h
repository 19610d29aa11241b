#pragma once
// Page 11: WAV copies of the tracks.
#include "app/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageWaveCopy; }

class PageWaveCopy : public WizardPage {
    Q_OBJECT
public:
    explicit PageWaveCopy(frmMain& main);
    ~PageWaveCopy() override;

    // Copies the track files to the chosen folder and shows the finish page.
    void WaveCopyPageNext();
    // Start-up: the well-known folders in the three save-location boxes.
    void MakeAutocomplete();

    std::unique_ptr<Ui::PageWaveCopy> ui;
};
