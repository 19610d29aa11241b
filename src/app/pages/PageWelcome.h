#pragma once
// Page 1: welcome, the tutorial switch and the version.
#include "app/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageWelcome; }

class PageWelcome : public WizardPage {
    Q_OBJECT
public:
    explicit PageWelcome(frmMain& main);
    ~PageWelcome() override;

    void WelcomePageNext();
    void chkTutorial_Click();

    std::unique_ptr<Ui::PageWelcome> ui;
};
