#pragma once
// Page 13: the finish actions, and the audio CD output that ends on this page.
#include "app/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageFinish; }

class PageFinish : public WizardPage {
    Q_OBJECT
public:
    explicit PageFinish(WizardHost& wizard);
    ~PageFinish() override;

    // Preselects the option of the stored FinishAction ("1".."4"; else exit).
    void SelectFinishAction(const QString& action);
    void FinishPageNext();
    void ResetFinishPage();
    // Shows the page after a delivery to folder (its text for an audio CD).
    void ShowDelivered(const QString& folder, Delivery what);
    void MakeAudioCD();
    void txtFinishSaveIn_Click();
    void PlayRecording();


Q_SIGNALS:
    // "Make a new recording" was chosen.
    void newRecordingRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    std::unique_ptr<Ui::PageFinish> ui;
};
