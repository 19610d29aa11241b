// The waveform page on the virtual deck: a generated recording drawn and
// detected, edited with mouse events at pixel positions, its messages and the
// preview. The play clock runs at a millionth of real time: the position is
// wherever the test puts it, and timer ticks are called directly.
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
using sv::TrackMsg;
using Markers = QVector<TrackMarker>;

namespace {

// 2000 frames a second at scale 50, windows of 26 units: 40 s | 5 s gap | 60 s,
// a 0.2 s dip, 50 s | 5 s gap | 20 s (too short) | 305.6 s of silence: 486 s.
const Markers Detected = {{0, 2028}, {2236, 7800 - 2236}};
constexpr int Rate = 2000;
constexpr int Width = 486 * 50;
const QString DetectSection = QStringLiteral("Advanced\\Track Detection");

void send(QWidget* w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPointF pos)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// The page with a recording, drawn and detected unless draw is false.
struct Page {
    explicit Page(bool draw = true, std::initializer_list<Segment> segments = {{40, 9000}, {5, 0}, {60, 9000}, {0.2, 0},
                                                                               {50, 9000}, {5, 0}, {20, 9000}, {305.6, 0}})
        : z([] { auto deck = SmallDeck(); deck.speed = 1e-6; return deck; }())
    {
        z.noWelcomeDialog();
        if (!z.start())
            return;
        z.w->resize(900, 650);
        QApplication::processEvents();
        // The editing tests know the windowed method's markers by heart.
        z.set(DetectSection, QStringLiteral("Method"), QStringLiteral("Audio"));
        z.set(DetectSection, QStringLiteral("MinTrackLength"), QStringLiteral("35"));
        wav = z.st().RecordDirectory + QStringLiteral("recording.wav");
        z.st().RecordingPath = wav;
        ok = writeSegments(wav, segments, Rate);
        z.w->ShowPage(z.w->picRecord());
        if (draw)
            p()->WaveFormStep();
    }
    PageWaveform* p() const { return z.w->picWaveform(); }
    template <class T = QWidget> T* find(const char* name) const { return sv::test::Find<T>(p(), name); }
    QString text(const char* label) const { return find<QLabel>(label)->text(); }
    void press(const char* button) const { find<QPushButton>(button)->click(); }
    bool previewRuns() const { return find<QTimer>("timWaveform")->isActive(); }
    sv::WaveformView* view() const { return p()->View(); }
    const sv::TrackList& tracks() const { return p()->Tracks(); }
    sv::audio::PlayObject* play() { return z.st().Play(); }
    int playAt() { return int(std::lround(play()->GetPlayPosition())); }
    void tick() const { p()->timWaveform_Timer(); }
    // Widget pixel of image position x, in the marker band below the tabs.
    QPointF at(double x, double y = 80) const { return {view()->pixelX(x), y}; }
    void clickPx(QPointF px, Qt::MouseButton b = Qt::LeftButton)
    {
        send(view(), QEvent::MouseButtonPress, b, b, px);
        send(view(), QEvent::MouseButtonRelease, b, Qt::NoButton, px);
    }

