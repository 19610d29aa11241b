#include "app/ui/pages/PageFinish.h"
#include "ui_PageFinish.h"

#include "output/AudioCD.h"
#include "output/DOSOutputs.h"
#include "output/Playlists.h"
#include "output/ui/frmWritingCD.h"
#include "settings/Settings.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"
#include "util/ui/modShellExecute.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>

namespace {
const QString kAudioCD = QStringLiteral("Audio CD");
const QString kCdFailed =
    QStringLiteral("Your Audio CD was not created. Please try again or choose a different option.");

// The writer's own words on what went wrong, kept short for the page.
QString FailReason(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(2048)).trimmed();
}

QString SameFolder(const QString& folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}
} // namespace

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
    ui->lblErrorFinishReason->clear();
    ui->lblErrorFinishReason->hide();
    ui->optFinishOpen->setEnabled(true);
    ui->optFinishPlay->setEnabled(true);
}

// An option that is not offered falls back to Exit when it was preselected.
void PageFinish::Offer(QAbstractButton* option, bool on)
{
    if (!on && option->isChecked())
        ui->optFinishExit->setChecked(true);
    option->setEnabled(on);
}

void PageFinish::OfferPlay(bool on) { Offer(ui->optFinishPlay, on); }
void PageFinish::OfferOpen(bool on) { Offer(ui->optFinishOpen, on); }

// The pages reached from here start over: no way back.
void PageFinish::SetNextOnly(const QString& caption)
{
    host.SetCaption(NavButton::Next, caption);
    host.SetEnabled(NavButton::Next, true);
    host.SetEnabled(NavButton::Back, false);
}

bool PageFinish::Complain(const QString& message, const QString& reason, const QString& place, const QString& title)
{
    host.Msg(message.arg(reason, place), sv::vbOKOnly + sv::vbExclamation, title);
    return false;
}

bool PageFinish::Open(const QString& path, const QString& message, const QString& place, const QString& title)
{
    const int code = sv::OpenDocument(path);
    return code > 32 || Complain(message, sv::ShellErrorFor(code).description, place, title);
}

void PageFinish::ShowDelivered(const QString& folder, Delivery what)
{
    ResetFinishPage();
    // Play is offered for the files just delivered to this folder, and only
    // when there are files a player can take.
    m_playable.reset();
    const auto& done = st.Session.deliveries();
    if (what != Delivery::AudioCD && !done.isEmpty()) {
        const sv::Delivery& last = done.last();
        if (last.kind != sv::DeliveryKind::Cd && !last.files.isEmpty()
            && SameFolder(last.folder) == SameFolder(folder))
            m_playable = last;
    }
    OfferPlay(m_playable.has_value());
    ui->txtFinishSaveIn->setText(folder);
    ui->lblFinishSaveInCaption->show();
    ui->txtFinishSaveIn->show();
    host.ShowPage(this);
    SetNextOnly(QStringLiteral("&Finish"));
    host.ShowTutorialPage();
}

void PageFinish::FinishPageNext()
{
    const auto store = [](const char* code) {
        sv::Settings::setFinishAction(QString::fromLatin1(code));
    };
    // Play and Open end the program only once they worked; otherwise the
    // user stays here with their message and may choose again.
    if (ui->optFinishExit->isChecked()) {
        store("0");
        host.CloseWindow();
    } else if (ui->optFinishPlay->isChecked()) {
        store("2");
        if (PlayRecording())
            host.CloseWindow();
    } else if (ui->optFinishMore->isChecked()) {
        store("1");
        ui->optFinishPlay->setEnabled(true);
        host.ShowPage(QStringLiteral("picOutput"));
        SetNextOnly(QStringLiteral("&Next"));
        host.ShowTutorialPage();
    } else if (ui->optFinishOpen->isChecked()) {
        store("3");
        if (txtFinishSaveIn_Click())
            host.CloseWindow();
    } else if (ui->optFinishNew->isChecked()) {
        store("4");
        Q_EMIT newRecordingRequested();
    }
}

