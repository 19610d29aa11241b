#include "app/ui/pages/PageWMACompress.h"
#include "ui_PageWMACompress.h"

#include "output/ui/FileOperationDialog.h"
#include "output/TrackFiles.h"
#include "output/WmaEncode.h"
#include "util/modFunctions.h"

#include <QFileInfo>

PageWMACompress::PageWMACompress(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageWMACompress>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWMACompress"));
    ui->lstWMACompressedFilenames->hide();
    ui->picWMACompressError->hide();
    // The reason may name a command line or a file the user wants to copy.
    ui->lblWMACompressError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_intro = ui->lblWMACompressIntro->text();
}

PageWMACompress::~PageWMACompress() = default;

void PageWMACompress::ConverttoWMA(int count)
{
    const QString programFolder = m_programFolder.isEmpty() ? sv::ProgramFolder() : sv::AddSlash(m_programFolder);
    host.SetEnabled(NavButton::Back, false);
    host.SetEnabled(NavButton::Next, false);
    ui->picWMACompressError->hide();
    ui->lblWMACompressIntro->setText(m_intro);
    host.ShowPage(this);
    host.ShowTutorialPage();
    ui->barWMATotal->setRange(0, std::max(count, 1));
    ui->barWMATotal->setValue(0);
    ui->lstWMACompressedFilenames->clear();
    ui->lblWMACompressStatus->setText(QStringLiteral("Starting..."));

    const QString gif = programFolder + QStringLiteral("compress.gif");
    if (sv::FileExists(gif) && !ui->agWMACompress->setGifPath(gif) && !ui->agWMACompress->StartGif()) {
        ui->agWMACompress->show();
    } else {
        ui->agWMACompress->hide();
    }
    host.RepaintWindow();
    st.Compressing = true;

    m_job = std::make_unique<sv::WmaEncodeJob>(
        sv::WmaEncodeJob::Options{st.RecordingXMLPath, count, {}, programFolder, 1});
    connect(m_job.get(), &sv::Job::progress, this, [this](qint64 done, qint64, const QString& text) {
        ui->barWMATotal->setValue(int(done));
        if (!text.isEmpty())
            ui->lblWMACompressStatus->setText(text);
    });
    connect(m_job.get(), &sv::WmaEncodeJob::trackFinished, this,
            [this](int, const QString& path) { ui->lstWMACompressedFilenames->addItem(path); });
    connect(m_job.get(), &sv::Job::finished, this, &PageWMACompress::Encoded);
    m_job->start();
}

void PageWMACompress::Encoded(const sv::JobResult& result)
{
    if (!result.ok()) {
        QString reason = sv::WmaFailureText(result);
        if (reason.isEmpty())
            reason = QStringLiteral("Compressing was canceled.");
        Failed(reason);
        return;
    }
    const QStringList files = m_job->outputs();
    ui->barWMATotal->setValue(ui->barWMATotal->maximum());
    ui->lblWMACompressStatus->setText(QStringLiteral("Moving the files to ") + sv::RemoveSlash(st.OutputFolder) + QStringLiteral("..."));
    // The progress dialog asks before a file of the same name is replaced.
    const QString moved =
        sv::ShellFileOperation(window(), files, st.OutputFolder, sv::FileOp::Move, QStringLiteral("Please Wait..."));
    if (!moved.isEmpty()) {
        Failed(QStringLiteral("Error moving or copying files. ") + moved);
        return;
    }
    QStringList placed;
    for (const QString& f : files)
        placed << st.OutputFolder + QFileInfo(f).fileName();
    st.Session.delivered(sv::DeliveryKind::Wma, st.OutputFolder, placed);
    m_job->discard();
    m_job.reset();
    StopAnimation();
    st.Compressing = false;
    Q_EMIT delivered(st.OutputFolder, Delivery::WMA);
    // The focus only: Enter must not finish the wizard before the user has
    // seen the finish page's choices.
    host.SetDefault(NavButton::Next);
}

void PageWMACompress::Failed(const QString& reason)
{
    if (m_job)
        m_job->discard();
    StopAnimation();
    ui->lblWMACompressIntro->setText(
        QStringLiteral("The WMA files could not be made. Click Back to change the tracks or the save location, "
                       "then try again."));
    ui->lblWMACompressError->setText(reason);
    ui->picWMACompressError->show();
    ui->lblWMACompressStatus->clear();
    host.SetEnabled(NavButton::Next, false);
    host.SetEnabled(NavButton::Back, true);
    st.Compressing = false;
}

void PageWMACompress::StopAnimation()
{
    ui->agWMACompress->StopGif();
}
