#include "app/pages/PageMP3Compress.h"
#include "ui_PageMP3Compress.h"


PageMP3Compress::PageMP3Compress(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageMP3Compress>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picMP3Compress"));
    ui->lstMP3CompressedFilenames->hide();
    ui->picMP3CompressError->hide();
}

PageMP3Compress::~PageMP3Compress() = default;
