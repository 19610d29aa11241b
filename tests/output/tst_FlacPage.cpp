// The FLAC page in the main window: the output choice leading to it, the
// per-track fields kept in the index with track 1's fallbacks, the remembered
// compression level, and encoding: the exit held while it runs, failures
// reported with nothing left behind, a cancel when the window goes away.
#include "app/WizardFixture.h"
#include "support/FindChild.h"
#include "support/TestRequire.h"
#include "output/FlacCheck.h"
#include "output/FlacEncoder.h"
#include "settings/modXML.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

using namespace svtest;

namespace {

// A main window on the output page, with a split recording of the given
// tracks in its recording folder.
struct SplitRun {
    explicit SplitRun(const QVector<TrackSpec>& specs)
    {
        z.noWelcomeDialog();
        if (!z.start())
            return;
        index = makeRecording(QDir::cleanPath(z.st().RecordDirectory), specs);
        z.st().RecordingXMLPath = index;
        z.st().HasRecorded = true;
        z.w->ShowPage(z.w->picOutput());
        ok = true;
    }
    // Chooses FLAC and goes on to its page.
    bool toFlacPage()
    {
        sv::test::Find<QRadioButton>(z.w->picOutput(), "optFLAC")->setChecked(true);
        z.next();
        return onPage();
    }
    bool onPage() const { return z.w->IsPageVisible(z.w->picFLAC()); }
    template <typename T> T* find(const char* name) const { return sv::test::Find<T>(z.w->picFLAC(), name); }
    QString target(const QString& name)
    {
        const QString t = z.env.root() + QStringLiteral("/") + name;
        QDir().mkpath(t);
        find<QComboBox>("cboFLACSave")->setEditText(t);
        return t;
    }
    // Waits until the encoding has ended (or a minute has gone).
    void waitDone()
    {
        QElapsedTimer t;
        t.start();
        while (z.st().Compressing && t.elapsed() < 60000)
            QTest::qWait(5);
    }
    QString field(int t, const char* key) const
    {
        return sv::XMLGetValue(QString::fromLatin1(key), QStringLiteral("Track%1").arg(t), index, QStringLiteral("(none)"));
    }

    Wizard z;
    QString index;
    bool ok = false;
};

// Long enough that the encoding is still running when the test acts on it.
QVector<TrackSpec> longTracks()
{
    return {{2, 16, 44100 * 40, QString()}, {2, 16, 44100 * 40, QString()}, {2, 16, 44100 * 40, QString()}};
}

} // namespace

class TestFlacPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldsKeptInIndex();
    void levelRemembered();
    void previewPlaysTrack();
    void exitRefusedWhileEncoding();
    void failureReportedNothingLeft();
    void closingWindowCancels();
};

// The page's wiring of the stored fields: Track1's fallbacks shown, a track's
// fields stored when the user moves on and on Back.
void TestFlacPage::fieldsKeptInIndex()
{
    SplitRun s({{2, 16, 4410, QStringLiteral("Intro")}, {2, 16, 4410, QString()}, {2, 16, 4410, QString()}});
    QVERIFY(s.ok);
    QVERIFY(sv::XMLSetValue("The Band", "Artist", "Track1", s.index));
    QVERIFY(s.toFlacPage());
    auto* list = s.find<QListWidget>("lstFLACTracks");
    QCOMPARE(list->item(1)->text(), QStringLiteral("Track 2"));
    list->setCurrentRow(1);
    QCOMPARE(s.find<QLineEdit>("txtFLACArtist")->text(), QStringLiteral("The Band"));
    // A genre never given shows the one the file would get anyway.
    QCOMPARE(s.find<QComboBox>("cboFLACGenre")->currentText(), QStringLiteral("Other"));
    s.find<QLineEdit>("txtFLACComments")->setText(QStringLiteral("side B, \"live\" <take>"));
    s.find<QComboBox>("cboFLACGenre")->setEditText(QStringLiteral("Jazz"));
    list->setCurrentRow(2);
    // An empty name is stored as "Track 2".
    QCOMPARE(QStringList({s.field(2, "Name"), s.field(2, "Comments"), s.field(2, "Genre"), s.field(2, "Artist")}),
             QStringList({"Track 2", "side B, \"live\" <take>", "Jazz", "The Band"}));

    // Back keeps the shown track's fields, and the choice goes back to FLAC.
    s.find<QLineEdit>("txtFLACTrackName")->setText(QStringLiteral("Finale"));
    s.z.back();
    QCOMPARE(s.field(3, "Name"), QStringLiteral("Finale"));
    s.z.next();
    QVERIFY(s.onPage());
    QCOMPARE(list->item(2)->text(), QStringLiteral("Finale"));
    QVERIFY(!s.z.boxes.unexpected());
}

// The level is stored on change, not at start-up, and is the next run's;
// a damaged value falls back to the default.
void TestFlacPage::levelRemembered()
{
    Wizard z;
    z.noWelcomeDialog();
    z.set("FLAC", "Level", "fast");
    QVERIFY(z.start());
    auto level = [&] { return sv::test::Find<QComboBox>(z.w->picFLAC(), "cboFLACLevel"); };
    QCOMPARE(level()->currentIndex(), 5);
    QCOMPARE(z.get("FLAC", "Level"), QStringLiteral("fast"));
    level()->setCurrentIndex(8);
    QCOMPARE(z.get("FLAC", "Level"), QStringLiteral("8"));
    z.w.reset();
    QVERIFY(z.start());
    QCOMPARE(level()->currentIndex(), 8);
}

