// The waveform page in the main window, on the virtual deck: drawing and
// detecting a generated recording with known gaps, editing through the
// picture with mouse events at pixel positions, the page's messages, and the
// preview. The deck's play clock runs at a millionth of real time, so the
// position is wherever the test puts it; timer ticks are called directly.
#include "app/WizardFixture.h"
#include "support/FindChild.h"
#include "tracks/ui/WaveformView.h"
#include "tracks/ui/frmDetectOptions.h"
#include "util/modFunctions.h"
#include "WavGen.h"

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>

using namespace svtest;
using sv::TrackMarker;

namespace {

sv::audio::VirtualDeck FrozenDeck()
{
    sv::audio::VirtualDeck deck = SmallDeck();
    deck.speed = 1e-6;
    return deck;
}

// At 2000 frames a second and scale 50 (40 frames per image unit), windows
// of 26 units: 40 s | 5 s gap | 60 s, a 0.2 s dip, 50 s | 5 s gap | 20 s
// (too short to keep) | 305.6 s of silence. 485.6 s: WaveSeconds 486, wider
// than the viewport.
const QVector<TrackMarker> Detected = {{0, 2028}, {2236, 7800 - 2236}};
constexpr int Rate = 2000;
constexpr int Width = 486 * 50;

void send(QWidget* w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPointF pos)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

struct Page {
    explicit Page(std::initializer_list<Segment> segments = {{40, 9000}, {5, 0}, {60, 9000}, {0.2, 0}, {50, 9000},
                                                              {5, 0}, {20, 9000}, {305.6, 0}})
        : z(FrozenDeck())
    {
        z.noWelcomeDialog();
        if (!z.start())
            return;
        z.w->resize(900, 650);
        QApplication::processEvents();
        // The editing tests know the windowed method's markers by heart.
        z.set(QStringLiteral("Advanced\\Track Detection"), QStringLiteral("Method"), QStringLiteral("Audio"));
        z.set(QStringLiteral("Advanced\\Track Detection"), QStringLiteral("MinTrackLength"), QStringLiteral("35"));
        wav = z.st().RecordDirectory + QStringLiteral("recording.wav");
        z.st().RecordingPath = wav;
        ok = writeSegments(wav, segments, Rate);
        z.w->ShowPage(z.w->picRecord());
    }
    PageWaveform* p() const { return z.w->picWaveform(); }
    sv::WaveformView* view() const { return p()->View(); }
    const sv::TrackList& tracks() const { return p()->Tracks(); }
    sv::audio::PlayObject* play() { return z.st().Play(); }
    // Widget pixel of image position x, in the marker band below the tabs.
    QPointF at(double x, double y = 80) const { return {view()->pixelX(x), y}; }
    void click(double x, Qt::MouseButton b = Qt::LeftButton, double y = 80)
    {
        send(view(), QEvent::MouseButtonPress, b, b, at(x, y));
        send(view(), QEvent::MouseButtonRelease, b, Qt::NoButton, at(x, y));
    }
    void clickPx(QPointF px)
    {
        send(view(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, px);
        send(view(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, px);
    }
    void drag(double from, double to)
    {
        send(view(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, at(from));
        send(view(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, at(from));
        send(view(), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, at((from + to) / 2));
        send(view(), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, at(to));
        send(view(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at(to));
    }
    void noBoxes()
    {
        const QString what = z.boxes.shown.isEmpty() ? QString() : z.boxes.last().title + ": " + z.boxes.last().text;
        QVERIFY2(z.boxes.shown.isEmpty(), qPrintable(what));
    }

    Wizard z;
    QString wav;
    bool ok = false;
};

// Every labelled tick of the ruler names the time drawn under it, and the
// labels stand far enough apart to be read.
void checkRuler(const sv::WaveformView* v, const sv::WaveScale& scale)
{
    const QFontMetrics fm(v->font());
    double lastX = -1e9;
    int labels = 0;
    for (const auto& tick : v->rulerTicks()) {
        const double seconds = scale.secondsAt(v->unitsAtPixel(tick.x));
        QVERIFY2(std::abs(seconds - std::round(seconds)) < 1e-6, qPrintable(QString::number(seconds)));
        if (tick.label.isEmpty())
            continue;
        ++labels;
        QCOMPARE(tick.label, sv::FormatTime(int(std::round(seconds))));
        QVERIFY2(tick.x - lastX > fm.horizontalAdvance(tick.label) + 4, qPrintable(tick.label));
        lastX = tick.x;
    }
    QVERIFY(labels >= 3);
}

void expectBox(const MsgBoxScript& boxes, int i, const sv::MessageText& m)
{
    QVERIFY2(boxes.shown.size() > i, qPrintable(QString::number(boxes.shown.size())));
    QCOMPARE(boxes.shown[i].title, m.title);
    QCOMPARE(boxes.shown[i].text, m.text);
    QCOMPARE(boxes.shown[i].style, m.style);
}

} // namespace

class TestWavePage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void drawsAndDetects();
    void bandsByDefault();
    void damagedRecording();
    void shortAndSilentRecordings();
    void selectDragAndResize();
    void splitCombineDeleteAdd();
    void resetAndAutoSplit();
    void detectionOptions();
    void preview();
    void grooveClickPlaysFromThere();
    void minimisingKeepsTheWork();
    void rightClickAndDoubleClick();
    void backToRecordPage();
    void rulerAndCaptions();
    void narrowTracksKeepTheirDeleteIcons();
    void screenshots();
};

// The default method keeps the 20 s song (the minimum is 10 s) and puts the
// edges where the sound starts and stops, not on a window grid.
void TestWavePage::bandsByDefault()
{
    Page t;
    QVERIFY(t.ok);
    t.z.set(QStringLiteral("Advanced\\Track Detection"), QStringLiteral("Method"), QStringLiteral("Bands"));
    t.z.set(QStringLiteral("Advanced\\Track Detection"), QStringLiteral("MinTrackLength"), QStringLiteral("10"));
    t.p()->WaveFormStep();
    t.noBoxes();
    const QVector<TrackMarker> want{{0, 2000}, {2250, 7760 - 2250}, {8010, 1000}};
    QCOMPARE(t.tracks().count(), want.size());
    for (int i = 0; i < want.size(); ++i) {
        QVERIFY2(std::abs(t.tracks().at(i).left - want[i].left) <= 3, qPrintable(QString::number(i)));
        QVERIFY2(std::abs(t.tracks().at(i).right() - want[i].right()) <= 5, qPrintable(QString::number(i)));
    }
}

void TestWavePage::drawsAndDetects()
{
    Page t;
    QVERIFY(t.ok);
    t.p()->WaveFormStep();
    QCOMPARE(t.z.page(), QStringLiteral("picWaveform"));
    t.noBoxes();
    QVERIFY(t.p()->WaveValid());
    QCOMPARE(t.p()->Wave().waveWidth(), Width);
    QCOMPARE(t.tracks().markers(), Detected);
    QVERIFY(t.z.w->cmdNext()->isEnabled());
    QVERIFY(t.z.w->cmdBack()->isEnabled());
    QVERIFY(!sv::test::Find<QTimer>(t.z.w->picRecord(), "timRecordGraph")->isActive());
    for (QWidget* w : {static_cast<QWidget*>(sv::test::Find<QPushButton>(t.p(), "cmdWavePlay")), static_cast<QWidget*>(sv::test::Find<QPushButton>(t.p(), "cmdAddTrack")),
                       static_cast<QWidget*>(sv::test::Find<QSlider>(t.p(), "WaveSlide")), static_cast<QWidget*>(sv::test::Find<QPushButton>(t.p(), "cmdResetTracks"))})
        QVERIFY(w->isEnabled());
    QVERIFY(sv::test::Find<QFrame>(t.p(), "picLoading")->isHidden());
    // The last marker made is selected, and the preview range is its track.
    QCOMPARE(t.tracks().selected(), 1);
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackName")->text(), QStringLiteral("Track 2"));
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackStart")->text(), QStringLiteral("0:45/2:36"));
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackLength")->text(), QStringLiteral("1:51"));
    QCOMPARE(t.p()->SplitList().size(), 2);
    QCOMPARE(t.p()->SplitList()[1].start, 45);

    // Scrolling: at the last position the image ends a margin inside the viewport.
    QScrollBar* hs = sv::test::Find<QScrollBar>(t.p(), "hsWave");
    const int viewport = t.view()->viewportUnits();
    QVERIFY(viewport > 3000 && viewport - 300 < Width);
    QVERIFY(hs->isEnabled());
    QCOMPARE(t.view()->imageLeftEdge(), 150);
    hs->setValue(hs->maximum());
    const int end = t.view()->imageLeftEdge() + Width;
    QVERIFY2(std::abs(end - (t.view()->viewportUnits() - 150)) <= t.p()->ScrollDivisor,
             qPrintable(QString::number(end)));
    QVERIFY(t.p()->ScrollChanged);
    // The selected tab stays in view while its track is: with the viewport's
    // left inside the track it sits 30 units from that left...
    hs->setValue((4000 + 150) / t.p()->ScrollDivisor);
    QCOMPARE(t.view()->tabLeft(1), -t.view()->imageLeftEdge() + 30);
    // ...and at the track's end once the track has left the view.
    hs->setValue(hs->maximum());
    QCOMPARE(t.view()->tabLeft(1), Detected[1].right() - sv::WaveformView::TabWidth);
    hs->setValue(0);
    QCOMPARE(t.view()->tabLeft(1), Detected[1].left);

    // The picture: white image, black centre line, the selected marker tinted.
    const QImage img = t.view()->grab().toImage();
    const int cy = (t.view()->height() - sv::WaveformView::RulerHeightPx) / 2;
    QCOMPARE(img.pixelColor(2, cy), t.view()->palette().color(QPalette::Window)); // margin left of the image
    const auto darkNear = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            if (qGray(img.pixel(x, y + dy)) < 60)
                return true;
        return false;
    };
    QVERIFY(darkNear(int(t.view()->pixelX(2100)), cy));
    const QColor tint = img.pixelColor(int(t.view()->pixelX(6000)), 30);
    QVERIFY(tint != QColor(Qt::white) && qGray(tint.rgb()) > 120);
    if (const auto dir = qEnvironmentVariable("SONIVAULT_SHOT_DIR"); !dir.isEmpty()) {
        hs->setValue(0);
        t.z.w->grab().save(dir + QStringLiteral("/wavepage.png"));
    }
}

void TestWavePage::damagedRecording()
{
    Page t;
    QVERIFY(writeFile(t.wav, QByteArray("RIFF\x10\0\0\0WAVEjunkjunkjunk", 20)));
    t.z.boxes.answer(sv::vbOK);
    t.p()->WaveFormStep();
    expectBox(t.z.boxes, 0, sv::TrackMessage(sv::TrackMsg::RecordingDamaged));
    QCOMPARE(t.z.boxes.shown[0].position, 7);
    QCOMPARE(t.z.page(), QStringLiteral("picRecord"));
    auto* rec = t.z.w->picRecord();
    QCOMPARE(sv::test::Find<QLabel>(rec, "lblRecStatus")->text(), sv::RecordingDamagedStatus());
    QVERIFY(sv::test::Find<QPushButton>(rec, "cmdRec")->isEnabled());
    QVERIFY(!t.z.w->cmdNext()->isEnabled());
    QVERIFY(t.z.w->cmdBack()->isEnabled());
    QVERIFY(!t.p()->HasTracks());

    // A missing file is no better.
    QFile::remove(t.wav);
    t.z.boxes.clear();
    t.z.boxes.answer(sv::vbOK);
    t.p()->WaveFormStep();
    expectBox(t.z.boxes, 0, sv::TrackMessage(sv::TrackMsg::RecordingDamaged));
    QCOMPARE(t.z.page(), QStringLiteral("picRecord"));
}

void TestWavePage::shortAndSilentRecordings()
{
    {
        // Under half a second: 0 whole seconds, nothing to draw, no track possible.
        Page t({{0.3, 9000}});
        t.z.boxes.answer(sv::vbOK);
        t.p()->WaveFormStep();
        expectBox(t.z.boxes, 0, sv::TrackMessage(sv::TrackMsg::RecordingTooShort));
        QCOMPARE(t.z.page(), QStringLiteral("picWaveform"));
        QVERIFY(!t.p()->HasTracks());
        QVERIFY(t.z.w->cmdBack()->isEnabled());
        t.z.boxes.answer(sv::vbOK);
        sv::test::Find<QPushButton>(t.p(), "cmdAddTrack")->click();
        expectBox(t.z.boxes, 1, sv::TrackMessage(sv::TrackMsg::AddNoRoom));
        QVERIFY(!t.p()->HasTracks());
        // Nothing to play, and nothing hangs.
        sv::test::Find<QPushButton>(t.p(), "cmdWavePlay")->click();
        t.p()->timWaveform_Timer();
        QVERIFY(!sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
        QVERIFY2(!t.z.boxes.unexpected(), qPrintable(t.z.boxes.unexpectedText()));
    }
    {
        // Nothing reaches the level: one track over everything and the message.
        Page t({{60, 600}});
        t.z.boxes.answer(sv::vbOK);
        t.p()->WaveFormStep();
        expectBox(t.z.boxes, 0, sv::TrackMessage(sv::TrackMsg::NoRecording));
        QCOMPARE(t.tracks().markers(), (QVector<TrackMarker>{{15, 3000 - 135}}));
        QVERIFY(t.z.w->cmdNext()->isEnabled());
    }
}

void TestWavePage::selectDragAndResize()
{
    Page t;
    t.p()->WaveFormStep();
    // A click in the first marker selects it and makes it the range.
    t.click(1000);
    QCOMPARE(t.tracks().selected(), 0);
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackName")->text(), QStringLiteral("Track 1"));
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackStart")->text(), QStringLiteral("0:00/0:41"));

    // Its right edge, dragged into the next marker, stops there with the join line.
    send(t.view(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, t.at(2028 - 45));
    QCOMPARE(t.view()->cursor().shape(), Qt::SizeHorCursor);
    send(t.view(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, t.at(2028 - 45));
    send(t.view(), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, t.at(2600));
    QCOMPARE(t.tracks().at(0), (TrackMarker{0, 2236}));
    QCOMPARE(t.tracks().joinLine(), 2236);
    QVERIFY(!sv::test::Find<QFrame>(t.p(), "linJoin")->isHidden());
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackStart")->text(), QStringLiteral("0:00/0:45"));
    // The release ends it.
    send(t.view(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, t.at(2600));
    QVERIFY(sv::test::Find<QFrame>(t.p(), "linJoin")->isHidden());

    // The left edge of the second marker follows the pointer; below the
    // smallest width it is refused.
    t.click(5000);
    QCOMPARE(t.tracks().selected(), 1);
    t.drag(2236 + 45, 2781);
    QCOMPARE(t.tracks().at(1), (TrackMarker{2781, 7800 - 2781}));
    // (The drag passes 4813, still wide enough; its last step is not.)
    t.drag(2781 + 45, 7800 - 1000);
    QCOMPARE(t.tracks().at(1).left, 4813);

    // Moving the middle: to the left it stops at the first marker's end.
    t.drag(5000, 1000);
    QCOMPARE(t.tracks().at(1), (TrackMarker{2236, 7800 - 4813}));
    // And past the image's end it is refused.
    const TrackMarker before = t.tracks().at(1);
    t.drag(5000, 5000 + Width);
    QVERIFY(t.tracks().at(1).right() <= Width);
    QVERIFY(t.tracks().at(1).left >= before.left);
    // An unselected marker does not move under a drag; the release selects it.
    t.drag(1000, 1500);
    QCOMPARE(t.tracks().at(0), (TrackMarker{0, 2236}));
    QCOMPARE(t.tracks().selected(), 0);
    t.noBoxes();
}

void TestWavePage::splitCombineDeleteAdd()
{
    Page t;
    t.p()->WaveFormStep();
    // Split mode: the panel, then a click in the middle of the 111 s track.
    sv::test::Find<QPushButton>(t.p(), "cmdWaveSplit")->click();
    QVERIFY(!sv::test::Find<QFrame>(t.p(), "picWaveInfo")->isHidden());
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveDo")->text(), sv::WaveDo::Split);
    t.click(5000);
    QCOMPARE(t.tracks().markers(), (QVector<TrackMarker>{{0, 2028}, {2236, 2764}, {5000, 2800}}));
    QVERIFY(sv::test::Find<QFrame>(t.p(), "picWaveInfo")->isHidden());
    t.noBoxes();

    // 10 s into a 56 s track: the short part is trimmed off after asking.
    sv::test::Find<QPushButton>(t.p(), "cmdWaveSplit")->click();
    t.z.boxes.answer(sv::vbNo);
    t.click(5500);
    expectBox(t.z.boxes, 0, sv::TrackMessage(sv::TrackMsg::SplitTrim, QStringLiteral("35")));
    QCOMPARE(t.tracks().at(2), (TrackMarker{5000, 2800}));
    sv::test::Find<QPushButton>(t.p(), "cmdWaveSplit")->click();
    t.z.boxes.answer(sv::vbYes);
    t.click(5500);
    QCOMPARE(t.tracks().at(2), (TrackMarker{5500, 2300}));
    // Both parts too short.
    sv::test::Find<QPushButton>(t.p(), "cmdWaveSplit")->click();
    t.z.boxes.answer(sv::vbOK);
    t.click(1000);
    expectBox(t.z.boxes, 2, sv::TrackMessage(sv::TrackMsg::SplitTooShort));
    QCOMPARE(t.tracks().count(), 3);

    // Combine: 1 with 3 is refused, 1 with 2 merges over the gap.
    sv::test::Find<QPushButton>(t.p(), "cmdWaveCombine")->click();
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveDo")->text(), sv::WaveDo::CombineFirst);
    t.click(1000);
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveDo")->text(), sv::WaveDo::CombineSecond);
    t.click(6000);
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveDo")->text(), sv::WaveDo::CombineNotAdjacent);
    QCOMPARE(t.tracks().count(), 3);
    t.click(3000);
    QCOMPARE(t.tracks().markers(), (QVector<TrackMarker>{{0, 5000}, {5500, 2300}}));
    QVERIFY(sv::test::Find<QFrame>(t.p(), "picWaveInfo")->isHidden());

    // The delete icon of the selected marker (on its tab, at +1000 units).
    t.click(1000);
    const QRectF del = t.view()->deleteRect(0);
    t.clickPx(del.center());
    QCOMPARE(t.tracks().markers(), (QVector<TrackMarker>{{5500, 2300}}));
    t.clickPx(t.view()->deleteRect(0).center());
    QVERIFY(!t.p()->HasTracks());

    // Add Track on an empty list, then after the last marker until there is no room.
    sv::test::Find<QPushButton>(t.p(), "cmdAddTrack")->click();
    QCOMPARE(t.tracks().markers(), (QVector<TrackMarker>{{100, 1500}}));
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackName")->text(), QStringLiteral("Track 1"));
    for (int i = 0; i < 14; ++i)
        sv::test::Find<QPushButton>(t.p(), "cmdAddTrack")->click();
    QCOMPARE(t.tracks().count(), 15);
    QCOMPARE(t.tracks().at(14).left, 100 + 14 * (1500 + 50));
    t.z.boxes.answer(sv::vbOK);
    sv::test::Find<QPushButton>(t.p(), "cmdAddTrack")->click();
    expectBox(t.z.boxes, 3, sv::TrackMessage(sv::TrackMsg::AddNoRoom));
    QCOMPARE(t.tracks().count(), 15);
    QVERIFY2(!t.z.boxes.unexpected(), qPrintable(t.z.boxes.unexpectedText()));
}

void TestWavePage::resetAndAutoSplit()
{
    Page t;
    t.p()->WaveFormStep();
    QCheckBox* chk = sv::test::Find<QCheckBox>(t.p(), "chkAutoSplit");
    QVERIFY(chk->isChecked());
    const sv::MessageText reset = sv::TrackMessage(sv::TrackMsg::ResetTracks);

    t.z.boxes.answer(sv::vbCancel);
    sv::test::Find<QPushButton>(t.p(), "cmdResetTracks")->click();
    expectBox(t.z.boxes, 0, reset);
    QCOMPARE(t.tracks().markers(), Detected);

    t.z.boxes.answer(sv::vbYes);
    sv::test::Find<QPushButton>(t.p(), "cmdResetTracks")->click();
    QCOMPARE(t.tracks().markers(), (QVector<TrackMarker>{{15, Width - 135}}));
    QVERIFY(chk->isChecked());

    t.z.boxes.answer(sv::vbNo);
    sv::test::Find<QPushButton>(t.p(), "cmdResetTracks")->click();
    QCOMPARE(t.tracks().markers(), Detected);
    QCOMPARE(t.z.boxes.shown.size(), 3);

    // The check box writes its value at once; detection then makes one track.
    chk->click();
    QCOMPARE(t.z.get("WaveformOptions", "AutoSplit"), QStringLiteral("0"));
    t.z.boxes.answer(sv::vbNo);
    sv::test::Find<QPushButton>(t.p(), "cmdResetTracks")->click();
    QCOMPARE(t.tracks().markers(), Detected);
    QVERIFY(!chk->isChecked());
    chk->click();
    QCOMPARE(t.z.get("WaveformOptions", "AutoSplit"), QStringLiteral("1"));
    QVERIFY2(!t.z.boxes.unexpected(), qPrintable(t.z.boxes.unexpectedText()));
}

void TestWavePage::detectionOptions()
{
    Page t;
    t.p()->WaveFormStep();
    const QString section = QStringLiteral("Advanced\\Track Detection");

    // The close box keeps the stored settings and asks nothing.
    t.z.set(section, "Hiss", "30");
    OnModal([](QWidget* w) {
        auto* d = qobject_cast<sv::frmDetectOptions*>(w);
        QCOMPARE(d->windowTitle(), QStringLiteral("Auto Track Detection Options"));
        QCOMPARE(sv::test::Find<QSlider>(d, "sliNoise")->value(), 30);
        QCOMPARE(sv::test::Find<QSlider>(d, "sliCompare")->value(), 50);
        QCOMPARE(sv::test::Find<QLineEdit>(d, "txtMinTrack")->text(), QStringLiteral("35"));
        QVERIFY(sv::test::Find<QLabel>(d, "lblGapInfo")->text().startsWith(QLatin1String("This is the size of the gap")));
        sv::test::Find<QSlider>(d, "sliNoise")->setValue(40);
        d->close();
    });
    t.p()->cmdTrackOptions_Click();
    QCOMPARE(t.z.get(section, "Hiss"), QStringLiteral("30"));
    QVERIFY(t.z.boxes.shown.isEmpty());

    // Out of range is refused and the dialog stays; "45 seconds" reads as 45.
    // A minimum of 45 s drops the 41 s track on redetection.
    bool stayed = false;
    t.z.boxes.answer(sv::vbOK);  // 9.5
    t.z.boxes.answer(sv::vbOK);  // 61
    t.z.boxes.answer(sv::vbYes); // redetect
    OnModal([&stayed](QWidget* w) {
        auto* d = qobject_cast<sv::frmDetectOptions*>(w);
        sv::test::Find<QPushButton>(d, "cmdDefault")->click();
        QCOMPARE(sv::test::Find<QSlider>(d, "sliNoise")->value(), 25);
        QCOMPARE(sv::test::Find<QLineEdit>(d, "txtMinTrack")->text(), QStringLiteral("10"));
        sv::test::Find<QSlider>(d, "sliCompare")->setValue(60);
        sv::test::Find<QLineEdit>(d, "txtMinTrack")->setText(QStringLiteral("9.5"));
        sv::test::Find<QPushButton>(d, "cmdOK")->click();
        sv::test::Find<QLineEdit>(d, "txtMinTrack")->setText(QStringLiteral("61"));
        sv::test::Find<QPushButton>(d, "cmdOK")->click();
        stayed = d->isVisible();
        sv::test::Find<QLineEdit>(d, "txtMinTrack")->setText(QStringLiteral("45 seconds"));
        sv::test::Find<QPushButton>(d, "cmdOK")->click();
    });
    t.p()->cmdTrackOptions_Click();
    QVERIFY(stayed);
    const sv::MessageText range = sv::TrackMessage(sv::TrackMsg::MinTrackRange);
    expectBox(t.z.boxes, 0, range);
    QVERIFY(t.z.boxes.shown[0].plain);
    expectBox(t.z.boxes, 1, range);
    expectBox(t.z.boxes, 2, sv::TrackMessage(sv::TrackMsg::Redetect));
    QCOMPARE(t.z.get(section, "Hiss"), QStringLiteral("25"));
    QCOMPARE(t.z.get(section, "Samples"), QStringLiteral("0.6"));
    QCOMPARE(t.z.get(section, "MinTrackLength"), QStringLiteral("45 seconds"));
    // Windows of 31 units now; only the long track is kept.
    QCOMPARE(t.tracks().count(), 1);
    QVERIFY(t.tracks().at(0).left >= 2200 && t.tracks().at(0).left <= 2250);
    QVERIFY(sv::test::Find<QCheckBox>(t.p(), "chkAutoSplit")->isChecked());
    QVERIFY2(!t.z.boxes.unexpected(), qPrintable(t.z.boxes.unexpectedText()));
}

void TestWavePage::preview()
{
    Page t;
    t.p()->WaveFormStep();
    auto* play = t.play();
    QSlider* slide = sv::test::Find<QSlider>(t.p(), "WaveSlide");

    // Track 2 (45 s to 156 s): play starts at its start.
    sv::test::Find<QPushButton>(t.p(), "cmdWavePlay")->click();
    QVERIFY(sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    QCOMPARE(int(play->GetPlayPosition()), 45);
    QCOMPARE(slide->minimum(), 45);
    QCOMPARE(slide->maximum(), 156);
    QVERIFY(t.view()->positionLineVisible());
    QVERIFY(!sv::test::Find<QFrame>(t.p(), "linPOS")->isHidden());
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTime")->text(), QStringLiteral("0:00"));

    play->SetPlayPosition(100);
    t.p()->timWaveform_Timer();
    QCOMPARE(slide->value(), 100);
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTime")->text(), QStringLiteral("0:55"));
    QVERIFY(std::abs(t.view()->positionLine() - 5000) < 1);
    QCOMPARE(sv::test::Find<QFrame>(t.p(), "linPOS")->x(), int(std::floor(t.view()->pixelX(5000))));

    // At PlayEnd everything stops.
    play->SetPlayPosition(156);
    t.p()->timWaveform_Timer();
    QVERIFY(!sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    QVERIFY(!t.view()->positionLineVisible());
    QVERIFY(sv::test::Find<QFrame>(t.p(), "linPOS")->isHidden());
    QCOMPARE(play->GetPlayLength(), 0.0);
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTime")->text(), QStringLiteral("1:51"));

    // The whole recording (a left click on empty space): 486 whole seconds,
    // but the file ends at 485.6 s and the player stops there by itself.
    t.click(8500);
    QCOMPARE(t.tracks().selected(), -1);
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackName")->text(), sv::EntireRecordingName);
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackStart")->text(), QStringLiteral("0:00/8:06"));
    sv::test::Find<QPushButton>(t.p(), "cmdWavePlay")->click();
    QCOMPARE(int(play->GetPlayPosition()), 0);
    play->SetPlayPosition(486);
    t.p()->timWaveform_Timer();
    QVERIFY(!sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    QVERIFY(!t.view()->positionLineVisible());

    // The slider: pressing stops the timer, releasing plays from its value.
    sv::test::Find<QPushButton>(t.p(), "cmdWavePlay")->click();
    QVERIFY(sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    t.p()->WaveSlide_Press();
    QVERIFY(!sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    slide->setValue(120);
    t.p()->WaveSlide_Release();
    QCOMPARE(int(play->GetPlayPosition()), 120);
    QVERIFY(sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    QVERIFY(std::abs(t.view()->positionLine() - 6000) < 1);

    // Stop.
    sv::test::Find<QPushButton>(t.p(), "cmdWaveStop")->click();
    QVERIFY(!sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    QCOMPARE(slide->value(), 0);
    QCOMPARE(play->GetPlayLength(), 0.0);
    QVERIFY(sv::test::Find<QFrame>(t.p(), "linPOS")->isHidden());
    t.noBoxes();

    // A player that cannot open the file says so and nothing runs.
    QFile::remove(t.wav);
    t.z.boxes.answer(sv::vbOK);
    sv::test::Find<QPushButton>(t.p(), "cmdWavePlay")->click();
    expectBox(t.z.boxes, 0, sv::TrackMessage(sv::TrackMsg::PlayFailed, QStringLiteral("53  File not found")));
    QVERIFY(!sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    QVERIFY(sv::test::Find<QFrame>(t.p(), "linPOS")->isHidden());
}

void TestWavePage::grooveClickPlaysFromThere()
{
    Page t;
    t.p()->WaveFormStep();
    QSlider* slide = sv::test::Find<QSlider>(t.p(), "WaveSlide");
    QCOMPARE(slide->minimum(), 45);
    // Three quarters along the groove: as if the handle had been dragged there.
    const QPoint at(slide->width() * 3 / 4, slide->height() / 2);
    QTest::mouseClick(slide, Qt::LeftButton, {}, at);
    const int expected = 45 + (156 - 45) * 3 / 4;
    QVERIFY2(std::abs(slide->value() - expected) <= 4, qPrintable(QString::number(slide->value())));
    QCOMPARE(int(std::lround(t.play()->GetPlayPosition())), slide->value());
    QVERIFY(sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    QVERIFY(t.view()->positionLineVisible());
    t.noBoxes();
}

void TestWavePage::minimisingKeepsTheWork()
{
    Page t;
    QWidget* w = t.z.w.get();
    // Minimised as the drawing starts and again as the detection starts.
    int started = 0;
    auto c = QObject::connect(t.p(), &PageWaveform::busyStarted, t.p(), [&] {
        ++started;
        w->setWindowState(Qt::WindowNoState);
        w->setWindowState(Qt::WindowMinimized);
    });
    t.p()->WaveFormStep();
    QCOMPARE(started, 2);
    QCOMPARE(t.tracks().markers(), Detected);
    QVERIFY(t.z.w->cmdNext()->isEnabled());
    QVERIFY(t.z.w->cmdBack()->isEnabled());
    QVERIFY(sv::test::Find<QPushButton>(t.p(), "cmdWavePlay")->isEnabled());
    QVERIFY(sv::test::Find<QFrame>(t.p(), "picLoading")->isHidden());
    t.noBoxes();

    // Closing the window does end the work.
    QObject::disconnect(c);
    w->setWindowState(Qt::WindowNoState);
    w->show();
    QObject::connect(t.p(), &PageWaveform::busyStarted, w, &QWidget::hide);
    t.p()->WaveFormStep();
    QVERIFY(!t.p()->HasTracks());
    QVERIFY(!t.z.w->cmdNext()->isEnabled());
}

void TestWavePage::rightClickAndDoubleClick()
{
    Page t;
    t.p()->WaveFormStep();
    auto* play = t.play();
    QVERIFY(sv::test::Find<QScrollBar>(t.p(), "hsWave")->isEnabled());

    // Right click on empty space at x plays the whole recording from there.
    t.click(8500, Qt::RightButton);
    QCOMPARE(t.tracks().selected(), -1);
    QCOMPARE(int(std::lround(play->GetPlayPosition())), 170);
    QCOMPARE(sv::test::Find<QSlider>(t.p(), "WaveSlide")->maximum(), 486);
    QCOMPARE(sv::test::Find<QSlider>(t.p(), "WaveSlide")->value(), 170);
    QVERIFY(sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    QCOMPARE(sv::test::Find<QLabel>(t.p(), "lblWaveTrackName")->text(), sv::EntireRecordingName);
    QCOMPARE(t.view()->imageLeftEdge(), 150); // in view already

    // Dragging the slider far out of view: the view jumps to show the line.
    t.p()->WaveSlide_Press();
    sv::test::Find<QSlider>(t.p(), "WaveSlide")->setValue(460);
    t.p()->WaveSlide_Release();
    QCOMPARE(int(std::lround(play->GetPlayPosition())), 460);
    const double left = -t.view()->imageLeftEdge();
    QVERIFY2(t.view()->positionLine() >= left && t.view()->positionLine() <= left + t.view()->viewportUnits(),
             qPrintable(QString::number(left)));

    // Follow-scrolling: a position at the viewport's right moves the view on
    // by one small step per tick; not while a key is held on the scroll bar.
    sv::test::Find<QScrollBar>(t.p(), "hsWave")->setValue(0);
    const int right = t.view()->viewportUnits() - 150;
    play->SetPlayPosition(right / 50 + 1);
    t.p()->ScrollKeyDown = true;
    t.p()->timWaveform_Timer();
    QCOMPARE(sv::test::Find<QScrollBar>(t.p(), "hsWave")->value(), 0);
    t.p()->ScrollKeyDown = false;
    t.p()->ScrollChanged = false;
    t.p()->timWaveform_Timer();
    QCOMPARE(sv::test::Find<QScrollBar>(t.p(), "hsWave")->value(), sv::test::Find<QScrollBar>(t.p(), "hsWave")->singleStep());

    // Right click inside a marker plays its range from the time under the pointer.
    sv::test::Find<QScrollBar>(t.p(), "hsWave")->setValue(0);
    t.click(1500, Qt::RightButton);
    QCOMPARE(t.tracks().selected(), 0);
    QCOMPARE(int(std::lround(play->GetPlayPosition())), 30);
    QCOMPARE(sv::test::Find<QSlider>(t.p(), "WaveSlide")->maximum(), 41);

    // A double click on the second marker plays it from its start; the
    // release that follows is ignored.
    sv::test::Find<QPushButton>(t.p(), "cmdWaveStop")->click();
    const QPointF p = t.at(3000);
    send(t.view(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, p);
    send(t.view(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, p);
    send(t.view(), QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, p);
    send(t.view(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, p);
    QCOMPARE(t.tracks().selected(), 1);
    QCOMPARE(int(std::lround(play->GetPlayPosition())), 45);
    QVERIFY(sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    t.noBoxes();
}

void TestWavePage::backToRecordPage()
{
    Page t;
    t.p()->WaveFormStep();
    sv::test::Find<QPushButton>(t.p(), "cmdWavePlay")->click();
    t.p()->WaveformBack();
    QCOMPARE(t.z.page(), QStringLiteral("picRecord"));
    QVERIFY(!t.p()->HasTracks());
    QVERIFY(!sv::test::Find<QTimer>(t.p(), "timWaveform")->isActive());
    QCOMPARE(t.play()->GetPlayLength(), 0.0);
    QVERIFY(sv::test::Find<QTimer>(t.z.w->picRecord(), "timRecordGraph")->isActive());
    QVERIFY(!t.z.w->cmdNext()->isEnabled());
    // The recording is no longer held: it can go, and a new one is drawn afresh.
    QVERIFY(QFile::remove(t.wav));
    QVERIFY(writeSegments(t.wav, {{50, 9000}}, Rate));
    t.p()->WaveFormStep();
    QCOMPARE(t.tracks().markers(), (QVector<TrackMarker>{{0, 2500}}));
}

void TestWavePage::rulerAndCaptions()
{
    Page t;
    t.p()->WaveFormStep();
    const sv::WaveformView* v = t.view();
    checkRuler(v, t.p()->Wave().scale());
    // One minute in, where the 60th second is drawn, with its mark in the picture.
    const auto ticks = v->rulerTicks();
    const auto minute = std::find_if(ticks.begin(), ticks.end(), [](const auto& k) { return k.label == "1:00"; });
    QVERIFY(minute != ticks.end());
    QCOMPARE(minute->x, v->pixelX(60 * 50));
    const QImage img = t.view()->grab().toImage();
    QVERIFY(qGray(img.pixel(int(minute->x), v->height() - sv::WaveformView::RulerHeightPx + 2)) < 100);
    // Scrolled to the end, the ruler follows.
    sv::test::Find<QScrollBar>(t.p(), "hsWave")->setValue(sv::test::Find<QScrollBar>(t.p(), "hsWave")->maximum());
    checkRuler(v, t.p()->Wave().scale());

    // Each number under the picture has its caption just left of it.
    const QList<QPair<QLabel*, QLabel*>> pairs = {{sv::test::Find<QLabel>(t.p(), "lblCapTrack"), sv::test::Find<QLabel>(t.p(), "lblWaveTrackName")},
                                                  {sv::test::Find<QLabel>(t.p(), "lblCapStart"), sv::test::Find<QLabel>(t.p(), "lblWaveTrackStart")},
                                                  {sv::test::Find<QLabel>(t.p(), "lblCapLength"), sv::test::Find<QLabel>(t.p(), "lblWaveTrackLength")},
                                                  {sv::test::Find<QLabel>(t.p(), "lblCapPosition"), sv::test::Find<QLabel>(t.p(), "lblWaveTime")}};
    const QStringList captions = {"Track:", "Start/End:", "Length:", "Position:"};
    for (int i = 0; i < pairs.size(); ++i) {
        auto [cap, value] = pairs[i];
        QCOMPARE(cap->text(), captions[i]);
        QVERIFY(cap->isVisible());
        QVERIFY(cap->geometry().right() < value->geometry().left());
        QVERIFY(value->geometry().left() - cap->geometry().right() < 30);
        QCOMPARE(cap->geometry().center().y(), value->geometry().center().y());
    }
}

// A long side (drawn at 20 units a second) of 36 s tracks: each narrower than
// a full tab. Every track's delete icon deletes that track, neighbour or not.
void TestWavePage::narrowTracksKeepTheirDeleteIcons()
{
    Page t({{1, 0}});
    WavSpec fmt;
    fmt.rate = 1000;
    QVERIFY(writeWav(t.wav, fmt, 1950 * 1000, [](std::int64_t k, int) {
        return std::fmod(k / 1000.0, 39.0) < 36 ? int(9000 * std::sin(k * 0.7)) : 0;
    }));
    t.p()->WaveFormStep();
    QCOMPARE(t.p()->Wave().drawScale(), 20);
    QVERIFY2(t.tracks().count() >= 40, qPrintable(QString::number(t.tracks().count())));
    QVERIFY(t.tracks().at(0).width < sv::WaveformView::TabWidth);
    checkRuler(t.view(), t.p()->Wave().scale());
    if (const auto dir = qEnvironmentVariable("SONIVAULT_SHOT_DIR"); !dir.isEmpty())
        t.z.w->grab().save(dir + QStringLiteral("/wavepage-long.png"));
    // The icons of the tracks in view never overlap one another.
    for (int i = 0; i + 1 < 10; ++i)
        QVERIFY(!t.view()->deleteRect(i).intersects(t.view()->deleteRect(i + 1)));
    // From the first track on, each time with its neighbour's tab beside it.
    for (int k = 0; k < 5; ++k) {
        QVector<TrackMarker> expected = t.tracks().markers();
        expected.removeFirst();
        t.clickPx(t.view()->deleteRect(0).center());
        QCOMPARE(t.tracks().markers(), expected);
    }
    // And one between two others, the selected one beside it.
    t.click(t.tracks().at(2).left + 100);
    QCOMPARE(t.tracks().selected(), 2);
    QVector<TrackMarker> expected = t.tracks().markers();
    expected.remove(1);
    t.clickPx(t.view()->deleteRect(1).center());
    QCOMPARE(t.tracks().markers(), expected);
    t.noBoxes();
}

// Pictures of the page for looking at by eye: SONIVAULT_SHOT_DIR=folder.
void TestWavePage::screenshots()
{
    const QString dir = qEnvironmentVariable("SONIVAULT_SHOT_DIR");
    if (dir.isEmpty())
        QSKIP("SONIVAULT_SHOT_DIR not set");
    Page t;
    // Ten songs of 50 s with swelling loudness and 4 s gaps, at 4000 Hz.
    WavSpec fmt;
    fmt.rate = 4000;
    QVERIFY(writeWav(t.wav, fmt, 540 * 4000, [](std::int64_t k, int c) {
        const double s = k / 4000.0;
        const double inSong = std::fmod(s, 54.0);
        if (inSong >= 50)
            return int(30 * std::sin(k * 0.7));
        const double env = (0.45 + 0.15 * std::sin(s / 3.0) + 0.1 * std::sin(s * 1.7)) * std::min(1.0, inSong / 2);
        return int(20000 * env * std::sin(k * (c ? 0.31 : 0.37)) * (0.6 + 0.4 * std::sin(k * 0.013)));
    }));
    t.p()->WaveFormStep();
    t.click(3000);
    sv::test::Find<QPushButton>(t.p(), "cmdWaveSplit")->click();
    send(t.view(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, t.at(3800));
    QApplication::processEvents();
    t.z.w->grab().save(dir + QStringLiteral("/wavepage-split.png"));
    sv::test::Find<QPushButton>(t.p(), "cmdWaveSplit")->click();
    sv::test::Find<QPushButton>(t.p(), "cmdWavePlay")->click();
    t.play()->SetPlayPosition(70);
    t.p()->timWaveform_Timer();
    QApplication::processEvents();
    t.z.w->grab().save(dir + QStringLiteral("/wavepage-play.png"));
    OnModal([dir](QWidget* w) {
        w->grab().save(dir + QStringLiteral("/detectoptions.png"));
        w->close();
    });
    t.p()->cmdTrackOptions_Click();
}

QTEST_MAIN(TestWavePage)
#include "tst_wavepage.moc"
