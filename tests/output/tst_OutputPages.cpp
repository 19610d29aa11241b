// The split, output and WAV-copy pages in the main window: a generated
// recording with twelve tracks split and copied; the damaged-recording,
// full-disk and exit paths; the save-location boxes.
#include "app/WizardFixture.h"
#include "support/FindChild.h"
#include "output/SmallDisk.h"
#include "output/TrackFiles.h"
#include "tracks/TrackMessages.h"
#include "tracks/WavGen.h"
#include "util/modFunctions.h"
#include "util/ui/modShellExecute.h"

#include <QComboBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QRadioButton>

#include <unistd.h>

using namespace svtest;
using sv::test::Find;

namespace {

constexpr int Rate = 2000;
constexpr int Tracks = 12;
constexpr int TrackSeconds = 40;
constexpr int GapSeconds = 5;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Twelve 40-second tracks of a square wave, each followed by 5 s of silence.
bool writeTwelveTracks(const QString& path)
{
    const std::int64_t period = std::int64_t(TrackSeconds + GapSeconds) * Rate;
    WavSpec fmt;
    fmt.rate = Rate;
    return writeWav(path, fmt, period * Tracks, [&](std::int64_t k, int) {
        if (k % period >= std::int64_t(TrackSeconds) * Rate)
            return 0;
        return (k / 5) % 2 ? 9000 : -9000;
    });
}

// A main window on the waveform page with the twelve tracks detected.
struct Recorded {
    Recorded()
    {
        z.noWelcomeDialog();
        if (!z.start())
            return;
        folder = z.st().RecordDirectory;
        wav = folder + QStringLiteral("recording.wav");
        z.st().RecordingPath = wav;
        z.st().HasRecorded = true;
        if (!writeTwelveTracks(wav))
            return;
        z.w->ShowPage(z.w->picRecord());
        z.w->picWaveform()->WaveFormStep();
        ok = z.page() == QLatin1String("picWaveform") && z.w->picWaveform()->TrackCount() == Tracks;
    }
    // Next on the waveform page, answering its confirmation.
    void split()
    {
        z.boxes.answer(sv::vbYes);
        z.next();
    }
    QString track(int i) const { return folder + QStringLiteral("Track %1.wav").arg(i); }
    // No track file, part or index is left in the folder.
    void expectNoTracks()
    {
        for (int i = 1; i <= Tracks; ++i)
            QVERIFY(!QFile::exists(track(i)) && !QFile::exists(track(i) + QStringLiteral(".part")));
        QVERIFY(!QFile::exists(folder + QStringLiteral("recording.xml")));
    }

    Wizard z;
    QString folder;
    QString wav;
    bool ok = false;
};

void expectBox(const MsgBoxScript& b, int i, const QString& title, const QString& text, int style)
{
    QVERIFY2(b.shown.size() > i, qPrintable(QStringLiteral("no box %1").arg(i)));
    QCOMPARE(b.shown[i].title, title);
    QCOMPARE(b.shown[i].text, text);
    QCOMPARE(b.shown[i].style, style);
}

} // namespace

class TestOutputPages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rememberedChoices();
    void damagedRecordingGoesBackToRecordPage();
    void fullDiskKeepsRecording();
    void exitDuringSplit();
    void saveChecksOnEveryPage();
    void waveCopyAsksCopiesAndReportsFailure();
};

