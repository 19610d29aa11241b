#include "app/ui/pages/PageWMA.h"
#include "ui_PageWMA.h"

#include "app/ui/pages/PageWaveCopy.h"
#include "app/ui/pages/TrackPreview.h"
#include "output/TrackTags.h"
#include "output/WmaTags.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>


PageWMA::PageWMA(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageWMA>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWMA"));
    m_preview = new TrackPreview(*this, st, ui->cmdWMAStop, ui->WMASlide);
    m_preview->refused = [this](const QString& reason) {
        host.Msg(QStringLiteral("The track cannot be played: ") + reason, sv::vbExclamation, QStringLiteral("Preview"));
    };
    connect(ui->cmdWMAPlay, &QPushButton::clicked, this, &PageWMA::cmdWMAPlay_Click);
    connect(ui->cmdWMAStop, &QPushButton::clicked, this, &PageWMA::cmdWMAStop_Click);
    connect(ui->lstWMATracks, &QListWidget::currentRowChanged, this, [this] { lstWMATracks_Click(); });
    connect(ui->lstWMATracks, &QListWidget::itemDoubleClicked, this, [this] { cmdWMAPlay_Click(); });
    connect(ui->cboWMABitrate, &QComboBox::currentIndexChanged, this, &PageWMA::cboWMABitrate_Click);
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
    m_preview->play(ShownTrack > 0 ? sv::TrackWavePath(st.RecordingXMLPath, ShownTrack) : QString());
}

void PageWMA::cmdWMAStop_Click()
{
    m_preview->stop();
}
