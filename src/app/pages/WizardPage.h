#pragma once
// Base of the wizard's page controllers: access to the main window and the
// run's shared state, and the shared page background.
#include <QWidget>

class frmMain;
struct RunState;

class WizardPage : public QWidget {
    Q_OBJECT
public:
    WizardPage(frmMain& main, QWidget* parent = nullptr);
    // Shows the welcome page's picture behind the page.
    void SetBackground(bool on);
    bool HasBackground() const { return m_background; }
    // The page is the wizard's current page.
    bool IsCurrent() const;

protected:
    void paintEvent(QPaintEvent* e) override;
    // Called after setupUi: the page's name is its container's control name.
    void Init(const QString& containerName);

    frmMain& m;
    RunState& st;

private:
    bool m_background = false;
};
