#pragma once
// The main window: the run's state, the page stack, the Next/Back dispatch,
// start-up and the exit request. Each page's own work lives in its controller
// under src/app/pages/.
#include "app/ui/RunState.h"
#include "app/ui/WizardHost.h"

#include <QTimer>
#include <QWidget>
#include <memory>

namespace Ui { class frmMain; }
class QPushButton;
class PageWelcome;
class PageConnect;
class PageVolume;
class PageRecordFrom;
class PageRecord;
class PageWaveform;
class PageSplit;
class PageOutput;
class PageMP3;
class PageWMA;
class PageWaveCopy;
class PageMP3Compress;
class PageWMACompress;
class PageFinish;
class Tutorial;
class PageFLAC;

class frmMain : public QWidget, public WizardHost {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Form load: settings, sound card, pages, profiles; shows the window.
    // False when the program cannot run (no sound card): the caller ends it
    // without the normal shutdown.
    bool Load();

    RunState& State() override { return m_state; }

    // The wizard's pages; exactly one is the current ("visible") page.
    PageWelcome* picWelcome() const { return m_welcome; }
    PageConnect* picConnect() const { return m_connect; }
    PageVolume* picVolume() const { return m_volume; }
    PageRecordFrom* picRecordFrom() const { return m_recordFrom; }
    PageRecord* picRecord() const { return m_record; }
    PageWaveform* picWaveform() const { return m_waveform; }
    PageSplit* picSplit() const { return m_split; }
    PageOutput* picOutput() const { return m_output; }
    PageMP3* picMP3() const { return m_mp3; }
    PageWMA* picWMA() const { return m_wma; }
    PageWaveCopy* picWaveCopy() const { return m_waveCopy; }
    PageMP3Compress* picMP3Compress() const { return m_mp3Compress; }
    PageWMACompress* picWMACompress() const { return m_wmaCompress; }
    PageFinish* picFinish() const { return m_finish; }
    PageFLAC* picFLAC() const { return m_flac; }

    bool IsPageVisible(const QWidget* page) const override;
    void ShowPage(QWidget* page) override;
    void ShowPage(const QString& objectName) override;

    // WizardHost: the navigation buttons and the window
    void SetEnabled(NavButton button, bool on) override;
    bool IsEnabled(NavButton button) const override;
    void SetCaption(NavButton button, const QString& text) override;
    void SetDefault(NavButton button) override;
    void GoNext() override { cmdNext_Click(); }
    bool IsWindowShown() const override { return isVisible(); }
    bool IsClosing() const override { return m_closing; }
    void CloseWindow() override { close(); }
    void RepaintWindow() override { repaint(); }

    QPushButton* cmdNext() const;
    QPushButton* cmdBack() const;
    QPushButton* cmdHelp() const;
    QPushButton* cmdCancel() const;

    // The main form's messages: centred on the main window.
    int Msg(const QString& text, int style, const QString& title) override;

    // Navigation
    void cmdNext_Click();
    void cmdBack_Click();
    void PageLoad();
    void ResetSonivault();
    void DeviceChangeNotice();

    // Start-up and exit
    void timWaitSec_Timer();
    bool QueryUnload();
    void LoadBackgrounds();
    QTimer timWaitSec;

    // Tutorial and help (the work itself is in Tutorial).
    void ShowTutorialPage() override;
    void StartHelp(const QString& topic) override;
    void CloseHelpWindow() override;
    void cmdHelp_Click();
    Tutorial& tutorial() const { return *m_tutorial; }

    // Shutdown steps whose owners come later.
    void ReleaseConsoleRunner();
    void ReleaseStandbyGuard();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    // The hand-offs between pages, connected once.
    void WirePages();
    QPushButton* Button(NavButton button) const;
    void ReadStartupSettings();
    void ShowWelcomeDialog();
    void NextOnVolume();
    void NextOnRecordFrom();
    void NextOnWaveform();
    void NextOnOutput();

    std::unique_ptr<Ui::frmMain> ui;
    RunState m_state;
    bool m_closing = false;
    PageWelcome* m_welcome = nullptr;
    PageConnect* m_connect = nullptr;
    PageVolume* m_volume = nullptr;
    PageRecordFrom* m_recordFrom = nullptr;
    PageRecord* m_record = nullptr;
    PageWaveform* m_waveform = nullptr;
    PageSplit* m_split = nullptr;
    PageOutput* m_output = nullptr;
    PageMP3* m_mp3 = nullptr;
    PageWMA* m_wma = nullptr;
    PageWaveCopy* m_waveCopy = nullptr;
    PageMP3Compress* m_mp3Compress = nullptr;
    PageWMACompress* m_wmaCompress = nullptr;
    PageFinish* m_finish = nullptr;
    Tutorial* m_tutorial = nullptr;
    PageFLAC* m_flac = nullptr;
};
