// The MP3 page and its compression page in the main window: the tag fields
// kept per track, the options dialog, the encoder run with the real lame (and
// a slow stand-in), the exit held while it runs, a missing encoder, the
// replace questions.
#include "app/WizardFixture.h"
#include "output/FakeTool.h"
#include "output/TrackTags.h"
#include "output/ui/frmMP3.h"
#include "support/TestRequire.h"
#include "tracks/WavGen.h"
#include "util/modFunctions.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QSlider>
#include <QStandardPaths>

#include <cmath>

using namespace svtest;
using sv::test::Find;

namespace {

// PATH for the test's encoder; put back afterwards.
struct PathGuard {
    const QByteArray old = qgetenv("PATH");
    explicit PathGuard(const QString& path) { qputenv("PATH", path.toLocal8Bit()); }
    ~PathGuard() { qputenv("PATH", old); }
};

} // namespace

class TestMp3Page : public QObject {
    Q_OBJECT

    // A split recording of `count` short tracks in the recording folder.
    static QString MakeRecording(Wizard& z, int count)
    {
        const QString folder = z.env.root() + QStringLiteral("/rec/");
        QDir().mkpath(folder);
        const QString index = folder + QStringLiteral("recording.xml");
        sv::XMLSetValue(QString::number(count), QStringLiteral("Tracks"), QString(), index);
        for (int i = 1; i <= count; ++i) {
            const QString wav = folder + QStringLiteral("Track %1.wav").arg(i);
            writeWav(wav, {}, 44100, [i](std::int64_t k, int) { return int(8000 * std::sin(0.05 * i * double(k))); });
            sv::XMLSetValue(wav, QStringLiteral("Filename"), sv::TrackSection(i), index);
        }
        z.st().RecordingXMLPath = index;
        z.st().RecordingName = QStringLiteral("recording");
        return index;
    }
    static QString SaveFolder(Wizard& z)
    {
        const QString target = z.env.root() + QStringLiteral("/My Music");
        QDir().mkpath(target);
        Find<QComboBox>(z.w->picMP3(), "cboMP3Save")->setEditText(target);
        return target + QStringLiteral("/");
    }

private Q_SLOTS:
    void fieldsStoredAndFallbacks();
    void optionsDialog();
    void exitRefusedWhileCompressing();
    void existingFilesReplacedOnlyAfterYes();
};

// The page's wiring of the stored tags: Track1's fallbacks shown, a track's
// fields stored when the user moves on, and on Back.
void TestMp3Page::fieldsStoredAndFallbacks()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    const QString index = MakeRecording(z, 3);
    sv::TrackTags one{"Opening", "The Band", "Live 1979", "1979", "Rock", "side A"};
    QVERIFY(sv::SaveTrackTags(index, 1, one));
    QWidget* page = z.w->picMP3();
    auto* list = Find<QListWidget>(page, "lstMP3Tracks");
    auto* name = Find<QLineEdit>(page, "txtMP3TrackName");
    auto* genre = Find<QComboBox>(page, "cboMP3Genre");
    auto* comments = Find<QLineEdit>(page, "txtMP3Comments");
    const auto shown = [&] {
        return QStringList({name->text(), Find<QLineEdit>(page, "txtMP3Artist")->text(),
                            Find<QLineEdit>(page, "txtMP3Album")->text(), Find<QComboBox>(page, "cboMP3Year")->currentText(),
                            genre->currentText(), comments->text()});
    };

    Find<QRadioButton>(z.w->picOutput(), "optMP3")->setChecked(true);
    z.w->ShowPage(z.w->picOutput());
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picMP3"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(1)->text(), QStringLiteral("Track-2")); // no name stored yet
    list->setCurrentRow(1);
    QCOMPARE(shown(), QStringList({"", "The Band", "Live 1979", "1979", "Rock", ""}));

    const QString hostile = QStringLiteral("\"$(touch x)\"; </Name> & Ünïcødé");
    name->setText(hostile);
    genre->setCurrentIndex(genre->findText(QStringLiteral("Synthpop")));
    comments->setText(QStringLiteral("it's `date`"));
    list->setCurrentRow(2);
    QCOMPARE(list->item(1)->text(), hostile);
    list->setCurrentRow(1);
    QCOMPARE(shown(), QStringList({hostile, "The Band", "Live 1979", "1979", "Synthpop", "it's `date`"}));

    // A genre no table name matches shows "Other"; Back stores the shown track.
    QVERIFY(sv::XMLSetValue(QStringLiteral("rock"), QStringLiteral("Genre"), sv::TrackSection(3), index));
    list->setCurrentRow(2);
    QCOMPARE(genre->currentText(), QStringLiteral("Other"));
    comments->setText(QStringLiteral("kept on Back"));
    z.back();
    QCOMPARE(z.page(), QStringLiteral("picOutput"));
    QCOMPARE(*sv::StoredTrackValue(index, 3, QStringLiteral("Comments")), QStringLiteral("kept on Back"));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

