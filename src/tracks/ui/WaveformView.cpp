#include "tracks/ui/WaveformView.h"

#include "tracks/WaveImage.h"
#include "util/modFunctions.h"

#include <QFontMetricsF>
#include <QFrame>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace sv {

namespace {
QColor tabColour(WaveformView::TabPicture kind)
{
    switch (kind) {
    case WaveformView::TabPicture::Selected: return QColor(222, 128, 24);
    case WaveformView::TabPicture::Combine: return QColor(52, 150, 72);
    case WaveformView::TabPicture::Regular: break;
    }
    return QColor(62, 102, 160);
}

MouseButton buttonOf(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    default: return MouseButton::Other;
    }
}

int whole(double v) { return int(std::lround(v)); }

void paintTab(QPainter& p, const QRectF& r, WaveformView::TabPicture kind)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    // Rounded at the top only: the bottom corners run off the tab.
    path.addRoundedRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 1, r.height() + 4), 4, 4);
    p.setClipRect(r);
    p.fillPath(path, tabColour(kind));
    p.restore();
}

// Seconds between labelled ticks, and between the short ticks among them.
struct RulerStep {
    int major, minor;
};
constexpr RulerStep RulerSteps[] = {{5, 1},     {10, 2},     {15, 5},     {30, 10},   {60, 15},   {120, 30},
                                    {300, 60},  {600, 120},  {900, 300},  {1800, 600}, {3600, 900}};
// Labels stay this far apart (in pixels) whatever the scale.
constexpr double RulerLabelSpacingPx = 64;
} // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setMinimumHeight(DefaultWaveHeight / TwipsPerPixel);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WaveformView::setModel(const Waveform* wave, TrackList* tracks)
{
    m_wave = wave;
    m_tracks = tracks;
    tracksChanged();
}

void WaveformView::setLineWidgets(QWidget* position, QWidget* join)
{
    m_posWidget = position;
    m_joinWidget = join;
    const auto style = [this](QWidget* w, const QColor& c) {
        if (!w)
            return;
        w->setParent(this);
        if (auto* f = qobject_cast<QFrame*>(w))
            f->setFrameShape(QFrame::NoFrame);
        w->setAutoFillBackground(true);
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, c);
        w->setPalette(pal);
        // Clicks go through to the picture below.
        w->setAttribute(Qt::WA_TransparentForMouseEvents);
        w->hide();
    };
    style(position, QColor(0, 70, 220));
    style(join, QColor(220, 30, 30));
    placeLines();
}

void WaveformView::setImageLeftEdge(int units)
{
    m_edge = units;
    doTag();
    placeLines();
    update();
}

void WaveformView::setPositionLine(double x)
{
    m_position = x < 0 ? -1 : x;
    placeLines();
}

void WaveformView::tracksChanged()
{
    if (m_tracks && m_tracks->selected() >= 0)
        m_selTab = m_tracks->at(m_tracks->selected()).left;
    doTag();
    placeLines();
    update();
}

// The selected tab stays in view while its track is, so its label and
// delete icon can be reached after scrolling.
void WaveformView::doTag()
{
    if (!m_tracks || m_tracks->selected() < 0)
        return;
    const TrackMarker& t = m_tracks->at(m_tracks->selected());
    m_selTab = StickyTabLeft(t.left, t.width, m_selTab, tabWidth(m_tracks->selected()), m_edge);
}

int WaveformView::tabWidth(int i) const
{
    if (!m_tracks || i < 0 || i >= m_tracks->count())
        return TabWidth;
    return std::clamp(m_tracks->at(i).width, MinTabWidth, TabWidth);
}

int WaveformView::tabLeft(int i) const
{
    if (!m_tracks || i < 0 || i >= m_tracks->count())
        return 0;
    return i == m_tracks->selected() ? m_selTab : m_tracks->at(i).left;
}

