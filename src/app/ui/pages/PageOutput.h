#pragma once
// Page 8: the choice of output.
#include "app/ui/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageOutput; }

class PageOutput : public WizardPage {
    Q_OBJECT
public:
    explicit PageOutput(WizardHost& wizard);
    ~PageOutput() override;

    // "0" MP3, "1" WMA, "2" audio CD, "3" WAV copies, "4" FLAC; "" when none
    // is chosen. New choices take new codes so stored ones keep their meaning.
    QString OutputCode() const;
    // Stores the choice under OutputOptions\LastUsed; nothing when none is chosen.
    void StoreOutputChoice();
    // Selects the stored choice (default MP3; an unknown code selects none).
    void RestoreOutputChoice();
    // Shows the page with the stored choice selected.
    void Enter();


private:
    std::unique_ptr<Ui::PageOutput> ui;
};
