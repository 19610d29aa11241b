#pragma once
// The tutorial beside the wizard and the program's help: one topic per page in
// a window of its own (or, where the window system will not let us place
// windows, a panel docked at the right of the main window), the watch that
// notices the user closed it, and the help topics opened from single places.
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QFrame;
class QWidget;
struct RunState;
class WizardHost;

namespace sv {
class HTMLHelp;
class HelpBrowser;
class ChmArchive;
} // namespace sv

class Tutorial : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // Object name of the page on show ("picVolume"), empty for none.
        std::function<QString()> currentPage;
        // Unchecks the welcome page's tutorial box and runs its click.
        std::function<void()> turnOff;
    };
    Tutorial(QWidget* mainWindow, WizardHost& host, RunState& st, Hooks hooks);
    ~Tutorial() override;

    // Shows the current page's topic while the tutorial is on; the first
    // time, places the windows side by side (or docks the panel).
    void ShowTutorialPage();
    // One topic in the "Main" help window, not positioned.
    void StartHelp(const QString& topic);
    // Closes the tutorial and puts the main window back.
    void CloseHelpFile();
    // Closes every help window (tutorial off, exit); asks nothing.
    void CloseHelpWindow();
    // The watch: the user closed the tutorial.
    void timHelp_Timer();
    // The Help button: the desktop's viewer for compiled help files when
    // there is one, else our own help window.
    void cmdHelp_Click();

    // The tutorial is shown (window or panel).
    bool IsOpen() const;
    // The window or the docked panel, whichever shows the tutorial.
    QWidget* View() const;
    bool IsDocked() const { return m_docked; }
    QString CurrentTopic() const;
    sv::HTMLHelp& Help();

    QTimer timHelp;

    // The desktop file that opens compiled help files, empty for none.
    // Replaceable so tests do not start a real viewer.
    static std::function<QString()> ChmViewerQuery;
    static QString DefaultChmViewer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CanPlaceWindows() const;
    void PlaceBesideMain(QWidget* tutorial);
    void ShowDocked(const QString& topic);
    void CloseDocked();
    void LayoutDock();

    QWidget* m_main;
    WizardHost& m_host;
    RunState& st;
    Hooks m_hooks;
    std::unique_ptr<sv::HTMLHelp> m_help;
    QPoint m_savedPos;
    bool m_posSaved = false;
    bool m_docked = false;
    // The docked panel and what the main window gave up for it.
    QPointer<QFrame> m_dock;
    sv::HelpBrowser* m_dockBrowser = nullptr;
    std::shared_ptr<const sv::ChmArchive> m_dockArchive;
    int m_dockWidth = 0;
    int m_marginBefore = 0;
};
