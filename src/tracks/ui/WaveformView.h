#pragma once
// The waveform picture with its track markers (picWave). Paints the
// polyline, the centre and guide lines and, per marker, the coloured area,
// the tab with the duration label and the delete icon, plus the join line,
// the split-mode line and a minutes:seconds ruler along the bottom, at image
// units / 15 pixels through WaveScale. Mouse
// events become TrackList calls; what the page must do afterwards (stop or
// start the preview, show the range) comes out as signals.
#include "tracks/TrackList.h"
#include "tracks/Waveform.h"

#include <QPixmap>
#include <QWidget>

#include <algorithm>

class QPainter;

namespace sv {

class WaveformView : public QWidget {
    Q_OBJECT
public:
    // Width of a tab in image units; the length label sits at +120, the
    // delete icon at the tab's right end. A track narrower than a tab gets a
    // tab no wider than itself (but room for the icon), so neighbouring tabs
    // never hide each other's icon.
    static constexpr int TabWidth = 1200;
    static constexpr int LabelOffset = 120;
    static constexpr int TabHeightPx = 18;
    static constexpr int DeleteSizePx = 12;
    static constexpr int MinTabWidth = (DeleteSizePx + 4) * TwipsPerPixel;
    static constexpr int RulerHeightPx = 16;

    explicit WaveformView(QWidget* parent = nullptr);

    // Neither is owned; both must outlive the view or be reset to null.
    void setModel(const Waveform* wave, TrackList* tracks);
    void setAsk(AskFn ask) { m_ask = std::move(ask); }
    // The position and join lines are real widgets (linPOS, linJoin) laid
    // over the picture; the view places them.
    void setLineWidgets(QWidget* position, QWidget* join);

    // Scrolling: the image's left edge inside the viewport, in image units
    // (150 at the start). Re-pins the selected tab.
    void setImageLeftEdge(int units);
    int imageLeftEdge() const { return m_edge; }
    int viewportUnits() const { return width() * TwipsPerPixel; }

    // Preview position in image units; negative hides the line.
    void setPositionLine(double x);
    double positionLine() const { return m_position; }
    bool positionLineVisible() const { return m_position >= 0; }

    // The markers changed outside the view: tabs back to their tracks, the
    // selected one pinned again, repaint.
    void tracksChanged();

    // Geometry in widget pixels, for the page and for tests.
    double pixelX(double units) const { return WaveScale::pixelsFromUnits(m_edge + units); }
    double unitsAtPixel(double px) const { return WaveScale::unitsFromPixels(px) - m_edge; }
    QRectF markerRect(int i) const;
    QRectF tabRect(int i) const;
    QRectF labelRect(int i) const;
    QRectF deleteRect(int i) const;
    int tabLeft(int i) const;
    int tabWidth(int i) const;

    // The ruler's ticks in view: widget x, and the time text on the longer
    // ones (empty on the short ones between).
    struct RulerTick {
        double x;
        QString label;
    };
    QVector<RulerTick> rulerTicks() const;

    enum class TabPicture { Regular, Selected, Combine };
    static QPixmap tabPicture(TabPicture kind);

Q_SIGNALS:
    // A release on a marker, a tab or empty space was handed to the list.
    void released(const sv::ReleaseOutcome& outcome);
    // A marker was moved, resized or deleted by the mouse.
    void tracksEdited(bool rangeChanged);
    void trackDoubleClicked(int index, int x);
    // The viewport's width changed (the scroll range depends on it).
    void viewportResized();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;

private:
    enum class Part { None, Area, Tab, Label, Delete };
    struct Hit {
        Part part = Part::None;
        int index = -1;
    };
    enum class Drag { None, Move, ResizeLeft, ResizeRight };

    Hit hitTest(const QPointF& p) const;
    void doTag();
    void placeLines();
    void setPointer(PointerShape shape);
    double waveY(double y) const;
    double waveBottom() const { return std::max(height() - RulerHeightPx, 1); }
    void paintRuler(QPainter& p);
    void paintCurve(QPainter& p, double x0, double x1);
    void paintMarkers(QPainter& p);
    TabPicture pictureOf(int i) const;

    const Waveform* m_wave = nullptr;
    TrackList* m_tracks = nullptr;
    AskFn m_ask;
    QWidget* m_posWidget = nullptr;
    QWidget* m_joinWidget = nullptr;
    int m_edge = WaveLeftMargin;
    double m_position = -1;
    int m_selTab = 0; // tab left of the selected marker (DoTag)

    // Mouse state between press and release.
    Hit m_press;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    Drag m_drag = Drag::None;
    double m_dragOrigin = 0; // image units
    int m_dragLeft = 0;
    bool m_dragged = false;
    PointerShape m_pointer = PointerShape::Arrow;
    double m_hoverX = -1; // split-mode line, image units
};

} // namespace sv
