#pragma once
// Page 3: the sound card and line lists, level monitoring into volset.wav,
// and the line scan and volume optimisation driven by timDoVolume.
#include "app/pages/WizardPage.h"

#include <QTimer>
#include <functional>
#include <memory>

namespace Ui { class PageVolume; }

class PageVolume : public WizardPage {
    Q_OBJECT
public:
    explicit PageVolume(frmMain& main);
    ~PageVolume() override;

    // Creates the audio engine and fills the lists, restoring the stored
    // choice. False when there is no sound card (the message has been shown).
    bool LoadMixer();
    void LoadLines();
    void cboMixer_Click();
    void cboLine_Click();
    void VolPreviewStart();
    void VolPreviewStop();
    QString VolsetPath() const;

    // Line scan and volume optimisation.
    void cmdScan_Click();
    void cmdAdjust_Click();
    void sliVolume_Change();
    void timDoVolume_Timer();
    QTimer timDoVolume; // 200 ms

    std::unique_ptr<Ui::PageVolume> ui;

private:
    // Runs a handler for a user action; an engine failure becomes a message.
    void Trap(const std::function<void()>& handler);
};
