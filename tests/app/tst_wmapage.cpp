// The WMA page and its compression page in the main window: the per-track
// fields with their Track1 fallbacks, the bitrate profiles, the preview, the
// exit check while and after compressing, and a run with the real wm8eutil
// that ends on the finish page.
#include "app/WizardFixture.h"
#include "output/FakeTool.h"
#include "output/RecordingSession.h"
#include "support/FindChild.h"
#include "tracks/WavGen.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>

using namespace svtest;
using sv::test::Find;

class TestWmaPage : public QObject {
    Q_OBJECT

    std::unique_ptr<Wizard> z;
    QString m_rec;   // the recording folder
    QString m_index; // its recording.xml
    QString m_save;

    // A split recording of count tracks of the given length; names[k-1] is
    // Track k's Name where given.
    void Recording(int count, const QStringList& names = {}, int seconds = 2)
    {
        m_rec = z->env.root() + QStringLiteral("/rec/");
        m_save = z->env.root() + QStringLiteral("/My WMA");
        QDir(m_rec).removeRecursively();
        QVERIFY(QDir().mkpath(m_rec));
        QVERIFY(QDir().mkpath(m_save));
        m_index = m_rec + QStringLiteral("recording.xml");
        QVERIFY(sv::XMLSetValue(QString::number(count), QStringLiteral("Tracks"), QString(), m_index));
        for (int k = 1; k <= count; ++k) {
            const QString wav = m_rec + QStringLiteral("Track %1.wav").arg(k);
            QVERIFY(writeWav(wav, {}, seconds * 44100, [k](std::int64_t i, int c) {
                return int(8000 * std::sin(double(i) * (0.05 + 0.01 * k + 0.003 * c)));
            }));
            const QString s = QStringLiteral("Track%1").arg(k);
            QVERIFY(sv::XMLSetValue(wav, QStringLiteral("Filename"), s, m_index));
            if (k <= names.size() && !names[k - 1].isNull())
                QVERIFY(sv::XMLSetValue(names[k - 1], QStringLiteral("Name"), s, m_index));
        }
        z->st().RecordingXMLPath = m_index;
        z->st().Session.adoptRecording(m_rec + QStringLiteral("recording.wav"));
        z->st().Session.splitDone(count);
        z->w->picWMA()->SetTrackCount(count);
    }
    void OpenPage()
    {
        z->w->ShowPage(z->w->picOutput());
        Find<QRadioButton>(z->w->picOutput(), "optWMA")->setChecked(true);
        z->next();
        QCOMPARE(z->page(), QStringLiteral("picWMA"));
    }
    QString Field(const char* name) { return Find<QLineEdit>(z->w->picWMA(), name)->text(); }
    void SetField(const char* name, const QString& text) { Find<QLineEdit>(z->w->picWMA(), name)->setText(text); }
    QListWidget* List() { return Find<QListWidget>(z->w->picWMA(), "lstWMATracks"); }
    QString Value(const QString& key, int k)
    {
        return sv::XMLGetValue(key, QStringLiteral("Track%1").arg(k), m_index, QStringLiteral("(none)"));
    }
    void Compress()
    {
        Find<QComboBox>(z->w->picWMA(), "cboWMASave")->setEditText(m_save);
        z->next();
    }

private Q_SLOTS:
    void init()
    {
        z = std::make_unique<Wizard>();
        z->noWelcomeDialog();
        QVERIFY(z->start());
    }
    void cleanup()
    {
        QVERIFY2(!z->boxes.unexpected(), qPrintable(z->boxes.unexpectedText()));
        z.reset();
    }

    void fieldsAndFallbacks();
    void profiles();
    void preview();
    void exitWhileAndAfterCompressing();
    void realEncoder();
};

// The page's wiring of the stored fields: Track1's fallbacks shown, a track's
// fields stored when the user moves on or presses Next, read again on return.
void TestWmaPage::fieldsAndFallbacks()
{
    Recording(3, {QStringLiteral("First"), QStringLiteral("Second")});
    sv::XMLSetValue(QStringLiteral("A1"), QStringLiteral("Artist"), QStringLiteral("Track1"), m_index);
    OpenPage();
    QCOMPARE(List()->item(2)->text(), QStringLiteral("Track-3"));
    List()->setCurrentRow(1);
    QCOMPARE(QStringList({Field("txtWMATitle"), Field("txtWMAArtist")}), QStringList({"Second", "A1"}));
    SetField("txtWMAArtist", QStringLiteral("Other Band"));
    SetField("txtWMATitle", QStringLiteral("Renamed"));
    List()->setCurrentRow(2);
    QCOMPARE(Value(QStringLiteral("Artist"), 2), QStringLiteral("Other Band"));
    QCOMPARE(List()->item(1)->text(), QStringLiteral("Renamed"));

    // An empty title is stored as "Track 3", on Next too (no track is lost).
    SetField("txtWMACopyright", QStringLiteral("(c) 1979"));
    z->boxes.answer(sv::vbOK); // the save box is checked after the fields are stored
    Find<QComboBox>(z->w->picWMA(), "cboWMASave")->setEditText(QString());
    z->next();
    QCOMPARE(z->page(), QStringLiteral("picWMA"));
    QCOMPARE(Value(QStringLiteral("Name"), 3), QStringLiteral("Track 3"));
    QCOMPARE(Value(QStringLiteral("Copyright"), 3), QStringLiteral("(c) 1979"));
    QCOMPARE(List()->item(2)->text(), QStringLiteral("Track 3"));

    z->back();
    OpenPage();
    List()->setCurrentRow(1);
    QCOMPARE(Field("txtWMAArtist"), QStringLiteral("Other Band"));
}