// What the output pages remember for the next run: the output chosen (FLAC
// took the next free code, so the older ones keep their meaning) and the
// save folder typed or browsed to.
void TestOutputPages::rememberedChoices()
{
    Wizard z;
    z.noWelcomeDialog();
    z.set("", "SaveIn", "mUSIC");
    QVERIFY(z.start());
    QList<QRadioButton*> options;
    for (const char* name : {"optMP3", "optWMA", "optACD", "optDPP", "optFLAC"})
        options << Find<QRadioButton>(z.w->picOutput(), name);
    z.w->picOutput()->RestoreOutputChoice();
    QVERIFY(options[0]->isChecked()); // nothing stored: MP3
    const QList<std::pair<QString, int>> rows = {{"3", 3}, {"1", 1}, {"4", 4}, {"2", 2}, {"0", 0}, {"7", -1}};
    for (const auto& [code, expected] : rows) {
        z.set("OutputOptions", "LastUsed", code);
        z.w->picOutput()->RestoreOutputChoice();
        for (int i = 0; i < options.size(); ++i)
            QVERIFY2(options[i]->isChecked() == (i == expected) && options[i]->isEnabled(), qPrintable(code));
        QCOMPARE(z.w->picOutput()->OutputCode(), expected < 0 ? QString() : code);
    }
    options[4]->setChecked(true);
    z.w->picOutput()->StoreOutputChoice();
    QCOMPARE(z.get("OutputOptions", "LastUsed"), QStringLiteral("4"));

    const QList<QComboBox*> b{Find<QComboBox>(z.w->picMP3(), "cboMP3Save"), Find<QComboBox>(z.w->picWMA(), "cboWMASave"),
                              Find<QComboBox>(z.w->picWaveCopy(), "cboWaveCopy")};
    for (QComboBox* box : b)
        QCOMPARE(box->currentText(), QStringLiteral("Music"));
    QCOMPARE(z.get("", "SaveIn"), QStringLiteral("mUSIC")); // start-up writes nothing
    // Typing into the MP3 or WMA box is remembered; into the WAV-copy box not.
    b[1]->setEditText(QStringLiteral("/srv/x"));
    QCOMPARE(z.get("", "SaveIn"), QStringLiteral("/srv/x"));
    b[2]->setEditText(QStringLiteral("/elsewhere"));
    QCOMPARE(z.get("", "SaveIn"), QStringLiteral("/srv/x"));
    // Browse: the picked folder becomes the text; a cancelled picker changes nothing.
    QStringList titles;
    QString answer = z.env.root();
    sv::SetFolderPicker([&](const QString& title, const QString&) {
        titles << title;
        return answer;
    });
    Find<QPushButton>(z.w->picMP3(), "cmdBrowseMP3Location")->click();
    QCOMPARE(z.get("", "SaveIn"), z.env.root());
    Find<QPushButton>(z.w->picWaveCopy(), "cmdBrowseWaveCopy")->click();
    QCOMPARE(b[2]->currentText(), z.env.root());
    answer.clear();
    Find<QPushButton>(z.w->picWMA(), "cmdBrowseWMA")->click();
    QCOMPARE(b[1]->currentText(), QStringLiteral("/srv/x"));
    sv::SetFolderPicker({});
    QCOMPARE(titles, QStringList(3, QStringLiteral("Select location for finished media")));
}

void TestOutputPages::damagedRecordingGoesBackToRecordPage()
{
    Recorded t;
    QVERIFY(t.ok);
    // Damaged after the waveform was drawn: 3 channels.
    QFile f(t.wav);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(22);
    f.write(QByteArray("\x03\x00", 2));
    f.close();
    t.z.boxes.answer(sv::vbYes);
    t.z.boxes.answer(sv::vbOK);
    t.z.boxes.answer(sv::vbOK);
    t.z.next();

    const sv::MessageText bad = sv::TrackMessage(sv::TrackMsg::WaveCorrupted);
    expectBox(t.z.boxes, 1, bad.title, bad.text, bad.style);
    expectBox(t.z.boxes, 2, "Critical Error", "There was an error splitting the tracks.", 16);
    QCOMPARE(t.z.page(), QStringLiteral("picRecord"));
    QVERIFY(!t.z.w->cmdNext()->isEnabled());
    QVERIFY(t.z.w->cmdBack()->isEnabled()); // not a dead end
    QVERIFY(QFile::exists(t.wav));
    t.expectNoTracks();
    QVERIFY(t.z.st().RecordingXMLPath.isEmpty());
}

