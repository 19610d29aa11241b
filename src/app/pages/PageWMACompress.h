#pragma once
// Page: progress of the WMA compression.
#include "app/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageWMACompress; }

class PageWMACompress : public WizardPage {
    Q_OBJECT
public:
    explicit PageWMACompress(WizardHost& wizard);
    ~PageWMACompress() override;


private:
    std::unique_ptr<Ui::PageWMACompress> ui;
};
