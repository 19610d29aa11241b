#include "app/ui/pages/PageWaveform.h"
#include "ui_PageWaveform.h"

#include "settings/Settings.h"
#include "tracks/TrackMessages.h"
#include "tracks/ui/WaveformView.h"
#include "tracks/ui/frmDetectOptions.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

using sv::audio::AudioError;

namespace {
// A left click on the groove puts the handle under the pointer and holds it
// there as a drag would, rather than stepping a page towards the click; the
// release then plays from that point.
class JumpSliderStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};
} // namespace

PageWaveform::PageWaveform(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageWaveform>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picWaveform"));
    timWaveform.setObjectName(QStringLiteral("timWaveform"));
    timWaveform.setParent(this); // found by name, like the widgets
    timWaveform.setInterval(400);
    for (QWidget* w : {static_cast<QWidget*>(ui->picWaveInfo), static_cast<QWidget*>(ui->picLoading),
                       static_cast<QWidget*>(ui->imgReg), static_cast<QWidget*>(ui->imgSel),
                       static_cast<QWidget*>(ui->imgCombine)})
        w->hide();
    using Pic = sv::WaveformView::TabPicture;
    ui->imgReg->setPixmap(sv::WaveformView::tabPicture(Pic::Regular));
    ui->imgSel->setPixmap(sv::WaveformView::tabPicture(Pic::Selected));
    ui->imgCombine->setPixmap(sv::WaveformView::tabPicture(Pic::Combine));

    // The loading panel lies over the viewport rather than in the page's flow.
    ui->picLoading->setParent(ui->picSlider);
    ui->picLoading->setAutoFillBackground(true);
    ui->lblLoadWave->setAlignment(Qt::AlignCenter);

    sv::WaveformView* view = ui->picWave;
    view->setLineWidgets(ui->linPOS, ui->linJoin);
    view->setAsk(Asker());
    view->setModel(nullptr, nullptr);
    connect(view, &sv::WaveformView::released, this, &PageWaveform::ApplyOutcome);
    connect(view, &sv::WaveformView::tracksEdited, this, [this](bool rangeChanged) {
        if (rangeChanged)
            ApplyRange();
        SyncPanel();
    });
    connect(view, &sv::WaveformView::trackDoubleClicked, this, &PageWaveform::OnDoubleClick);
    connect(view, &sv::WaveformView::viewportResized, this, &PageWaveform::UpdateScrollRange);

    ui->hsWave->setRange(0, 1);
    ui->hsWave->setEnabled(false);
    ui->hsWave->installEventFilter(this);
    connect(ui->hsWave, &QScrollBar::valueChanged, this, &PageWaveform::hsWave_Change);

    connect(&timWaveform, &QTimer::timeout, this, &PageWaveform::timWaveform_Timer);
    connect(ui->cmdWavePlay, &QPushButton::clicked, this, &PageWaveform::cmdWavePlay_Click);
    connect(ui->cmdWaveStop, &QPushButton::clicked, this, &PageWaveform::cmdWaveStop_Click);
    connect(ui->cmdAddTrack, &QPushButton::clicked, this, &PageWaveform::cmdAddTrack_Click);
    connect(ui->cmdWaveSplit, &QPushButton::clicked, this, &PageWaveform::cmdWaveSplit_Click);
    connect(ui->cmdWaveCombine, &QPushButton::clicked, this, &PageWaveform::cmdWaveCombine_Click);
    connect(ui->cmdResetTracks, &QPushButton::clicked, this, &PageWaveform::cmdResetTracks_Click);
    connect(ui->cmdTrackOptions, &QPushButton::clicked, this, &PageWaveform::cmdTrackOptions_Click);
    connect(ui->chkAutoSplit, &QCheckBox::clicked, this, &PageWaveform::chkAutoSplit_Click);
    auto* slideStyle = new JumpSliderStyle;
    slideStyle->setParent(ui->WaveSlide);
    ui->WaveSlide->setStyle(slideStyle);
    connect(ui->WaveSlide, &QSlider::sliderPressed, this, &PageWaveform::WaveSlide_Press);
    connect(ui->WaveSlide, &QSlider::sliderReleased, this, &PageWaveform::WaveSlide_Release);
    ui->lblWaveTime->setText(QStringLiteral("0:00"));
}

PageWaveform::~PageWaveform()
{
    m_cancel = true;
    if (m_busyLoop)
        m_busyLoop->quit();
    ui->picWave->setModel(nullptr, nullptr);
}

sv::WaveformView* PageWaveform::View() const
{
    return ui->picWave;
}

QString PageWaveform::RecordingFile() const
{
    return st.RecordingPath.isEmpty() ? st.RecordDirectory + QStringLiteral("recording.wav") : st.RecordingPath;
}