void PageFinish::MakeAudioCD()
{
    st.WritingAudioCD = true;
    host.CloseHelpWindow();
    sv::DeleteFileQuiet(sv::CdFailPath());
    const QString setting = sv::XMLGetValue(QStringLiteral("CDBurner"), QStringLiteral("Paths"), QString(), QString());
    const QStringList command = sv::CdBurnerCommand(setting, sv::ProgramFolder(), st.RecordingXMLPath);

    // The main window makes way for the writer's own window, which shows
    // the progress of a burn that may take many minutes.
    QWidget* main = window();
    const bool wasShown = main->isVisible();
    sv::CdRunResult run;
    {
        frmWritingCD writer(main);
        if (!command.isEmpty()) {
            main->hide();
            run = writer.Run(command.first(), command.mid(1));
        } else {
            run.error = QStringLiteral("The command line is empty");
        }
    }

    ResetFinishPage();
    if (!run.started) {
        const QString shown = command.isEmpty() ? setting : sv::CommandLineText(command.first(), command.mid(1));
        ui->lblErrorFinish->setText(QStringLiteral("Your Audio CD was not created: the CD writer could not be "
                                                   "started (%1: %2). Please choose a different option.")
                                        .arg(shown, run.error));
        ui->picFinishError->show();
    } else if (!sv::CdWritten(run, sv::FileExists(sv::CdFailPath()))) {
        ui->lblErrorFinish->setText(kCdFailed);
        const QString reason = FailReason(sv::CdFailPath());
        ui->lblErrorFinishReason->setText(reason);
        ui->lblErrorFinishReason->setVisible(!reason.isEmpty());
        ui->picFinishError->show();
    } else {
        ui->picFinishError->hide();
        ui->txtFinishSaveIn->setText(kAudioCD);
        st.Session.delivered(sv::DeliveryKind::Cd, {}, {});
    }
    m_playable.reset();
    // A CD that failed before anything else was made has nowhere to show.
    const bool saved = !ui->txtFinishSaveIn->text().isEmpty();
    ui->lblFinishSaveInCaption->setVisible(saved);
    ui->txtFinishSaveIn->setVisible(saved);
    host.ShowPage(this);
    OfferPlay(false);
    OfferOpen(false);
    SetNextOnly(QStringLiteral("&Finish"));
    if (wasShown)
        main->show();
    host.RepaintWindow();
    host.ShowTutorialPage();
    st.WritingAudioCD = false;
}

bool PageFinish::txtFinishSaveIn_Click()
{
    const QString text = ui->txtFinishSaveIn->text();
    if (text == kAudioCD || text.isEmpty())
        return true;
    return Open(text, QStringLiteral("The folder could not be opened: %1\r\n\r\nYour files are in %2"), text,
                QStringLiteral("Open Folder"));
}

bool PageFinish::PlayRecording()
{
    if (!m_playable)
        return true;
    const sv::Delivery& d = *m_playable;
    const bool asx = d.kind == sv::DeliveryKind::Wma;
    const QString path = sv::PlaylistPath(d.folder, st.RecordingName, asx ? QStringLiteral(".asx") : QStringLiteral(".m3u"));
    QString error;
    const bool written = asx ? sv::WriteASXPlaylist(path, st.RecordingXMLPath, st.RecordingName, d.files, d.folder,
                                                    true, &error)
                             : sv::WriteM3UPlaylist(path, d.files, d.folder, &error);
    if (!written)
        return Complain(QStringLiteral("The playlist could not be written: %1\r\n\r\nYour files are in %2"), error,
                        d.folder, QStringLiteral("Play"));
    return Open(path, QStringLiteral("No player could be started for the playlist: %1\r\n\r\nThe playlist is %2"),
                path, QStringLiteral("Play"));
}
