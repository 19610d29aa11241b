#include "app/pages/PageFinish.h"
#include "ui_PageFinish.h"

#include "settings/Settings.h"
#include "util/modShellExecute.h"

#include <QEvent>
#include <QPushButton>

PageFinish::PageFinish(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageFinish>())
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

void PageFinish::ShowDelivered(const QString& folder, Delivery what)
{
    ResetFinishPage();
    // Copies have no recording left to play.
    if (what == Delivery::WavCopies) {
        if (ui->optFinishPlay->isChecked())
            ui->optFinishExit->setChecked(true);
        ui->optFinishPlay->setEnabled(false);
    }
    ui->txtFinishSaveIn->setText(folder);
    host.ShowPage(this);
    host.SetCaption(NavButton::Next, QStringLiteral("&Finish"));
    host.SetEnabled(NavButton::Next, true);
    host.SetEnabled(NavButton::Back, false);
    host.ShowTutorialPage();
}

void PageFinish::FinishPageNext()
{
    host.SetEnabled(NavButton::Back, true);
    ui->optFinishPlay->setEnabled(true);
    const auto store = [](const char* code) {
        sv::Settings::setFinishAction(QString::fromLatin1(code));
    };
    if (ui->optFinishExit->isChecked()) {
        store("0");
        host.CloseWindow();
    } else if (ui->optFinishPlay->isChecked()) {
        store("2");
        PlayRecording();
        host.CloseWindow();
    } else if (ui->optFinishMore->isChecked()) {
        store("1");
        host.ShowPage(QStringLiteral("picOutput"));
        host.SetCaption(NavButton::Next, QStringLiteral("&Next"));
        host.SetEnabled(NavButton::Back, false);
    } else if (ui->optFinishOpen->isChecked()) {
        store("3");
        txtFinishSaveIn_Click();
        host.CloseWindow();
    } else if (ui->optFinishNew->isChecked()) {
        store("4");
        Q_EMIT newRecordingRequested();
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
    host.ShowPage(this);
    if (ui->optFinishPlay->isChecked())
        ui->optFinishExit->setChecked(true);
    ui->optFinishPlay->setEnabled(false);
    if (ui->optFinishOpen->isChecked())
        ui->optFinishExit->setChecked(true);
    ui->optFinishOpen->setEnabled(false);
    host.SetEnabled(NavButton::Back, false);
    host.SetCaption(NavButton::Next, QStringLiteral("&Finish"));
    host.ShowTutorialPage();
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
