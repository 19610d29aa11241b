#include "app/ui/pages/PageWaveCopy.h"
#include "ui_PageWaveCopy.h"

#include "output/ui/FileOperationDialog.h"
#include "output/TrackFiles.h"
#include "util/modFunctions.h"
#include "util/ui/modShellExecute.h"
#include "widgets/ui/PathCompletion.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

PageWaveCopy::PageWaveCopy(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageWaveCopy>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWaveCopy"));
    ui->picWaveCopying->hide();
}

PageWaveCopy::~PageWaveCopy() = default;

bool PageWaveCopy::CheckSaveBox(WizardHost& host, QComboBox* box, QString* path)
{
    const sv::SaveLocationResult r = sv::CheckSaveLocation(box->currentText());
    if (!r.ok()) {
        host.Msg(r.message, r.style, r.title);
        box->setFocus();
        return false;
    }
    if (path)
        *path = r.path;
    return true;
}

void PageWaveCopy::BrowseInto(QComboBox* box)
{
    const QString start = sv::ResolveSaveLocation(box->currentText());
    const QString folder = sv::PickFolder(QStringLiteral("Select location for finished media"), start);
    if (!folder.isEmpty())
        box->setEditText(folder);
}

void PageWaveCopy::PrepareSaveBox(QComboBox* box, QAbstractButton* browse, bool remembers)
{
    const sv::SaveInChoices choices = sv::MakeSaveInChoices(sv::SaveIn());
    box->clear();
    box->addItems(choices.items);
    box->setCurrentIndex(choices.current);
    sv::EnablePathCompletion(box);
    // Connected after filling so that start-up itself writes nothing.
    if (remembers)
        connect(box, &QComboBox::currentTextChanged, box, [](const QString& text) { sv::SetSaveIn(text); });
    connect(browse, &QAbstractButton::clicked, box, [box] { BrowseInto(box); });
}

// Only the MP3 and WMA boxes remember what was typed last.
void PageWaveCopy::MakeAutocomplete()
{
    PrepareSaveBox(ui->cboWaveCopy, ui->cmdBrowseWaveCopy, false);
}

void PageWaveCopy::HideProgress()
{
    ui->picWaveCopying->hide();
}

void PageWaveCopy::WaveCopyPageNext()
{
    QString folder;
    if (!CheckSaveBox(host, ui->cboWaveCopy, &folder))
        return;
    host.SetEnabled(NavButton::Next, false);
    ui->picWaveCopying->show();
    ui->lblWaveCopyStatus->setText(QStringLiteral("Please wait..."));
    st.OutputFolder = folder;

    const QStringList files = sv::TrackFilesFromIndex(st.RecordingXMLPath, m_trackCount);
    // Back and Exit would pull the track files from under the copy before
    // its progress dialog blocks the window; each outcome below sets Back.
    host.SetEnabled(NavButton::Back, false);
    const bool exitEnabled = host.IsEnabled(NavButton::Exit);
    host.SetEnabled(NavButton::Exit, false);
    const QString result =
        sv::ShellFileOperation(window(), files, st.OutputFolder, sv::FileOp::Copy, QStringLiteral("Please Wait..."));
    host.SetEnabled(NavButton::Exit, exitEnabled);

    if (!result.isEmpty()) {
        ui->lblWaveCopyStatus->setText(sv::WaveCopyFailureText(result));
        host.SetEnabled(NavButton::Next, false);
        host.SetEnabled(NavButton::Back, true);
        return;
    }
    // Copies saved into the recording folder are the track files themselves:
    // from now on they are the user's, not ours to clear away.
    QStringList copies;
    for (const QString& f : files)
        copies << st.OutputFolder + QFileInfo(f).fileName();
    st.Session.delivered(sv::DeliveryKind::Wav, st.OutputFolder, copies);
    ui->picWaveCopying->hide();
    Q_EMIT delivered(st.OutputFolder, Delivery::WavCopies);
}
