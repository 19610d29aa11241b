#pragma once
// Page 5: recording.
#include "app/pages/WizardPage.h"

#include <QTimer>
#include <memory>

namespace Ui { class PageRecord; }

class PageRecord : public WizardPage {
    Q_OBJECT
public:
    explicit PageRecord(frmMain& main);
    ~PageRecord() override;

    // Prepares and shows the page when the wizard enters it from page 4.
    void Enter();

    void cmdRec_Click();
    void cmdPause_Click();
    void cmdStop_Click();
    void StopRecording();
    void timRecord_Timer();
    void timRecordGraph_Timer();
    QTimer timRecord;      // 1000 ms
    QTimer timRecordGraph; // 65 ms

    std::unique_ptr<Ui::PageRecord> ui;

private:
    int m_targetSeconds = 0;
};
