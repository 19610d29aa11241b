// The audio CD output and the finish page in the main window: the CD writer
// run through the CDBurner setting (a real image, the real no-drive failure,
// a writer that cannot start, a cancelled one), the finish actions with their
// settings and option states, and several outputs from one split.
#include "app/WizardFixture.h"
#include "output/AudioCD.h"
#include "output/TrackFiles.h"
#include "support/FindChild.h"
#include "tracks/WavGen.h"
#include "util/modFunctions.h"
#include "util/ui/modShellExecute.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>

using namespace svtest;

namespace {

constexpr int Tracks = 2;
const QString kCdFailed =
    QStringLiteral("Your Audio CD was not created. Please try again or choose a different option.");

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Quotes a path for the CDBurner command line.
QString q(const QString& s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// A window on the output page with two split 5-second CD-quality tracks,
// as the split leaves them.
struct Split {
    Split()
    {
        z.noWelcomeDialog();
        if (!z.start())
            return;
        RunState& s = z.st();
        folder = s.RecordDirectory;
        WavSpec fmt;
        for (int i = 1; i <= Tracks; ++i) {
            if (!writeWav(sv::TrackFilePath(folder, i), fmt, 5 * 44100,
                          [i](std::int64_t k, int) { return ((k / 50) % 2 ? 1 : -1) * 3000 * i; }))
                return;
        }
        if (!sv::WriteRecordingIndex(folder, Tracks))
            return;
        s.RecordingXMLPath = sv::RecordingIndexPath(folder);
        s.RecordingName = QStringLiteral("Recording 14:32  05/12/2026");
        s.Session.adoptRecording(folder + QStringLiteral("recording.wav"));
        s.Session.splitDone(Tracks);
        s.HasRecorded = true;
        z.w->picWaveCopy()->SetTrackCount(Tracks);
        z.w->picOutput()->Enter();
        ok = z.page() == QLatin1String("picOutput");
    }
    ~Split() { sv::SetShellHandler({}); }

    void choose(const char* option) { sv::test::Find<QRadioButton>(z.w->picOutput(), option)->setChecked(true); }
    QRadioButton* finish(const char* option) { return sv::test::Find<QRadioButton>(z.w->picFinish(), option); }
    QString saveIn() { return sv::test::Find<QLineEdit>(z.w->picFinish(), "txtFinishSaveIn")->text(); }
    QWidget* errorPanel() { return sv::test::Find<QWidget>(z.w->picFinish(), "picFinishError"); }
    QString errorText() { return sv::test::Find<QLabel>(z.w->picFinish(), "lblErrorFinish")->text(); }
    QString failReport() const { return z.env.dataFolder() + QStringLiteral("cd_fail.txt"); }
    // No CD was made: the finish page says why, and the user may choose
    // another output or exit.
    void expectCdFailed(const QString& text)
    {
        QCOMPARE(z.page(), QStringLiteral("picFinish"));
        QVERIFY(errorPanel()->isVisibleTo(z.w->picFinish()));
        QVERIFY2(errorText().startsWith(text), qPrintable(errorText()));
        QVERIFY(z.st().Session.deliveries().isEmpty());
        QVERIFY(z.w->isVisible());
        QVERIFY(!z.st().WritingAudioCD);
        QVERIFY(finish("optFinishMore")->isEnabled());
        QVERIFY(z.w->cmdNext()->isEnabled());
        QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
    }

    // WAV copies into a folder of the user's, through the copy page.
    QString copyTo(const QString& name)
    {
        const QString target = z.env.root() + QStringLiteral("/") + name;
        QDir().mkpath(target);
        choose("optDPP");
        z.next();
        sv::test::Find<QComboBox>(z.w->picWaveCopy(), "cboWaveCopy")->setEditText(target);
        z.next();
        return target + QStringLiteral("/");
    }

    Wizard z;
    QString folder;
    bool ok = false;
};

// Watches the writer's window while the writer runs.
struct WriterWatch {
    explicit WriterWatch(QWidget* main)
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this, main] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == QLatin1String("frmWritingCD") && w->isVisible()) {
                    title = w->windowTitle();
                    mainHidden = mainHidden || !main->isVisible();
                    if (onSeen)
                        std::exchange(onSeen, {})(w);
                }
            }
        });
        timer.start();
    }
    QTimer timer;
    bool mainHidden = false;
    QString title;
    std::function<void(QWidget*)> onSeen;
    QString statusBeforeCancel;
};

} // namespace

class TestFinishPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writerCommand();
    void cdFailuresShowOnTheFinishPage();
    void playlistOfEachOutput();
    void finishActionsKeepEveryDelivery();
};

