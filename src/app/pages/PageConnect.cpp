#include "app/pages/PageConnect.h"
#include "ui_PageConnect.h"

#include "app/frmMain.h"
#include "app/pages/Pages.h"
#include "util/modMsgbox.h"

PageConnect::PageConnect(frmMain& main)
    : WizardPage(main), ui(std::make_unique<Ui::PageConnect>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picConnect"));
    connect(ui->lblConnectStatic, &QLabel::linkActivated, this,
            [this] { m.StartHelp(QStringLiteral("Connecting your player.htm")); });
}

PageConnect::~PageConnect() = default;

void PageConnect::ConnectPageNext()
{
    PageVolume* volume = m.picVolume();
    try {
        m.ShowPage(volume);
        volume->cboLine_Click();
        volume->VolPreviewStart();
        volume->timDoVolume.start();
    } catch (const sv::audio::AudioError& e) {
        sv::PlainMsgBox(QStringLiteral("Sonivault cannot connect to the sound card, and cannot continue.\r\n")
                            + QStringLiteral("Error Information ") + QString::number(e.number()) + QStringLiteral("  ")
                            + e.description(),
                        sv::vbCritical, QStringLiteral("Cannot connect to sound card"));
    }
}
