#include "app/ui/frmWelcome.h"
#include "ui_frmWelcome.h"

frmWelcome::frmWelcome(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmWelcome>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->stkWelcome->setCurrentWidget(ui->picWelcome);
    connect(ui->cmdNext, &QPushButton::clicked, this, &frmWelcome::cmdNext_Click);
    setMinimumWidth(460);
}

frmWelcome::~frmWelcome() = default;

void frmWelcome::cmdNext_Click()
{
    QWidget* current = ui->stkWelcome->currentWidget();
    if (current == ui->picFinished) {
        accept();
    } else if (current == ui->picTutorial) {
        Q_EMIT TutorialChosen(ui->chkTutorial->isChecked());
        ui->stkWelcome->setCurrentWidget(ui->picFinished);
        ui->cmdNext->setText(QStringLiteral("&Close"));
    } else {
        ui->stkWelcome->setCurrentWidget(ui->picTutorial);
    }
}
