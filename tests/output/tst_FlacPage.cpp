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

void TestFlacPage::fieldsKeptInIndex()
{
    SplitRun s({{2, 16, 4410, QStringLiteral("Intro")}, {2, 16, 4410, QString()}, {2, 16, 4410, QString()}});
    QVERIFY(s.ok);
    QVERIFY(sv::XMLSetValue("The Band", "Artist", "Track1", s.index));
    QVERIFY(sv::XMLSetValue("1981", "Year", "Track1", s.index));
    QVERIFY(sv::XMLSetValue("Own Artist", "Artist", "Track3", s.index));
    QVERIFY(s.toFlacPage());
    auto* list = s.find<QListWidget>("lstFLACTracks");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Intro"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("Track 2"));
    QCOMPARE(s.find<QLineEdit>("txtFLACTrackName")->text(), QStringLiteral("Intro"));

    // Track 2 has nothing of its own: artist and year from track 1.
    list->setCurrentRow(1);
    QCOMPARE(s.find<QLineEdit>("txtFLACTrackName")->text(), QString());
    QCOMPARE(s.find<QLineEdit>("txtFLACArtist")->text(), QStringLiteral("The Band"));
    QCOMPARE(s.find<QComboBox>("cboFLACYear")->currentText(), QStringLiteral("1981"));
    // A genre never given shows the one the file would get anyway.
    QCOMPARE(s.find<QComboBox>("cboFLACGenre")->currentText(), QStringLiteral("Other"));
    s.find<QLineEdit>("txtFLACComments")->setText(QStringLiteral("side B, \"live\" <take>"));
    s.find<QComboBox>("cboFLACGenre")->setEditText(QStringLiteral("Jazz"));
    list->setCurrentRow(2);
    QCOMPARE(s.find<QLineEdit>("txtFLACArtist")->text(), QStringLiteral("Own Artist"));
    // Leaving track 2 stored its fields; an empty name is stored as "Track 2".
    QCOMPARE(QStringList({s.field(2, "Name"), s.field(2, "Comments"), s.field(2, "Genre"), s.field(2, "Artist")}),
             QStringList({"Track 2", "side B, \"live\" <take>", "Jazz", "The Band"}));

    // Back keeps the shown track's fields, and the choice goes back to FLAC.
    s.find<QLineEdit>("txtFLACTrackName")->setText(QStringLiteral("Finale"));
    s.z.back();
    QCOMPARE(s.z.page(), QStringLiteral("picOutput"));
    QCOMPARE(s.field(3, "Name"), QStringLiteral("Finale"));
    s.z.next();
    QVERIFY(s.onPage());
    QCOMPARE(s.find<QListWidget>("lstFLACTracks")->item(2)->text(), QStringLiteral("Finale"));
    QVERIFY(!s.z.boxes.unexpected());
}

void TestFlacPage::levelRemembered()
{
    {
        SplitRun s({{2, 16, 441, QString()}});
        QVERIFY(s.ok);
        QVERIFY(s.toFlacPage());
        auto* level = s.find<QComboBox>("cboFLACLevel");
        QCOMPARE(level->count(), 9);
        QCOMPARE(level->currentIndex(), 5);
        QCOMPARE(s.z.get("FLAC", "Level"), QStringLiteral("(none)")); // start-up writes nothing
        level->setCurrentIndex(8);
        QCOMPARE(s.z.get("FLAC", "Level"), QStringLiteral("8"));
        // The next run of the program starts with it.
        s.z.w.reset();
        QVERIFY(s.z.start());
        QCOMPARE(s.find<QComboBox>("cboFLACLevel")->currentIndex(), 8);
    }
    // A damaged value falls back to the default.
    for (const char* bad : {"9", "fast"}) {
        Wizard z;
        z.noWelcomeDialog();
        z.set("FLAC", "Level", bad);
        QVERIFY(z.start());
        QVERIFY2(sv::test::Find<QComboBox>(z.w->picFLAC(), "cboFLACLevel")->currentIndex() == 5, bad);
    }
}

void TestFlacPage::previewPlaysTrack()
{
    SplitRun s({{2, 16, 441, QString()}, {2, 16, 44100 * 10, QString()}});
    QVERIFY(s.ok);
    QVERIFY(s.toFlacPage());
    auto* play = s.z.st().Play();
    QVERIFY(play);
    s.find<QListWidget>("lstFLACTracks")->setCurrentRow(1);
    s.find<QPushButton>("cmdFLACPlay")->click();
    QVERIFY2(std::abs(play->GetPlayLength() - 10.0) < 0.5, qPrintable(QString::number(play->GetPlayLength())));
    s.find<QPushButton>("cmdFLACStop")->click();
    QCOMPARE(play->GetPlayLength(), 0.0);
    // Leaving the page stops a preview too.
    s.find<QPushButton>("cmdFLACPlay")->click();
    s.z.back();
    QCOMPARE(play->GetPlayLength(), 0.0);
    QVERIFY(!s.z.boxes.unexpected());
}

void TestFlacPage::exitRefusedWhileEncoding()
{
    SplitRun s(longTracks());
    QVERIFY(s.ok);
    QVERIFY(s.toFlacPage());
    s.find<QComboBox>("cboFLACLevel")->setCurrentIndex(8);
    const QString target = s.target("Lossless");
    s.z.next();
    QVERIFY(s.z.st().Compressing);
    QVERIFY(s.onPage());
    QVERIFY(s.find<QWidget>("picFLACCompress")->isVisible());
    QVERIFY(s.find<QWidget>("picFLACEdit")->isHidden());
    QVERIFY(!s.z.w->cmdNext()->isEnabled());
    QVERIFY(!s.z.w->cmdBack()->isEnabled());
    QCOMPARE(s.z.st().OutputFolder, target + QStringLiteral("/"));
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
    QVERIFY(!s.z.st().Compressing);
    QCOMPARE(s.z.page(), QStringLiteral("picFinish"));
    QCOMPARE(sv::test::Find<QLineEdit>(s.z.w->picFinish(), "txtFinishSaveIn")->text(), target + QStringLiteral("/"));
    QCOMPARE(folderEntries(target), QStringList({"Track 1.flac", "Track 2.flac", "Track 3.flac"}));
    // Nothing runs any more: the window closes.
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