// The dialog's speed texts, tag versions and Default button. On the page, tags
// off hide the fields and a stored bitrate the list lacks is added; from there
// the dialog's Cancel stores nothing and its OK stores, and the page follows.
void TestMp3Page::optionsDialog()
{
    {
        frmMP3 d;
        auto* speed = Find<QSlider>(&d, "sliSpeed");
        auto* label = Find<QLabel>(&d, "lblSpeed");
        auto* id3 = Find<QCheckBox>(&d, "chkID3");
        speed->setValue(10);
        QCOMPARE(label->text(), QStringLiteral("Fastest, lowest quality (10)"));
        Find<QRadioButton>(&d, "optMono")->setChecked(true);
        id3->click();
        QVERIFY(!Find<QRadioButton>(&d, "optID31")->isEnabled());
        QCOMPARE(d.values().id3, 0);
        QCOMPARE(d.values().channels, 4);
        Find<QPushButton>(&d, "cmdDefault")->click();
        QVERIFY(id3->isChecked() && Find<QRadioButton>(&d, "optID31")->isEnabled() && speed->value() == 3);
        QCOMPARE(label->text(), QStringLiteral("Recommended (3)"));
        QVERIFY(Find<QRadioButton>(&d, "optAuto")->isChecked());
    }
    const QString section = QStringLiteral("Encoding\\MP3");
    Wizard z;
    z.noWelcomeDialog();
    z.set(section, QStringLiteral("ID3"), QStringLiteral("0"));
    z.set(section, QStringLiteral("Bitrate"), QStringLiteral("96"));
    QVERIFY(z.start());
    QWidget* page = z.w->picMP3();
    QVERIFY(!Find<QFrame>(page, "picID3")->isHidden());
    for (const char* field : {"txtMP3TrackName", "txtMP3Artist", "txtMP3Album", "txtMP3Comments", "cboMP3Genre"})
        QVERIFY2(Find<QWidget>(page, field)->isHidden(), field);
    auto* rates = Find<QComboBox>(page, "cboMP3Bitrate");
    QCOMPARE(rates->currentText(), QStringLiteral("96"));
    rates->setCurrentIndex(rates->findText(QStringLiteral("128")));
    QCOMPARE(z.get(section, "Bitrate"), QStringLiteral("128"));
    auto* link = Find<QLabel>(page, "lblShowMP3Options");
    for (const char* button : {"cmdCancel", "cmdOK"}) {
        OnModal([button](QWidget* d) {
            Find<QCheckBox>(d, "chkID3")->click();
            Find<QComboBox>(d, "cboBitrate")->setCurrentIndex(13);
            Find<QPushButton>(d, button)->click();
        });
        Q_EMIT link->linkActivated(QStringLiteral("options"));
        QCOMPARE(z.get(section, "ID3"), QLatin1String(button) == QLatin1String("cmdOK") ? "1" : "0");
    }
    QCOMPARE(rates->currentText(), QStringLiteral("320"));
    QVERIFY(Find<QFrame>(page, "picID3")->isHidden() && !Find<QWidget>(page, "txtMP3Artist")->isHidden());
}

// A slow stand-in encoder: the exit is refused while it runs, the bars follow
// its percentages, and the finish page follows.
void TestMp3Page::exitRefusedWhileCompressing()
{
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    MakeRecording(z, 2);
    const QString fake = fakeProgram(z.env.root() + QStringLiteral("/fakeprog/"), QStringLiteral("lame"),
                                     "for a; do out=$a; done\necho '  1000/2000  ( 50%)| 0:01/ 0:02'\nsleep 1\necho mp3 > \"$out\"");
    PathGuard path(fake + QStringLiteral(":/usr/bin:/bin"));
    z.w->show();
    z.w->picMP3()->LoadMP3Page();
    const QString target = SaveFolder(z);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picMP3Compress"));
    QWidget* page = z.w->picMP3Compress();
    QVERIFY(z.st().Compressing && !z.w->cmdBack()->isEnabled() && !z.w->cmdNext()->isEnabled());
    QTRY_COMPARE(Find<QProgressBar>(page, "barMP3Track")->value(), 50);
    QCOMPARE(Find<QLabel>(page, "lblMP3CompressStatus")->text(), QStringLiteral("Compressing Track 1"));
    z.boxes.answer(sv::vbOK);
    QVERIFY(!z.w->close());
    QVERIFY(z.w->isVisible());
    QCOMPARE(z.boxes.shown.value(0).text,
             QStringLiteral("Sonivault is currently compressing. Please wait until Sonivault has finished."));
    QTRY_COMPARE_WITH_TIMEOUT(z.page(), QStringLiteral("picFinish"), 20000);
    QVERIFY(!z.st().Compressing);
    QCOMPARE(Find<QLineEdit>(z.w->picFinish(), "txtFinishSaveIn")->text(), target);
    QVERIFY(QFile::exists(target + QStringLiteral("Track 1.mp3")));
    QVERIFY(QFile::exists(target + QStringLiteral("Track 2.mp3")));
    QCOMPARE(z.boxes.shown.size(), 1);
}

