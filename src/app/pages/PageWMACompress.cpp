#include "app/pages/PageWMACompress.h"
#include "ui_PageWMACompress.h"

#include "app/frmMain.h"

PageWMACompress::PageWMACompress(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageWMACompress>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWMACompress"));
    ui->lstWMACompressedFilenames->hide();
    ui->picWMACompressError->hide();
}

PageWMACompress::~PageWMACompress() = default;
