#include "app/ui/frmMain.h"
#include "ui_frmMain.h"

#include "app/ui/Artwork.h"
#include "app/ui/Tutorial.h"
#include "app/ui/frmWelcome.h"
#include "app/ui/pages/Pages.h"
#include "settings/Profiles.h"
#include "settings/Settings.h"
#include "settings/modXML.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"
#include "util/ui/modShellExecute.h"

#include <QCloseEvent>
#include <QScreen>

#include <cmath>

using sv::audio::AudioError;


frmMain::frmMain(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::frmMain>())
{
    ui->setupUi(this);
    setWindowIcon(art::ProgramIcon());
    m_welcome = new PageWelcome(*this);
    m_connect = new PageConnect(*this);
    m_volume = new PageVolume(*this);
    m_recordFrom = new PageRecordFrom(*this);
    m_record = new PageRecord(*this);
    m_waveform = new PageWaveform(*this);
    m_split = new PageSplit(*this);
    m_output = new PageOutput(*this);
    m_mp3 = new PageMP3(*this);
    m_wma = new PageWMA(*this);
    m_waveCopy = new PageWaveCopy(*this);
    m_mp3Compress = new PageMP3Compress(*this);
    m_wmaCompress = new PageWMACompress(*this);
    m_finish = new PageFinish(*this);
    m_flac = new PageFLAC(*this);
    for (QWidget* page : std::initializer_list<QWidget*>{m_welcome, m_connect, m_volume, m_recordFrom, m_record,
                                                         m_waveform, m_split, m_output, m_mp3, m_wma, m_waveCopy,
                                                         m_mp3Compress, m_wmaCompress, m_finish})
        ui->stkPages->addWidget(page);
    ui->stkPages->addWidget(m_flac);
    m_welcome->SetBackground(true);
    m_tutorial = new Tutorial(this, *this, m_state,
                              {[this] { return ui->stkPages->currentWidget()->objectName(); },
                               [this] {
                                   m_welcome->SetTutorial(false);
                                   m_welcome->chkTutorial_Click();
                               }});
    WirePages();

    timWaitSec.setObjectName(QStringLiteral("timWaitSec"));
    timWaitSec.setInterval(250);
    timWaitSec.setSingleShot(true);
    connect(&timWaitSec, &QTimer::timeout, this, &frmMain::timWaitSec_Timer);

    connect(ui->cmdNext, &QPushButton::clicked, this, &frmMain::cmdNext_Click);
    connect(ui->cmdBack, &QPushButton::clicked, this, &frmMain::cmdBack_Click);
    connect(ui->cmdHelp, &QPushButton::clicked, this, &frmMain::cmdHelp_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmMain::close);
    ui->cmdNext->setEnabled(false);
    ui->cmdBack->setEnabled(false);

    setMinimumSize(QSize(640, 480).expandedTo(minimumSizeHint()));
    resize(QSize(760, 560).expandedTo(minimumSizeHint()));
}

frmMain::~frmMain() = default;

QPushButton* frmMain::cmdNext() const { return ui->cmdNext; }
QPushButton* frmMain::cmdBack() const { return ui->cmdBack; }
QPushButton* frmMain::cmdHelp() const { return ui->cmdHelp; }
QPushButton* frmMain::cmdCancel() const { return ui->cmdCancel; }

QPushButton* frmMain::Button(NavButton button) const
{
    switch (button) {
    case NavButton::Next: return ui->cmdNext;
    case NavButton::Back: return ui->cmdBack;
    case NavButton::Help: return ui->cmdHelp;
    case NavButton::Exit: return ui->cmdCancel;
    }
    return ui->cmdNext;
}

void frmMain::SetEnabled(NavButton button, bool on) { Button(button)->setEnabled(on); }
bool frmMain::IsEnabled(NavButton button) const { return Button(button)->isEnabled(); }
void frmMain::SetCaption(NavButton button, const QString& text) { Button(button)->setText(text); }
void frmMain::SetDefault(NavButton button) { Button(button)->setFocus(); }