int PageWaveform::Ask(sv::TrackMsg, const sv::MessageText& box)
{
    return host.Msg(box.text, box.style, box.title);
}

sv::AskFn PageWaveform::Asker()
{
    return [this](sv::TrackMsg id, const sv::MessageText& box) { return Ask(id, box); };
}

void PageWaveform::DetectTracksLoad()
{
    m_detect = sv::Settings::detection();
}

// ---- Entering and leaving -------------------------------------------------

void PageWaveform::WaveFormStep()
{
    host.SetEnabled(NavButton::Exit, true);
    // Next and Back wait for the markers: pressing them mid-drawing would
    // leave the page under the work still running.
    host.SetEnabled(NavButton::Next, false);
    host.SetEnabled(NavButton::Back, false);
    cmdWaveStop_Click();
    RemoveAllTracks();
    host.ShowPage(this);
    SetLoading(true);
    Q_EMIT drawingStarted();
    host.ShowTutorialPage();
    repaint();

    m_waveValid = false;
    m_cancel = false;
    LoadWaveform();
    if (m_cancel)
        return;
    if (m_waveValid) {
        SetWaveform();
        ApplyOutcome(m_tracks.releaseOnEmpty(sv::MouseButton::Left, 0));
        DetectTracks();
        if (m_cancel)
            return;
        SetLoading(false);
        host.SetEnabled(NavButton::Back, true);
        host.SetEnabled(NavButton::Next, true);
        return;
    }
    SetLoading(false);
    ReleaseRecording();
    // The record page, ready to record again.
    Q_EMIT recordingDamaged();
    host.SetEnabled(NavButton::Next, false);
    host.SetEnabled(NavButton::Back, true);
    host.ShowTutorialPage();
    Ask(sv::TrackMsg::RecordingDamaged, sv::TrackMessage(sv::TrackMsg::RecordingDamaged));
}

void PageWaveform::LoadWaveform()
{
    m_waveValid = true;
    ui->picWave->setModel(nullptr, nullptr);
    ui->picLoading->setGeometry(ui->picSlider->contentsRect());
    ui->lblLoadWave->setText(QStringLiteral("Loading wave image..."));
    ui->picLoading->raise();
    ui->picLoading->show();
    repaint();

    const QString path = RecordingFile();
    sv::WaveStatus status = sv::WaveStatus::Ok;
    m_done = 0;
    m_total = 0;
    QElapsedTimer clock;
    clock.start();
    DetectTracksLoad();
    const bool bands = m_detect.method == sv::DetectMethod::Bands;
    const bool finished = RunBusy(
        [this, path, &status, bands] {
            m_samples = sv::WaveSamples();
            m_bands = sv::BandLevels();
            status = m_samples.open(path);
            if (status != sv::WaveStatus::Ok)
                return;
            status = m_wave.draw(m_samples, [this, bands](std::int64_t done, std::int64_t total) {
                m_done = done;
                m_total = bands ? 2 * total : total;
                return !m_cancel.load();
            });
            if (status != sv::WaveStatus::Ok || !bands)
                return;
            // Detection's one pass over every sample, as the second half of loading.
            const std::int64_t half = m_wave.waveWidth();
            if (!sv::ComputeBandLevels(m_samples, m_bands, [this, half](std::int64_t done, std::int64_t total) {
                    m_done = half + (total > 0 ? done * half / total : 0);
                    m_total = 2 * half;
                    return !m_cancel.load();
                }))
                status = sv::WaveStatus::Canceled;
        },
        [this, &clock] {
            const qint64 total = m_total;
            const double percent = total > 0 ? double(m_done) / double(total) * 100.0 : 0.0;
            ui->lblLoadWave->setText(sv::LoadingWaveText(percent, clock.elapsed() / 1000.0));
        });
    ui->picLoading->hide();
    if (!finished || status == sv::WaveStatus::Canceled) {
        m_cancel = true;
        return;
    }
    if (status != sv::WaveStatus::Ok) {
        m_waveValid = false;
        return;
    }
    m_tracks.setLimits(sv::Settings::trackLimits(m_wave.scale()));
    ui->picWave->setModel(&m_wave, &m_tracks);
}

void PageWaveform::WaveformBack()
{
    RemoveAllTracks();
    cmdWaveStop_Click();
    ReleaseRecording();
    Q_EMIT backToRecording();
    host.SetEnabled(NavButton::Next, false);
}

void PageWaveform::ReleaseRecording()
{
    ui->picWave->setModel(nullptr, nullptr);
    m_samples = sv::WaveSamples();
    m_bands = sv::BandLevels();
    m_wave = sv::Waveform();
    m_tracks.clear();
    m_tracks.setLimits({});
    m_waveValid = false;
    SyncPanel();
}

