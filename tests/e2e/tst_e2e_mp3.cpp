// One side from the deck to tagged MP3 files, through the whole wizard: the
// MP3 page's tags, the real encoder, and the files read back with ffprobe.
#include "e2e/E2EFlow.h"
#include "support/TestRequire.h"

#include <QStandardPaths>

using namespace svtest;

namespace {

// Track 1 gets every field, track 2 a title only (artist, album, year and
// genre carry over from track 1), the rest nothing. The options dialog is
// never opened: the tags typed must still reach the files.
void TagTracks(Wizard& z)
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
void CheckMp3s(const QString& target, int count)
{
    QStringList expect{QStringLiteral("Opening Song.mp3"), QStringLiteral("ACDC Live.mp3")};
    for (int i = 3; i <= count; ++i)
        expect << QStringLiteral("Track %1.mp3").arg(i);
    QCOMPARE(Sorted(QDir(target).entryList(QDir::Files)), Sorted(expect));
    const QJsonObject one = Probe(target + expect[0]);
    QVERIFY(one[QStringLiteral("duration")].toString().toDouble() > 1.0);
    // ffprobe does not list lame's comment frame: look for its UTF-16 text.
    const QString comment = QStringLiteral("from side A");
    QVERIFY(readAll(target + expect[0]).contains(QByteArray(reinterpret_cast<const char*>(comment.utf16()), comment.size() * 2)));
    // Per file: title, artist, genre, track, album; a track never shown on
    // the page is named by its number.
    const QString artist = QStringLiteral("Die Ärzte & \"Friends\"");
    const QList<std::pair<int, QStringList>> want{
        {0, {"Opening Song", artist, "Punk", "1", "Kassette $(1987)", "1987"}},
        {1, {"AC/DC: Live?", artist, "Punk", "2"}},
        {count - 1, {QStringLiteral("Track %1").arg(count), {}, {}, QString::number(count)}}};
    const QStringList keys{"title", "artist", "genre", "track", "album", "date"};
    for (const auto& [file, values] : want) {
        const QJsonObject tags = (file == 0 ? one : Probe(target + expect[file]))[QStringLiteral("tags")].toObject();
        for (int k = 0; k < values.size(); ++k)
            if (!values[k].isNull())
                QCOMPARE(tags[keys[k]].toString(), values[k]);
    }
}

} // namespace

class TestE2EMp3 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deckToTaggedMp3()
    {
        for (const char* tool : {"lame", "ffprobe"})
            SV_REQUIRE_TOOL(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        Wizard z(DemoDeck());
        const QVector<sv::FrameSpan> spans = RecordAndSplitDemoSide(z);
        QVERIFY2(!spans.isEmpty(), qPrintable(z.page() + z.boxes.unexpectedText()));
        const QString target = ChooseOutput(z, "optMP3", "picMP3", "cboMP3Save");
        TagTracks(z);
        EncodeToFinishPage(z, "picMP3Compress", 60000);
        CheckMp3s(target + QStringLiteral("/"), spans.size());
        ExitKeepsDelivered(z, target);
    }
};

QTEST_MAIN(TestE2EMp3)
#include "tst_e2e_mp3.moc"
