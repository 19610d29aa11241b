#include "app/ui/pages/PageMP3.h"
#include "ui_PageMP3.h"

#include "app/ui/pages/PageWaveCopy.h"
#include "app/ui/pages/TrackPreview.h"
#include "output/Genres.h"
#include "output/Mp3Options.h"
#include "output/TrackTags.h"
#include "help/HelpTopics.h"
#include "output/ui/frmMP3.h"
#include "util/modFunctions.h"

#include <QDate>
#include <QPushButton>


PageMP3::PageMP3(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageMP3>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picMP3"));
    m_preview = new TrackPreview(*this, st, ui->cmdMP3Stop, ui->MP3Slide);
    m_fields = {ui->lstMP3Tracks, ui->txtMP3TrackName, ui->txtMP3Artist, ui->txtMP3Album,
                ui->cboMP3Year,   ui->cboMP3Genre,     ui->txtMP3Comments};
    connect(ui->cmdMP3Play, &QPushButton::clicked, this, &PageMP3::cmdMP3Play_Click);
    connect(ui->cmdMP3Stop, &QPushButton::clicked, this, &PageMP3::cmdMP3Stop_Click);
    connect(ui->lstMP3Tracks, &QListWidget::currentRowChanged, this, [this] { lstMP3Tracks_Click(); });
    connect(ui->lstMP3Tracks, &QListWidget::itemDoubleClicked, this, [this] { cmdMP3Play_Click(); });
    connect(ui->cboMP3Bitrate, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!m_updating && !text.isEmpty())
            sv::SetMp3Bitrate(text);
    });
    connect(ui->lblShowMP3Options, &QLabel::linkActivated, this, [this] { lblShowMP3Options_Click(); });
    ui->picID3->hide();
}

PageMP3::~PageMP3() = default;

void PageMP3::ResetTrackState()
{
    ShownTrack = -1;
    Busy = false;
    m_updating = false;
}

int PageMP3::TrackCount() const
{
    return st.RecordingXMLPath.isEmpty() ? 0 : sv::IndexTrackCount(st.RecordingXMLPath);
}

void PageMP3::SaveLocationLoad()
{
    PageWaveCopy::PrepareSaveBox(ui->cboMP3Save, ui->cmdBrowseMP3Location, true);
}

void PageMP3::MP3OptionsLoad()
{
    MP3BitratesLoad();
    ui->cboMP3Genre->clear();
    ui->cboMP3Genre->addItems(sv::GenreNames());
    ui->cboMP3Genre->setCurrentIndex(std::max(0, int(sv::GenreNames().indexOf(sv::Mp3LastGenre()))));
    const int year = QDate::currentDate().year();
    ui->cboMP3Year->clear();
    ui->cboMP3Year->addItems(sv::Mp3YearList(year));
    ui->cboMP3Year->setEditText(sv::Mp3LastYear(year));
}

void PageMP3::MP3BitratesLoad()
{
    // Without tags the fields would be typed for nothing: the note covers them.
    const bool tags = sv::Mp3TagsEnabled();
    for (QWidget* w : {static_cast<QWidget*>(ui->lblMP3TrackNameCaption), static_cast<QWidget*>(ui->txtMP3TrackName),
                       static_cast<QWidget*>(ui->lblMP3ArtistCaption), static_cast<QWidget*>(ui->txtMP3Artist),
                       static_cast<QWidget*>(ui->lblMP3AlbumCaption), static_cast<QWidget*>(ui->txtMP3Album),
                       static_cast<QWidget*>(ui->lblMP3YearCaption), static_cast<QWidget*>(ui->cboMP3Year),
                       static_cast<QWidget*>(ui->lblMP3GenreCaption), static_cast<QWidget*>(ui->cboMP3Genre),
                       static_cast<QWidget*>(ui->lblMP3CommentsCaption), static_cast<QWidget*>(ui->txtMP3Comments)})
        w->setVisible(tags);
    ui->picID3->setVisible(!tags);

    const sv::Mp3BitrateChoices choices = sv::MakeMp3BitrateChoices();
    m_updating = true;
    ui->cboMP3Bitrate->clear();
    ui->cboMP3Bitrate->addItems(choices.items);
    m_updating = false;
    ui->cboMP3Bitrate->setCurrentIndex(-1);
    ui->cboMP3Bitrate->setCurrentIndex(choices.current);
}

void PageMP3::LoadMP3Page()
{
    host.ShowPage(this);
    const int count = TrackCount();
    m_updating = true;
    ShownTrack = -1;
    ui->lstMP3Tracks->clear();
    for (int i = 1; i <= count; ++i) {
        const auto name = sv::StoredTrackValue(st.RecordingXMLPath, i, QStringLiteral("Name"));
        ui->lstMP3Tracks->addItem(name ? *name : QStringLiteral("Track-%1").arg(i));
    }
    m_updating = false;
    if (count > 0) {
        ui->lstMP3Tracks->setCurrentRow(0);
        if (ShownTrack < 0)
            lstMP3Tracks_Click();
    }
    m_preview->stop();
}

void PageMP3::StoreShownTrack()
{
    if (ShownTrack > 0 && !st.RecordingXMLPath.isEmpty())
        m_fields.store(st.RecordingXMLPath, ShownTrack);
}

void PageMP3::ShowTrack(int number)
{
    ShownTrack = number;
    const sv::TrackTags t = sv::LoadTrackTagsForPage(st.RecordingXMLPath, number);
    m_fields.show(t);
    // Only the table's names: anything else shows as "Other".
    int genre = ui->cboMP3Genre->findText(t.genre, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (genre < 0)
        genre = ui->cboMP3Genre->findText(QStringLiteral("Other"), Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui->cboMP3Genre->setCurrentIndex(genre);
    if (ui->cboMP3Year->currentText().isEmpty() && ui->cboMP3Year->count() > 0)
        ui->cboMP3Year->setCurrentIndex(ui->cboMP3Year->count() - 1);
}

void PageMP3::lstMP3Tracks_Click()
{
    if (m_updating)
        return;
    cmdMP3Stop_Click();
    StoreShownTrack();
    const int row = ui->lstMP3Tracks->currentRow();
    if (row >= 0)
        ShowTrack(row + 1);
}

void PageMP3::MP3PageNext()
{
    cmdMP3Stop_Click();
    lstMP3Tracks_Click();
    QString folder;
    if (!PageWaveCopy::CheckSaveBox(host, ui->cboMP3Save, &folder))
        return;
    st.OutputFolder = folder;
    ShownTrack = -1;
    m_updating = false;
    Q_EMIT compressRequested();
}

void PageMP3::cmdMP3Play_Click()
{
    m_preview->play(ShownTrack > 0 ? sv::TrackWavePath(st.RecordingXMLPath, ShownTrack) : QString());
}

void PageMP3::cmdMP3Stop_Click()
{
    m_preview->stop();
}

void PageMP3::lblShowMP3Options_Click()
{
    frmMP3 dialog(window());
    dialog.setValues(sv::LoadMp3DialogValues());
    connect(&dialog, &frmMP3::helpRequested, this, [this] { host.StartHelp(sv::TopicMP3Options); });
    dialog.exec();
    if (!dialog.saveRequested())
        return;
    sv::SaveMp3DialogValues(dialog.values());
    MP3BitratesLoad();
}