QRectF WaveformView::markerRect(int i) const
{
    if (!m_tracks || i < 0 || i >= m_tracks->count())
        return {};
    const TrackMarker& t = m_tracks->at(i);
    return QRectF(pixelX(t.left), 0, WaveScale::pixelsFromUnits(t.width), waveBottom());
}

QRectF WaveformView::tabRect(int i) const
{
    return QRectF(pixelX(tabLeft(i)), 0, WaveScale::pixelsFromUnits(tabWidth(i)), TabHeightPx);
}

QRectF WaveformView::deleteRect(int i) const
{
    const double right = pixelX(tabLeft(i) + tabWidth(i)) - 2;
    return QRectF(right - DeleteSizePx, (TabHeightPx - DeleteSizePx) / 2.0, DeleteSizePx, DeleteSizePx);
}

QRectF WaveformView::labelRect(int i) const
{
    const double left = pixelX(tabLeft(i) + LabelOffset);
    return QRectF(left, 0, std::max(deleteRect(i).left() - 2 - left, 0.0), TabHeightPx);
}

QPixmap WaveformView::tabPicture(TabPicture kind)
{
    QPixmap pm(TabWidth / TwipsPerPixel, TabHeightPx);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paintTab(p, pm.rect(), kind);
    return pm;
}

double WaveformView::waveY(double y) const
{
    const int h = m_wave && m_wave->height() > 0 ? m_wave->height() : DefaultWaveHeight;
    return y * waveBottom() / h;
}

QVector<WaveformView::RulerTick> WaveformView::rulerTicks() const
{
    QVector<RulerTick> ticks;
    if (!m_wave || m_wave->isEmpty())
        return ticks;
    const WaveScale& scale = m_wave->scale();
    const double pxPerSecond = WaveScale::pixelsFromUnits(scale.unitsAt(1));
    if (pxPerSecond <= 0)
        return ticks;
    RulerStep step = std::end(RulerSteps)[-1];
    for (const RulerStep& s : RulerSteps)
        if (s.major * pxPerSecond >= RulerLabelSpacingPx) {
            step = s;
            break;
        }
    // The seconds in view, within the recording.
    const double first = std::max(0.0, scale.secondsAt(unitsAtPixel(0)));
    const double last = std::min(double(scale.waveSeconds()), scale.secondsAt(unitsAtPixel(width())));
    for (int t = int(std::ceil(first / step.minor)) * step.minor; t <= last; t += step.minor)
        ticks.append({pixelX(scale.unitsAt(t)), t % step.major == 0 ? FormatTime(t) : QString()});
    return ticks;
}

