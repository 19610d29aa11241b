#pragma once
// Page 13: the finish actions, and the audio CD output that ends on this page.
#include "app/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageFinish; }

class PageFinish : public WizardPage {
    Q_OBJECT
public:
    explicit PageFinish(frmMain& main);
    ~PageFinish() override;

    // Preselects the option of the stored FinishAction ("1".."4"; else exit).
    void SelectFinishAction(const QString& action);
    void FinishPageNext();
    void ResetFinishPage();
    void MakeAudioCD();
    void txtFinishSaveIn_Click();
    void PlayRecording();

    std::unique_ptr<Ui::PageFinish> ui;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
};
