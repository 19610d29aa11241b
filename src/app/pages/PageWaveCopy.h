#pragma once
// Page 11: WAV copies of the tracks, and the three save-location boxes of the
// output pages (WAV copies, MP3, WMA).
#include "app/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageWaveCopy; }
class QComboBox;

class PageWaveCopy : public WizardPage {
    Q_OBJECT
public:
    explicit PageWaveCopy(frmMain& main);
    ~PageWaveCopy() override;

    // Copies the track files to the chosen folder and shows the finish page.
    void WaveCopyPageNext();
    // Start-up: the well-known folders and SaveIn in the three save-location
    // boxes, path completion, the browse buttons, SaveIn kept up to date.
    void MakeAutocomplete();

    // Checks a save-location box. On success returns true with the folder
    // (ending in '/') in path; otherwise shows the check's message on the
    // main window, puts the focus in the box and returns false.
    static bool CheckSaveBox(frmMain& main, QComboBox* box, QString* path);
    // The folder picker of the browse buttons; a picked folder becomes the
    // box's text.
    static void BrowseInto(QComboBox* box);

    std::unique_ptr<Ui::PageWaveCopy> ui;
};