// The default is the writer beside the program with the index as one
// argument; a setting is the whole line, split on quotes with no shell.
void TestFinishPage::writerCommand()
{
    const auto command = [](const QString& setting) {
        return sv::CdBurnerCommand(setting, QStringLiteral("/opt/sv"), QStringLiteral("/home/a b/rec ord.xml"));
    };
    QCOMPARE(command(QString()), (QStringList{"/opt/sv/cdburner", "/home/a b/rec ord.xml"}));
    QCOMPARE(command("/usr/bin/mywriter --speed 4"), (QStringList{"/usr/bin/mywriter", "--speed", "4"}));
    QCOMPARE(command("\"/my tools/burn\" \"/x y/r.xml\"; rm -rf $HOME"),
             (QStringList{"/my tools/burn", "/x y/r.xml;", "rm", "-rf", "$HOME"}));
}

// No drive, a writer that cannot start, a writer cancelled while it works:
// each time the finish page says so and leads on.
void TestFinishPage::cdFailuresShowOnTheFinishPage()
{
    Split t;
    QVERIFY(t.ok);
    const auto burn = [&](const QString& setting) {
        t.z.set(QStringLiteral("Paths"), QStringLiteral("CDBurner"), setting);
        t.choose("optACD");
        t.z.next();
    };
    const auto more = [&] {
        t.finish("optFinishMore")->setChecked(true);
        t.z.next();
    };
    // The default command: the writer beside the program, for a real disc;
    // its reason is shown beneath, and there is no place to show.
    burn(QString());
    t.expectCdFailed(kCdFailed);
    QCOMPARE(t.errorText(), kCdFailed);
    auto* reason = sv::test::Find<QLabel>(t.z.w->picFinish(), "lblErrorFinishReason");
    QVERIFY(reason->isVisibleTo(t.z.w->picFinish()) && !reason->text().isEmpty());
    QCOMPARE(reason->text(), QString::fromUtf8(readAll(t.failReport())).trimmed());
    QVERIFY(!sv::test::Find<QLineEdit>(t.z.w->picFinish(), "txtFinishSaveIn")->isVisibleTo(t.z.w->picFinish()));

    more();
    burn(QStringLiteral("/nowhere/cdwriter index.xml"));
    t.expectCdFailed(QStringLiteral("Your Audio CD was not created: the CD writer could not be started "
                                    "(/nowhere/cdwriter index.xml"));
    QVERIFY(t.saveIn() != QLatin1String("Audio CD"));

    // A writer that reports a percentage, then works on until it is cancelled.
    more();
    const QString writer = t.z.env.root() + QStringLiteral("/slow writer.sh");
    QVERIFY(writeFile(writer, "#!/bin/sh\necho 'Writing the audio CD: 37%'\n"
                              "i=0; while [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n"));
    QVERIFY(QFile::setPermissions(writer, QFile::permissions(writer) | QFileDevice::ExeOwner));
    WriterWatch watch(t.z.w.get());
    watch.onSeen = [&watch](QWidget* w) {
        QTimer::singleShot(0, w, [&watch, w] {
            QTRY_COMPARE_WITH_TIMEOUT(sv::test::Find<QProgressBar>(w, "barCDProgress")->value(), 37, 10000);
            watch.statusBeforeCancel = sv::test::Find<QLabel>(w, "lblCDStatus")->text();
            sv::test::Find<QPushButton>(w, "cmdCDCancel")->click();
        });
    };
    burn(q(writer));
    QCOMPARE(watch.statusBeforeCancel, QStringLiteral("Writing the audio CD: 37%"));
    t.expectCdFailed(kCdFailed);
    QCOMPARE(t.errorText(), kCdFailed);
}

void TestFinishPage::playlistOfEachOutput()
{
    Split t;
    QVERIFY(t.ok);
    QStringList opened;
    sv::SetShellHandler([&](const QString& file, const QStringList&, const QString&) {
        opened << file;
        return int(sv::ShellOk);
    });
    auto* page = t.z.w->picFinish();
    const QString out = t.z.env.root() + QStringLiteral("/Out/");
    QVERIFY(QDir().mkpath(out));
    // WMA: an ASX of the files in the save folder; FLAC (like MP3): an M3U.
    t.z.st().Session.delivered(sv::DeliveryKind::Wma, out, {out + "Track 1.wma", out + "Track 2.wma"});
    page->ShowDelivered(out, Delivery::WMA);
    QVERIFY(page->PlayRecording());
    QCOMPARE(opened.last(), out + QStringLiteral("Recording 1432  05122026.asx"));
    QVERIFY(readAll(opened.last()).contains("<Ref href = \"" + (out + "Track 2.wma").toUtf8() + "\" />"));
    t.z.st().Session.delivered(sv::DeliveryKind::Flac, out, {out + "One.flac"});
    page->ShowDelivered(out, Delivery::MP3);
    QVERIFY(page->PlayRecording());
    QCOMPARE(readAll(opened.last()), (out + "One.flac\r\n").toUtf8());
    // Nothing the session knows of delivered there: no Play, and a
    // preselected Play falls back to Exit.
    t.finish("optFinishPlay")->setChecked(true);
    page->ShowDelivered(t.z.env.root() + QStringLiteral("/Elsewhere"), Delivery::MP3);
    QVERIFY(!t.finish("optFinishPlay")->isEnabled());
    QVERIFY(t.finish("optFinishExit")->isChecked());
    QVERIFY2(!t.z.boxes.unexpected(), qPrintable(t.z.boxes.unexpectedText()));
}

