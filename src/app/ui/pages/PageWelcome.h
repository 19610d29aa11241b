#pragma once
// Page 1: welcome, the tutorial switch and the version.
#include "app/ui/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageWelcome; }

class PageWelcome : public WizardPage {
    Q_OBJECT
public:
    explicit PageWelcome(WizardHost& wizard);
    ~PageWelcome() override;

    void WelcomePageNext();
    void chkTutorial_Click();
    // Shows the tutorial choice without storing it.
    void SetTutorial(bool on);


private:
    std::unique_ptr<Ui::PageWelcome> ui;
};