bool frmMain::IsPageVisible(const QWidget* page) const
{
    return page && ui->stkPages->currentWidget() == page;
}

void frmMain::ShowPage(QWidget* page)
{
    ui->stkPages->setCurrentWidget(page);
}

void frmMain::ShowPage(const QString& objectName)
{
    for (int i = 0; i < ui->stkPages->count(); ++i) {
        if (ui->stkPages->widget(i)->objectName() == objectName)
            return ui->stkPages->setCurrentIndex(i);
    }
    Q_ASSERT_X(false, "ShowPage", "no page of that name");
}

int frmMain::Msg(const QString& text, int style, const QString& title)
{
    int position = 7;
    return sv::MsgBoxEx(text, style, title, &position);
}

void frmMain::ReadStartupSettings()
{
    RunState& s = m_state;
    s.DrawScale = sv::Settings::drawScale();
    s.MinRecordingLength = sv::Settings::minRecordingLength();
    s.MinTrackSize = sv::Settings::minTrackSize();
    s.MinTrackSpacing = sv::Settings::minTrackSpacing();
}

bool frmMain::Load()
{
    RunState& s = m_state;
    s.Compressing = false;
    sv::SetSettingsFile(sv::UserDataFolder() + QStringLiteral("settings.xml"));
    s.HelpFile = sv::DataFolder() + QStringLiteral("sonivault.chm");
    ReadStartupSettings();
    m_waveform->SetAutoSplit(sv::Settings::autoSplit());
    m_waveform->DetectTracksLoad();
    m_finish->SelectFinishAction(sv::Settings::finishAction());
    if (!m_volume->LoadMixer())
        return false;
    PageLoad();
    sv::DeleteFileQuiet(sv::UserDataFolder() + QStringLiteral("cd_fail.txt"));
    m_recordFrom->LoadProfiles();
    s.HasRecorded = false;
    m_wma->WMABitratesLoad();
    m_mp3->SaveLocationLoad();
    m_wma->SaveLocationLoad();
    m_waveCopy->MakeAutocomplete();
    s.RecordDirectory = sv::AddSlash(sv::Settings::recordDirectory());
    m_mp3->MP3OptionsLoad();
    m_flac->FLACOptionsLoad();
    timWaitSec.start();
    LoadBackgrounds();
    show();
    return true;
}

void frmMain::LoadBackgrounds()
{
    for (WizardPage* page : std::initializer_list<WizardPage*>{m_wma, m_mp3, m_recordFrom, m_record, m_output,
                                                               m_finish, m_split, m_wmaCompress, m_mp3Compress,
                                                               m_volume, m_waveCopy, m_flac})
        page->SetBackground(m_welcome->HasBackground());
}

void frmMain::PageLoad()
{
    ShowPage(m_welcome);
    ui->cmdBack->setEnabled(false);
    const bool on = sv::Settings::tutorialActive();
    m_state.TutorialOn = on;
    m_welcome->SetTutorial(on);
}

void frmMain::timWaitSec_Timer()
{
    timWaitSec.stop();
    if (!sv::Settings::firstRunDone()) {
        ShowWelcomeDialog();
        sv::Settings::setFirstRunDone();
    }
    ShowTutorialPage();
    ui->cmdNext->setEnabled(true);
}

void frmMain::ShowWelcomeDialog()
{
    frmWelcome dialog(this);
    connect(&dialog, &frmWelcome::TutorialChosen, this, [this](bool on) {
        m_state.TutorialOn = on;
        sv::Settings::setTutorialActive(on);
        m_welcome->SetTutorial(on);
    });
    dialog.exec();
}

// ---- Next and Back --------------------------------------------------------

