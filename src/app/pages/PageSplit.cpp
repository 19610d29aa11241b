#include "app/pages/PageSplit.h"
#include "ui_PageSplit.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QPushButton>

PageSplit::PageSplit(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageSplit>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picSplit"));
}

PageSplit::~PageSplit() = default;

// The track files come with the split itself; this passes through the page
// and fills the output page so the rest of the wizard can be reached.
void PageSplit::StartSplitTracks()
{
    m.cmdBack()->setEnabled(false);
    m.cmdNext()->setEnabled(false);
    m.picWaveform()->cmdWaveStop_Click();
    m.ShowPage(this);
    m.ShowTutorialPage();
    QCoreApplication::processEvents();
    st.RecordingXMLPath = st.RecordDirectory + QStringLiteral("recording.xml");
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale loc;
    st.RecordingName = QStringLiteral("Recording ") + loc.toString(now.time(), QLocale::ShortFormat)
        + QStringLiteral("  ") + loc.toString(now.date(), QLocale::ShortFormat);
    m.picOutput()->RestoreOutputChoice();
    m.ShowPage(m.picOutput());
    m.cmdNext()->setEnabled(true);
    m.ShowTutorialPage();
}

void PageSplit::ClearRecorded()
{
    if (!st.RecordingPath.isEmpty())
        sv::DeleteFileQuiet(st.RecordingPath);
}