void TestFlacPage::previewPlaysTrack()
{
    SplitRun s({{2, 16, 441, QString()}, {2, 16, 44100 * 10, QString()}});
    QVERIFY(s.ok);
    QVERIFY(s.toFlacPage());
    auto* play = s.z.st().Play();
    s.find<QListWidget>("lstFLACTracks")->setCurrentRow(1);
    s.find<QPushButton>("cmdFLACPlay")->click();
    QVERIFY2(std::abs(play->GetPlayLength() - 10.0) < 0.5, qPrintable(QString::number(play->GetPlayLength())));
    s.find<QPushButton>("cmdFLACStop")->click();
    QCOMPARE(play->GetPlayLength(), 0.0);
    // Leaving the page stops a preview too.
    s.find<QPushButton>("cmdFLACPlay")->click();
    s.z.back();
    QCOMPARE(play->GetPlayLength(), 0.0);
}

// While it runs: Back and Next off, the exit refused, the total bar only
// rising; then the finish page with the files in the chosen folder.
void TestFlacPage::exitRefusedWhileEncoding()
{
    SplitRun s(longTracks());
    QVERIFY(s.ok);
    QVERIFY(s.toFlacPage());
    s.find<QComboBox>("cboFLACLevel")->setCurrentIndex(8);
    const QString target = s.target("Lossless");
    s.z.next();
    QVERIFY(s.z.st().Compressing);
    QVERIFY(s.find<QWidget>("picFLACCompress")->isVisible());
    QVERIFY(!s.z.w->cmdNext()->isEnabled());
    QVERIFY(!s.z.w->cmdBack()->isEnabled());
    s.z.boxes.answer(sv::vbOK);
    QVERIFY(!s.z.w->close());
    QCOMPARE(s.z.boxes.shown.size(), 1);
    QVERIFY(s.z.w->isVisible());

    int lastTotal = 0;
    QElapsedTimer t;
    t.start();
    while (s.z.st().Compressing && t.elapsed() < 60000) {
        QTest::qWait(5);
        const int total = s.find<QProgressBar>("barFLACTotal")->value();
        QVERIFY(total >= lastTotal);
        lastTotal = total;
    }
    QCOMPARE(s.z.page(), QStringLiteral("picFinish"));
    QCOMPARE(sv::test::Find<QLineEdit>(s.z.w->picFinish(), "txtFinishSaveIn")->text(), target + QStringLiteral("/"));
    QCOMPARE(folderEntries(target), QStringList({"Track 1.flac", "Track 2.flac", "Track 3.flac"}));
    QVERIFY(s.z.w->close());
}

void TestFlacPage::failureReportedNothingLeft()
{
    SplitRun s(longTracks());
    QVERIFY(s.ok);
    QVERIFY(s.toFlacPage());
    // A folder that does not exist is refused before anything starts.
    s.find<QComboBox>("cboFLACSave")->setEditText(s.z.env.root() + QStringLiteral("/no/such/folder"));
    s.z.boxes.answer(sv::vbOK);
    s.z.next();
    QVERIFY(!s.z.st().Compressing);
    QCOMPARE(s.z.boxes.shown.size(), 1);
    QVERIFY(s.onPage());

    // A full disk part way: the job's own words, no file left, the page back.
    const QString target = s.target("Full");
    sv::FlacJob::InjectWriteFailureAfterBytes(200000);
    s.z.boxes.answer(sv::vbOK);
    s.z.next();
    s.waitDone();
    sv::FlacJob::InjectWriteFailureAfterBytes(-1);
    QCOMPARE(s.z.boxes.shown.size(), 2);
    QVERIFY2(s.z.boxes.shown[1].text.startsWith(QStringLiteral("The disk is full: ")), qPrintable(s.z.boxes.shown[1].text));
    QCOMPARE(s.z.boxes.shown[1].style, sv::vbExclamation);
    QCOMPARE(folderEntries(target), QStringList());
    QVERIFY(s.onPage());
    QVERIFY(s.find<QWidget>("picFLACEdit")->isVisible());
    QVERIFY(s.z.w->cmdNext()->isEnabled());
    QVERIFY(s.z.w->cmdBack()->isEnabled());
    // The tracks are still there for another try.
    for (int i = 1; i <= 3; ++i)
        QVERIFY(QFile::exists(QDir::cleanPath(s.z.st().RecordDirectory) + QStringLiteral("/Track %1.wav").arg(i)));
    QVERIFY(!s.z.boxes.unexpected());
}

void TestFlacPage::closingWindowCancels()
{
    SplitRun s(longTracks());
    QVERIFY(s.ok);
    QVERIFY(s.toFlacPage());
    s.find<QComboBox>("cboFLACLevel")->setCurrentIndex(8);
    const QString target = s.target("Gone");
    s.z.next();
    QVERIFY(s.z.st().Compressing);
    QTest::qWait(50);
    s.z.w.reset(); // the window is destroyed while the job runs
    QVERIFY(QFileInfo(target).isDir());
    QCOMPARE(folderEntries(target), QStringList());
}

QTEST_MAIN(TestFlacPage)
#include "tst_FlacPage.moc"