void frmMain::cmdNext_Click()
{
    if (IsPageVisible(m_mp3)) {
        m_mp3->MP3PageNext();
    } else if (IsPageVisible(m_flac)) {
        m_flac->FLACPageNext();
    } else if (IsPageVisible(m_waveCopy)) {
        m_waveCopy->WaveCopyPageNext();
        ShowTutorialPage();
    } else if (IsPageVisible(m_wma)) {
        m_wma->WMAPageNext();
    } else if (IsPageVisible(m_welcome)) {
        m_welcome->WelcomePageNext();
        ShowTutorialPage();
    } else if (IsPageVisible(m_connect)) {
        m_connect->ConnectPageNext();
        ShowTutorialPage();
    } else if (IsPageVisible(m_volume)) {
        NextOnVolume();
    } else if (IsPageVisible(m_recordFrom)) {
        NextOnRecordFrom();
    } else if (IsPageVisible(m_waveform)) {
        NextOnWaveform();
    } else if (IsPageVisible(m_record)) {
        m_waveform->WaveFormStep();
    } else if (IsPageVisible(m_output)) {
        NextOnOutput();
    } else if (IsPageVisible(m_finish)) {
        m_finish->FinishPageNext();
    }
}

void frmMain::NextOnVolume()
{
    if (!sv::Settings::volumeMessageShown()) {
        sv::Settings::setVolumeMessageShown();
        const int answer = Msg(QStringLiteral("You didn't adjust the volume settings.\r\n"
                                              "Adjusting the volume correctly is essential for a high-quality recording. "
                                              "Are you sure you want to continue?\r\n\r\n"
                                              "This message will appear only once."),
                               sv::vbYesNo + sv::vbExclamation + sv::vbDefaultButton2, QStringLiteral("Confirm"));
        if (answer == sv::vbNo)
            return;
    }
    try {
        m_volume->VolPreviewStop();
    } catch (const AudioError&) {
        // The level capture may already have ended; leaving the page goes on.
    }
    ShowPage(m_recordFrom);
    if (m_recordFrom->ProfileCount() == 0) {
        ui->cmdNext->setEnabled(false);
        Msg(QStringLiteral("There are no recording profiles installed. Before you can record, please click Add New "
                           "to create a new profile."),
            sv::vbInformation, QStringLiteral("Recording Profiles"));
        ShowTutorialPage();
    } else {
        m_recordFrom->lstProfiles_Click();
        ShowTutorialPage();
    }
}

void frmMain::NextOnRecordFrom()
{
    if (m_recordFrom->SelectedProfile() < 0) {
        Msg(QStringLiteral("Please select a recording profile before continuing."), sv::vbOKOnly, sv::AppTitle);
        return;
    }
    if (!(sv::FolderExists(m_state.RecordDirectory) && sv::IsFolderWriteable(m_state.RecordDirectory))) {
        const int answer = Msg(QStringLiteral("Please select a recording location. The current one is invalid, blank, "
                                              "or read-only."),
                               sv::vbOKCancel + sv::vbExclamation, QStringLiteral("Recording Location"));
        if (answer == sv::vbOK) {
            m_recordFrom->lblRecLocation_Click();
            cmdNext_Click();
        }
        return;
    }
    m_record->Enter();
}

void frmMain::NextOnWaveform()
{
    if (!m_waveform->HasTracks()) {
        Msg(QStringLiteral("You must select at least one track from the recording.\r\n"
                           "Click Add Track to add a track, or click Reset Tracks to select the entire recording."),
            sv::vbExclamation, QStringLiteral("No tracks selected"));
        return;
    }
    if (!sv::Settings::waveformMessageShown()) {
        const int answer = Msg(QStringLiteral("Are you sure you're ready to continue? You cannot come back after "
                                              "splitting the tracks."),
                               sv::vbYesNo + sv::vbQuestion, QStringLiteral("Confirm"));
        if (answer == sv::vbNo)
            return;
    }
    m_split->StartSplitTracks();
}

