#include "app/ui/pages/PageVolume.h"
#include "ui_PageVolume.h"

#include "help/HelpTopics.h"
#include "settings/Settings.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"
#include "util/ui/modShellExecute.h"

#include <QStackedWidget>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

using sv::audio::AudioError;
namespace vr = sv::volume_rules;

namespace {
const QString kScanning = QStringLiteral("Scanning ");
}

PageVolume::PageVolume(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageVolume>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picVolume"));
    timDoVolume.setObjectName(QStringLiteral("timDoVolume"));
    timDoVolume.setParent(this); // found by name, like the widgets
    timDoVolume.setInterval(200);
    connect(&timDoVolume, &QTimer::timeout, this, &PageVolume::timDoVolume_Timer);
    m_scanIdleText = ui->lblScanInfo->text();
    m_adjustIdleText = ui->lblAdjustInfo->text();
    // Selections made by code call the handlers themselves, as the line scan
    // and start-up rely on the handler having run when the selection returns.
    connect(ui->cboMixer, &QComboBox::activated, this, [this] { Trap([this] { cboMixer_Click(); }); });
    connect(ui->cboLine, &QComboBox::activated, this, [this] { Trap([this] { cboLine_Click(); }); });
    connect(ui->cmdScan, &QPushButton::clicked, this, [this] { Trap([this] { cmdScan_Click(); }); });
    connect(ui->cmdAdjust, &QPushButton::clicked, this, [this] { Trap([this] { cmdAdjust_Click(); }); });
    // valueChanged covers both the drag and the keyboard/page steps.
    connect(ui->sliVolume, &QSlider::valueChanged, this, [this] { Trap([this] { sliVolume_Change(); }); });
}

PageVolume::~PageVolume() = default;

void PageVolume::Enter()
{
    try {
        host.ShowPage(this);
        cboLine_Click();
        VolPreviewStart();
        timDoVolume.start();
    } catch (const sv::audio::AudioError& e) {
        sv::PlainMsgBox(QStringLiteral("Sonivault cannot connect to the sound card, and cannot continue.\r\n")
                            + QStringLiteral("Error Information ") + QString::number(e.number()) + QStringLiteral("  ")
                            + e.description(),
                        sv::vbCritical, QStringLiteral("Cannot connect to sound card"));
    }
}

QString PageVolume::VolsetPath() const
{
    return st.RecordDirectory + QStringLiteral("volset.wav");
}

void PageVolume::Trap(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const AudioError& e) {
        ReportAudioError(e);
    }
}