// With the real encoder: a missing encoder is reported on the page; MP3s of
// the same names already in the save folder are asked about before the move,
// each kept unless the answer is yes, and a cancel changes nothing there.
// Back and Next try again each time.
void TestMp3Page::existingFilesReplacedOnlyAfterYes()
{
    SV_REQUIRE_TOOL(!QStandardPaths::findExecutable(QStringLiteral("lame")).isEmpty(), "lame");
    Wizard z;
    z.noWelcomeDialog();
    QVERIFY(z.start());
    const QString rec = QFileInfo(MakeRecording(z, 3)).path();
    z.w->picMP3()->LoadMP3Page();
    const QString target = SaveFolder(z);
    auto* error = Find<QFrame>(z.w->picMP3Compress(), "picMP3CompressError");
    const auto errorText = [&] { return Find<QLabel>(z.w->picMP3Compress(), "lblMP3CompressError")->text(); };
    const auto content = [&](int k) {
        QFile f(target + QStringLiteral("Track %1.mp3").arg(k));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    for (int k : {1, 2})
        QVERIFY(writeFile(target + QStringLiteral("Track %1.mp3").arg(k), "mine " + QByteArray::number(k)));
    const auto untouched = [&] {
        return QDir(target).entryList(QDir::Files).size() == 2 && content(1) == "mine 1" && content(2) == "mine 2"
            && QDir(rec).entryList({QStringLiteral(".mp3-*")}, QDir::AllEntries | QDir::Hidden).isEmpty();
    };

    const QString empty = z.env.root() + QStringLiteral("/nothing/");
    QDir().mkpath(empty);
    {
        PathGuard path(empty);
        z.next();
        QTRY_VERIFY(!error->isHidden());
    }
    QCOMPARE(errorText(), QStringLiteral("The MP3 encoder can't be found. Please reinstall Sonivault. STR=")
                              + sv::ProgramFolder() + QStringLiteral("lame"));
    QVERIFY(!z.st().Compressing && z.w->cmdBack()->isEnabled() && !z.w->cmdNext()->isEnabled());
    QVERIFY(untouched());

    z.back();
    QCOMPARE(z.page(), QStringLiteral("picMP3"));
    z.boxes.answer(sv::vbCancel);
    z.next();
    QTRY_VERIFY_WITH_TIMEOUT(!error->isHidden() && !z.st().Compressing, 30000);
    QCOMPARE(errorText(), QStringLiteral("Error moving or copying files. Move canceled."));
    QCOMPARE(z.boxes.shown.size(), 1);
    QCOMPARE(z.boxes.shown[0].title, QStringLiteral("Confirm File Replace"));
    QVERIFY(z.boxes.shown[0].text.contains(QStringLiteral("\"Track 1.mp3\"")));
    QCOMPARE(z.boxes.shown[0].style & 7, int(sv::vbYesNoAllCancel));
    QVERIFY(untouched());

    // No keeps track 1's file, Yes replaces track 2's; track 3 is new.
    z.back();
    z.boxes.clear();
    z.boxes.answer(sv::vbNo);
    z.boxes.answer(sv::vbYes);
    z.next();
    QTRY_COMPARE_WITH_TIMEOUT(z.page(), QStringLiteral("picFinish"), 30000);
    QCOMPARE(z.boxes.shown.size(), 2);
    QCOMPARE(z.boxes.shown[1].style & 7, int(sv::vbYesNoCancel)); // the last question has no "to All"
    QCOMPARE(content(1), QByteArray("mine 1"));
    QVERIFY(content(2).size() > 1000);
    QVERIFY(QFile::exists(target + QStringLiteral("Track 3.mp3")));
    QCOMPARE(QDir(target).entryList(QDir::Files).size(), 3);
    QVERIFY(QDir(rec).entryList({QStringLiteral(".mp3-*")}, QDir::AllEntries | QDir::Hidden).isEmpty());
    // Delivered: a new recording leaves the MP3s and takes the tracks.
    QVERIFY(z.st().Session.isDelivered(target + QStringLiteral("Track 3.mp3")));
    QCOMPARE(QDir(rec).entryList({QStringLiteral("*.wav")}).size(), 3);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

QTEST_MAIN(TestMp3Page)
#include "tst_mp3page.moc"