void WaveformView::paintRuler(QPainter& p)
{
    const double top = waveBottom();
    p.fillRect(QRectF(0, top, width(), height() - top), palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(QPointF(pixelX(0), top), QPointF(pixelX(m_wave->waveWidth()), top));
    QFont small = font();
    small.setPointSizeF(std::max(small.pointSizeF() - 1.5, 6.5));
    p.setFont(small);
    const QColor text = palette().color(QPalette::WindowText);
    for (const RulerTick& t : rulerTicks()) {
        const bool major = !t.label.isEmpty();
        p.setPen(major ? text : palette().color(QPalette::Mid));
        p.drawLine(QPointF(t.x, top), QPointF(t.x, top + (major ? 5 : 3)));
        if (major)
            p.drawText(QRectF(t.x + 2, top + 1, RulerLabelSpacingPx - 4, height() - top - 1),
                       Qt::AlignLeft | Qt::AlignVCenter, t.label);
    }
}

void WaveformView::placeLines()
{
    if (m_posWidget) {
        if (m_position >= 0 && m_wave) {
            const int top = int(std::floor(waveY(m_wave->upperGuide())));
            const int bottom = int(std::ceil(waveY(m_wave->lowerGuide())));
            m_posWidget->setGeometry(int(std::floor(pixelX(m_position))), top, 2, std::max(bottom - top, 1));
            m_posWidget->show();
            m_posWidget->raise();
        } else {
            m_posWidget->hide();
        }
    }
    if (m_joinWidget) {
        const int join = m_tracks ? m_tracks->joinLine() : -1;
        if (join >= 0) {
            m_joinWidget->setGeometry(int(std::floor(pixelX(join))), 0, 2, int(waveBottom()));
            m_joinWidget->show();
            m_joinWidget->raise();
        } else {
            m_joinWidget->hide();
        }
    }
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (!m_wave)
        return;
    const double x0 = pixelX(0), x1 = pixelX(m_wave->waveWidth());
    const QRectF image(x0, 0, std::max(x1 - x0, 1.0), waveBottom());
    p.fillRect(image, QColor(WaveBackground.r, WaveBackground.g, WaveBackground.b));
    if (m_wave->isEmpty())
        return;
    paintRuler(p);
    // Marker areas under the curve, so the curve stays black on them.
    if (m_tracks)
        for (int i = 0; i < m_tracks->count(); ++i) {
            QColor area = tabColour(pictureOf(i));
            area.setAlpha(pictureOf(i) != TabPicture::Regular ? 60 : 40);
            p.fillRect(markerRect(i), area);
        }
    paintCurve(p, x0, x1);
    if (!m_tracks)
        return;
    paintMarkers(p);
    // Where a click would cut the track.
    if (m_tracks->splitMode() && m_hoverX >= 0) {
        p.setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
        const double x = pixelX(m_hoverX);
        p.drawLine(QPointF(x, TabHeightPx), QPointF(x, waveBottom()));
    }
}

WaveformView::TabPicture WaveformView::pictureOf(int i) const
{
    if (m_tracks->combineMode() && i == m_tracks->combineFirst())
        return TabPicture::Combine;
    return i == m_tracks->selected() ? TabPicture::Selected : TabPicture::Regular;
}

void WaveformView::paintCurve(QPainter& p, double x0, double x1)
{
    // Guides first, then the centre line and the curve over them.
    p.setPen(QColor(WaveGuide.r, WaveGuide.g, WaveGuide.b));
    for (double y : {m_wave->upperGuide(), m_wave->lowerGuide()})
        p.drawLine(QPointF(x0, waveY(y)), QPointF(x1, waveY(y)));
    p.setPen(QColor(WaveForeground.r, WaveForeground.g, WaveForeground.b));
    p.drawLine(QPointF(x0, waveY(m_wave->centre())), QPointF(x1, waveY(m_wave->centre())));

    // Only the points in view (one per image unit, so a long side holds
    // tens of thousands).
    const QVector<QPoint>& pts = m_wave->polyline();
    const double u0 = unitsAtPixel(-1), u1 = unitsAtPixel(width() + 1);
    auto first = std::lower_bound(pts.begin(), pts.end(), u0, [](const QPoint& a, double u) { return a.x() < u; });
    auto last = std::lower_bound(first, pts.end(), u1, [](const QPoint& a, double u) { return a.x() < u; });
    if (first != pts.begin())
        --first;
    if (last != pts.end())
        ++last;
    QVector<QPointF> line;
    line.reserve(last - first);
    for (auto it = first; it != last; ++it)
        line.append(QPointF(pixelX(it->x()), waveY(it->y())));
    if (line.size() > 1)
        p.drawPolyline(line.constData(), int(line.size()));
}

void WaveformView::paintMarkers(QPainter& p)
{
    // The selected marker lies over the others.
    const int sel = m_tracks->selected();
    QVector<int> order;
    for (int i = 0; i < m_tracks->count(); ++i)
        if (i != sel)
            order.append(i);
    if (sel >= 0)
        order.append(sel);
    QFont small = font();
    small.setPointSizeF(std::max(small.pointSizeF() - 1, 7.0));
    p.setFont(small);
    const QFontMetricsF fm(small);
    for (int i : order) {
        const TabPicture kind = pictureOf(i);
        const QRectF r = markerRect(i);
        QColor edge = tabColour(kind);
        edge.setAlpha(160);
        p.setPen(edge);
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.drawLine(r.topRight(), r.bottomRight());

        paintTab(p, tabRect(i), kind);
        // The length where it fits; a narrow tab keeps only its icon.
        const QString length = FormatTime(m_tracks->lengthSeconds(i));
        const QRectF label = labelRect(i);
        if (fm.horizontalAdvance(length) <= label.width()) {
            p.setPen(Qt::white);
            p.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, length);
        }
    }
    // The icons over every tab, so each can be seen and reached.
    p.setRenderHint(QPainter::Antialiasing);
    for (int i : order) {
        const QRectF del = deleteRect(i);
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(del, 2, 2);
        p.setPen(QPen(QColor(180, 20, 20), 1.6));
        p.drawLine(del.topLeft() + QPointF(3, 3), del.bottomRight() - QPointF(3, 3));
        p.drawLine(del.topRight() + QPointF(-3, 3), del.bottomLeft() + QPointF(3, -3));
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
}

WaveformView::Hit WaveformView::hitTest(const QPointF& pos) const
{
    if (!m_tracks || !m_wave)
        return {};
    const int sel = m_tracks->selected();
    // The icons lie over every tab: they answer first.
    if (sel >= 0 && deleteRect(sel).contains(pos))
        return {Part::Delete, sel};
    for (int i = m_tracks->count() - 1; i >= 0; --i)
        if (i != sel && deleteRect(i).contains(pos))
            return {Part::Delete, i};
    const auto tabParts = [&](int i) -> Part {
        if (labelRect(i).contains(pos))
            return Part::Label;
        if (tabRect(i).contains(pos))
            return Part::Tab;
        return Part::None;
    };
    // The ruler below a marker belongs to it.
    const QPointF area(pos.x(), std::min(pos.y(), waveBottom() - 1));
    if (sel >= 0) {
        if (Part part = tabParts(sel); part != Part::None)
            return {part, sel};
        if (markerRect(sel).contains(area))
            return {Part::Area, sel};
    }
    for (int i = m_tracks->count() - 1; i >= 0; --i)
        if (i != sel)
            if (Part part = tabParts(i); part != Part::None)
                return {part, i};
    for (int i = 0; i < m_tracks->count(); ++i)
        if (i != sel && markerRect(i).contains(area))
            return {Part::Area, i};
    return {};
}

void WaveformView::setPointer(PointerShape shape)
{
    m_pointer = shape;
    switch (shape) {
    case PointerShape::Arrow: setCursor(Qt::ArrowCursor); break;
    case PointerShape::Move: setCursor(Qt::SizeAllCursor); break;
    case PointerShape::Resize: setCursor(Qt::SizeHorCursor); break;
    }
}

void WaveformView::mousePressEvent(QMouseEvent* e)
{
    m_press = hitTest(e->position());
    m_pressButton = e->button();
    m_drag = Drag::None;
    m_dragged = false;
    if (e->button() != Qt::LeftButton || m_press.part != Part::Area || m_press.index != m_tracks->selected())
        return;
    const TrackMarker& t = m_tracks->at(m_press.index);
    const double ux = unitsAtPixel(e->position().x());
    const int x = whole(ux - t.left);
    setPointer(PointerFor(x, t.width, true, true, m_pointer));
    if (m_pointer == PointerShape::Resize) {
        m_drag = x < 100 ? Drag::ResizeLeft : Drag::ResizeRight;
    } else if (m_pointer == PointerShape::Move) {
        m_drag = Drag::Move;
        m_dragOrigin = ux;
        m_dragLeft = t.left;
    }
}

void WaveformView::mouseMoveEvent(QMouseEvent* e)
{
    const double ux = unitsAtPixel(e->position().x());
    if ((e->buttons() & Qt::LeftButton) && m_drag != Drag::None && m_tracks && m_press.index >= 0
        && m_press.index < m_tracks->count()) {
        const int i = m_press.index;
        const TrackMarker t = m_tracks->at(i);
        bool changed = false;
        switch (m_drag) {
        case Drag::Move: changed = m_tracks->moveTo(i, m_dragLeft + whole(ux - m_dragOrigin)); break;
        case Drag::ResizeRight: changed = m_tracks->resizeRight(i, whole(ux - t.left)); break;
        case Drag::ResizeLeft: changed = m_tracks->resizeLeft(i, whole(ux - t.left)); break;
        case Drag::None: break;
        }
        if (changed) {
            m_dragged = true;
            tracksChanged();
            Q_EMIT tracksEdited(m_drag != Drag::Move);
        }
        return;
    }
    if (e->buttons() != Qt::NoButton)
        return;
    const Hit hit = hitTest(e->position());
    const double oldHover = m_hoverX;
    m_hoverX = -1;
    if (hit.part == Part::Area) {
        const TrackMarker& t = m_tracks->at(hit.index);
        if (m_tracks->splitMode()) {
            m_hoverX = ux;
            m_pointer = PointerShape::Arrow;
            setCursor(Qt::SplitHCursor);
        } else {
            setPointer(PointerFor(whole(ux - t.left), t.width, hit.index == m_tracks->selected(), false, m_pointer));
        }
    } else {
        setPointer(PointerShape::Arrow);
    }
    if (oldHover != m_hoverX)
        update();
}

void WaveformView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != m_pressButton || !m_tracks || !m_wave)
        return;
    const Hit press = m_press;
    m_press = {};
    m_pressButton = Qt::NoButton;
    m_drag = Drag::None;
    const double ux = unitsAtPixel(e->position().x());
    const MouseButton b = buttonOf(e->button());
    ReleaseOutcome out;
    bool handled = true;
    switch (press.part) {
    case Part::Delete: {
        const Hit now = hitTest(e->position());
        if (now.part == Part::Delete && now.index == press.index) {
            m_tracks->remove(press.index);
            tracksChanged();
            Q_EMIT tracksEdited(false);
        }
        return;
    }
    case Part::Tab:
    case Part::Label:
        out = m_tracks->release(press.index, MouseButton::Left, 0, false, m_ask);
        break;
    case Part::Area:
        if (press.index < m_tracks->count())
            out = m_tracks->release(press.index, b, whole(ux - m_tracks->at(press.index).left), true, m_ask);
        break;
    case Part::None:
        // Only the picture itself answers, not the margin around it.
        handled = !m_wave->isEmpty() && ux >= 0 && ux <= m_wave->waveWidth();
        if (handled)
            out = m_tracks->releaseOnEmpty(b, whole(ux));
        break;
    }
    if (!handled)
        return;
    tracksChanged();
    Q_EMIT released(out);
}

void WaveformView::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The double-click stands for the second press.
    m_press = hitTest(e->position());
    m_pressButton = e->button();
    m_drag = Drag::None;
    if (e->button() == Qt::LeftButton && m_press.part == Part::Area) {
        const int i = m_press.index;
        Q_EMIT trackDoubleClicked(i, whole(unitsAtPixel(e->position().x()) - m_tracks->at(i).left));
    }
}

void WaveformView::leaveEvent(QEvent*)
{
    if (m_hoverX >= 0) {
        m_hoverX = -1;
        update();
    }
    setPointer(PointerShape::Arrow);
}

void WaveformView::resizeEvent(QResizeEvent*)
{
    placeLines();
    Q_EMIT viewportResized();
}

bool WaveformView::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        if (hitTest(help->pos()).part == Part::Delete)
            QToolTip::showText(help->globalPos(), DeleteTrackTip, this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

} // namespace sv