void TestOutputPages::fullDiskKeepsRecording()
{
    Recorded t;
    QVERIFY(t.ok);
    // The recording on a disk with 1 MB to spare: its tracks do not fit.
    const qint64 size = QFileInfo(t.wav).size();
    svtest::SmallDisk disk(t.folder + QStringLiteral("small"), size + 1024 * 1024);
    SV_REQUIRE_MOUNTED(disk);
    const QString folder = disk.path + QStringLiteral("/");
    QVERIFY(QFile::copy(t.wav, folder + QStringLiteral("recording.wav")));
    QFile::remove(t.wav);
    t.wav = folder + QStringLiteral("recording.wav");
    t.z.st().RecordingPath = t.wav;
    t.folder = folder;
    t.z.boxes.answer(sv::vbYes);
    t.z.boxes.answer(sv::vbOK);
    t.z.next();

    QCOMPARE(t.z.boxes.shown.size(), 2);
    const sv::MsgBoxShown& box = t.z.boxes.shown[1];
    QVERIFY(box.plain);
    QCOMPARE(box.style, sv::vbCritical);
    for (const char* part : {"Component: StartSplitTracks", "Details:\r\n(61) ", "Disk full"})
        QVERIFY2(box.text.contains(QLatin1String(part)), qPrintable(box.text));
    // Nothing is lost, and nothing half done is left behind.
    QCOMPARE(QFileInfo(t.wav).size(), size);
    t.expectNoTracks();
    QVERIFY(t.z.st().RecordingXMLPath.isEmpty());
    // Back on the waveform page with the markers, ready to try again.
    QCOMPARE(t.z.page(), QStringLiteral("picWaveform"));
    QCOMPARE(t.z.w->picWaveform()->TrackCount(), Tracks);
    QVERIFY(t.z.w->cmdNext()->isEnabled());

    // With room made, the split goes through: each track as long as its marker.
    const QVector<sv::FrameSpan> spans = t.z.w->picSplit()->SplitSpans(Rate);
    const QByteArray opts = "size=" + QByteArray::number(3 * size);
    QCOMPARE(::mount("tmpfs", QFile::encodeName(disk.path).constData(), "tmpfs", MS_REMOUNT, opts.constData()), 0);
    t.split();
    QCOMPARE(t.z.page(), QStringLiteral("picOutput"));
    QVERIFY(!QFile::exists(t.wav));
    for (int i = 1; i <= Tracks; ++i)
        QCOMPARE(QFileInfo(t.track(i)).size(), 44 + spans[i - 1].frames * 4);
    QCOMPARE(t.z.st().RecordingXMLPath, folder + QStringLiteral("recording.xml"));
    QVERIFY(t.z.st().RecordingName.startsWith(QStringLiteral("Recording ")));
    QVERIFY(!t.z.boxes.unexpected());
    t.z.w->picSplit()->ClearRecorded(); // nothing may stay open on the disk
}

void TestOutputPages::exitDuringSplit()
{
    // The window is closed while the split page is painted, before the
    // tracks and after the third one; the exit question is answered Yes.
    for (const QString& when : {QString(), QStringLiteral("Splitting track 3...")}) {
        Recorded t;
        QVERIFY(t.ok);
        // Small pieces make a long split: the window keeps turning and sees each track start.
        t.z.set("Advanced", "Bitesize", "16");
        auto* label = Find<QLabel>(t.z.w->picSplit(), "lblSplitTrack");
        QTimer watch;
        watch.setInterval(0);
        connect(&watch, &QTimer::timeout, [&] {
            if (t.z.page() == QLatin1String("picSplit") && label->text() == when) {
                watch.stop();
                t.z.w->close();
            }
        });
        watch.start();
        t.z.boxes.answer(sv::vbYes); // the split's confirmation
        t.z.boxes.answer(sv::vbYes); // "Anything you recorded will be lost."
        t.z.next();
        QCOMPARE(t.z.boxes.shown.size(), 2);
        QCOMPARE(t.z.boxes.last().title, QStringLiteral("Exit"));
        QVERIFY(!t.z.w->isVisible());
        QVERIFY(!QFile::exists(t.wav));
        t.expectNoTracks();
    }
}

// A page with a save box checks it before going on (the checks' texts are
// the core's); a special name passes in any letter case.
void TestOutputPages::saveChecksOnEveryPage()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    z.w->show();
    const QString missing = z.env.root() + QStringLiteral("/no such folder");
    auto* box = Find<QComboBox>(z.w->picMP3(), "cboMP3Save");
    z.w->ShowPage(z.w->picMP3());
    box->setEditText(missing + QStringLiteral("/"));
    z.w->cmdNext()->setFocus();
    z.boxes.answer(sv::vbOK);
    z.next();
    QCOMPARE(z.current(), z.w->picMP3());
    QVERIFY(z.w->focusWidget() == box || z.w->focusWidget() == box->lineEdit());
    expectBox(z.boxes, 0, "Folder not found", missing + "\r\nThis location cannot be found.\r\nPlease choose another.", 48);
    QCOMPARE(z.boxes.shown[0].position, 7);
    box->setEditText(QStringLiteral("dEsKtOp"));
    z.next();
    QCOMPARE(z.st().OutputFolder,
             sv::AddSlash(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)));
    QVERIFY(!z.boxes.unexpected());
}

