#include "app/ui/pages/WizardPage.h"

#include "app/ui/Artwork.h"
#include "app/ui/RunState.h"

#include <QPainter>

WizardPage::WizardPage(WizardHost& wizard, QWidget* parent)
    : QWidget(parent), host(wizard), st(wizard.State())
{
}

void WizardPage::Init(const QString& containerName)
{
    setObjectName(containerName);
}

void WizardPage::SetBackground(bool on)
{
    m_background = on;
    update();
}

bool WizardPage::IsCurrent() const
{
    return host.IsPageVisible(this);
}

void WizardPage::paintEvent(QPaintEvent* e)
{
    if (!m_background)
        return QWidget::paintEvent(e);
    QPainter p(this);
    art::PaintPageBackground(p, QRectF(rect()));
}
