#include "app/ui/pages/PageMP3Compress.h"
#include "ui_PageMP3Compress.h"

#include "output/Mp3Job.h"
#include "output/ui/FileOperationDialog.h"
#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

PageMP3Compress::PageMP3Compress(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageMP3Compress>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picMP3Compress"));
    ui->lstMP3CompressedFilenames->hide();
    ui->picMP3CompressError->hide();
}

PageMP3Compress::~PageMP3Compress()
{
    if (m_job) {
        m_job->disconnect(this);
        m_job->cancel();
        m_job->wait();
    }
}

void PageMP3Compress::ConverttoMP3()
{
    if (m_job)
        return;
    m_folder = st.OutputFolder;
    const int count = sv::IndexTrackCount(st.RecordingXMLPath);
    ui->picMP3CompressError->hide();
    host.ShowPage(this);
    host.ShowTutorialPage();
    host.SetEnabled(NavButton::Back, false);
    host.SetEnabled(NavButton::Next, false);
    ui->barMP3Total->setRange(0, count);
    ui->barMP3Total->setValue(0);
    ui->barMP3Track->setRange(0, 100);
    ui->barMP3Track->setValue(0);
    ui->lstMP3CompressedFilenames->clear();
    ui->lblMP3CompressStatus->setText(QStringLiteral("Starting..."));

    const QString gif = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("compress.gif"));
    const bool animate = QFileInfo::exists(gif) && !ui->agMP3Compress->setGifPath(gif)
                         && !ui->agMP3Compress->StartGif();
    ui->agMP3Compress->setVisible(animate);
    host.RepaintWindow();
    st.Compressing = true;

    sv::Mp3JobSettings s;
    s.indexPath = st.RecordingXMLPath;
    s.jobs = 1; // the files stay in the job's work folder until Finished moves them
    // Tags go into the files whenever the page offered their fields: a user
    // who typed them there and never opened the options must not lose them.
    sv::Mp3EncoderOptions options = sv::LoadMp3EncoderOptions();
    if (options.id3 == 0 && sv::Mp3TagsEnabled())
        options.id3 = 1;
    s.options = options;
    auto* job = new sv::Mp3Job(std::move(s), this);
    m_job = job;
    connect(job, &sv::Mp3Job::trackStarted, this, [this](int i, int, const QString& status) {
        ui->barMP3Total->setValue(i);
        ui->barMP3Track->setValue(0);
        ui->lblMP3CompressStatus->setText(status);
    });
    connect(job, &sv::Mp3Job::trackPercent, this, [this](int, int p) { ui->barMP3Track->setValue(std::clamp(p, 0, 100)); });
    connect(job, &sv::Mp3Job::trackEncoded, this, [this](int i, const QString& name) {
        ui->barMP3Total->setValue(i + 1);
        ui->barMP3Track->setValue(100);
        ui->lstMP3CompressedFilenames->addItem(name);
    });
    connect(job, &sv::Job::finished, this, &PageMP3Compress::Finished);
    job->start();
}

void PageMP3Compress::Finished(const sv::JobResult& r)
{
    sv::Mp3Job* job = m_job;
    ui->agMP3Compress->StopGif();
    if (r.code != sv::JobCode::Done) {
        const QString failure = sv::Mp3FailureText(r);
        End(failure.isEmpty() ? QStringLiteral("Compressing was canceled.") : failure);
        return;
    }
    ui->lblMP3CompressStatus->setText(QStringLiteral("Please Wait..."));
    ui->barMP3Total->setValue(ui->barMP3Total->maximum());
    // The progress dialog asks before a file of the same name is replaced; a
    // file the user keeps is not moved, and goes with the work folder.
    const QStringList files = job->encodedFiles();
    const QString moved =
        sv::ShellFileOperation(window(), files, m_folder, sv::FileOp::Move, QStringLiteral("Please Wait..."));
    if (!moved.isEmpty()) {
        End(sv::MoveFailureText(moved));
        return;
    }
    QStringList placed;
    for (const QString& f : files)
        placed << sv::AddSlash(m_folder) + QFileInfo(f).fileName();
    st.Session.delivered(sv::DeliveryKind::Mp3, m_folder, placed);
    End(QString());
    Q_EMIT delivered(m_folder, Delivery::MP3);
}

void PageMP3Compress::End(const QString& error)
{
    if (m_job) {
        m_job->discard();
        m_job->deleteLater();
        m_job = nullptr;
    }
    st.Compressing = false;
    if (!error.isEmpty())
        ShowError(error);
}

void PageMP3Compress::ShowError(const QString& text)
{
    ui->lblMP3CompressError->setText(text);
    ui->picMP3CompressError->show();
    host.SetEnabled(NavButton::Next, false);
    host.SetEnabled(NavButton::Back, true);
}
