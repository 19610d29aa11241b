#include "tracks/TrackList.h"

#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace sv {

QString PreviewRange::startText() const
{
    return FormatTime(start) + QLatin1Char('/') + FormatTime(end);
}

QString PreviewRange::lengthText() const
{
    return FormatTime(end - start);
}

PointerShape PointerFor(int x, int width, bool selected, bool leftDown, PointerShape current)
{
    if (current == PointerShape::Resize && leftDown)
        return current;
    if (!selected)
        return PointerShape::Arrow;
    if (x < 100 || width - x < 100)
        return PointerShape::Resize;
    return leftDown ? PointerShape::Move : PointerShape::Arrow;
}

int StickyTabLeft(int S, int L, int tabLeft, int tabWidth, int imageLeftEdge)
{
    if (imageLeftEdge > 0)
        return S;
    const int V = -imageLeftEdge + 30;
    if (tabLeft < V)
        return S + L <= V + tabWidth ? S + L - tabWidth : V;
    if (tabLeft > S)
        return S >= V ? S : V;
    return tabLeft;
}

void TrackList::clear()
{
    m_markers.clear();
    m_selected = -1;
    m_splitMode = m_combineMode = false;
    m_combineFirst = -1;
    m_skipRelease = false;
    m_joinLine = -1;
    m_instruction.clear();
}

void TrackList::addTrack(int start, int end)
{
    const TrackMarker m{start, std::max(end - start, 0)};
    const auto it = std::upper_bound(m_markers.begin(), m_markers.end(), m,
                                     [](const TrackMarker& a, const TrackMarker& b) { return a.left < b.left; });
    const int i = int(it - m_markers.begin());
    m_markers.insert(i, m);
    // A new marker is selected as if the button were released on it.
    release(i, MouseButton::Left, 0, false, {});
}

void TrackList::setTracks(const QVector<TrackSpan>& spans)
{
    clear();
    for (const TrackSpan& s : spans)
        addTrack(s.start, s.end);
}

bool TrackList::addNew(const AskFn& ask)
{
    const int start = isEmpty() ? 100 : m_markers.last().right() + 2 * m_limits.minTrackSpacing;
    if (start + m_limits.minTrackSize + 100 > m_limits.scale.waveWidth()) {
        if (ask)
            ask(TrackMsg::AddNoRoom, TrackMessage(TrackMsg::AddNoRoom));
        return false;
    }
    addTrack(start, start + m_limits.minTrackSize);
    return true;
}

void TrackList::remove(int i)
{
    if (i < 0 || i >= count())
        return;
    m_markers.remove(i);
    if (m_selected == i)
        m_selected = -1;
    else if (m_selected > i)
        --m_selected;
    if (m_combineFirst == i)
        m_combineFirst = -1;
    else if (m_combineFirst > i)
        --m_combineFirst;
}

bool TrackList::split(int i, int x, const AskFn& ask)
{
    if (i < 0 || i >= count())
        return false;
    const TrackMarker m = m_markers[i];
    bool changed = false;
    if (x > 0 && x < m.width) {
        const int M = m_limits.minTrackLength * m_limits.scale.drawScale();
        const bool leftShort = x < M, rightShort = m.width - x < M;
        if (leftShort && rightShort) {
            if (ask)
                ask(TrackMsg::SplitTooShort, TrackMessage(TrackMsg::SplitTooShort));
        } else if (leftShort || rightShort) {
            const MessageText box = TrackMessage(TrackMsg::SplitTrim, QString::number(m_limits.minTrackLength));
            if (ask && ask(TrackMsg::SplitTrim, box) == vbYes) {
                if (leftShort)
                    m_markers[i] = {m.left + x, m.width - x};
                else
                    m_markers[i].width = x;
                changed = true;
            }
        } else {
            m_markers[i].width = x;
            m_markers.insert(i + 1, TrackMarker{m.left + x, m.width - x});
            changed = true;
        }
    }
    m_splitMode = false;
    if (!m_combineMode)
        m_instruction.clear();
    selectForRange(i);
    return changed;
}

bool TrackList::combine(int a, int b)
{
    if (a > b)
        std::swap(a, b);
    if (a < 0 || b >= count() || b != a + 1)
        return false;
    m_markers[a].width = m_markers[b].right() - m_markers[a].left;
    m_markers.remove(b);
    m_combineMode = false;
    m_combineFirst = -1;
    if (!m_splitMode)
        m_instruction.clear();
    selectForRange(a);
    return true;
}

void TrackList::updateJoinLine(int i, std::initializer_list<int> edges)
{
    m_joinLine = -1;
    const int prevRight = i > 0 ? m_markers[i - 1].right() : INT_MIN / 2;
    const int nextLeft = i + 1 < count() ? m_markers[i + 1].left : INT_MAX / 2;
    for (int x : edges)
        if (std::abs(x - prevRight) <= 15 || std::abs(x - nextLeft) <= 15)
            m_joinLine = x;
}