void PageWaveform::RemoveAllTracks()
{
    m_tracks.clear();
    ui->picWave->tracksChanged();
    SyncPanel();
}

void PageWaveform::SetLoading(bool loading)
{
    DisableWaveformButtons(!loading);
    for (QWidget* w : {static_cast<QWidget*>(ui->cmdResetTracks), static_cast<QWidget*>(ui->cmdTrackOptions),
                       static_cast<QWidget*>(ui->chkAutoSplit), static_cast<QWidget*>(ui->picWave)})
        w->setEnabled(!loading);
}

void PageWaveform::DisableWaveformButtons(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(ui->cmdWavePlay), static_cast<QWidget*>(ui->cmdWaveStop),
                       static_cast<QWidget*>(ui->WaveSlide), static_cast<QWidget*>(ui->cmdWaveCombine),
                       static_cast<QWidget*>(ui->cmdWaveSplit), static_cast<QWidget*>(ui->cmdAddTrack)})
        w->setEnabled(enabled);
}

bool PageWaveform::RunBusy(const std::function<void()>& work, const std::function<void()>& tick)
{
    QEventLoop loop;
    QFutureWatcher<void> watcher;
    connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    QTimer ticker;
    ticker.setInterval(50);
    if (tick)
        connect(&ticker, &QTimer::timeout, this, tick);
    watcher.setFuture(QtConcurrent::run(work));
    ticker.start();
    m_busyLoop = &loop;
    Q_EMIT busyStarted();
    if (!watcher.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_busyLoop = nullptr;
    ticker.stop();
    if (!watcher.isFinished()) {
        // The loop was left early (window closing): stop the worker first.
        m_cancel = true;
        watcher.waitForFinished();
        return false;
    }
    return !m_cancel;
}

void PageWaveform::hideEvent(QHideEvent* e)
{
    // The window is going away in the middle of drawing or detecting. A
    // minimised window hides its widgets too (a spontaneous hide): the work
    // goes on and is there when the window comes back.
    if (m_busyLoop && !e->spontaneous()) {
        m_cancel = true;
        m_busyLoop->quit();
    }
    WizardPage::hideEvent(e);
}

// ---- Detection and the track buttons --------------------------------------

void PageWaveform::DetectTracks()
{
    DetectTracksLoad();
    sv::DetectSettings s = m_detect;
    s.autoSplit = ui->chkAutoSplit->isChecked();
    sv::DetectResult result;
    if (!RunBusy([this, s, &result] {
            result = sv::DetectTracks(
                m_wave, &m_samples, s, [this](std::int64_t, std::int64_t) { return !m_cancel.load(); }, &m_bands);
        }))
        return;
    m_tracks.setLimits(sv::Settings::trackLimits(m_wave.scale()));
    m_tracks.setTracks(result.tracks);
    // Each new marker is selected as it is made, which stops the preview.
    cmdWaveStop_Click();
    ApplyRange();
    ui->picWave->tracksChanged();
    SyncPanel();
    if (result.message)
        Ask(*result.message, sv::TrackMessage(*result.message));
}

void PageWaveform::RedetectWith(bool autoSplit)
{
    const bool remembered = ui->chkAutoSplit->isChecked();
    ui->chkAutoSplit->setChecked(autoSplit);
    RemoveAllTracks();
    DetectTracks();
    ui->chkAutoSplit->setChecked(remembered);
}

void PageWaveform::cmdResetTracks_Click()
{
    const int answer = Ask(sv::TrackMsg::ResetTracks, sv::TrackMessage(sv::TrackMsg::ResetTracks));
    if (answer != sv::vbYes && answer != sv::vbNo)
        return;
    RedetectWith(answer == sv::vbNo);
}

void PageWaveform::cmdTrackOptions_Click()
{
    sv::frmDetectOptions dlg(window());
    dlg.SetValues(sv::frmDetectOptions::Load());
    // Closed by its close box: the stored settings stay as they were.
    if (dlg.exec() != QDialog::Accepted)
        return;
    sv::frmDetectOptions::Store(dlg.Values());
    if (Ask(sv::TrackMsg::Redetect, sv::TrackMessage(sv::TrackMsg::Redetect)) == sv::vbYes)
        RedetectWith(true);
}

void PageWaveform::SetAutoSplit(bool on)
{
    ui->chkAutoSplit->setChecked(on);
}

void PageWaveform::chkAutoSplit_Click()
{
    sv::Settings::setAutoSplit(ui->chkAutoSplit->isChecked());
}

void PageWaveform::cmdAddTrack_Click()
{
    if (m_tracks.addNew(Asker())) {
        cmdWaveStop_Click();
        ApplyRange();
    }
    ui->picWave->tracksChanged();
    SyncPanel();
}

void PageWaveform::cmdWaveSplit_Click()
{
    m_tracks.toggleSplitMode();
    SyncPanel();
    ui->picWave->update();
}

void PageWaveform::cmdWaveCombine_Click()
{
    m_tracks.toggleCombineMode();
    ui->picWave->tracksChanged();
    SyncPanel();
}

void PageWaveform::SyncPanel()
{
    ui->lblWaveDo->setText(m_tracks.instruction());
    ui->picWaveInfo->setVisible(m_tracks.instructionVisible() || !m_tracks.instruction().isEmpty());
}

void PageWaveform::ApplyOutcome(const sv::ReleaseOutcome& out)
{
    if (out.stopPlayback)
        cmdWaveStop_Click();
    if (out.rangeChanged) {
        ApplyRange();
        ui->lblWaveTime->setText(QStringLiteral("0:00"));
    }
    SyncPanel();
    ui->picWave->tracksChanged();
    if (out.playFromSeconds) {
        ui->WaveSlide->setValue(*out.playFromSeconds);
        WaveSlide_Release();
    }
}

void PageWaveform::ApplyRange()
{
    const sv::PreviewRange r = m_tracks.range();
    m_playStart = r.start;
    m_playEnd = r.end;
    ui->WaveSlide->setRange(r.start, r.end);
    ui->WaveSlide->setValue(0);
    ui->lblWaveTrackName->setText(r.name);
    ui->lblWaveTrackStart->setText(r.startText());
    ui->lblWaveTrackLength->setText(r.lengthText());
}

void PageWaveform::OnDoubleClick(int index, int x)
{
    if (index < 0 || index >= m_tracks.count())
        return;
    cmdWaveStop_Click();
    ApplyOutcome(m_tracks.release(index, sv::MouseButton::Left, x, false, Asker()));
    cmdWavePlay_Click();
    m_tracks.skipNextRelease();
    const sv::TrackMarker& t = m_tracks.at(m_tracks.selected() >= 0 ? m_tracks.selected() : index);
    const int right = -View()->imageLeftEdge() + View()->viewportUnits() - 100;
    if (t.right() > right) {
        const int v = t.left / ScrollDivisor;
        ScrollTo(v > 0 ? v : 0);
    }
}

// ---- Scrolling ------------------------------------------------------------

void PageWaveform::SetWaveform()
{
    const sv::ScrollSetup s = sv::ComputeScroll(m_wave.waveWidth(), View()->viewportUnits());
    QScrollBar* hs = ui->hsWave;
    if (s.enabled) {
        ScrollDivisor = s.divisor;
        hs->setRange(0, s.max);
        hs->setEnabled(true);
        hs->setSingleStep(std::max(s.smallChange, 1));
        hs->setPageStep(std::max(s.largeChange, 1));
    } else {
        ScrollDivisor = 1;
        hs->setRange(0, 1);
        hs->setEnabled(false);
    }
    hs->setValue(0);
    hsWave_Change();
}

// A resized window changes how much of the image fits; keep the position.
void PageWaveform::UpdateScrollRange()
{
    if (!m_waveValid || m_wave.isEmpty())
        return;
    const sv::ScrollSetup s = sv::ComputeScroll(m_wave.waveWidth(), View()->viewportUnits());
    QScrollBar* hs = ui->hsWave;
    const int left = -(View()->imageLeftEdge() - sv::WaveLeftMargin);
    ScrollDivisor = s.enabled ? s.divisor : 1;
    hs->setEnabled(s.enabled);
    hs->setRange(0, s.enabled ? s.max : 1);
    hs->setSingleStep(std::max(s.smallChange, 1));
    hs->setPageStep(std::max(s.largeChange, 1));
    hs->setValue(s.enabled ? std::min(left / ScrollDivisor, s.max) : 0);
    hsWave_Change();
}

void PageWaveform::hsWave_Change()
{
    ScrollChanged = true;
    View()->setImageLeftEdge(sv::ImageLeftEdge(ui->hsWave->value(), ScrollDivisor));
}

void PageWaveform::ScrollTo(int value)
{
    if (value == ui->hsWave->value())
        return;
    ui->hsWave->setValue(value); // hsWave_Change follows
}

bool PageWaveform::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ui->hsWave) {
        if (e->type() == QEvent::KeyPress)
            ScrollKeyDown = true;
        else if (e->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(e)->isAutoRepeat())
            ScrollKeyDown = false;
        else if (e->type() == QEvent::FocusOut)
            ScrollKeyDown = false;
    }
    return WizardPage::eventFilter(watched, e);
}