// The chosen profile is stored and shown again; an unknown stored one is replaced.
void TestWmaPage::profiles()
{
    z->set(QStringLiteral("Encoding\\WMA"), QStringLiteral("Profile"), QStringLiteral("160 kbps Great"));
    Recording(1);
    OpenPage();
    auto* box = Find<QComboBox>(z->w->picWMA(), "cboWMABitrate");
    QCOMPARE(z->get(QStringLiteral("Encoding\\WMA"), QStringLiteral("Profile")), QStringLiteral("128 kbps Normal Quality"));
    box->setCurrentIndex(0);
    QCOMPARE(z->get(QStringLiteral("Encoding\\WMA"), QStringLiteral("Profile")), QStringLiteral("32 kbps Very Low Quality"));
    z->back();
    OpenPage();
    QCOMPARE(box->currentText(), QStringLiteral("32 kbps Very Low Quality"));
}

// A double-click plays the track to its end (the deck plays 20 times
// faster); Stop and a change of track end it; a missing file plays nothing.
void TestWmaPage::preview()
{
    Recording(2, {}, 20);
    OpenPage();
    QWidget* page = z->w->picWMA();
    auto* slide = Find<QSlider>(page, "WMASlide");
    auto* stop = Find<QPushButton>(page, "cmdWMAStop");
    auto* play = Find<QPushButton>(page, "cmdWMAPlay");
    Q_EMIT List()->itemDoubleClicked(List()->item(0));
    QVERIFY(slide->isEnabled());
    QCOMPARE(slide->maximum(), 20);
    QTRY_VERIFY_WITH_TIMEOUT(slide->value() > 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!stop->isEnabled(), 5000);
    QVERIFY(!slide->isEnabled());

    play->click();
    QVERIFY(stop->isEnabled());
    stop->click();
    QCOMPARE(z->st().Play()->GetPlayLength(), 0.0);
    play->click();
    List()->setCurrentRow(1);
    QCOMPARE(z->st().Play()->GetPlayLength(), 0.0);

    QVERIFY(QFile::remove(m_rec + QStringLiteral("Track 2.wav")));
    play->click();
    QVERIFY(!slide->isEnabled() && !stop->isEnabled());
}

void TestWmaPage::exitWhileAndAfterCompressing()
{
    Recording(2);
    z->w->picWMACompress()->SetProgramFolder(fakeProgram(
        z->env.root() + QStringLiteral("/fakebin"), "wm8eutil", "sleep 1; echo 'wm8eutil: the disk is on fire' >&2; exit 1"));
    OpenPage();
    Compress();
    QCOMPARE(z->page(), QStringLiteral("picWMACompress"));
    QVERIFY(z->st().Compressing && !z->w->cmdBack()->isEnabled());
    QCOMPARE(Find<QProgressBar>(z->w->picWMACompress(), "barWMATotal")->maximum(), 2);

    z->boxes.answer(sv::vbOK);
    QVERIFY(!z->w->close());
    QCOMPARE(z->boxes.last().title, QStringLiteral("Compressing"));

    QTRY_VERIFY_WITH_TIMEOUT(!z->st().Compressing, 20000);
    QVERIFY(!Find<QWidget>(z->w->picWMACompress(), "picWMACompressError")->isHidden());
    QCOMPARE(Find<QLabel>(z->w->picWMACompress(), "lblWMACompressError")->text(),
             QStringLiteral("Compressing the file failed: the disk is on fire  In wm8eutil"));
    QVERIFY(!z->w->cmdNext()->isEnabled() && z->w->cmdBack()->isEnabled());
    QVERIFY(Find<QLabel>(z->w->picWMACompress(), "lblWMACompressIntro")->text().startsWith(
        QStringLiteral("The WMA files could not be made.")));
    QCOMPARE(QDir(m_save).entryList(QDir::Files), QStringList());

    // After the failure the user can go back, or leave.
    z->back();
    QCOMPARE(z->page(), QStringLiteral("picWMA"));
    QVERIFY(z->w->cmdNext()->isEnabled());
    z->next();
    QTRY_VERIFY_WITH_TIMEOUT(!z->st().Compressing, 20000);
    QVERIFY(z->w->close());
    QVERIFY(!z->w->isVisible());
}

void TestWmaPage::realEncoder()
{
    Recording(3);
    OpenPage();
    const bool wasDefault = z->w->cmdNext()->isDefault();
    Compress();
    QTRY_COMPARE_WITH_TIMEOUT(z->page(), QStringLiteral("picFinish"), 60000);
    QVERIFY(!z->st().Compressing);

    // The finish page waits for the user: Next is not pressed for him, nor
    // made the default where it was not.
    QTest::qWait(50);
    QCOMPARE(z->page(), QStringLiteral("picFinish"));
    QCOMPARE(z->w->cmdNext()->isDefault(), wasDefault);
    QVERIFY(!z->w->cmdBack()->isEnabled());
    const QStringList files = QDir(m_save).entryList(QDir::Files);
    QCOMPARE(files.size(), 3);
    // The files are the user's now; the work folder is gone.
    for (const QString& f : files)
        QVERIFY(z->st().Session.isDelivered(m_save + QStringLiteral("/") + f));
    const QStringList left = QDir(m_rec).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(left.size(), 4);
}

QTEST_MAIN(TestWmaPage)
#include "tst_wmapage.moc"
