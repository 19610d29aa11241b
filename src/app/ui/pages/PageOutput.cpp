#include "app/ui/pages/PageOutput.h"
#include "ui_PageOutput.h"

#include "settings/Settings.h"

#include <QRadioButton>

PageOutput::PageOutput(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageOutput>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picOutput"));
}

PageOutput::~PageOutput() = default;

QString PageOutput::OutputCode() const
{
    QString code;
    if (ui->optMP3->isChecked())
        code = QStringLiteral("0");
    if (ui->optWMA->isChecked())
        code = QStringLiteral("1");
    if (ui->optACD->isChecked())
        code = QStringLiteral("2");
    if (ui->optDPP->isChecked())
        code = QStringLiteral("3");
    if (ui->optFLAC->isChecked())
        code = QStringLiteral("4");
    return code;
}

void PageOutput::StoreOutputChoice()
{
    const QString code = OutputCode();
    if (!code.isEmpty())
        sv::Settings::setOutputChoice(code);
}

void PageOutput::RestoreOutputChoice()
{
    const QString code = sv::Settings::outputChoice();
    QRadioButton* choice = nullptr;
    if (code == QLatin1String("0"))
        choice = ui->optMP3;
    else if (code == QLatin1String("1"))
        choice = ui->optWMA;
    else if (code == QLatin1String("2"))
        choice = ui->optACD;
    else if (code == QLatin1String("3"))
        choice = ui->optDPP;
    else if (code == QLatin1String("4"))
        choice = ui->optFLAC;
    if (choice) {
        choice->setChecked(true);
        return;
    }
    // An unknown code selects nothing; exclusive buttons cannot all be
    // cleared while one of them keeps the group's check.
    for (QRadioButton* o : {ui->optMP3, ui->optWMA, ui->optACD, ui->optDPP, ui->optFLAC}) {
        o->setAutoExclusive(false);
        o->setChecked(false);
        o->setAutoExclusive(true);
    }
}

void PageOutput::Enter()
{
    RestoreOutputChoice();
    host.ShowPage(this);
}