void PageVolume::ReportAudioError(const AudioError& e)
{
    sv::PlainMsgBox(QStringLiteral("Sonivault cannot use the sound card.\r\nError Information ")
                        + QString::number(e.number()) + QStringLiteral("  ") + e.description(),
                    sv::vbExclamation, QStringLiteral("Sound card error"));
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
    connect(st.Record(), &sv::audio::RecordObject::DefaultDeviceChanged, this, &PageVolume::defaultDeviceChanged);

    ui->cboMixer->clear();
    for (int i = 0; i < count; ++i)
        ui->cboMixer->addItem(st.Record()->GetMixerName(i));
    if (ui->cboMixer->count() > 0) {
        ui->cboMixer->setCurrentIndex(sv::Settings::mixer(ui->cboMixer->count()));
        cboMixer_Click();
    }
    if (ui->cboLine->count() > 0) {
        ui->cboLine->setCurrentIndex(sv::Settings::line(ui->cboLine->count()));
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
    // A scan passes over such a mixer without stopping for a message.
    if (host.IsWindowShown() && !m_scan.scanning())
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
    // A device under scan is treated like a line: its own volume is kept to be
    // given back, and it is tried at full volume.
    if (m_scan.scanning() && rec->IsDeviceMode())
        m_scan.lineSelected(*rec);
    if (!m_scan.scanning()) {
        // Devices have no line handler to restart the level capture, so a
        // newly chosen device would otherwise go unmonitored.
        if (rec->IsDeviceMode())
            VolPreviewStart();
        sv::Settings::setMixer(ui->cboMixer->currentIndex());
    }
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
    if (!m_scan.scanning()) {
        if (host.IsWindowShown() && line >= 0)
            sv::Settings::setLine(line);
    } else {
        m_scan.lineSelected(*rec);
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


// ---- Line scan --------------------------------------------------------------

void PageVolume::cmdScan_Click()
{
    auto* rec = st.Record();
    if (!rec)
        return;
    WatchPageChanges();
    const bool deviceMode = rec->IsDeviceMode();
    // An earlier verdict no longer holds once the scan moves to other lines.
    ui->lblAdjustInfo->setText(m_adjustIdleText);
    m_savedMixerIndex = ui->cboMixer->currentIndex();
    if (!deviceMode)
        m_savedLineIndex = ui->cboLine->currentIndex();
    m_savedSliderValue = ui->sliVolume->value();
    try {
        if (rec->IsCapturing())
            rec->StopCapture();
        m_scan.startScan(sv::Settings::volume());
        SyncFlags();
        // The handlers store the volume of the first line (or device) and set
        // it to full; reading it again here would only see the full volume.
        ui->cboMixer->setCurrentIndex(0);
        cboMixer_Click();
        if (!deviceMode)
            ui->lblScanInfo->setText(kScanning + ui->cboLine->currentText());
        else
            ui->lblScanInfo->setText(kScanning + ui->cboMixer->itemText(0));
        rec->SetVolume(vr::FullVolume);
        if (deviceMode)
            rec->StartCapture(2, 44100);
    } catch (const AudioError&) {
        StopActivities();
        throw;
    }
    ++m_scanAttempts;
    ui->cboMixer->setEnabled(false);
    ui->cmdScan->setEnabled(false);
    ui->cmdAdjust->setEnabled(false);
    if (!deviceMode)
        ui->cboLine->setEnabled(false);
}

void PageVolume::selectLine(int index)
{
    ui->cboLine->setCurrentIndex(index);
    cboLine_Click();
    ui->lblScanInfo->setText(kScanning + ui->cboLine->currentText());
}

void PageVolume::selectMixer(int index)
{
    ui->cboMixer->setCurrentIndex(index);
    cboMixer_Click();
    ui->lblScanInfo->setText(kScanning + (st.Record()->IsDeviceMode() ? ui->cboMixer->currentText()
                                                                      : ui->cboLine->currentText()));
}

void PageVolume::RestoreAfterScan()
{
    auto* rec = st.Record();
    const bool deviceMode = rec->IsDeviceMode();
    if (deviceMode)
        VolPreviewStop();
    m_scan.giveBackLineVolume(*rec);
    if (m_savedMixerIndex >= 0 && m_savedMixerIndex < ui->cboMixer->count()) {
        ui->cboMixer->setCurrentIndex(m_savedMixerIndex);
        cboMixer_Click();
    }
    if (!deviceMode && m_savedLineIndex >= 0 && m_savedLineIndex < ui->cboLine->count()
        && m_savedLineIndex != ui->cboLine->currentIndex()) {
        // Selecting the mixer tried its first line at full volume: give that
        // line its own volume back before moving to the saved one.
        m_scan.giveBackLineVolume(*rec);
        ui->cboLine->setCurrentIndex(m_savedLineIndex);
        cboLine_Click();
    }
    if (deviceMode) {
        ui->cboMixer->setEnabled(true);
        VolPreviewStart();
        ui->cmdScan->setEnabled(true);
        ui->cmdAdjust->setEnabled(true);
    } else {
        EnableScanControls();
    }
    rec->SetVolume(m_savedSliderValue);
    m_scan.endScan();
    SyncFlags();
}

void PageVolume::scanFailed()
{
    RestoreAfterScan();
    ui->lblScanInfo->setText(QStringLiteral("No recording line was detected."));
    host.Msg(QStringLiteral("Sonivault was unable to detect music on any input line. Please check the following: "
                         "\r\n\r\n"
                         "1 Insure your cable is connected correctly\r\n"
                         "2 Make sure you are playing the cassette or record\r\n"
                         "3 Turn the volume up on your player"
                         "\r\n\r\n"
                         "If the above does not help, please click the Help button for more information."),
          sv::vbExclamation, QStringLiteral("Cannot detect any recording line"));
    if (m_scanAttempts == 3) {
        const int answer = host.Msg(QStringLiteral("This is the third time you've unsuccessfully scanned for the input "
                                                "line. Would you like additional help on this?"),
                                 sv::vbYesNo + sv::vbQuestion, QStringLiteral("Additional help"));
        if (answer == sv::vbYes)
            host.StartHelp(sv::TopicNoDetect);
        else
            m_scanAttempts = 4;
    }
}

void PageVolume::CancelScan()
{
    if (!m_scan.scanning() || !st.Record())
        return;
    RestoreAfterScan();
    if (!st.Record()->IsDeviceMode())
        ui->lblScanInfo->setText(m_scanIdleText);
}

void PageVolume::WatchPageChanges()
{
    if (m_watchingPages)
        return;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* stack = qobject_cast<QStackedWidget*>(w)) {
            // Leaving the page mid-scan would leave a line under test selected
            // at full volume as the recording source.
            connect(stack, &QStackedWidget::currentChanged, this, [this] {
                if (m_scan.scanning() && !IsCurrent())
                    Trap([this] { CancelScan(); });
            });
            m_watchingPages = true;
            return;
        }
    }
}

void PageVolume::EnableScanControls()
{
    ui->cmdScan->setEnabled(true);
    ui->cmdAdjust->setEnabled(true);
    ui->cboMixer->setEnabled(true);
    ui->cboLine->setEnabled(ui->cboLine->count() > 0);
}

void PageVolume::StopActivities()
{
    m_scan.stop();
    SyncFlags();
    EnableScanControls();
}

void PageVolume::SyncFlags()
{
    st.IsScanning = m_scan.scanning();
    st.IsAdjusting = m_scan.adjusting();
}

// ---- Volume optimisation ----------------------------------------------------

void PageVolume::cmdAdjust_Click()
{
    auto* rec = st.Record();
    if (!rec)
        return;
    m_scan.startAdjust(*rec, sv::Settings::volume());
    SyncFlags();
    ui->sliVolume->setValue(vr::FullVolume);
    ui->lblAdjustInfo->setText(QStringLiteral("Optimizing Volume..."));
    sv::Settings::setVolumeMessageShown();
}

void PageVolume::sliVolume_Change()
{
    auto* rec = st.Record();
    if (rec && ui->sliVolume->value() != rec->GetVolume())
        rec->SetVolume(ui->sliVolume->value());
}

void PageVolume::ShowVerdict(sv::VolumeScan::Verdict verdict)
{
    using V = sv::VolumeScan::Verdict;
    switch (verdict) {
    case V::None:
        break;
    case V::Optimized:
        ui->lblAdjustInfo->setText(QStringLiteral("Volume Optimized. Click Next to continue."));
        break;
    case V::TooLow:
        ui->lblAdjustInfo->setText(QStringLiteral("Volume too low. Increase volume from player and try again."));
        sv::PlainMsgBox(QStringLiteral("The volume from the player is too low. Please increase the volume "
                                       "slightly and try again."),
                        sv::vbOKOnly, sv::AppTitle);
        break;
    case V::TooHigh:
        ui->lblAdjustInfo->setText(QStringLiteral("Volume too high. Reduce volume on player and try again."));
        sv::PlainMsgBox(QStringLiteral("The volume from the player is too high. Please reduce the volume and try again."),
                        sv::vbOKOnly, sv::AppTitle);
        break;
    }
}

// ---- The tick ---------------------------------------------------------------

void PageVolume::timDoVolume_Timer()
{
    if (!IsCurrent() || !st.Record())
        return;
    try {
        Tick();
    } catch (const AudioError& e) {
        // Ticks keep coming while a message is open, so report once and only
        // when a scan or adjustment had to end; the idle display just waits.
        const bool busy = m_scan.scanning() || m_scan.adjusting();
        StopActivities();
        if (busy && !m_reportingError) {
            m_reportingError = true;
            ReportAudioError(e);
            m_reportingError = false;
        }
    }
}

void PageVolume::Tick()
{
    auto* rec = st.Record();
    const sv::VolumeScan::Tick t = m_scan.tick(*rec, *this);
    SyncFlags();
    ShowTick(t);
    if (t.restartPreview) {
        // Starting volset.wav anew keeps the throw-away file from growing.
        VolPreviewStop();
        VolPreviewStart();
    }
}

void PageVolume::LineFound()
{
    ui->cmdScan->setEnabled(true);
    ui->cmdAdjust->setEnabled(true);
    ui->cboMixer->setEnabled(true);
    ui->cboLine->setEnabled(ui->cboLine->count() > 0);
    ui->lblScanInfo->setText(QStringLiteral("Line found. Click Adjust to optimize the volume."));
    // The line that carries the music is the one to start with next time.
    sv::Settings::setMixer(ui->cboMixer->currentIndex());
    if (!st.Record()->IsDeviceMode() && ui->cboLine->currentIndex() >= 0)
        sv::Settings::setLine(ui->cboLine->currentIndex());
}

void PageVolume::ShowTick(const sv::VolumeScan::Tick& t)
{
    if (t.found)
        LineFound();
    if (t.syncSlider && st.Record()->GetVolume() != ui->sliVolume->value())
        ui->sliVolume->setValue(st.Record()->GetVolume());
    if (t.adjusted)
        ui->lblAdjustInfo->setText(t.adjustText);
    if (t.volumeLowered)
        ui->sliVolume->setValue(st.Record()->GetVolume());
    ShowVerdict(t.verdict);
    ui->barVolume->setValue(t.bar);
}
