#include "app/ui/pages/PageWelcome.h"
#include "ui_PageWelcome.h"

#include "settings/Settings.h"

#include <QPushButton>

PageWelcome::PageWelcome(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageWelcome>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWelcome"));
    ui->lblVer->setText(QStringLiteral("Version ") + QStringLiteral(SONIVAULT_VERSION));
    connect(ui->chkTutorial, &QCheckBox::clicked, this, &PageWelcome::chkTutorial_Click);
}

PageWelcome::~PageWelcome() = default;

void PageWelcome::WelcomePageNext()
{
    host.ShowPage(QStringLiteral("picConnect"));
    host.SetEnabled(NavButton::Back, true);
}

void PageWelcome::chkTutorial_Click()
{
    st.TutorialOn = ui->chkTutorial->isChecked();
    sv::Settings::setTutorialActive(st.TutorialOn);
    if (!st.TutorialOn)
        host.CloseHelpWindow();
}

void PageWelcome::SetTutorial(bool on)
{
    ui->chkTutorial->setChecked(on);
}
