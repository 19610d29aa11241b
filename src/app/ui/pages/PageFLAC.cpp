#include "app/ui/pages/PageFLAC.h"
#include "ui_PageFLAC.h"

#include "app/ui/pages/PageWaveCopy.h"
#include "output/FlacEncoder.h"
#include "output/Genres.h"
#include "output/Mp3Options.h"
#include "output/TrackTags.h"
#include "settings/modXML.h"
#include "tracks/modWaveSplit.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"
#include "widgets/ui/AnimGif.h"

#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>

namespace {
const QString LevelSection = QStringLiteral("FLAC");
const QString LevelKey = QStringLiteral("Level");
constexpr int DefaultLevel = 5;
} // namespace

PageFLAC::PageFLAC(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageFLAC>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picFLAC"));
    m_fields = {ui->lstFLACTracks, ui->txtFLACTrackName, ui->txtFLACArtist, ui->txtFLACAlbum,
                ui->cboFLACYear,   ui->cboFLACGenre,     ui->txtFLACComments};
    agFLACCompress = new sv::AnimGif(ui->picFLACCompress);
    agFLACCompress->setObjectName(QStringLiteral("agFLACCompress"));
    agFLACCompress->setMinimumSize(64, 64);
    static_cast<QVBoxLayout*>(ui->picFLACCompress->layout())->insertWidget(0, agFLACCompress, 0, Qt::AlignHCenter);
    ui->picFLACCompress->hide();

    ui->cboFLACYear->addItems(sv::Mp3YearList(QDate::currentDate().year()));
    ui->cboFLACGenre->addItems(sv::GenreNames());
    for (int level = 0; level <= 8; ++level) {
        QString text = QString::number(level);
        if (level == 0)
            text += QStringLiteral(" (fastest, larger files)");
        else if (level == DefaultLevel)
            text += QStringLiteral(" (recommended)");
        else if (level == 8)
            text += QStringLiteral(" (slowest, smallest files)");
        ui->cboFLACLevel->addItem(text, level);
    }
    ui->cboFLACLevel->setCurrentIndex(DefaultLevel);

    connect(ui->lstFLACTracks, &QListWidget::currentRowChanged, this, [this](int row) { ShowTrack(row); });
    connect(ui->cmdFLACPlay, &QPushButton::clicked, this, &PageFLAC::Play);
    connect(ui->cmdFLACStop, &QPushButton::clicked, this, &PageFLAC::StopPreview);
}

PageFLAC::~PageFLAC()
{
    if (m_job) {
        m_job->disconnect(this);
        m_job->cancel();
        m_job->wait();
    }
}

int PageFLAC::StoredLevel()
{
    bool ok = false;
    const int level = sv::XMLGetValue(LevelKey, LevelSection, QString(), QString::number(DefaultLevel)).toInt(&ok);
    return ok && level >= 0 && level <= 8 ? level : DefaultLevel;
}

bool PageFLAC::StoreLevel(int level)
{
    return sv::XMLSetValue(QString::number(level), LevelKey, LevelSection, QString());
}

void PageFLAC::FLACOptionsLoad()
{
    ui->cboFLACLevel->setCurrentIndex(StoredLevel());
    // Connected after the stored level is shown so that start-up writes nothing.
    connect(ui->cboFLACLevel, &QComboBox::currentIndexChanged, this, [](int index) {
        if (index >= 0)
            StoreLevel(index);
    });
    PageWaveCopy::PrepareSaveBox(ui->cboFLACSave, ui->cmdBrowseFLACLocation, true);
}

void PageFLAC::LoadFLACPage()
{
    ShowEncoding(false);
    m_shownTrack = -1;
    const QSignalBlocker block(ui->lstFLACTracks);
    ui->lstFLACTracks->clear();
    const int count = sv::IndexTrackCount(st.RecordingXMLPath);
    for (int k = 1; k <= count; ++k) {
        QString name = sv::LoadTrackTagsForPage(st.RecordingXMLPath, k).name;
        if (name.isEmpty())
            name = QStringLiteral("Track ") + QString::number(k);
        ui->lstFLACTracks->addItem(name);
    }
    host.ShowPage(this);
    host.SetEnabled(NavButton::Next, true);
    host.SetEnabled(NavButton::Back, true);
    if (count > 0) {
        ui->lstFLACTracks->setCurrentRow(0);
        ShowTrack(0);
    }
    ui->txtFLACTrackName->setFocus();
}

void PageFLAC::ShowTrack(int row)
{
    SaveShownTrack();
    if (row < 0)
        return;
    m_shownTrack = row + 1;
    sv::TrackTags t = sv::LoadTrackTagsForPage(st.RecordingXMLPath, m_shownTrack);
    // Year and genre that were never given show what the file would get
    // without the page, so storing the page keeps them in the file.
    const auto never = [&](const char* key) {
        const QString k = QString::fromLatin1(key);
        return !sv::StoredTrackValue(st.RecordingXMLPath, m_shownTrack, k)
            && !sv::StoredTrackValue(st.RecordingXMLPath, 1, k);
    };
    if (t.year.isEmpty() && never("Year"))
        t.year = QString::number(QDate::currentDate().year());
    if (t.genre.isEmpty() && never("Genre"))
        t.genre = QStringLiteral("Other");
    m_fields.show(t);
}

void PageFLAC::SaveShownTrack()
{
    if (m_shownTrack < 1)
        return;
    if (!m_fields.store(st.RecordingXMLPath, m_shownTrack))
        host.Msg(QStringLiteral("The details of track %1 could not be saved in %2.")
                     .arg(m_shownTrack)
                     .arg(st.RecordingXMLPath),
                 sv::vbExclamation, QStringLiteral("FLAC files"));
}

