#include "app/pages/PageWaveCopy.h"
#include "ui_PageFinish.h"
#include "ui_PageMP3.h"
#include "ui_PageWMA.h"
#include "ui_PageWaveCopy.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "output/FileOperationDialog.h"
#include "output/TrackFiles.h"
#include "util/modFunctions.h"
#include "util/modShellExecute.h"
#include "widgets/PathCompletion.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

PageWaveCopy::PageWaveCopy(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageWaveCopy>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWaveCopy"));
    ui->picWaveCopying->hide();
}

PageWaveCopy::~PageWaveCopy() = default;

bool PageWaveCopy::CheckSaveBox(frmMain& main, QComboBox* box, QString* path)
{
    const sv::SaveLocationResult r = sv::CheckSaveLocation(box->currentText());
    if (!r.ok()) {
        main.Msg(r.message, r.style, r.title);
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

void PageWaveCopy::MakeAutocomplete()
{
    QComboBox* mp3 = m.picMP3()->ui->cboMP3Save;
    QComboBox* wma = m.picWMA()->ui->cboWMASave;
    QComboBox* copy = ui->cboWaveCopy;
    const sv::SaveInChoices choices = sv::MakeSaveInChoices(sv::SaveIn());
    for (QComboBox* box : {mp3, wma, copy}) {
        box->clear();
        box->addItems(choices.items);
        box->setCurrentIndex(choices.current);
        sv::EnablePathCompletion(box);
    }
    // Only the MP3 and WMA boxes remember what was typed last; connected
    // after filling so that start-up itself writes nothing.
    for (QComboBox* box : {mp3, wma})
        connect(box, &QComboBox::currentTextChanged, this, [](const QString& text) { sv::SetSaveIn(text); });
    connect(ui->cmdBrowseWaveCopy, &QPushButton::clicked, this, [copy] { BrowseInto(copy); });
    connect(m.picMP3()->ui->cmdBrowseMP3Location, &QPushButton::clicked, this, [mp3] { BrowseInto(mp3); });
    connect(m.picWMA()->ui->cmdBrowseWMA, &QPushButton::clicked, this, [wma] { BrowseInto(wma); });
}

void PageWaveCopy::WaveCopyPageNext()
{
    QString folder;
    if (!CheckSaveBox(m, ui->cboWaveCopy, &folder))
        return;
    m.cmdNext()->setEnabled(false);
    ui->picWaveCopying->show();
    ui->lblWaveCopyStatus->setText(QStringLiteral("Please wait..."));
    st.OutputFolder = folder;

    const QStringList files = sv::TrackFilesFromIndex(st.RecordingXMLPath, m.picSplit()->SplitCount());
    // Back and Exit would pull the track files from under the copy before
    // its progress dialog blocks the window; each outcome below sets Back.
    m.cmdBack()->setEnabled(false);
    const bool exitEnabled = m.cmdCancel()->isEnabled();
    m.cmdCancel()->setEnabled(false);
    const QString result =
        sv::ShellFileOperation(&m, files, st.OutputFolder, sv::FileOp::Copy, QStringLiteral("Please Wait..."));
    m.cmdCancel()->setEnabled(exitEnabled);

    if (!result.isEmpty()) {
        ui->lblWaveCopyStatus->setText(sv::WaveCopyFailureText(result));
        m.cmdNext()->setEnabled(false);
        m.cmdBack()->setEnabled(true);
        return;
    }
    // Copies saved into the recording folder are the track files themselves:
    // from now on they are the user's, not ours to clear away.
    QStringList copies;
    for (const QString& f : files)
        copies << st.OutputFolder + QFileInfo(f).fileName();
    st.Session.delivered(sv::DeliveryKind::Wav, st.OutputFolder, copies);
    PageFinish* finish = m.picFinish();
    finish->ResetFinishPage();
    ui->picWaveCopying->hide();
    if (finish->ui->optFinishPlay->isChecked())
        finish->ui->optFinishExit->setChecked(true);
    finish->ui->optFinishPlay->setEnabled(false);
    m.ShowPage(finish);
    m.ShowTutorialPage();
    finish->ui->txtFinishSaveIn->setText(st.OutputFolder);
    m.cmdNext()->setText(QStringLiteral("&Finish"));
    m.cmdNext()->setEnabled(true);
    m.cmdBack()->setEnabled(false);
}
