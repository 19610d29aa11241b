#pragma once
// Page 7: splitting the recording into track files.
#include "app/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageSplit; }

class PageSplit : public WizardPage {
    Q_OBJECT
public:
    explicit PageSplit(frmMain& main);
    ~PageSplit() override;

    // Splits the recording, then shows the output page.
    void StartSplitTracks();
    // Deletes the recording and its track files.
    void ClearRecorded();

    std::unique_ptr<Ui::PageSplit> ui;
};
