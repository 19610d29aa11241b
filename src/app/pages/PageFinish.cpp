#include "app/pages/PageFinish.h"
#include "ui_PageFinish.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "settings/Settings.h"
#include "util/modShellExecute.h"

#include <QEvent>
#include <QPushButton>

PageFinish::PageFinish(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageFinish>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picFinish"));
    ui->picFinishError->hide();
    ui->txtFinishSaveIn->installEventFilter(this);
}

PageFinish::~PageFinish() = default;

bool PageFinish::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ui->txtFinishSaveIn && e->type() == QEvent::MouseButtonDblClick)
        txtFinishSaveIn_Click();
    return WizardPage::eventFilter(watched, e);
}

void PageFinish::SelectFinishAction(const QString& action)
{
    if (action == QLatin1String("1"))
        ui->optFinishMore->setChecked(true);
    else if (action == QLatin1String("2"))
        ui->optFinishPlay->setChecked(true);
    else if (action == QLatin1String("3"))
        ui->optFinishOpen->setChecked(true);
    else if (action == QLatin1String("4"))
        ui->optFinishNew->setChecked(true);
    else
        ui->optFinishExit->setChecked(true);
}

void PageFinish::ResetFinishPage()
{
    ui->picFinishError->hide();
    ui->optFinishOpen->setEnabled(true);
    ui->optFinishPlay->setEnabled(true);
}

void PageFinish::FinishPageNext()
{
    m.cmdBack()->setEnabled(true);
    ui->optFinishPlay->setEnabled(true);
    const auto store = [](const char* code) {
        sv::Settings::setFinishAction(QString::fromLatin1(code));
    };
    if (ui->optFinishExit->isChecked()) {
        store("0");
        m.close();
    } else if (ui->optFinishPlay->isChecked()) {
        store("2");
        PlayRecording();
        m.close();
    } else if (ui->optFinishMore->isChecked()) {
        store("1");
        m.ShowPage(m.picOutput());
        m.cmdNext()->setText(QStringLiteral("&Next"));
        m.cmdBack()->setEnabled(false);
    } else if (ui->optFinishOpen->isChecked()) {
        store("3");
        txtFinishSaveIn_Click();
        m.close();
    } else if (ui->optFinishNew->isChecked()) {
        store("4");
        m.ResetSonivault();
    }
}

// Stand-in until the CD writer is driven from here: ends on the finish page
// as a written CD does.
void PageFinish::MakeAudioCD()
{
    st.WritingAudioCD = true;
    ResetFinishPage();
    ui->picFinishError->hide();
    ui->txtFinishSaveIn->setText(QStringLiteral("Audio CD"));
    m.ShowPage(this);
    if (ui->optFinishPlay->isChecked())
        ui->optFinishExit->setChecked(true);
    ui->optFinishPlay->setEnabled(false);
    if (ui->optFinishOpen->isChecked())
        ui->optFinishExit->setChecked(true);
    ui->optFinishOpen->setEnabled(false);
    m.cmdBack()->setEnabled(false);
    m.cmdNext()->setText(QStringLiteral("&Finish"));
    m.ShowTutorialPage();
    st.WritingAudioCD = false;
}

void PageFinish::txtFinishSaveIn_Click()
{
    const QString text = ui->txtFinishSaveIn->text();
    if (text != QLatin1String("Audio CD") && !text.isEmpty())
        sv::OpenDocument(text);
}

// The playlist of the last output is written and played with its own work.
void PageFinish::PlayRecording() {}
