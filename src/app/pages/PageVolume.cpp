#include "app/pages/PageVolume.h"
#include "ui_PageVolume.h"

#include "app/frmMain.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "util/modMsgbox.h"
#include "util/modShellExecute.h"

#include <QStandardPaths>

using sv::audio::AudioError;

PageVolume::PageVolume(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageVolume>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picVolume"));
    timDoVolume.setObjectName(QStringLiteral("timDoVolume"));
    timDoVolume.setInterval(200);
    connect(&timDoVolume, &QTimer::timeout, this, &PageVolume::timDoVolume_Timer);
    // Selections made by code call the handlers themselves, as the line scan
    // and start-up rely on the handler having run when the selection returns.
    connect(ui->cboMixer, &QComboBox::activated, this, [this] { Trap([this] { cboMixer_Click(); }); });
    connect(ui->cboLine, &QComboBox::activated, this, [this] { Trap([this] { cboLine_Click(); }); });
    connect(ui->cmdScan, &QPushButton::clicked, this, [this] { Trap([this] { cmdScan_Click(); }); });
    connect(ui->cmdAdjust, &QPushButton::clicked, this, [this] { Trap([this] { cmdAdjust_Click(); }); });
    connect(ui->sliVolume, &QSlider::valueChanged, this, [this] { Trap([this] { sliVolume_Change(); }); });
}

PageVolume::~PageVolume() = default;

QString PageVolume::VolsetPath() const
{
    return st.RecordDirectory + QStringLiteral("volset.wav");
}

void PageVolume::Trap(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const AudioError& e) {
        sv::PlainMsgBox(QStringLiteral("Sonivault cannot use the sound card.\r\nError Information ")
                            + QString::number(e.number()) + QStringLiteral("  ") + e.description(),
                        sv::vbExclamation, QStringLiteral("Sound card error"));
    }
}

bool PageVolume::LoadMixer()
{
    int count = 0;
    bool deviceMode = false;
    try {
        st.Engine = sv::audio::CreateAudioEngine();
        if (st.Record()) {
            deviceMode = st.Record()->IsDeviceMode();
            count = st.Record()->GetMixerCount();
        }
    } catch (const AudioError&) {
        count = 0;
    }
    if (count <= 0) {
        if (deviceMode) {
            sv::PlainMsgBox(QStringLiteral("All the recording sources are disabled.\r\n"
                                           "Please enable them in the Control Panel and restart Sonivault."),
                            sv::vbExclamation, sv::AppTitle);
            if (!QStandardPaths::findExecutable(QStringLiteral("pavucontrol")).isEmpty())
                sv::ShellOpen(QStringLiteral("pavucontrol"));
        } else {
            sv::PlainMsgBox(QStringLiteral("Sonivault did not detect any soundcard installed on your computer.\r\n"
                                           "Please ensure that your computer is equipped with a sound card, that it is "
                                           "plugged in and working, and that any necessary drivers are installed."),
                            sv::vbCritical, QStringLiteral("No soundcard detected"));
        }
        return false;
    }
    connect(st.Record(), &sv::audio::RecordObject::DefaultDeviceChanged, &m, &frmMain::DeviceChangeNotice);

    ui->cboMixer->clear();
    for (int i = 0; i < count; ++i)
        ui->cboMixer->addItem(st.Record()->GetMixerName(i));
    if (ui->cboMixer->count() > 0) {
        // A damaged, negative or out-of-range position falls back to the first entry.
        int pos = sv::LeadingInt(sv::XMLGetValue(QStringLiteral("Mixer"), QStringLiteral("Soundcard"), QString(),
                                                 QStringLiteral("0")), 0);
        if (pos < 0 || pos > ui->cboMixer->count() - 1)
            pos = 0;
        ui->cboMixer->setCurrentIndex(pos);
        cboMixer_Click();
    }
    if (ui->cboLine->count() > 0) {
        int pos = sv::LeadingInt(sv::XMLGetValue(QStringLiteral("Line"), QStringLiteral("Soundcard"), QString(),
                                                 QStringLiteral("0")), 0);
        if (pos < 0 || pos >= ui->cboLine->count())
            pos = 0;
        ui->cboLine->setCurrentIndex(pos);
        cboLine_Click();
    }
    return true;
}

void PageVolume::LoadLines()
{
    auto* rec = st.Record();
    if (rec->IsDeviceMode()) {
        ui->lblScanInfo->setText(QStringLiteral("Click Scan to find the Recording Device."));
        ui->lblVolumeCaption->setText(QStringLiteral("Recording Device:"));
        ui->lblRecordingLineCaption->hide();
        ui->cboLine->hide();
        return;
    }
    ui->lblVolumeCaption->setText(QStringLiteral("Sound Card:"));
    ui->lblRecordingLineCaption->show();
    ui->cboLine->show();
    ui->cboLine->clear();
    ui->cboLine->setEnabled(true);
    const int count = rec->GetLineCount();
    for (int i = 0; i < count; ++i)
        ui->cboLine->addItem(rec->GetLineName(i));
    if (ui->cboLine->count() > 0) {
        ui->cboLine->setCurrentIndex(0);
        cboLine_Click();
        return;
    }
    if (m.isVisible())
        sv::PlainMsgBox(QStringLiteral("The selected mixer has no recording inputs. Please select another mixer from the list."),
                        sv::vbOKOnly, sv::AppTitle);
    ui->cboLine->setEnabled(false);
}

void PageVolume::cboMixer_Click()
{
    auto* rec = st.Record();
    if (rec->IsCapturing())
        rec->StopCapture();
    rec->SetMixer(ui->cboMixer->currentIndex());
    LoadLines();
    if (!st.IsScanning)
        sv::XMLSetValue(QString::number(ui->cboMixer->currentIndex()), QStringLiteral("Mixer"),
                        QStringLiteral("Soundcard"), QString());
}

void PageVolume::cboLine_Click()
{
    auto* rec = st.Record();
    const int line = ui->cboLine->currentIndex();
    if (line >= 0) {
        if (rec->IsCapturing())
            rec->StopCapture();
        sv::DeleteFileQuiet(VolsetPath());
        rec->SetLine(line);
        rec->SetFileName(VolsetPath());
        VolPreviewStart();
    }
    if (!st.IsScanning) {
        if (m.isVisible() && line >= 0)
            sv::XMLSetValue(QString::number(line), QStringLiteral("Line"), QStringLiteral("Soundcard"), QString());
    } else {
        st.ScanLineVolume = rec->GetVolume();
        rec->SetVolume(32768);
    }
}

void PageVolume::VolPreviewStart()
{
    if (!IsCurrent())
        return;
    auto* rec = st.Record();
    rec->SetPreviewFileName(VolsetPath());
    rec->StartCapture(2, 44100);
}

void PageVolume::VolPreviewStop()
{
    if (auto* rec = st.Record())
        rec->StopCapture();
    sv::DeleteFileQuiet(VolsetPath());
}

// The line scan, the volume optimisation and the level display are added
// here with their own work; until then the buttons do nothing.
void PageVolume::cmdScan_Click() {}
void PageVolume::cmdAdjust_Click() {}
void PageVolume::sliVolume_Change() {}
void PageVolume::timDoVolume_Timer() {}
