#include "app/pages/PageOutput.h"
#include "ui_PageOutput.h"

#include "app/frmMain.h"
#include "settings/modXML.h"

PageOutput::PageOutput(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageOutput>())
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
    return code;
}

void PageOutput::StoreOutputChoice()
{
    const QString code = OutputCode();
    if (!code.isEmpty())
        sv::XMLSetValue(code, QStringLiteral("LastUsed"), QStringLiteral("OutputOptions"), QString());
}

void PageOutput::RestoreOutputChoice()
{
    const QString code = sv::XMLGetValue(QStringLiteral("LastUsed"), QStringLiteral("OutputOptions"), QString(),
                                         QStringLiteral("0"));
    if (code == QLatin1String("1"))
        ui->optWMA->setChecked(true);
    else if (code == QLatin1String("2"))
        ui->optACD->setChecked(true);
    else if (code == QLatin1String("3"))
        ui->optDPP->setChecked(true);
    else
        ui->optMP3->setChecked(true);
}
