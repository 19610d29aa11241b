#include "app/ui/pages/PageConnect.h"
#include "ui_PageConnect.h"
#include "help/HelpTopics.h"


PageConnect::PageConnect(WizardHost& wizard)
    : WizardPage(wizard), ui(std::make_unique<Ui::PageConnect>())
{
    ui->setupUi(this);
    Init(QStringLiteral("picConnect"));
    connect(ui->lblConnectStatic, &QLabel::linkActivated, this,
            [this] { host.StartHelp(sv::TopicConnectPlayer); });
}

PageConnect::~PageConnect() = default;

void PageConnect::ConnectPageNext()
{
    Q_EMIT connected();
}
