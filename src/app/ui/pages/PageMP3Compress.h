#pragma once
// Page: progress of the MP3 compression.
#include "app/ui/pages/WizardPage.h"
#include "output/Mp3Job.h"

#include <QPointer>
#include <memory>

namespace Ui { class PageMP3Compress; }

class PageMP3Compress : public WizardPage {
    Q_OBJECT
public:
    explicit PageMP3Compress(WizardHost& wizard);
    ~PageMP3Compress() override;

    // Shows the page and encodes every track of the recording into
    // st.OutputFolder; ends on the finish page or with the error shown here.
    void ConverttoMP3();
    // The encoding runs (the run's files are not in place yet).
    bool IsRunning() const { return m_job != nullptr; }

Q_SIGNALS:
    void delivered(const QString& folder, Delivery what);

private:
    void Finished(const sv::JobResult& r);
    // The run is over: its work folder goes; error shown when not empty.
    void End(const QString& error);
    void ShowError(const QString& text);

    QPointer<sv::Mp3Job> m_job;
    QString m_folder;
    std::unique_ptr<Ui::PageMP3Compress> ui;
};
