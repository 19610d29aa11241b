#pragma once
// The small window shown while the CD writer runs: its latest progress line,
// a bar for its percentage, and Cancel. It stands in for the main window,
// which is hidden meanwhile.
#include "output/AudioCD.h"
#include "output/DOSOutputs.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

class frmWritingCD : public QWidget {
    Q_OBJECT
public:
    explicit frmWritingCD(QWidget* parent = nullptr);
    ~frmWritingCD() override;

    // Shows the window, runs the writer to its end while events keep being
    // processed, and hides the window again.
    sv::CdRunResult Run(const QString& program, const QStringList& arguments);
    bool IsRunning() const { return m_runner.isRunning(); }

    // Asks the writer to stop (it then reports the cancel itself); one that
    // does not stop within a few seconds is ended.
    void cmdCDCancel_Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void ReceiveOutputs(const QString& piece);

    sv::DOSOutputs m_runner;
    QLabel* lblCDStatus = nullptr;
    QProgressBar* barCDProgress = nullptr;
    QPushButton* cmdCDCancel = nullptr;
    QTimer m_killTimer;
    QString m_tail;
    bool m_canceled = false;
};