void frmMain::NextOnOutput()
{
    m_mp3->ResetTrackState();
    m_wma->ResetTrackState();
    ui->cmdBack->setEnabled(true);
    const QString code = m_output->OutputCode();
    if (code == QLatin1String("0")) {
        m_mp3->LoadMP3Page();
        ShowTutorialPage();
    } else if (code == QLatin1String("1")) {
        m_wma->LoadWMAPage();
        ShowTutorialPage();
    } else if (code == QLatin1String("3")) {
        ShowPage(m_waveCopy);
        ShowTutorialPage();
    } else if (code == QLatin1String("2")) {
        m_finish->MakeAudioCD();
    } else if (code == QLatin1String("4")) {
        m_flac->LoadFLACPage();
        ShowTutorialPage();
    }
}

void frmMain::cmdBack_Click()
{
    // Each step is attempted; a failing one does not stop the rest.
    const auto attempt = [](const std::function<void()>& step) {
        try {
            step();
        } catch (...) {
        }
    };
    const auto done = [this] {
        ui->cmdNext->setFocus();
        ShowTutorialPage();
    };
    if (IsPageVisible(m_connect)) {
        ShowPage(m_welcome);
        ui->cmdBack->setEnabled(false);
    } else if (IsPageVisible(m_volume)) {
        ShowPage(m_connect);
        attempt([this] { m_volume->VolPreviewStop(); });
    } else if (IsPageVisible(m_recordFrom)) {
        ShowPage(m_volume);
        attempt([this] { m_volume->VolPreviewStart(); });
        m_volume->StartLevelTimer();
        ui->cmdNext->setEnabled(true);
    } else if (IsPageVisible(m_record)) {
        ShowPage(m_recordFrom);
        m_state.HasRecorded = false;
        attempt([this] { m_recordFrom->lstProfiles_Click(); });
    } else if (IsPageVisible(m_mp3Compress)) {
        ShowPage(m_mp3);
        ui->cmdNext->setEnabled(true);
    } else if (IsPageVisible(m_wmaCompress)) {
        ShowPage(m_wma);
        ui->cmdNext->setEnabled(true);
    } else if (IsPageVisible(m_waveCopy)) {
        m_waveCopy->HideProgress();
        ShowPage(m_output);
        ui->cmdNext->setEnabled(true);
    } else if (IsPageVisible(m_waveform) || IsPageVisible(m_output)) {
        const int answer = Msg(QStringLiteral("If you go back you will lose what you've already recorded. Continue?"),
                               sv::vbYesNo + sv::vbQuestion + sv::vbDefaultButton2, QStringLiteral("Confirm"));
        if (answer != sv::vbYes)
            return;
        attempt([this] { m_waveform->WaveformBack(); });
    } else if (IsPageVisible(m_wma)) {
        attempt([this] { m_wma->lstWMATracks_Click(); });
        attempt([this] { m_wma->cmdWMAStop_Click(); });
        ShowPage(m_output);
        m_wma->ShownTrack = -1;
    } else if (IsPageVisible(m_flac)) {
        attempt([this] { m_flac->LeavePage(); });
        ShowPage(m_output);
    } else if (IsPageVisible(m_mp3)) {
        attempt([this] { m_mp3->cmdMP3Stop_Click(); });
        attempt([this] { m_mp3->lstMP3Tracks_Click(); });
        ShowPage(m_output);
        m_mp3->ShownTrack = -1;
    } else {
        return;
    }
    done();
}

// ---- A new recording from the finish page ---------------------------------

void frmMain::ResetSonivault()
{
    RunState& s = m_state;
    sv::StoreLastUsed(s.ProfilesFile, m_recordFrom->SelectedProfile());
    m_waveform->cmdWaveStop_Click();
    m_split->ClearRecorded();
    // Let go of the deleted recording so its disk space comes back.
    m_waveform->ReleaseRecording();
    s.HasRecorded = false;
    m_output->StoreOutputChoice();
    if (auto* play = s.Play()) {
        try {
            play->StopPlay();
        } catch (const AudioError&) {
        }
    }
    ReleaseStandbyGuard();
    m_finish->ResetFinishPage();
    m_record->ResetDisplay();
    m_waveform->RemoveAllTracks();
    // As from the connect page: devices have no line handler to restart
    // the level capture.
    m_volume->Enter();
    ui->cmdNext->setEnabled(true);
    ui->cmdNext->setText(QStringLiteral("&Next >"));
    ui->cmdBack->setEnabled(true);
    ui->cmdCancel->setEnabled(true);
    ShowTutorialPage();
}