void PageFLAC::LeavePage()
{
    StopPreview();
    SaveShownTrack();
    m_shownTrack = -1;
}

void PageFLAC::Play()
{
    auto* play = st.Play();
    const int track = ui->lstFLACTracks->currentRow() + 1;
    if (!play || track < 1)
        return;
    QString file = sv::TrackWavePath(st.RecordingXMLPath, track);
    if (file.isEmpty())
        file = sv::AddSlash(QFileInfo(st.RecordingXMLPath).absolutePath()) + sv::TrackFileName(track);
    try {
        play->StopPlay();
        play->PlayFile(file);
    } catch (const sv::audio::AudioError& e) {
        host.Msg(QStringLiteral("The track cannot be played.\r\n\r\n") + e.description(), sv::vbExclamation,
                 QStringLiteral("Play"));
    }
}

void PageFLAC::StopPreview()
{
    if (auto* play = st.Play()) {
        try {
            play->StopPlay();
        } catch (const sv::audio::AudioError&) {
        }
    }
}

bool PageFLAC::IsEncoding() const
{
    return m_job != nullptr;
}

void PageFLAC::CancelEncoding()
{
    if (m_job)
        m_job->cancel();
}

void PageFLAC::ShowEncoding(bool on)
{
    ui->lblFLACIntro->setText(on ? QStringLiteral("Sonivault is compressing your tracks into FLAC files. This may take a few "
                                                  "minutes.")
                                 : QStringLiteral("Type the details of each track, then choose the compression and where "
                                                  "to save the files. FLAC keeps every detail of the recording."));
    ui->picFLACEdit->setVisible(!on);
    ui->picFLACCompress->setVisible(on);
    if (on) {
        agFLACCompress->setGifPath(QCoreApplication::applicationDirPath() + QStringLiteral("/compress.gif"));
        agFLACCompress->StartGif();
    } else {
        agFLACCompress->StopGif();
    }
}

void PageFLAC::FLACPageNext()
{
    if (m_job)
        return;
    StopPreview();
    SaveShownTrack();
    QString folder;
    if (!PageWaveCopy::CheckSaveBox(host, ui->cboFLACSave, &folder))
        return;
    QVector<sv::FlacTrack> tracks;
    QString why;
    if (!sv::FlacTracksFromIndex(st.RecordingXMLPath, tracks, &why)) {
        host.Msg(why, sv::vbExclamation, QStringLiteral("FLAC files"));
        return;
    }
    st.OutputFolder = folder;
    m_folder = folder;
    m_barTrack = 1;
    m_trackDone = QVector<bool>(tracks.size(), false);

    const int level = ui->cboFLACLevel->currentIndex() < 0 ? DefaultLevel : ui->cboFLACLevel->currentIndex();
    m_job = new sv::FlacJob(tracks, folder, {level, 0}, this);
    connect(m_job, &sv::Job::progress, this, [this](qint64 done, qint64 total, const QString&) {
        ui->barFLACTotal->setValue(total > 0 ? int(done * 100 / total) : 0);
    });
    connect(m_job, &sv::FlacJob::trackProgress, this, &PageFLAC::TrackProgress);
    connect(m_job, &sv::FlacJob::trackFinished, this, [this](int track, const QString&) {
        if (track >= 1 && track <= m_trackDone.size())
            m_trackDone[track - 1] = true;
        if (track == m_barTrack) {
            // Follow the first track still being encoded.
            const int next = int(m_trackDone.indexOf(false));
            m_barTrack = next < 0 ? track : next + 1;
            if (next >= 0)
                ui->barFLACTrack->setValue(0);
        }
    });
    connect(m_job, &sv::Job::finished, this, &PageFLAC::EncodingFinished);

    ui->barFLACTrack->setValue(0);
    ui->barFLACTotal->setValue(0);
    ui->lblFLACCompressStatus->setText(
        QStringLiteral("Sonivault is making %1 FLAC files in %2. Please wait...").arg(tracks.size()).arg(folder));
    ShowEncoding(true);
    st.Compressing = true;
    host.SetEnabled(NavButton::Next, false);
    host.SetEnabled(NavButton::Back, false);
    m_job->start();
}

void PageFLAC::TrackProgress(int track, qint64 done, qint64 total)
{
    if (track != m_barTrack)
        return;
    ui->barFLACTrack->setValue(total > 0 ? int(done * 100 / total) : 100);
    const QString title = ui->lstFLACTracks->item(track - 1) ? ui->lstFLACTracks->item(track - 1)->text() : QString();
    ui->lblFLACCompressStatus->setText(QStringLiteral("Compressing track %1 of %2: %3")
                                           .arg(track)
                                           .arg(m_trackDone.size())
                                           .arg(title));
}

void PageFLAC::EncodingFinished(const sv::JobResult& r)
{
    const QStringList files = m_job ? m_job->outputFiles() : QStringList();
    if (m_job)
        m_job->deleteLater();
    m_job = nullptr;
    st.Compressing = false;
    ShowEncoding(false);
    if (r.ok()) {
        st.Session.delivered(sv::DeliveryKind::Flac, m_folder, files);
        Q_EMIT delivered(m_folder, Delivery::FLAC);
        return;
    }
    host.SetEnabled(NavButton::Next, true);
    host.SetEnabled(NavButton::Back, true);
    if (!r.canceled())
        host.Msg(sv::FlacResultText(r), sv::vbExclamation, QStringLiteral("FLAC files"));
}
