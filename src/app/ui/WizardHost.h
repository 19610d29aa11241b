#pragma once
// What a wizard page may ask of the window that holds it: the navigation
// buttons, which page shows, the window's messages and help, and the run's
// shared state. Pages know this interface only, never the window itself, so
// a page can change without touching the window or its sister pages.
#include <QString>

class QWidget;
struct RunState;

// The four buttons under the pages. Exit is the button captioned "E&xit".
enum class NavButton { Next, Back, Help, Exit };

class WizardHost {
public:
    virtual ~WizardHost() = default;

    virtual RunState& State() = 0;

    // Navigation buttons
    virtual void SetEnabled(NavButton button, bool on) = 0;
    virtual bool IsEnabled(NavButton button) const = 0;
    virtual void SetCaption(NavButton button, const QString& text) = 0;
    // The button Enter presses and the focus goes to.
    virtual void SetDefault(NavButton button) = 0;
    // As if the user pressed Next.
    virtual void GoNext() = 0;

    // Pages; a page is known by its object name ("picOutput") or pointer.
    virtual void ShowPage(QWidget* page) = 0;
    virtual void ShowPage(const QString& objectName) = 0;
    virtual bool IsPageVisible(const QWidget* page) const = 0;

    // A message box centred on the window; returns the vb* answer.
    virtual int Msg(const QString& text, int style, const QString& title) = 0;

    // The tutorial follows the current page; help opens at a topic.
    virtual void ShowTutorialPage() = 0;
    virtual void StartHelp(const QString& topic) = 0;
    virtual void CloseHelpWindow() = 0;

    // The window is on screen. Work that lets events run checks it: once the
    // window has been closed the work ends quietly.
    virtual bool IsWindowShown() const = 0;
    // The window was shown and has been closed since.
    virtual bool IsClosing() const = 0;
    virtual void CloseWindow() = 0;
    // Paints the whole window now (before long work on this thread).
    virtual void RepaintWindow() = 0;
};
