#pragma once
// Page: progress of the WMA compression.
#include "app/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageWMACompress; }

class PageWMACompress : public WizardPage {
    Q_OBJECT
public:
    explicit PageWMACompress(frmMain& main);
    ~PageWMACompress() override;

    std::unique_ptr<Ui::PageWMACompress> ui;
};