// Open, More, an Audio CD, copies again and Play: each finish action does
// its part, and at the end the program's own track files go while every
// delivery stays.
void TestFinishPage::finishActionsKeepEveryDelivery()
{
    Split t;
    QVERIFY(t.ok);
    QStringList opened;
    int answer = sv::ShellNoAssociation;
    sv::SetShellHandler([&](const QString& file, const QStringList&, const QString&) {
        opened << file;
        return answer;
    });
    const QString copies = t.copyTo(QStringLiteral("Copies"));
    QCOMPARE(t.saveIn(), copies);

    // No file manager: a message, and the window stays for another choice.
    t.finish("optFinishOpen")->setChecked(true);
    t.z.boxes.answer(sv::vbOK);
    t.z.next();
    QCOMPARE(opened, QStringList{copies});
    QVERIFY(t.z.boxes.last().text.contains(copies));
    QVERIFY(t.z.w->isVisible());
    QCOMPARE(t.z.get(QString(), QStringLiteral("FinishAction")), QStringLiteral("3"));

    // More: a CD image from the same tracks.
    t.finish("optFinishMore")->setChecked(true);
    t.z.next();
    QCOMPARE(t.z.page(), QStringLiteral("picOutput"));
    QVERIFY(!t.z.w->cmdBack()->isEnabled()); // no way back into the finished split
    // A report left by an earlier run is no failure of this one.
    QVERIFY(writeFile(t.failReport(), "old"));
    const QString cue = t.z.env.root() + QStringLiteral("/My CDs/tape one.cue");
    QVERIFY(QDir().mkpath(QFileInfo(cue).path()));
    WriterWatch watch(t.z.w.get());
    t.z.set(QStringLiteral("Paths"), QStringLiteral("CDBurner"),
            q(sv::ProgramFolder() + QStringLiteral("/cdburner")) + QLatin1Char(' ') + q(t.z.st().RecordingXMLPath)
                + QStringLiteral(" --image ") + q(cue));
    t.choose("optACD");
    t.z.next();
    QVERIFY2(t.errorPanel()->isHidden(), qPrintable(t.errorText()));
    QCOMPARE(t.saveIn(), QStringLiteral("Audio CD"));
    QVERIFY(QFile::exists(cue));
    const QString bin = t.z.env.root() + QStringLiteral("/My CDs/tape one.bin");
    QVERIFY(QFileInfo(bin).size() >= Tracks * 5 * 44100 * 4);
    QVERIFY(!QFile::exists(t.failReport()));
    // The writer's window stood in for the main window, which is back.
    QCOMPARE(watch.title, QStringLiteral("Writing Audio CD"));
    QVERIFY(watch.mainHidden);
    QVERIFY(t.z.w->isVisible());
    QCOMPARE(t.z.st().Session.deliveries().last().kind, sv::DeliveryKind::Cd);

    // Copies once more, elsewhere, after the CD: Play and Open are offered again.
    t.finish("optFinishMore")->setChecked(true);
    t.z.next();
    const QString again = t.copyTo(QStringLiteral("Again"));
    QVERIFY(t.finish("optFinishPlay")->isEnabled());
    QVERIFY(t.finish("optFinishOpen")->isEnabled());

    // Play: an M3U of these copies, opened once it is written; then the end.
    answer = sv::ShellOk;
    t.finish("optFinishPlay")->setChecked(true);
    t.z.next();
    const QString m3u = again + QStringLiteral("Recording 1432  05122026.m3u");
    QCOMPARE(opened.last(), m3u);
    QCOMPARE(readAll(m3u), (again + "Track 1.wav\r\n" + again + "Track 2.wav\r\n").toUtf8());
    QVERIFY(!t.z.w->isVisible());
    QVERIFY(!QFile::exists(t.folder + QStringLiteral("Track 1.wav")));
    for (const QString& f : {copies + "Track 1.wav", copies + "Track 2.wav", again + "Track 2.wav", cue, bin})
        QVERIFY2(QFile::exists(f), qPrintable(f));
    QCOMPARE(readAll(copies + "Track 2.wav"), readAll(again + "Track 2.wav"));
    QVERIFY2(!t.z.boxes.unexpected(), qPrintable(t.z.boxes.unexpectedText()));
}

QTEST_MAIN(TestFinishPage)
#include "tst_FinishPage.moc"
