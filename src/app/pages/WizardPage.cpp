#include "app/pages/WizardPage.h"

#include "app/Artwork.h"
#include "app/frmMain.h"

#include <QPainter>

WizardPage::WizardPage(frmMain& main, QWidget* parent)
    : QWidget(parent), m(main), st(main.State())
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
    return m.IsPageVisible(this);
}

void WizardPage::paintEvent(QPaintEvent* e)
{
    if (!m_background)
        return QWidget::paintEvent(e);
    QPainter p(this);
    art::PaintPageBackground(p, QRectF(rect()));
}
