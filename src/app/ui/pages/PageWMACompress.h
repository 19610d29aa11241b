#pragma once
// Page: progress of the WMA compression, then the move into the save folder.
#include "app/ui/pages/WizardPage.h"

#include "util/Job.h"

#include <memory>

namespace Ui { class PageWMACompress; }
namespace sv { class WmaEncodeJob; }

class PageWMACompress : public WizardPage {
    Q_OBJECT
public:
    explicit PageWMACompress(WizardHost& wizard);
    ~PageWMACompress() override;

    // Compresses tracks 1 .. count of the split recording into WMA files
    // and moves them to st.OutputFolder; ends on the finish page, or on this
    // page with the reason when something failed.
    void ConverttoWMA(int count);
    // Where wm8eutil and compress.gif are looked for; empty: the program's folder.
    void SetProgramFolder(const QString& folder) { m_programFolder = folder; }

Q_SIGNALS:
    // The WMA files were delivered to folder.
    void delivered(const QString& folder, Delivery what);

private:
    void Encoded(const sv::JobResult& result);
    void Failed(const QString& reason);
    void StopAnimation();

    std::unique_ptr<Ui::PageWMACompress> ui;
    std::unique_ptr<sv::WmaEncodeJob> m_job;
    QString m_programFolder;
    QString m_intro;
};
