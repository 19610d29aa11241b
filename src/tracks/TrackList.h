#pragma once
// The track markers of the waveform page as a model: sorted, never
// overlapping spans in image units, one selection, and every edit the user
// can make with its limits. Messages are asked through an AskFn with the
// texts of TrackMessages.h, so the page shows real boxes and tests answer
// them. Nothing here knows about pixels.
#include "tracks/TrackDetect.h"
#include "tracks/TrackMessages.h"
#include "tracks/Waveform.h"
#include "tracks/modWaveSplit.h"

#include <QString>
#include <QVector>

#include <functional>
#include <optional>

namespace sv {

struct TrackMarker {
    int left = 0;  // image units
    int width = 0;
    int right() const { return left + width; }
    bool operator==(const TrackMarker&) const = default;
};

struct TrackLimits {
    WaveScale scale;
    int minTrackSize = 1500;   // smallest width left by resizing; width of an added track
    int minTrackSpacing = 25;  // an added track starts 2 x this after the last one
    int minTrackLength = 35;   // seconds; the shortest part a split leaves
};

// Shows a message and returns the answer (vbOK, vbYes, vbNo, vbCancel).
using AskFn = std::function<int(TrackMsg, const MessageText&)>;

enum class MouseButton { Left, Right, Other };

// What the page does after a release on a marker or on empty space.
struct ReleaseOutcome {
    bool stopPlayback = false;
    bool rangeChanged = false;          // the preview range is the selected track (or everything)
    std::optional<int> playFromSeconds; // start preview playback there
};

// The preview range and its labels.
struct PreviewRange {
    int start = 0; // whole seconds
    int end = 0;
    QString name;  // "(entire recording)" or "Track n"
    QString startText() const; // "0:00/10:00"
    QString lengthText() const;
};

enum class PointerShape { Arrow, Move, Resize };
// Pointer over a marker at x from its left edge (Resize within 100 units of
// either edge of the selected marker, Move while the left button is down in
// between; other markers keep the arrow). A resize drag under way keeps it.
PointerShape PointerFor(int x, int width, bool selected, bool leftDown, PointerShape current);

// Left of the selected track's tab while the image is scrolled: it stays at
// the viewport's left (+30) as long as its track is in view, and inside its
// track.
int StickyTabLeft(int trackLeft, int trackWidth, int tabLeft, int tabWidth, int imageLeftEdge);

class TrackList {
public:
    explicit TrackList(const TrackLimits& limits = {}) : m_limits(limits) {}
    void setLimits(const TrackLimits& limits) { m_limits = limits; }
    const TrackLimits& limits() const { return m_limits; }

    int count() const { return int(m_markers.size()); }
    bool isEmpty() const { return m_markers.isEmpty(); }
    const TrackMarker& at(int i) const { return m_markers[i]; }
    const QVector<TrackMarker>& markers() const { return m_markers; }
    int selected() const { return m_selected; }
    void select(int i) { m_selected = (i >= 0 && i < count()) ? i : -1; }

    // Removes every marker and leaves both modes.
    void clear();
    // A marker from start to end, kept in position order, and selected.
    void addTrack(int start, int end);
    // The detection's result replaces all markers; none stays selected
    // except the last added, as when they are added one by one.
    void setTracks(const QVector<TrackSpan>& spans);

    // The Add Track button: 100 on an empty list, else 2 x spacing after the
    // last marker; refused with AddNoRoom when it would not fit.
    bool addNew(const AskFn& ask);
    // The delete icon: no confirmation.
    void remove(int i);
    // Cuts marker i at x (from its left edge); a part shorter than the
    // minimum track length is trimmed off after asking, both parts too short
    // refuses with SplitTooShort. True when the markers changed.
    bool split(int i, int x, const AskFn& ask);
    // Merges two neighbours (indices differing by one) over the gap between
    // them into the first; false for any other pair.
    bool combine(int a, int b);

    // Drags. An edge that would reach 0 or pass the image's end refuses the
    // whole step; an edge that would cross a neighbour stops at it. Each sets
    // joinLine() (where the join line shows, -1 for hidden).
    bool moveTo(int i, int newLeft);
    bool resizeRight(int i, int newWidth);
    bool resizeLeft(int i, int dx);
    int joinLine() const { return m_joinLine; }
    void hideJoinLine() { m_joinLine = -1; }

    // Modes and the instruction panel.
    bool splitMode() const { return m_splitMode; }
    bool combineMode() const { return m_combineMode; }
    int combineFirst() const { return m_combineFirst; }
    void toggleSplitMode();
    void toggleCombineMode();
    bool instructionVisible() const { return m_splitMode || m_combineMode; }
    QString instruction() const { return m_instruction; }
    // A double-click's release is ignored.
    void skipNextRelease() { m_skipRelease = true; }

    // Button released on marker i at x from its left edge; real is false for
    // simulated releases (a click on the tab or the length label).
    ReleaseOutcome release(int i, MouseButton b, int x, bool real, const AskFn& ask);
    // Button released on the image outside every marker, at image position x.
    ReleaseOutcome releaseOnEmpty(MouseButton b, int x);

    // Whole seconds, as the split cuts them.
    int startSeconds(int i) const;
    int lengthSeconds(int i) const;
    int endSeconds(int i) const { return startSeconds(i) + lengthSeconds(i); }
    QVector<SplitItem> splitList() const;

    PreviewRange range() const { return m_range; }

private:
    bool edgeInImage(int x) const { return x > 0 && x <= m_limits.scale.waveWidth(); }
    void updateJoinLine(int i, std::initializer_list<int> edges);
    void selectForRange(int i);
    void wholeRange();

    TrackLimits m_limits;
    QVector<TrackMarker> m_markers;
    int m_selected = -1;
    bool m_splitMode = false;
    bool m_combineMode = false;
    int m_combineFirst = -1;
    bool m_skipRelease = false;
    int m_joinLine = -1;
    QString m_instruction;
    PreviewRange m_range;
};

} // namespace sv