    void click(double x, Qt::MouseButton b = Qt::LeftButton) { clickPx(at(x), b); }
    void drag(double from, double to)
    {
        send(view(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, at(from));
        send(view(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, at(from));
        send(view(), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, at((from + to) / 2));
        send(view(), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, at(to));
        send(view(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at(to));
    }

    void deleteTrack(int i) { clickPx(view()->deleteRect(i).center()); }
    void noneUnexpected() const { QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText())); }
    // The i-th box shown is the track message id, with its exact title, text and buttons.
    void box(int i, TrackMsg id, const QString& arg = {}) const
    {
        const sv::MessageText m = sv::TrackMessage(id, arg);
        QVERIFY2(z.boxes.shown.size() > i, qPrintable(QString::number(z.boxes.shown.size())));
        const auto form = [](const auto& b) { return b.title + '|' + b.text + '|' + QString::number(b.style); };
        QCOMPARE(form(z.boxes.shown[i]), form(m));
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

} // namespace

class TestWavePage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void drawsAndDetects()
    {
        Page t;
        QVERIFY(t.ok);
        QCOMPARE(t.z.page(), QStringLiteral("picWaveform"));
        t.noneUnexpected();
        QCOMPARE(t.p()->Wave().waveWidth(), Width);
        QCOMPARE(t.tracks().markers(), Detected);
        QVERIFY(t.z.w->cmdNext()->isEnabled() && t.z.w->cmdBack()->isEnabled());
        for (const char* name : {"cmdWavePlay", "cmdAddTrack", "WaveSlide", "cmdResetTracks", "hsWave"})
            QVERIFY2(t.find(name)->isEnabled(), name);
        // The last marker made is selected, and the preview range is its track.
        QCOMPARE(t.tracks().selected(), 1);
        QCOMPARE(t.text("lblWaveTrackName") + ' ' + t.text("lblWaveTrackStart") + ' ' + t.text("lblWaveTrackLength"),
                 QStringLiteral("Track 2 0:45/2:36 1:51"));

        checkRuler(t.view(), t.p()->Wave().scale());

        // Scrolled to the end, the selected tab stays at its track's end, and the ruler follows.
        QScrollBar* hs = t.find<QScrollBar>("hsWave");
        hs->setValue(hs->maximum());
        QCOMPARE(t.view()->tabLeft(1), Detected[1].right() - sv::WaveformView::TabWidth);
        checkRuler(t.view(), t.p()->Wave().scale());
    }

    // A damaged or missing recording sends the user back to record again.
    void damagedRecording()
    {
        Page t(false);
        auto* rec = t.z.w->picRecord();
        for (bool missing : {false, true}) {
            if (missing)
                QFile::remove(t.wav);
            else
                QVERIFY(writeFile(t.wav, QByteArray("RIFF\x10\0\0\0WAVEjunkjunkjunk", 20)));
            t.z.boxes.clear();
            t.z.boxes.answer(sv::vbOK);
            t.p()->WaveFormStep();
            t.box(0, TrackMsg::RecordingDamaged);
            QCOMPARE(t.z.page(), QStringLiteral("picRecord"));
            QCOMPARE(sv::test::Find<QLabel>(rec, "lblRecStatus")->text(), sv::RecordingDamagedStatus());
            QVERIFY(sv::test::Find<QPushButton>(rec, "cmdRec")->isEnabled());
            QVERIFY(!t.z.w->cmdNext()->isEnabled() && t.z.w->cmdBack()->isEnabled() && !t.p()->HasTracks());
        }
    }

    void shortRecording()
    {
        // Under half a second: 0 whole seconds, nothing to draw, no track possible.
        Page t(false, {{0.3, 9000}});
        t.z.boxes.answer(sv::vbOK);
        t.p()->WaveFormStep();
        t.box(0, TrackMsg::RecordingTooShort);
        QVERIFY(t.z.page() == QStringLiteral("picWaveform") && t.z.w->cmdBack()->isEnabled() && !t.p()->HasTracks());
        // Nothing to play, and nothing hangs.
        t.press("cmdWavePlay");
        t.tick();
        QVERIFY(!t.previewRuns());
        t.noneUnexpected();
    }

    void selectDragAndResize()
    {
        Page t;
        t.click(1000);

        // Its right edge, dragged into the next marker, stops there with the join line.
        send(t.view(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, t.at(2028 - 45));
        QCOMPARE(t.view()->cursor().shape(), Qt::SizeHorCursor);
        send(t.view(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, t.at(2028 - 45));
        send(t.view(), QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, t.at(2600));
        QCOMPARE(t.tracks().at(0), (TrackMarker{0, 2236}));
        QVERIFY(!t.find("linJoin")->isHidden());
        QCOMPARE(t.text("lblWaveTrackStart"), QStringLiteral("0:00/0:45"));
        send(t.view(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, t.at(2600));
        QVERIFY(t.find("linJoin")->isHidden());

        // The second's left edge follows the pointer; its middle moves it, up to the first.
        t.click(5000);
        t.drag(2236 + 45, 2781);
        QCOMPARE(t.tracks().at(1), (TrackMarker{2781, 7800 - 2781}));
        t.drag(5000, 1000);
        QCOMPARE(t.tracks().at(1), (TrackMarker{2236, 7800 - 2781}));
        t.noneUnexpected();
    }

    void splitCombineDeleteAdd()
    {
        Page t;
        // Split mode: the panel, then a click in the middle of the 111 s track.
        t.press("cmdWaveSplit");
        QVERIFY(!t.find("picWaveInfo")->isHidden());
        QCOMPARE(t.text("lblWaveDo"), sv::WaveDo::Split);
        t.click(5000);
        QCOMPARE(t.tracks().markers(), (Markers{{0, 2028}, {2236, 2764}, {5000, 2800}}));
        QVERIFY(t.find("picWaveInfo")->isHidden());

        // Combine: the panel follows each pick; 1 with 2 merges over the gap.
        t.press("cmdWaveCombine");
        QCOMPARE(t.text("lblWaveDo"), sv::WaveDo::CombineFirst);
        t.click(1000);
        QCOMPARE(t.text("lblWaveDo"), sv::WaveDo::CombineSecond);
        t.click(3000);
        QCOMPARE(t.tracks().markers(), (Markers{{0, 5000}, {5000, 2800}}));

        t.click(1000);
        t.deleteTrack(0);
        QCOMPARE(t.tracks().markers(), (Markers{{5000, 2800}}));
        t.deleteTrack(0);
        QVERIFY(!t.p()->HasTracks());

        t.press("cmdAddTrack");
        QCOMPARE(t.tracks().markers(), (Markers{{100, 1500}}));
        QCOMPARE(t.text("lblWaveTrackName"), QStringLiteral("Track 1"));
        t.noneUnexpected();
    }

    // Cancel keeps the edits; Yes is one track over everything; No detects again.
    void resetAndAutoSplit()
    {
        Page t;
        QCheckBox* chk = t.find<QCheckBox>("chkAutoSplit");
        const auto reset = [&](int answer, const Markers& want) {
            t.z.boxes.answer(answer);
            t.press("cmdResetTracks");
            QCOMPARE(t.tracks().markers(), want);
        };
        reset(sv::vbCancel, Detected);
        t.box(0, TrackMsg::ResetTracks);
        reset(sv::vbYes, Markers{{15, Width - 135}});
        reset(sv::vbNo, Detected);
        chk->click();
        QCOMPARE(t.z.get("WaveformOptions", "AutoSplit"), QStringLiteral("0"));
        reset(sv::vbNo, Detected);
        chk->click();
        QCOMPARE(t.z.get("WaveformOptions", "AutoSplit"), QStringLiteral("1"));
        QCOMPARE(t.z.boxes.shown.size(), 4);
        t.noneUnexpected();
    }

    void detectionOptions()
    {
        Page t;
        // The close box keeps the stored settings and asks nothing.
        t.z.set(DetectSection, "Hiss", "30");
        OnModal([](QWidget* d) {
            QCOMPARE(sv::test::Find<QSlider>(d, "sliNoise")->value(), 30);
            QCOMPARE(sv::test::Find<QLineEdit>(d, "txtMinTrack")->text(), QStringLiteral("35"));
            sv::test::Find<QSlider>(d, "sliNoise")->setValue(40);
            d->close();
        });
        t.p()->cmdTrackOptions_Click();
        QCOMPARE(t.z.get(DetectSection, "Hiss"), QStringLiteral("30"));

        // Out of range is refused; "45 seconds" reads as 45 and drops the 41 s track.
        bool stayed = false;
        for (int answer : {sv::vbOK, sv::vbOK, sv::vbYes}) // 9.5, 61, redetect
            t.z.boxes.answer(answer);
        OnModal([&stayed](QWidget* d) {
            const auto minTrack = [d](const char* text) {
                sv::test::Find<QLineEdit>(d, "txtMinTrack")->setText(QString::fromUtf8(text));
                sv::test::Find<QPushButton>(d, "cmdOK")->click();
            };
            sv::test::Find<QPushButton>(d, "cmdDefault")->click();
            sv::test::Find<QSlider>(d, "sliCompare")->setValue(60);
            minTrack("9.5");
            minTrack("61");
            stayed = d->isVisible();
            minTrack("45 seconds");
        });
        t.p()->cmdTrackOptions_Click();
        QVERIFY(stayed);
        t.box(0, TrackMsg::MinTrackRange);
        QVERIFY(t.z.boxes.shown[0].plain);
        t.box(1, TrackMsg::MinTrackRange);
        t.box(2, TrackMsg::Redetect);
        QCOMPARE(t.z.get(DetectSection, "Hiss"), QStringLiteral("25"));
        QCOMPARE(t.z.get(DetectSection, "Samples"), QStringLiteral("0.6"));
        QCOMPARE(t.z.get(DetectSection, "MinTrackLength"), QStringLiteral("45 seconds"));
        // Windows of 31 units now; only the long track is kept.
        QCOMPARE(t.tracks().count(), 1);
        QVERIFY(t.tracks().at(0).left >= 2200 && t.tracks().at(0).left <= 2250);
        t.noneUnexpected();
    }

    void preview()
    {
        Page t;
        auto* play = t.play();
        QSlider* slide = t.find<QSlider>("WaveSlide");
        const auto stopped = [&] {
            QVERIFY(!t.previewRuns() && t.find("linPOS")->isHidden());
            QCOMPARE(play->GetPlayLength(), 0.0);
        };

        // Track 2 (45 s to 156 s): play starts at its start.
        t.press("cmdWavePlay");
        QVERIFY(t.previewRuns());
        QCOMPARE(t.playAt(), 45);
        QCOMPARE(QPoint(slide->minimum(), slide->maximum()), QPoint(45, 156));
        play->SetPlayPosition(100);
        t.tick();
        QCOMPARE(slide->value(), 100);
        QCOMPARE(t.text("lblWaveTime"), QStringLiteral("0:55"));
        QCOMPARE(t.find("linPOS")->x(), int(std::floor(t.view()->pixelX(5000))));
        play->SetPlayPosition(156);
        t.tick();
        stopped();
        QCOMPARE(t.text("lblWaveTime"), QStringLiteral("1:51"));

        // The whole recording (a left click on empty space): 486 whole seconds,
        // but the file ends at 485.6 s and the player stops there by itself.
        t.click(8500);
        QCOMPARE(t.text("lblWaveTrackName") + ' ' + t.text("lblWaveTrackStart"), sv::EntireRecordingName + " 0:00/8:06");
        t.press("cmdWavePlay");
        QCOMPARE(t.playAt(), 0);
        play->SetPlayPosition(486);
        t.tick();
        QVERIFY(!t.previewRuns() && !t.view()->positionLineVisible());

        t.press("cmdWavePlay");
        t.press("cmdWaveStop");
        stopped();
        QCOMPARE(slide->value(), 0);
        t.noneUnexpected();

        // A player that cannot open the file says so and nothing runs.
        QFile::remove(t.wav);
        t.z.boxes.answer(sv::vbOK);
        t.press("cmdWavePlay");
        t.box(0, TrackMsg::PlayFailed, QStringLiteral("53  File not found"));
        QVERIFY(!t.previewRuns() && t.find("linPOS")->isHidden());
    }

    void minimisingKeepsTheWork()
    {
        Page t(false);
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
        QVERIFY(t.z.w->cmdNext()->isEnabled() && t.z.w->cmdBack()->isEnabled() && t.find("cmdWavePlay")->isEnabled()
                && t.find("picLoading")->isHidden());
        t.noneUnexpected();

        // Closing the window does end the work.
        QObject::disconnect(c);
        w->setWindowState(Qt::WindowNoState);
        w->show();
        QObject::connect(t.p(), &PageWaveform::busyStarted, w, &QWidget::hide);
        t.p()->WaveFormStep();
        QVERIFY(!t.p()->HasTracks() && !t.z.w->cmdNext()->isEnabled());
    }

    void clicksSlidingAndBack()
    {
        Page t;
        QSlider* slide = t.find<QSlider>("WaveSlide");
        QScrollBar* hs = t.find<QScrollBar>("hsWave");
        // A click three quarters along the groove of track 2 (45 s to 156 s)
        // plays from there, as if the handle had been dragged there.
        QTest::mouseClick(slide, Qt::LeftButton, {}, QPoint(slide->width() * 3 / 4, slide->height() / 2));
        QVERIFY2(std::abs(slide->value() - (45 + (156 - 45) * 3 / 4)) <= 4, qPrintable(QString::number(slide->value())));
        QCOMPARE(t.playAt(), slide->value());
        QVERIFY(t.previewRuns());

        // Right click on empty space at x plays the whole recording from there.
        t.click(8500, Qt::RightButton);
        QCOMPARE(t.tracks().selected(), -1);
        QCOMPARE(t.playAt(), 170);
        QCOMPARE(QPoint(slide->maximum(), slide->value()), QPoint(486, 170));

        // A slider dragged far out of view stops the preview, then plays there in view.
        t.p()->WaveSlide_Press();
        QVERIFY(!t.previewRuns());
        slide->setValue(460);
        t.p()->WaveSlide_Release();
        QCOMPARE(t.playAt(), 460);
        QVERIFY(t.previewRuns() && std::abs(t.view()->positionLine() - 460 * 50) < 1);
        const double left = -t.view()->imageLeftEdge();
        QVERIFY2(t.view()->positionLine() >= left && t.view()->positionLine() <= left + t.view()->viewportUnits(),
                 qPrintable(QString::number(left)));

        // A position at the viewport's right moves the view on by one small step per tick.
        hs->setValue(0);
        t.play()->SetPlayPosition((t.view()->viewportUnits() - 150) / 50 + 1);
        t.p()->ScrollChanged = false;
        t.tick();
        QCOMPARE(hs->value(), hs->singleStep());

        // Right click inside a marker plays its range from the time under the pointer.
        hs->setValue(0);
        t.click(1500, Qt::RightButton);
        QCOMPARE(t.tracks().selected(), 0);
        QCOMPARE(t.playAt(), 30);
        QCOMPARE(slide->maximum(), 41);

        // A double click plays the marker from its start; the release after it is ignored.
        t.press("cmdWaveStop");
        const QPointF p = t.at(3000);
        t.clickPx(p);
        send(t.view(), QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, p);
        send(t.view(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, p);
        QCOMPARE(t.tracks().selected(), 1);
        QCOMPARE(t.playAt(), 45);
        QVERIFY(t.previewRuns());
        t.noneUnexpected();

        // Back while playing: the recording is let go, and a new one is drawn afresh.
        t.p()->WaveformBack();
        QCOMPARE(t.z.page(), QStringLiteral("picRecord"));
        QVERIFY(!t.p()->HasTracks() && !t.previewRuns());
        QCOMPARE(t.play()->GetPlayLength(), 0.0);
        QVERIFY(!t.z.w->cmdNext()->isEnabled());
        QVERIFY(QFile::remove(t.wav) && writeSegments(t.wav, {{50, 9000}}, Rate));
        t.p()->WaveFormStep();
        QCOMPARE(t.tracks().markers(), (Markers{{0, 2500}}));
    }

    // A long side (drawn at 20 units a second) of 36 s tracks: each narrower than
    // a full tab. Every track's delete icon deletes that track, neighbour or not.
    void narrowTracksKeepTheirDeleteIcons()
    {
        Page t(false, {{1, 0}});
        QVERIFY(writeWav(t.wav, WavSpec{.rate = 1000}, 1950 * 1000, [](std::int64_t k, int) {
            return std::fmod(k / 1000.0, 39.0) < 36 ? int(9000 * std::sin(k * 0.7)) : 0;
        }));
        t.p()->WaveFormStep();
        QCOMPARE(t.p()->Wave().drawScale(), 20);
        QVERIFY2(t.tracks().count() >= 40, qPrintable(QString::number(t.tracks().count())));
        QVERIFY(t.tracks().at(0).width < sv::WaveformView::TabWidth);
        checkRuler(t.view(), t.p()->Wave().scale());
        // The first track, then one between two others with the selected one beside it.
        for (int k : {0, 1}) {
            if (k == 1)
                t.click(t.tracks().at(2).left + 100);
            Markers expected = t.tracks().markers();
            expected.remove(k);
            t.deleteTrack(k);
            QCOMPARE(t.tracks().markers(), expected);
        }
        QCOMPARE(t.tracks().selected(), 1);
        t.noneUnexpected();
    }
};

QTEST_MAIN(TestWavePage)
#include "tst_wavepage.moc"