void frmMain::DeviceChangeNotice()
{
    Msg(QStringLiteral("Sonivault has detected that the default audio device has changed. Please close and re-open "
                       "Sonivault to adjust."),
        sv::vbInformation, QStringLiteral("Audio Device Change"));
}

// ---- Exit -----------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* e)
{
    if (QueryUnload())
        e->accept();
    else
        e->ignore();
}

bool frmMain::QueryUnload()
{
    RunState& s = m_state;
    // Only a running compression holds the exit: an error shown on a
    // compression page must not keep the user from leaving.
    if ((IsPageVisible(m_mp3Compress) || IsPageVisible(m_wmaCompress) || IsPageVisible(m_flac)) && s.Compressing) {
        Msg(QStringLiteral("Sonivault is currently compressing. Please wait until Sonivault has finished."),
            sv::vbOKOnly, QStringLiteral("Compressing"));
        return false;
    }
    if (!IsPageVisible(m_finish) && s.HasRecorded) {
        m_record->BeginQuestion();
        const int answer = Msg(QStringLiteral("Are you sure you want to exit? Anything you recorded will be lost."),
                               sv::vbYesNo + sv::vbQuestion + sv::vbDefaultButton2, QStringLiteral("Exit"));
        m_record->EndQuestion(answer == sv::vbNo);
        if (answer == sv::vbNo)
            return false;
    }
    // A line under scan is at full volume: every line gets its own back.
    try {
        m_volume->CancelScan();
    } catch (const AudioError&) {
    }
    if (!s.ProfilesFile.isEmpty())
        sv::StoreLastUsed(s.ProfilesFile, m_recordFrom->SelectedProfile());
    m_waveform->cmdWaveStop_Click();
    // A capture still running (level monitoring, or a recording when the
    // window is closed) is ended before its file is removed.
    if (auto* rec = s.Record()) {
        try {
            if (rec->IsCapturing())
                rec->StopCapture();
        } catch (const AudioError&) {
        }
        sv::DeleteFileQuiet(m_volume->VolsetPath());
    }
    if (s.HasRecorded)
        m_split->ClearRecorded();
    else if (!s.RecordingPath.isEmpty()) {
        // A take too short to go on with, or one left with Back, is as
        // temporary as any other recording.
        s.Session.adoptRecording(s.RecordingPath);
        s.Session.discardRecording();
    }
    m_output->StoreOutputChoice();
    ReleaseConsoleRunner();
    if (s.IsSubclassed)
        ReleaseStandbyGuard();
    CloseHelpWindow();
    if (auto* play = s.Play()) {
        try {
            play->StopPlay();
        } catch (const AudioError&) {
        }
    }
    timWaitSec.stop();
    m_volume->StopLevelTimer();
    m_record->StopTimers();
    m_closing = true;
    return true;
}

// ---- Pieces that come with later work -------------------------------------

void frmMain::ShowTutorialPage() { m_tutorial->ShowTutorialPage(); }
void frmMain::StartHelp(const QString& topic) { m_tutorial->StartHelp(topic); }
void frmMain::CloseHelpWindow() { m_tutorial->CloseHelpWindow(); }
void frmMain::ReleaseConsoleRunner() {}

void frmMain::ReleaseStandbyGuard()
{
    m_record->ReleaseStandbyGuard();
}

void frmMain::cmdHelp_Click()
{
    m_tutorial->cmdHelp_Click();
}
