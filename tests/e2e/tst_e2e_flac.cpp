// One side from the deck to FLAC files in a folder, through the whole wizard:
// the FLAC page with names typed for the tracks, the encoding, and the files
// decoded and their tags read back.
#include "e2e/E2EFlow.h"
#include "output/FlacCheck.h"

using namespace svtest;

namespace {

// Each file holds exactly its track's samples and the tags typed for it.
void CheckFlacs(const QString& folder, const QString& target, const QStringList& titles)
{
    QStringList names;
    for (const QString& t : titles)
        names << t + QStringLiteral(".flac");
    QCOMPARE(folderEntries(target), names);
    const QString year = QString::number(QDate::currentDate().year());
    for (int i = 1; i <= titles.size(); ++i) {
        const QString file = target + QStringLiteral("/") + names[i - 1];
        const Pcm got = decodeFlac(file);
        QVERIFY2(got.ok && got.md5Set, qPrintable(file));
        const Pcm want = wavPcm(folder + QStringLiteral("Track %1.wav").arg(i));
        QCOMPARE(got.channels, 2);
        QCOMPARE(got.rate, 44100);
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
private Q_SLOTS:
    void deckToFlac()
    {
        Wizard z(DemoDeck());
        const QVector<sv::FrameSpan> spans = RecordAndSplitDemoSide(z);
        QVERIFY2(!spans.isEmpty(), qPrintable(z.page() + z.boxes.unexpectedText()));
        const QString folder = z.st().RecordDirectory;
        const QString target = ChooseOutput(z, "optFLAC", "picFLAC", "cboFLACSave");
        QWidget* page = z.w->picFLAC();
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
        EncodeToFinishPage(z, nullptr, 60000);
        CheckFlacs(folder, target, titles);
        ExitKeepsDelivered(z, target);
    }
};

QTEST_MAIN(TestE2EFlac)
#include "tst_e2e_flac.moc"
