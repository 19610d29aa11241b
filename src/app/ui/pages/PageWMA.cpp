#include "app/ui/pages/PageWMA.h"
#include "ui_PageWMA.h"

#include "app/ui/pages/PageWaveCopy.h"
#include "output/WmaTags.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include <cmath>

using sv::audio::AudioError;

PageWMA::PageWMA(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageWMA>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWMA"));
    timMP3WMA.setObjectName(QStringLiteral("timMP3WMA"));
    timMP3WMA.setInterval(250);
    connect(&timMP3WMA, &QTimer::timeout, this, &PageWMA::timMP3WMA_Timer);
    connect(ui->cmdWMAPlay, &QPushButton::clicked, this, &PageWMA::cmdWMAPlay_Click);
    connect(ui->cmdWMAStop, &QPushButton::clicked, this, &PageWMA::cmdWMAStop_Click);
    connect(ui->lstWMATracks, &QListWidget::currentRowChanged, this, [this] { lstWMATracks_Click(); });
    connect(ui->lstWMATracks, &QListWidget::itemDoubleClicked, this, [this] { cmdWMAPlay_Click(); });
    connect(ui->cboWMABitrate, &QComboBox::currentIndexChanged, this, &PageWMA::cboWMABitrate_Click);
    connect(ui->WMASlide, &QSlider::sliderPressed, this, [this] { m_sliderDragging = true; });
    connect(ui->WMASlide, &QSlider::sliderReleased, this, [this] {
        m_sliderDragging = false;
        if (auto* play = st.Play()) {
            try {
                play->SetPlayPosition(ui->WMASlide->value());
            } catch (const AudioError&) {
            }
        }
    });
    ui->WMASlide->setEnabled(false);
    ui->cmdWMAStop->setEnabled(false);
}

PageWMA::~PageWMA() = default;

void PageWMA::ResetTrackState()
{
    ShownTrack = -1;
    Busy = false;
}

void PageWMA::WMABitratesLoad()
{
    QSignalBlocker quiet(ui->cboWMABitrate);
    ui->cboWMABitrate->clear();
    ui->cboWMABitrate->addItems(sv::WmaProfiles());
    ui->cboWMABitrate->setCurrentIndex(-1);
    quiet.unblock();
    // Selecting stores the item, so Profile always names one afterwards.
    ui->cboWMABitrate->setCurrentIndex(sv::WmaProfileIndex());
}

void PageWMA::cboWMABitrate_Click(int index)
{
    if (index >= 0)
        sv::SetWmaProfile(ui->cboWMABitrate->itemText(index));
}

void PageWMA::LoadWMAPage()
{
    WMABitratesLoad();
    host.ShowPage(this);
    Busy = true;
    ui->lstWMATracks->clear();
    for (int k = 1; k <= m_trackCount; ++k)
        ui->lstWMATracks->addItem(sv::WmaListItem(st.RecordingXMLPath, k));
    Busy = false;
    ShownTrack = -1;
    if (ui->lstWMATracks->count() > 0) {
        if (ui->lstWMATracks->currentRow() == 0)
            lstWMATracks_Click();
        else
            ui->lstWMATracks->setCurrentRow(0);
    }
}

void PageWMA::lstWMATracks_Click()
{
    if (Busy)
        return;
    cmdWMAStop_Click();
    const QString& index = st.RecordingXMLPath;
    if (ShownTrack > 0) {
        sv::WmaTags tags{ui->txtWMATitle->text(), ui->txtWMAArtist->text(), ui->txtWMACopyright->text(),
                         ui->txtWMADescription->text()};
        sv::StoreWmaPageTags(index, ShownTrack, tags);
        ui->txtWMATitle->setText(tags.title);
        if (QListWidgetItem* item = ui->lstWMATracks->item(ShownTrack - 1)) {
            Busy = true;
            item->setText(tags.title);
            Busy = false;
        }
    }
    const int row = ui->lstWMATracks->currentRow();
    if (row < 0) {
        ShownTrack = -1;
        return;
    }
    ShownTrack = row + 1;
    const sv::WmaTags tags = sv::LoadWmaPageTags(index, ShownTrack);
    ui->txtWMATitle->setText(tags.title);
    ui->txtWMAArtist->setText(tags.artist);
    ui->txtWMACopyright->setText(tags.copyright);
    ui->txtWMADescription->setText(tags.description);
}

void PageWMA::SaveLocationLoad()
{
    PageWaveCopy::PrepareSaveBox(ui->cboWMASave, ui->cmdBrowseWMA, true);
}

void PageWMA::WMAPageNext()
{
    lstWMATracks_Click();
    cmdWMAStop_Click();
    if (!PageWaveCopy::CheckSaveBox(host, ui->cboWMASave, &st.OutputFolder))
        return;
    Q_EMIT convertRequested(ui->lstWMATracks->count());
}

void PageWMA::cmdWMAPlay_Click()
{
    auto* play = st.Play();
    const QString path = ShownTrack > 0
        ? sv::XMLGetValue(QStringLiteral("Filename"), sv::WmaTrackSection(ShownTrack), st.RecordingXMLPath, QString())
        : QString();
    if (!play || !sv::FileExists(path)) {
        ui->WMASlide->setEnabled(false);
        ui->cmdWMAStop->setEnabled(false);
        return;
    }
    try {
        play->PlayFile(path);
        ui->WMASlide->setEnabled(true);
        ui->WMASlide->setMaximum(int(std::lround(play->GetPlayLength())));
        ui->cmdWMAStop->setEnabled(true);
        timMP3WMA.start();
    } catch (const AudioError& e) {
        ui->WMASlide->setEnabled(false);
        ui->cmdWMAStop->setEnabled(false);
        host.Msg(QStringLiteral("The track cannot be played: ") + e.description(), sv::vbExclamation,
                 QStringLiteral("Preview"));
    }
}

void PageWMA::cmdWMAStop_Click()
{
    timMP3WMA.stop();
    ui->cmdWMAStop->setEnabled(false);
    if (auto* play = st.Play()) {
        try {
            play->StopPlay();
        } catch (const AudioError&) {
        }
    }
}

void PageWMA::timMP3WMA_Timer()
{
    if (!IsCurrent()) {
        timMP3WMA.stop();
        return;
    }
    auto* play = st.Play();
    double length = 0;
    double position = 0;
    try {
        length = play ? play->GetPlayLength() : 0;
        position = play ? play->GetPlayPosition() : 0;
    } catch (const AudioError&) {
        length = 0;
    }
    if (length <= 0) {
        ui->cmdWMAStop->setEnabled(false);
        timMP3WMA.stop();
        ui->WMASlide->setValue(0);
        ui->WMASlide->setEnabled(false);
    } else if (!m_sliderDragging) {
        ui->WMASlide->setValue(int(std::lround(position)));
    }
}
