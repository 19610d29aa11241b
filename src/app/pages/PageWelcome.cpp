#include "app/pages/PageWelcome.h"
#include "ui_PageWelcome.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "settings/Settings.h"

#include <QPushButton>

PageWelcome::PageWelcome(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageWelcome>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWelcome"));
    ui->lblVer->setText(QStringLiteral("Version ") + QStringLiteral(SONIVAULT_VERSION));
    connect(ui->chkTutorial, &QCheckBox::clicked, this, &PageWelcome::chkTutorial_Click);
}

PageWelcome::~PageWelcome() = default;

void PageWelcome::WelcomePageNext()
{
    m.ShowPage(m.picConnect());
    m.cmdBack()->setEnabled(true);
}

void PageWelcome::chkTutorial_Click()
{
    st.TutorialOn = ui->chkTutorial->isChecked();
    sv::Settings::setTutorialActive(st.TutorialOn);
    if (!st.TutorialOn)
        m.CloseHelpWindow();
}