bool TrackList::moveTo(int i, int newLeft)
{
    if (i < 0 || i >= count())
        return false;
    const int L = m_markers[i].width;
    if (i > 0)
        newLeft = std::max(newLeft, m_markers[i - 1].right());
    if (i + 1 < count())
        newLeft = std::min(newLeft, m_markers[i + 1].left - L);
    if (!edgeInImage(newLeft) || !edgeInImage(newLeft + L))
        return false;
    m_markers[i].left = newLeft;
    updateJoinLine(i, {newLeft, newLeft + L});
    return true;
}

bool TrackList::resizeRight(int i, int newWidth)
{
    if (i < 0 || i >= count())
        return false;
    const int S = m_markers[i].left;
    if (i + 1 < count())
        newWidth = std::min(newWidth, m_markers[i + 1].left - S);
    if (newWidth < m_limits.minTrackSize || !edgeInImage(S + newWidth))
        return false;
    m_markers[i].width = newWidth;
    updateJoinLine(i, {S + newWidth});
    selectForRange(i);
    return true;
}

bool TrackList::resizeLeft(int i, int dx)
{
    if (i < 0 || i >= count())
        return false;
    const TrackMarker m = m_markers[i];
    int newLeft = m.left + dx;
    if (i > 0)
        newLeft = std::max(newLeft, m_markers[i - 1].right());
    const int newWidth = m.right() - newLeft;
    if (newWidth < m_limits.minTrackSize || !edgeInImage(newLeft))
        return false;
    m_markers[i] = {newLeft, newWidth};
    updateJoinLine(i, {newLeft});
    selectForRange(i);
    return true;
}

void TrackList::toggleSplitMode()
{
    m_splitMode = !m_splitMode;
    if (m_splitMode)
        m_instruction = WaveDo::Split;
    else if (!m_combineMode)
        m_instruction.clear();
}

void TrackList::toggleCombineMode()
{
    if (!m_combineMode) {
        m_combineMode = true;
        m_combineFirst = -1;
        m_instruction = WaveDo::CombineFirst;
        return;
    }
    m_combineMode = false;
    if (!m_splitMode)
        m_instruction.clear();
    select(m_combineFirst);
    m_combineFirst = -1;
}

ReleaseOutcome TrackList::release(int i, MouseButton b, int x, bool real, const AskFn& ask)
{
    ReleaseOutcome out;
    if (i < 0 || i >= count())
        return out;
    m_selected = i;
    if (real)
        m_joinLine = -1;

    if (m_combineMode) {
        if (b != MouseButton::Left) {
            m_combineMode = false;
            m_combineFirst = -1;
            if (!m_splitMode)
                m_instruction.clear();
        } else {
            if (m_combineFirst < 0) {
                m_combineFirst = i;
                m_instruction = WaveDo::CombineSecond;
            } else if (std::abs(i - m_combineFirst) != 1) {
                m_instruction = WaveDo::CombineNotAdjacent;
            } else {
                combine(m_combineFirst, i);
                out.stopPlayback = true;
                out.rangeChanged = true;
            }
            return out;
        }
    }

    if (m_splitMode) {
        if (b == MouseButton::Left && real) {
            split(i, x, ask);
            i = m_selected;
        } else {
            m_splitMode = false;
            if (!m_combineMode)
                m_instruction.clear();
        }
    }

    if (m_skipRelease) {
        m_skipRelease = false;
        return out;
    }
    out.stopPlayback = true;
    selectForRange(i);
    out.rangeChanged = true;
    if (b == MouseButton::Right)
        out.playFromSeconds = int(RoundHalfEven(m_limits.scale.secondsAt(m_markers[i].left + x)));
    return out;
}

ReleaseOutcome TrackList::releaseOnEmpty(MouseButton b, int x)
{
    ReleaseOutcome out;
    m_selected = -1;
    if (m_combineMode) {
        m_combineMode = false;
        select(m_combineFirst);
        m_combineFirst = -1;
    }
    m_splitMode = false;
    m_instruction.clear();
    out.stopPlayback = true;
    wholeRange();
    out.rangeChanged = true;
    if (b == MouseButton::Right)
        out.playFromSeconds = int(RoundHalfEven(m_limits.scale.secondsAt(x)));
    return out;
}

int TrackList::startSeconds(int i) const
{
    return m_limits.scale.wholeSeconds(m_markers[i].left);
}

int TrackList::lengthSeconds(int i) const
{
    return m_limits.scale.wholeSeconds(m_markers[i].width);
}

QVector<SplitItem> TrackList::splitList() const
{
    QVector<SplitItem> out;
    for (int i = 0; i < count(); ++i)
        out.append({startSeconds(i), lengthSeconds(i)});
    return out;
}

void TrackList::selectForRange(int i)
{
    select(i);
    if (m_selected < 0)
        return;
    m_range.start = startSeconds(i);
    m_range.end = endSeconds(i);
    m_range.name = TrackName(i + 1);
}

void TrackList::wholeRange()
{
    m_range.start = 0;
    m_range.end = m_limits.scale.waveSeconds();
    m_range.name = EntireRecordingName;
}

} // namespace sv