// The copy asks before replacing a file of the user's, shows it is working,
// reaches the finish page, and reports a failure on its page.
void TestOutputPages::waveCopyAsksCopiesAndReportsFailure()
{
    Recorded t;
    QVERIFY(t.ok);
    t.z.set("OutputOptions", "LastUsed", "3");
    t.split();
    t.z.next();
    QWidget* copy = t.z.w->picWaveCopy();
    const QString target = t.z.env.root() + QStringLiteral("/Copies"); // no trailing slash
    QVERIFY(QDir().mkpath(target));
    QVERIFY(writeFile(target + QStringLiteral("/Track 2.wav"), "mine"));
    Find<QComboBox>(copy, "cboWaveCopy")->setEditText(target);
    auto* status = Find<QLabel>(copy, "lblWaveCopyStatus");
    const QString prefix = QStringLiteral("Error moving or copying files. Click Back to try again. Details: ");
    const auto expectFailed = [&](const QString& detail) {
        QCOMPARE(t.z.page(), QStringLiteral("picWaveCopy"));
        QVERIFY2(status->text().startsWith(prefix + detail), qPrintable(status->text()));
        QVERIFY(!t.z.w->cmdNext()->isEnabled());
        QVERIFY(t.z.w->cmdBack()->isEnabled());
    };

    // Cancel at the replace question: the status says so, Back leads out.
    t.z.boxes.answer(sv::vbCancel);
    t.z.next();
    QCOMPARE(t.z.boxes.last().title, QStringLiteral("Confirm File Replace"));
    expectFailed(QStringLiteral("Move canceled."));
    QCOMPARE(readAll(target + QStringLiteral("/Track 2.wav")), QByteArray("mine"));
    QVERIFY(!QFile::exists(target + QStringLiteral("/Track 1.wav"))); // questions come before any copying

    // Back, then again: No keeps the user's file and copies the rest, with
    // a progress box up while it works.
    t.z.back();
    t.z.next();
    t.z.boxes.answer(sv::vbNo);
    QString title, during;
    QTimer spy;
    spy.setInterval(0);
    connect(&spy, &QTimer::timeout, [&] {
        if (auto* d = t.z.w->findChild<QProgressDialog*>()) {
            title = d->windowTitle();
            during = status->text();
            QVERIFY(!t.z.w->cmdNext()->isEnabled() && !t.z.w->cmdBack()->isEnabled());
        }
    });
    spy.start();
    t.z.next();
    spy.stop();
    QCOMPARE(title, QStringLiteral("Please Wait..."));
    QCOMPARE(during, QStringLiteral("Please wait..."));
    QCOMPARE(t.z.page(), QStringLiteral("picFinish"));
    QCOMPARE(t.z.st().OutputFolder, target + QStringLiteral("/"));
    QCOMPARE(readAll(target + QStringLiteral("/Track 2.wav")), QByteArray("mine"));
    QCOMPARE(readAll(target + QStringLiteral("/Track 12.wav")), readAll(t.track(12)));
    QCOMPARE(QDir(target).entryList(QDir::Files).size(), Tracks);

    // A track file gone from the recording folder: the copy fails with the reason.
    Find<QRadioButton>(t.z.w->picFinish(), "optFinishMore")->setChecked(true);
    t.z.next();
    t.z.next();
    QVERIFY(QFile::remove(t.track(5)));
    const QString second = t.z.env.root() + QStringLiteral("/Second");
    QVERIFY(QDir().mkpath(second));
    Find<QComboBox>(copy, "cboWaveCopy")->setEditText(second);
    t.z.next();
    expectFailed(QString());
    QVERIFY(status->text().contains(QStringLiteral("Track 5.wav")));
    QVERIFY(!QFile::exists(second + QStringLiteral("/Track 5.wav")));
    QVERIFY(!t.z.boxes.unexpected());
}

QTEST_MAIN(TestOutputPages)
#include "tst_OutputPages.moc"
