// Every edit of the track list with its limits and messages. Scale 50 on a 600-second recording:
// 30000 units wide, a 35-second minimum is 1750 units.
#include "tracks/TrackList.h"
#include "util/ui/modMsgbox.h"

#include <QtTest>

using namespace sv;

namespace {
using Markers = QVector<TrackMarker>;

TrackList makeList(const Markers& m = {})
{
    TrackLimits l;
    l.scale = WaveScale(50, 600);
    TrackList t(l);
    for (const TrackMarker& k : m)
        t.addTrack(k.left, k.right());
    return t;
}

// Answers boxes in order and records which were asked.
struct Asker {
    QList<int> answers;
    QList<TrackMsg> asked;
    QStringList texts;
    AskFn fn()
    {
        return [this](TrackMsg id, const MessageText& box) {
            asked.append(id), texts.append(box.text);
            return answers.isEmpty() ? int(vbOK) : answers.takeFirst();
        };
    }
};
} // namespace

class TestTrackList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void add()
    {
        struct Row { Markers before, after; };
        const Row rows[] = {
            {{}, {{100, 1500}}},                                    // empty list starts at 100
            {{{100, 28250}}, {{100, 28250}, {28400, 1500}}},        // after the last, 2 x spacing: exactly fits
            {{{100, 28900}}, {{100, 28900}}},                       // last ends at 29000: no room
        };
        for (const Row& r : rows) {
            TrackList t = makeList(r.before);
            Asker a;
            const bool noRoom = r.before == r.after;
            QCOMPARE(t.addNew(a.fn()), !noRoom);
            QCOMPARE(t.markers(), r.after);
            QCOMPARE(a.asked, noRoom ? QList<TrackMsg>{TrackMsg::AddNoRoom} : QList<TrackMsg>{});
            if (!noRoom)
                QCOMPARE(t.selected(), t.count() - 1);
        }
    }

    void remove()
    {
        TrackList t = makeList({{100, 2000}, {3000, 2000}, {6000, 2000}});
        t.select(2);
        t.remove(1);
        QCOMPARE(t.markers(), (Markers{{100, 2000}, {6000, 2000}}));
        QCOMPARE(t.selected(), 1); // still the same track
        t.remove(1);
        QCOMPARE(t.selected(), -1);
        t.remove(0);
        QVERIFY(t.isEmpty());
    }

    void split()
    {
        struct Row { Markers before; int index, x, answer; Markers after; int asked; }; // asked: -1 none, else TrackMsg
        const int tooShort = int(TrackMsg::SplitTooShort), trim = int(TrackMsg::SplitTrim);
        const Row rows[] = {
            {{{1000, 3000}}, 0, 1500, 0, {{1000, 3000}}, tooShort},          // 60 s at the middle
            {{{1000, 5000}}, 0, 1000, vbYes, {{2000, 4000}}, trim},          // 20 s in, Yes trims the left
            {{{1000, 5000}}, 0, 1000, vbNo, {{1000, 5000}}, trim},           // No keeps it
            {{{1000, 5000}}, 0, 4000, vbYes, {{1000, 4000}}, trim},          // short right part trimmed
            {{{1000, 3500}}, 0, 1750, 0, {{1000, 1750}, {2750, 1750}}, -1},  // exactly the minimum
            {{{100, 2000}, {3000, 5000}, {9000, 2000}}, 1, 2500, 0,          // later ones move up
             {{100, 2000}, {3000, 2500}, {5500, 2500}, {9000, 2000}}, -1},
        };
        for (const Row& r : rows) {
            TrackList t = makeList(r.before);
            t.toggleSplitMode();
            Asker a;
            a.answers = {r.answer};
            // The split happens on a real left release on the track.
            const ReleaseOutcome o = t.release(r.index, MouseButton::Left, r.x, true, a.fn());
            QCOMPARE(t.markers(), r.after);
            QCOMPARE(a.asked.size(), r.asked < 0 ? 0 : 1);
            if (r.asked >= 0)
                QCOMPARE(int(a.asked[0]), r.asked);
            if (r.asked == trim) // the minimum in the question
                QVERIFY(a.texts[0].contains("35 seconds"));
            QVERIFY(!t.splitMode() && !t.instructionVisible());
            QCOMPARE(t.selected(), r.index);
            QVERIFY(o.rangeChanged);
        }
        // A simulated release (a click on a tab) does not split; it ends split mode.
        TrackList t = makeList({{1000, 5000}});
        t.toggleSplitMode();
        t.release(0, MouseButton::Left, 2000, false, {});
        QCOMPARE(t.count(), 1);
        QVERIFY(!t.splitMode());
    }

    void combine()
    {
        const Markers four{{100, 2000}, {2500, 2000}, {5000, 2000}, {8000, 2000}};
        TrackList t = makeList(four);
        QVERIFY(!t.combine(1, 3) && !t.combine(1, 1));
        QCOMPARE(t.markers(), four);

        t.toggleCombineMode();
        t.release(1, MouseButton::Left, 10, true, {});
        QCOMPARE(t.combineFirst(), 1);
        t.release(3, MouseButton::Left, 10, true, {}); // track 2 with track 4
        QCOMPARE(t.instruction(), WaveDo::CombineNotAdjacent);
        QCOMPARE(t.markers(), four);
        t.release(0, MouseButton::Left, 10, true, {}); // track 2 with track 1, picked in reverse
        QCOMPARE(t.markers(), (Markers{{100, 4400}, {5000, 2000}, {8000, 2000}}));
        QCOMPARE(t.selected(), 0);
        QVERIFY(!t.combineMode() && !t.instructionVisible());

        // Another button cancels; so does pressing Combine again after a first pick.
        t.toggleCombineMode();
        t.release(1, MouseButton::Right, 10, true, {});
        QVERIFY(!t.combineMode());
        t.toggleCombineMode();
        t.release(2, MouseButton::Left, 10, true, {});
        t.toggleCombineMode();
        QVERIFY(!t.combineMode() && t.selected() == 2 && t.count() == 3);
    }

    // Track 2 of three: [100, 2100] [5000, 7000] [10000, 12000].
    void move()
    {
        struct Row { int newLeft, left, joinLine; };
        const Row rows[] = {
            {6000, 6000, -1},  // free move
            {9000, 8000, 10000}, // stops at the next track
            {2110, 2110, 2110}, // within 15 of the neighbour: join line
            {2116, 2116, -1},   // 16 away: none
        };
        for (const Row& r : rows) {
            TrackList t = makeList({{100, 2000}, {5000, 2000}, {10000, 2000}});
            QVERIFY(t.moveTo(1, r.newLeft));
            QCOMPARE(t.at(1), (TrackMarker{r.left, 2000}));
            QCOMPARE(t.joinLine(), r.joinLine);
        }
    }

    // The left edge never reaches 0, the right edge never passes the image.
    void moveOutOfImage()
    {
        TrackList t = makeList({{100, 2000}});
        for (const auto& [left, ok] : {std::pair{0, false}, std::pair{-50, false}, std::pair{1, true},
                                       std::pair{28000, true}, std::pair{28001, false}})
            QVERIFY2(t.moveTo(0, left) == ok, qPrintable(QString::number(left)));
        QCOMPARE(t.at(0).left, 28000);
    }

    void resize()
    {
        TrackList t = makeList({{100, 2000}, {5000, 2000}, {10000, 2000}});
        QVERIFY(!t.resizeRight(1, 1499));         // below MinTrackSize
        QVERIFY(t.resizeRight(1, 1500));
        QCOMPARE(t.at(1).width, 1500);
        QVERIFY(t.resizeRight(1, 9000));          // stops at the next track
        QCOMPARE(t.at(1).right(), 10000);
        QCOMPARE(t.joinLine(), 10000);
        QVERIFY(!t.resizeRight(2, 20001));        // past the end of the image
        QVERIFY(t.resizeRight(2, 20000));

        QVERIFY(t.resizeLeft(1, 1000));
        QCOMPARE(t.markers()[1], (TrackMarker{6000, 4000}));
        QVERIFY(!t.resizeLeft(1, 2501));          // would leave 1499
        QVERIFY(t.resizeLeft(1, -10000));         // stops at the previous track
        QCOMPARE(t.markers()[1], (TrackMarker{2100, 7900}));
        QCOMPARE(QPoint(t.range().start, t.range().end), QPoint(42, 200)); // 2100 / 50

        TrackList one = makeList({{100, 2000}});
        QVERIFY(!one.resizeLeft(0, -100));        // left edge would reach 0
        QVERIFY(one.resizeLeft(0, -99));
        QCOMPARE(one.at(0).left, 1);
    }

    // A left release stops the preview and makes the track the range; the one after a double click is skipped.
    void releaseAndRange()
    {
        TrackList t = makeList({{3000, 4500}, {9000, 2000}});
        ReleaseOutcome o = t.release(0, MouseButton::Left, 100, true, {});
        QVERIFY(o.stopPlayback && !o.playFromSeconds);
        QCOMPARE(t.range().name + ' ' + t.range().startText() + ' ' + t.range().lengthText(),
                 QString("Track 1 1:00/2:30 1:30"));
        t.skipNextRelease();
        o = t.release(1, MouseButton::Left, 0, true, {});
        QVERIFY(!o.rangeChanged);
        QCOMPARE(t.range().name, QString("Track 1"));
    }

    void wholeSeconds()
    {
        TrackList t = makeList({{75, 1500}, {1625, 1625}});
        const QVector<SplitItem> s = t.splitList();
        QCOMPARE(s.size(), 2);
        // 1.5 and 32.5 round to even.
        QVERIFY(s[0].start == 2 && s[0].length == 30 && s[1].start == 32 && s[1].length == 32);
        QCOMPARE(t.endSeconds(1), 64);
    }

    // The pointer over a marker 2000 units wide, selected or not.
    void pointer()
    {
        const auto arrow = PointerShape::Arrow, move = PointerShape::Move, resize = PointerShape::Resize;
        struct Row { int x; bool selected, leftDown; PointerShape current, shape; };
        const Row rows[] = {
            {99, true, false, arrow, resize},   // left edge
            {100, true, false, arrow, arrow},   // inside
            {500, true, true, arrow, move},     // inside, button down
            {1901, true, false, arrow, resize}, // right edge
            {1900, true, false, arrow, arrow},  // 100 from the right
            {10, false, false, arrow, arrow},   // another marker
            {900, true, true, resize, resize},  // a resize drag under way
        };
        for (const Row& r : rows)
            QVERIFY2(PointerFor(r.x, 2000, r.selected, r.leftDown, r.current) == r.shape, qPrintable(QString::number(r.x)));
    }
};

QTEST_GUILESS_MAIN(TestTrackList)
#include "tst_tracklist.moc"
