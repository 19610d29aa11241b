// One side from the deck to FLAC files in a folder, through the whole wizard:
// a generated demo side with known gaps on a virtual deck, Scan, Adjust, a
// 5-minute profile recorded at a high speed factor, the detected tracks, the
// split, the FLAC page with names typed for the tracks, the encoding and the
// finish page. Timers are driven by the test.
#include "e2e/E2EFlow.h"
#include "support/FindChild.h"
#include "audioin/engine/DemoSignal.h"
#include "tracks/modWaveSplit.h"
#include "output/FlacCheck.h"
#include "support/TestRequire.h"


#include <QElapsedTimer>
#include <QThread>

#include <chrono>
#include <thread>

using namespace svtest;
using sv::audio::DemoLayout;
using sv::audio::VirtualDeck;
using sv::audio::VirtualSignal;

namespace {


// Each file holds exactly its track's samples and the tags typed for it.
void CheckFlacs(const QString& folder, const QString& target, const QStringList& titles)
{
    const QString year = QString::number(QDate::currentDate().year());
    for (int i = 1; i <= titles.size(); ++i) {
        const QString file = target + QStringLiteral("/") + titles[i - 1] + QStringLiteral(".flac");
        const Pcm got = decodeFlac(file);
        QVERIFY2(got.ok && got.md5Set, qPrintable(file));
        const Pcm want = wavPcm(folder + QStringLiteral("Track %1.wav").arg(i));
        QCOMPARE(got.channels, 2);
        QCOMPARE(got.rate, 44100);
        QCOMPARE(got.samples.size(), want.samples.size());
        QVERIFY2(got.samples == want.samples, qPrintable(file));
        const QString tags = QString::fromUtf8(runTool(QStringLiteral("metaflac"), {"--export-tags-to=-", file}));
        const QString comment = i == 2 ? QStringLiteral("COMMENT=side one, \"live\"\n") : QString();
        QCOMPARE(tags, QStringLiteral("TITLE=%1\nARTIST=The Demo Band\nALBUM=Tape One\nDATE=%2\nGENRE=Other\n%3"
                                      "TRACKNUMBER=%4\nTRACKTOTAL=%5\n")
                           .arg(titles[i - 1], year, comment)
                           .arg(i)
                           .arg(titles.size()));
    }
}

} // namespace

class TestE2EFlac : public QObject {
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
    void deckToFlac();
};

void TestE2EFlac::deckToFlac()
{
    Wizard z(DemoDeck(m_side));
    const QVector<sv::FrameSpan> spans = RecordAndSplitDemoSide(z);
    QVERIFY2(!spans.isEmpty(), qPrintable(z.page() + z.boxes.unexpectedText()));
    const QString folder = z.st().RecordDirectory;
    QVERIFY(!QFile::exists(folder + QStringLiteral("recording.wav")));
    sv::test::Find<QRadioButton>(z.w->picOutput(), "optFLAC")->setChecked(true);
    z.next();
    QWidget* page = z.w->picFLAC();
    QVERIFY(z.w->IsPageVisible(page));
    auto* list = sv::test::Find<QListWidget>(page, "lstFLACTracks");
    QCOMPARE(list->count(), spans.size());
    // Artist and album typed once on track 1 serve every track.
    sv::test::Find<QLineEdit>(page, "txtFLACArtist")->setText(QStringLiteral("The Demo Band"));
    sv::test::Find<QLineEdit>(page, "txtFLACAlbum")->setText(QStringLiteral("Tape One"));
    QStringList titles;
    for (int i = 0; i < list->count(); ++i) {
        list->setCurrentRow(i);
        titles << QStringLiteral("Song %1").arg(i + 1);
        sv::test::Find<QLineEdit>(page, "txtFLACTrackName")->setText(titles.last());
        if (i == 1)
            sv::test::Find<QLineEdit>(page, "txtFLACComments")->setText(QStringLiteral("side one, \"live\""));
    }
    const QString target = z.env.root() + QStringLiteral("/My Tapes");
    QVERIFY(QDir().mkpath(target));
    sv::test::Find<QComboBox>(page, "cboFLACSave")->setEditText(target);
    z.next();
    QElapsedTimer encoding;
    encoding.start();
    while (z.st().Compressing && encoding.elapsed() < 60000)
        QTest::qWait(10);

    QCOMPARE(z.page(), QStringLiteral("picFinish"));
    QWidget* fin = z.w->picFinish();
    QCOMPARE(sv::test::Find<QLineEdit>(fin, "txtFinishSaveIn")->text(), target + QStringLiteral("/"));
    QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Finish"));
    QStringList names;
    for (const QString& t : titles)
        names << t + QStringLiteral(".flac");
    QCOMPARE(folderEntries(target), names);
    CheckFlacs(folder, target, titles);
    if (QTest::currentTestFailed())
        return;

    // Exit: the program's own files go, the FLAC files stay.
    sv::test::Find<QRadioButton>(fin, "optFinishExit")->setChecked(true);
    z.next();
    QVERIFY(!z.w->isVisible());
    QVERIFY(!QFile::exists(folder + QStringLiteral("Track 1.wav")));
    QCOMPARE(folderEntries(target), names);
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

QTEST_MAIN(TestE2EFlac)
#include "tst_e2e_flac.moc"
