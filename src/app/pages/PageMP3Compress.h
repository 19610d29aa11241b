#pragma once
// Page: progress of the MP3 compression.
#include "app/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageMP3Compress; }

class PageMP3Compress : public WizardPage {
    Q_OBJECT
public:
    explicit PageMP3Compress(WizardHost& wizard);
    ~PageMP3Compress() override;


private:
    std::unique_ptr<Ui::PageMP3Compress> ui;
};
