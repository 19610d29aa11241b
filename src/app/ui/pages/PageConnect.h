#pragma once
// Page 2: how to connect the player.
#include "app/ui/pages/WizardPage.h"
#include <memory>

namespace Ui { class PageConnect; }

class PageConnect : public WizardPage {
    Q_OBJECT
public:
    explicit PageConnect(WizardHost& wizard);
    ~PageConnect() override;

    // Moves to the volume page and starts the level monitoring; a sound card
    // failure is reported and leaves the program running.
    void ConnectPageNext();

Q_SIGNALS:
    // The player is connected: the volume page comes next.
    void connected();

private:
    std::unique_ptr<Ui::PageConnect> ui;
};
