// Every edit of the track list with its limits and messages. Scale 50 on a
// 600-second recording: 30000 units wide, a 35-second minimum is 1750 units.
#include "tracks/TrackList.h"
#include "util/ui/modMsgbox.h"

#include <QtTest>

using namespace sv;

namespace {
using Markers = QList<QPair<int, int>>; // left, width

Markers markers(const TrackList& t)
{
    Markers out;
    for (const TrackMarker& m : t.markers())
        out.append({m.left, m.width});
    return out;
}

TrackList makeList(const Markers& m = {})
{
    TrackLimits l;
    l.scale = WaveScale(50, 600);
    TrackList t(l);
    for (const auto& [left, width] : m)
        t.addTrack(left, left + width);
    return t;
}

// Answers boxes in order and records which were asked.
struct Asker {
    QList<int> answers;
    QList<TrackMsg> asked;
    QList<MessageText> specs;
    AskFn fn()
    {
        return [this](TrackMsg id, const MessageText& box) {
            asked.append(id);
            specs.append(box);
            return answers.isEmpty() ? int(vbOK) : answers.takeFirst();
        };
    }
};
} // namespace

Q_DECLARE_METATYPE(Markers)

class TestTrackList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void add_data()
    {
        QTest::addColumn<Markers>("before");
        QTest::addColumn<Markers>("after");
        QTest::addColumn<bool>("noRoom");
        QTest::newRow("empty list starts at 100") << Markers{} << Markers{{100, 1500}} << false;
        QTest::newRow("after the last, 2 x spacing")
            << Markers{{100, 27900}} << Markers{{100, 27900}, {28050, 1500}} << false;
        QTest::newRow("last ends at 29000: no room") << Markers{{100, 28900}} << Markers{{100, 28900}} << true;
        QTest::newRow("exactly fits") << Markers{{100, 28250}} << Markers{{100, 28250}, {28400, 1500}} << false;
    }
    void add()
    {
        QFETCH(Markers, before);
        QFETCH(Markers, after);
        QFETCH(bool, noRoom);
        TrackList t = makeList(before);
        Asker a;
        QCOMPARE(t.addNew(a.fn()), !noRoom);
        QCOMPARE(markers(t), after);
        QCOMPARE(a.asked, noRoom ? QList<TrackMsg>{TrackMsg::AddNoRoom} : QList<TrackMsg>{});
        if (!noRoom)
            QCOMPARE(t.selected(), t.count() - 1);
    }

    void remove()
    {
        TrackList t = makeList({{100, 2000}});
        t.remove(0);
        QVERIFY(t.isEmpty());
        QCOMPARE(t.selected(), -1);
        QVERIFY(t.addNew({}));
        QCOMPARE(markers(t), (Markers{{100, 1500}}));

        t = makeList({{100, 2000}, {3000, 2000}, {6000, 2000}});
        t.select(2);
        t.remove(1);
        QCOMPARE(markers(t), (Markers{{100, 2000}, {6000, 2000}}));
        QCOMPARE(t.selected(), 1); // still the same track
        t.remove(1);
        QCOMPARE(t.selected(), -1);
    }

    void split_data()
    {
        QTest::addColumn<Markers>("before");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("answer");
        QTest::addColumn<Markers>("after");
        QTest::addColumn<int>("asked"); // -1 none, else TrackMsg
        const int tooShort = int(TrackMsg::SplitTooShort), trim = int(TrackMsg::SplitTrim);
        QTest::newRow("60 s at the middle: too short both sides")
            << Markers{{1000, 3000}} << 0 << 1500 << 0 << Markers{{1000, 3000}} << tooShort;
        QTest::newRow("100 s, 20 s in, Yes trims the left")
            << Markers{{1000, 5000}} << 0 << 1000 << int(vbYes) << Markers{{2000, 4000}} << trim;
        QTest::newRow("100 s, 20 s in, No keeps it")
            << Markers{{1000, 5000}} << 0 << 1000 << int(vbNo) << Markers{{1000, 5000}} << trim;
        QTest::newRow("short right part trimmed")
            << Markers{{1000, 5000}} << 0 << 4000 << int(vbYes) << Markers{{1000, 4000}} << trim;
        QTest::newRow("both parts long enough")
            << Markers{{1000, 5000}} << 0 << 2000 << 0 << Markers{{1000, 2000}, {3000, 3000}} << -1;
        QTest::newRow("exactly the minimum is enough")
            << Markers{{1000, 3500}} << 0 << 1750 << 0 << Markers{{1000, 1750}, {2750, 1750}} << -1;
        QTest::newRow("middle track: later ones move up")
            << Markers{{100, 2000}, {3000, 5000}, {9000, 2000}} << 1 << 2500 << 0
            << Markers{{100, 2000}, {3000, 2500}, {5500, 2500}, {9000, 2000}} << -1;
    }
    void split()
    {
        QFETCH(Markers, before);
        QFETCH(int, index);
        QFETCH(int, x);
        QFETCH(int, answer);
        QFETCH(Markers, after);
        QFETCH(int, asked);
        TrackList t = makeList(before);
        t.toggleSplitMode();
        QCOMPARE(t.instruction(), WaveDo::Split);
        Asker a;
        a.answers = {answer};
        // The split happens on a real left release on the track.
        const ReleaseOutcome o = t.release(index, MouseButton::Left, x, true, a.fn());
        QCOMPARE(markers(t), after);
        QCOMPARE(a.asked.size(), asked < 0 ? 0 : 1);
        if (asked >= 0)
            QCOMPARE(int(a.asked[0]), asked);
        if (asked == int(TrackMsg::SplitTrim)) // the minimum in the question
            QVERIFY(a.specs[0].text.contains("35 seconds"));
        QVERIFY(!t.splitMode());
        QVERIFY(!t.instructionVisible());
        QCOMPARE(t.selected(), index);
        QVERIFY(o.rangeChanged);
    }

    // A simulated release (a click on a tab) does not split; it ends split mode.
    void simulatedReleaseDoesNotSplit()
    {
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
        QVERIFY(!t.combine(1, 3));
        QVERIFY(!t.combine(1, 1));
        QCOMPARE(markers(t), four);

        t.toggleCombineMode();
        QCOMPARE(t.instruction(), WaveDo::CombineFirst);
        t.release(1, MouseButton::Left, 10, true, {});
        QCOMPARE(t.combineFirst(), 1);
        QCOMPARE(t.instruction(), WaveDo::CombineSecond);
        t.release(3, MouseButton::Left, 10, true, {}); // track 2 with track 4
        QCOMPARE(t.instruction(), WaveDo::CombineNotAdjacent);
        QCOMPARE(markers(t), four);
        t.release(0, MouseButton::Left, 10, true, {}); // track 2 with track 1, picked in reverse
        QCOMPARE(markers(t), (Markers{{100, 4400}, {5000, 2000}, {8000, 2000}}));
        QCOMPARE(t.selected(), 0);
        QVERIFY(!t.combineMode());
        QVERIFY(!t.instructionVisible());

        // Another button cancels; pressing Combine again reselects the first pick.
        t.toggleCombineMode();
        t.release(1, MouseButton::Right, 10, true, {});
        QVERIFY(!t.combineMode());
        t.toggleCombineMode();
        t.release(2, MouseButton::Left, 10, true, {});
        t.toggleCombineMode();
        QVERIFY(!t.combineMode());
        QCOMPARE(t.selected(), 2);
        QCOMPARE(t.count(), 3);
    }

    void move_data()
    {
        QTest::addColumn<int>("newLeft");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("joinLine");
        // Track 2 of three: [100, 2100] [5000, 7000] [10000, 12000].
        QTest::newRow("free move") << 6000 << true << 6000 << -1;
        QTest::newRow("stops at the previous track") << 1000 << true << 2100 << 2100;
        QTest::newRow("stops at the next track") << 9000 << true << 8000 << 10000;
        QTest::newRow("within 15 of the neighbour: join line") << 2110 << true << 2110 << 2110;
        QTest::newRow("16 away: none") << 2116 << true << 2116 << -1;
    }
    void move()
    {
        QFETCH(int, newLeft);
        QFETCH(bool, moved);
        QFETCH(int, left);
        QFETCH(int, joinLine);
        TrackList t = makeList({{100, 2000}, {5000, 2000}, {10000, 2000}});
        QCOMPARE(t.moveTo(1, newLeft), moved);
        QCOMPARE(t.at(1).left, left);
        QCOMPARE(t.at(1).width, 2000);
        QCOMPARE(t.joinLine(), joinLine);
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
        QCOMPARE(markers(t)[1], qMakePair(6000, 4000));
        QVERIFY(!t.resizeLeft(1, 2501));          // would leave 1499
        QVERIFY(t.resizeLeft(1, -10000));         // stops at the previous track
        QCOMPARE(markers(t)[1], qMakePair(2100, 7900));
        QCOMPARE(t.range().start, 42);            // 2100 / 50
        QCOMPARE(t.range().end, 200);

        TrackList one = makeList({{100, 2000}});
        QVERIFY(!one.resizeLeft(0, -100));        // left edge would reach 0
        QVERIFY(one.resizeLeft(0, -99));
        QCOMPARE(one.at(0).left, 1);
    }

    void releaseAndRange()
    {
        TrackList t = makeList({{3000, 4500}, {9000, 2000}});
        ReleaseOutcome o = t.release(0, MouseButton::Left, 100, true, {});
        QVERIFY(o.stopPlayback);
        QVERIFY(!o.playFromSeconds);
        QCOMPARE(t.range().name, QString("Track 1"));
        QCOMPARE(t.range().startText(), QString("1:00/2:30"));
        QCOMPARE(t.range().lengthText(), QString("1:30"));

        o = t.release(1, MouseButton::Right, 500, true, {});
        QCOMPARE(o.playFromSeconds, std::optional<int>(190)); // (9000 + 500) / 50
        QCOMPARE(t.range().name, QString("Track 2"));

        t.skipNextRelease();
        o = t.release(0, MouseButton::Left, 0, true, {});
        QVERIFY(!o.rangeChanged);
        QCOMPARE(t.range().name, QString("Track 2"));

        o = t.releaseOnEmpty(MouseButton::Right, 15000);
        QCOMPARE(o.playFromSeconds, std::optional<int>(300));
        QCOMPARE(t.selected(), -1);
        QCOMPARE(t.range().name, QString("(entire recording)"));
        QCOMPARE(t.range().startText(), QString("0:00/10:00"));
    }

    void wholeSeconds()
    {
        TrackList t = makeList({{75, 1500}, {1625, 1625}});
        const QVector<SplitItem> s = t.splitList();
        QCOMPARE(s.size(), 2);
        QCOMPARE(s[0].start, std::int64_t(2)); // 1.5 rounds to even
        QCOMPARE(s[0].length, std::int64_t(30));
        QCOMPARE(s[1].start, std::int64_t(32)); // 32.5 rounds to even
        QCOMPARE(s[1].length, std::int64_t(32));
        QCOMPARE(t.endSeconds(1), 64);
    }

    void detectedTracks()
    {
        TrackList t = makeList({{100, 2000}});
        t.setTracks({{0, 2028}, {3484, 6000}});
        QCOMPARE(markers(t), (Markers{{0, 2028}, {3484, 2516}}));
        QCOMPARE(t.selected(), 1);
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

    // The selected tab (900 wide) stays in view while its track is.
    void stickyTab()
    {
        QCOMPARE(StickyTabLeft(1000, 5000, 3000, 900, 150), 1000);   // not scrolled: at the start
        QCOMPARE(StickyTabLeft(1000, 5000, 1000, 900, -2000), 2030); // start scrolled out: view + 30
        QCOMPARE(StickyTabLeft(1000, 1500, 1000, 900, -2000), 1600); // track almost out: stays inside
        QCOMPARE(StickyTabLeft(1000, 5000, 2030, 900, -500), 1000);  // scrolled back: at the start again
    }
};

QTEST_GUILESS_MAIN(TestTrackList)
#include "tst_tracklist.moc"
