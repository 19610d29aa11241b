// One side from the deck to tagged MP3 files, through the whole wizard: a
// generated demo side on a virtual deck, Scan, Adjust, a 5-minute profile
// recorded at a high speed factor, the detected tracks, the split, the MP3
// page's tags, the real encoder, and the finish page.
#include "e2e/E2EFlow.h"
#include "support/FindChild.h"
#include "audioin/engine/DemoSignal.h"
#include "support/TestRequire.h"
#include "tracks/modWaveSplit.h"

#include <QProcess>
#include <QStandardPaths>


#include <QElapsedTimer>
#include <QThread>

#include <chrono>
#include <thread>

using namespace svtest;
using sv::audio::DemoLayout;
using sv::audio::VirtualDeck;
using sv::audio::VirtualSignal;

namespace {


// The tags of an MP3 file as ffprobe reads them (lower-case keys).
QMap<QString, QString> ProbeTags(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-show_entries"),
                                        QStringLiteral("format_tags:format=duration"), QStringLiteral("-of"),
                                        QStringLiteral("default=noprint_wrappers=1"), file});
    p.waitForFinished(30000);
    QMap<QString, QString> tags;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            tags[line.left(eq).remove(QStringLiteral("TAG:")).toLower()] = line.mid(eq + 1);
    }
    return tags;
}

bool Have(const char* tool)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
}

} // namespace

class TestE2EMp3 : public QObject {
    Q_OBJECT
    QString m_side;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_side = m_dir.path() + QStringLiteral("/demo-side.wav");
        QVERIFY(sv::audio::WriteDemoSide(m_side));
    }
    void deckToTaggedMp3();

private:
    // Track 1 gets every field, track 2 a title only (artist, album, year and
    // genre carry over from track 1), the rest nothing. The options dialog is
    // never opened: the tags typed must still reach the files.
    static void TagTracks(Wizard& z)
    {
        QWidget* page = z.w->picMP3();
        auto* list = sv::test::Find<QListWidget>(page, "lstMP3Tracks");
        QCOMPARE(list->currentRow(), 0);
        sv::test::Find<QLineEdit>(page, "txtMP3TrackName")->setText(QStringLiteral("Opening Song"));
        sv::test::Find<QLineEdit>(page, "txtMP3Artist")->setText(QStringLiteral("Die Ärzte & \"Friends\""));
        sv::test::Find<QLineEdit>(page, "txtMP3Album")->setText(QStringLiteral("Kassette $(1987)"));
        sv::test::Find<QComboBox>(page, "cboMP3Year")->setEditText(QStringLiteral("1987"));
        auto* genre = sv::test::Find<QComboBox>(page, "cboMP3Genre");
        genre->setCurrentIndex(genre->findText(QStringLiteral("Punk")));
        sv::test::Find<QLineEdit>(page, "txtMP3Comments")->setText(QStringLiteral("from side A"));
        list->setCurrentRow(1);
        QCOMPARE(sv::test::Find<QLineEdit>(page, "txtMP3Artist")->text(), QStringLiteral("Die Ärzte & \"Friends\""));
        sv::test::Find<QLineEdit>(page, "txtMP3TrackName")->setText(QStringLiteral("AC/DC: Live?"));
    }
    // Every track is an MP3 in the save folder with the tags typed or carried over.
    static void CheckMp3s(const QString& target, int count)
    {
        QStringList expect{QStringLiteral("Opening Song.mp3"), QStringLiteral("ACDC Live.mp3")};
        for (int i = 3; i <= count; ++i)
            expect << QStringLiteral("Track %1.mp3").arg(i);
        QStringList found = QDir(target).entryList(QDir::Files);
        QStringList sorted = expect;
        sorted.sort();
        found.sort();
        QCOMPARE(found, sorted);
        const QMap<QString, QString> one = ProbeTags(target + expect[0]);
        QCOMPARE(one.value("title"), QStringLiteral("Opening Song"));
        QCOMPARE(one.value("artist"), QStringLiteral("Die Ärzte & \"Friends\""));
        QCOMPARE(one.value("album"), QStringLiteral("Kassette $(1987)"));
        QCOMPARE(one.value("date"), QStringLiteral("1987"));
        QCOMPARE(one.value("genre"), QStringLiteral("Punk"));
        {
            // ffprobe does not list lame's comment frame: look for its UTF-16 text.
            QFile f(target + expect[0]);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString comment = QStringLiteral("from side A");
            const QByteArray utf16(reinterpret_cast<const char*>(comment.utf16()), comment.size() * 2);
            QVERIFY(f.readAll().contains(utf16));
        }
        QCOMPARE(one.value("track"), QStringLiteral("1"));
        QVERIFY(one.value("duration").toDouble() > 1.0);
        const QMap<QString, QString> two = ProbeTags(target + expect[1]);
        QCOMPARE(two.value("title"), QStringLiteral("AC/DC: Live?"));
        QCOMPARE(two.value("artist"), QStringLiteral("Die Ärzte & \"Friends\""));
        QCOMPARE(two.value("genre"), QStringLiteral("Punk"));
        QCOMPARE(two.value("track"), QStringLiteral("2"));
        // A track never shown on the page is named by its number.
        const QMap<QString, QString> last = ProbeTags(target + expect.last());
        QCOMPARE(last.value("title"), QStringLiteral("Track %1").arg(count));
        QCOMPARE(last.value("track"), QString::number(count));
    }
};

void TestE2EMp3::deckToTaggedMp3()
{
    SV_REQUIRE_TOOL(Have("lame"), "lame");
    SV_REQUIRE_TOOL(Have("ffprobe"), "ffprobe");
    Wizard z(DemoDeck(m_side));
    const QVector<sv::FrameSpan> spans = RecordAndSplitDemoSide(z);
    QVERIFY2(!spans.isEmpty(), qPrintable(z.page() + z.boxes.unexpectedText()));
    const QString folder = z.st().RecordDirectory;
    QVERIFY(!QFile::exists(folder + QStringLiteral("recording.wav")));
    sv::test::Find<QRadioButton>(z.w->picOutput(), "optMP3")->setChecked(true);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picMP3"));
    const QString target = z.env.root() + QStringLiteral("/My Tapes");
    QVERIFY(QDir().mkpath(target));
    TagTracks(z);
    sv::test::Find<QComboBox>(z.w->picMP3(), "cboMP3Save")->setEditText(target);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picMP3Compress"));
    QVERIFY(z.st().Compressing);
    QTRY_COMPARE_WITH_TIMEOUT(z.page(), QStringLiteral("picFinish"), 60000);
    QVERIFY(!z.st().Compressing);
    QWidget* fin = z.w->picFinish();
    QCOMPARE(sv::test::Find<QLineEdit>(fin, "txtFinishSaveIn")->text(), target + QStringLiteral("/"));
    QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Finish"));

    CheckMp3s(target + QStringLiteral("/"), spans.size());
    if (QTest::currentTestFailed())
        return;

    // Exit: the program's own files go, the MP3 files stay.
    sv::test::Find<QRadioButton>(fin, "optFinishExit")->setChecked(true);
    z.next();
    QVERIFY(!z.w->isVisible());
    QVERIFY(!QFile::exists(folder + QStringLiteral("Track 1.wav")));
    QVERIFY(QFile::exists(target + QStringLiteral("/Opening Song.mp3")));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

QTEST_MAIN(TestE2EMp3)
#include "tst_e2e_mp3.moc"
