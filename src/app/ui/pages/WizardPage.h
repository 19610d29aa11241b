#pragma once
// Base of the wizard's page controllers: access to the window through
// WizardHost and to the run's shared state, and the shared page background.
#include "app/ui/RunState.h"
#include "app/ui/WizardHost.h"

#include <QWidget>


// What was delivered to a folder (or a CD) before the finish page shows.
enum class Delivery { MP3, WMA, WavCopies, AudioCD, FLAC };

class WizardPage : public QWidget {
    Q_OBJECT
public:
    WizardPage(WizardHost& host, QWidget* parent = nullptr);
    // Shows the welcome page's picture behind the page.
    void SetBackground(bool on);
    bool HasBackground() const { return m_background; }
    // The page is the wizard's current page.
    bool IsCurrent() const;

protected:
    void paintEvent(QPaintEvent* e) override;
    // Called after setupUi: the page's name is its container's control name.
    void Init(const QString& containerName);

    WizardHost& host;
    RunState& st;

private:
    bool m_background = false;
};
