#include "app/pages/PageWaveCopy.h"
#include "ui_PageWaveCopy.h"
#include "ui_PageFinish.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "util/modFunctions.h"

#include <QPushButton>

PageWaveCopy::PageWaveCopy(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageWaveCopy>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWaveCopy"));
    ui->picWaveCopying->hide();
}

PageWaveCopy::~PageWaveCopy() = default;

void PageWaveCopy::MakeAutocomplete() {}

// Stand-in until the copy exists: shows the finish page as a finished copy does.
void PageWaveCopy::WaveCopyPageNext()
{
    st.OutputFolder = sv::AddSlash(ui->cboWaveCopy->currentText());
    PageFinish* finish = m.picFinish();
    finish->ResetFinishPage();
    ui->picWaveCopying->hide();
    if (finish->ui->optFinishPlay->isChecked())
        finish->ui->optFinishExit->setChecked(true);
    finish->ui->optFinishPlay->setEnabled(false);
    m.ShowPage(finish);
    finish->ui->txtFinishSaveIn->setText(st.OutputFolder);
    m.cmdNext()->setText(QStringLiteral("&Finish"));
    m.cmdNext()->setEnabled(true);
    m.cmdBack()->setEnabled(false);
}
