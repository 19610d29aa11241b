#include "app/pages/PageWMACompress.h"
#include "ui_PageWMACompress.h"


PageWMACompress::PageWMACompress(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageWMACompress>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWMACompress"));
    ui->lstWMACompressedFilenames->hide();
    ui->picWMACompressError->hide();
}

PageWMACompress::~PageWMACompress() = default;
