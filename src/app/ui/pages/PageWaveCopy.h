#pragma once
// Page 11: WAV copies of the tracks, and the three save-location boxes of the
// output pages (WAV copies, MP3, WMA).
#include "app/ui/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageWaveCopy; }
class QAbstractButton;
class QComboBox;

class PageWaveCopy : public WizardPage {
    Q_OBJECT
public:
    explicit PageWaveCopy(WizardHost& wizard);
    ~PageWaveCopy() override;

    // Copies the track files to the chosen folder and shows the finish page.
    void WaveCopyPageNext();
    // Start-up: the well-known folders and SaveIn in the three save-location
    // boxes, path completion, the browse buttons, SaveIn kept up to date.
    void MakeAutocomplete();
    // Fills a save-location box with the well-known folders and SaveIn, adds
    // path completion and connects its browse button. A box that remembers
    // stores what is typed into it as SaveIn.
    static void PrepareSaveBox(QComboBox* box, QAbstractButton* browse, bool remembers);
    // The number of track files of the split recording.
    void SetTrackCount(int count) { m_trackCount = count; }
    void HideProgress();

    // Checks a save-location box. On success returns true with the folder
    // (ending in '/') in path; otherwise shows the check's message on the
    // main window, puts the focus in the box and returns false.
    static bool CheckSaveBox(WizardHost& host, QComboBox* box, QString* path);
    // The folder picker of the browse buttons; a picked folder becomes the
    // box's text.
    static void BrowseInto(QComboBox* box);

Q_SIGNALS:
    void delivered(const QString& folder, Delivery what);

private:
    std::unique_ptr<Ui::PageWaveCopy> ui;
    int m_trackCount = 0;
};
