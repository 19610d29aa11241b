#include "app/ui/Artwork.h"

#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

namespace art {

namespace {

void PaintRecord(QPainter& p, QPointF c, double radius, double alpha)
{
    p.save();
    p.setOpacity(alpha);
    p.setPen(Qt::NoPen);
    QRadialGradient g(c, radius);
    g.setColorAt(0.0, QColor(40, 40, 48));
    g.setColorAt(1.0, QColor(18, 18, 24));
    p.setBrush(g);
    p.drawEllipse(c, radius, radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 90, 104), radius / 160.0));
    for (double f = 0.45; f < 0.97; f += 0.045)
        p.drawEllipse(c, radius * f, radius * f);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(196, 70, 52));
    p.drawEllipse(c, radius * 0.33, radius * 0.33);
    p.setBrush(QColor(236, 200, 120));
    p.drawEllipse(c, radius * 0.2, radius * 0.2);
    p.setBrush(QColor(250, 250, 250));
    p.drawEllipse(c, radius * 0.035, radius * 0.035);
    p.restore();
}

void PaintCassette(QPainter& p, QRectF body, double alpha)
{
    p.save();
    p.setOpacity(alpha);
    const double w = body.width();
    const double h = body.height();
    p.setPen(QPen(QColor(30, 34, 44), w / 120.0));
    p.setBrush(QColor(58, 66, 84));
    p.drawRoundedRect(body, w * 0.04, w * 0.04);
    // label
    const QRectF label(body.left() + w * 0.07, body.top() + h * 0.09, w * 0.86, h * 0.56);
    p.setBrush(QColor(242, 234, 214));
    p.drawRoundedRect(label, w * 0.02, w * 0.02);
    p.setPen(QPen(QColor(205, 90, 62), h / 40.0));
    p.drawLine(QPointF(label.left() + w * 0.04, label.top() + h * 0.1),
               QPointF(label.right() - w * 0.04, label.top() + h * 0.1));
    // window with the two reels
    const QRectF window(body.left() + w * 0.25, body.top() + h * 0.3, w * 0.5, h * 0.24);
    p.setPen(QPen(QColor(30, 34, 44), w / 160.0));
    p.setBrush(QColor(120, 130, 150));
    p.drawRoundedRect(window, h * 0.1, h * 0.1);
    p.setBrush(QColor(250, 250, 250));
    const double rr = h * 0.085;
    p.drawEllipse(QPointF(window.left() + window.width() * 0.22, window.center().y()), rr, rr);
    p.drawEllipse(QPointF(window.right() - window.width() * 0.22, window.center().y()), rr, rr);
    // bottom trapezoid
    QPainterPath trap;
    trap.moveTo(body.left() + w * 0.2, body.bottom());
    trap.lineTo(body.left() + w * 0.26, body.bottom() - h * 0.2);
    trap.lineTo(body.right() - w * 0.26, body.bottom() - h * 0.2);
    trap.lineTo(body.right() - w * 0.2, body.bottom());
    p.setBrush(QColor(44, 50, 64));
    p.drawPath(trap);
    p.restore();
}

} // namespace

void PaintPageBackground(QPainter& p, const QRectF& r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, QColor(255, 255, 255));
    g.setColorAt(1.0, QColor(232, 238, 247));
    p.fillRect(r, g);
    // Faint, and kept to the corner, so text over it stays readable.
    const double s = qMin(r.width(), r.height()) * 0.34;
    PaintRecord(p, QPointF(r.right() - s * 0.45, r.bottom() - s * 0.35), s * 0.62, 0.10);
    PaintCassette(p, QRectF(r.right() - s * 1.45, r.bottom() - s * 0.62, s * 0.95, s * 0.6), 0.12);
    p.restore();
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        PaintRecord(p, QPointF(size * 0.6, size * 0.42), size * 0.4, 1.0);
        PaintCassette(p, QRectF(size * 0.04, size * 0.5, size * 0.7, size * 0.45), 1.0);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace art
