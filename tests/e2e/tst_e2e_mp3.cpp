// One side from the deck to tagged MP3 files, through the whole wizard: the
// MP3 page's tags, the real encoder, and the files read back with ffprobe.
#include "e2e/E2EFlow.h"
#include "support/TestRequire.h"

#include <QStandardPaths>

using namespace svtest;

namespace {

bool Have(const char* tool)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
}

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
    QStringList found = QDir(target).entryList(QDir::Files);
    found.sort();
    QStringList sorted = expect;
    sorted.sort();
    QCOMPARE(found, sorted);
    const QJsonObject one = Probe(target + expect[0]);
    const QJsonObject tags = one[QStringLiteral("tags")].toObject();
    const QStringList keys{"title", "artist", "album", "date", "genre", "track"};
    const QStringList values{"Opening Song", "Die Ärzte & \"Friends\"", "Kassette $(1987)", "1987", "Punk", "1"};
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(tags[keys[i]].toString(), values[i]);
    QVERIFY(one[QStringLiteral("duration")].toString().toDouble() > 1.0);
    // ffprobe does not list lame's comment frame: look for its UTF-16 text.
    const QString comment = QStringLiteral("from side A");
    QVERIFY(readAll(target + expect[0]).contains(QByteArray(reinterpret_cast<const char*>(comment.utf16()), comment.size() * 2)));
    const QJsonObject two = Probe(target + expect[1])[QStringLiteral("tags")].toObject();
    QCOMPARE(two[QStringLiteral("title")].toString(), QStringLiteral("AC/DC: Live?"));
    QCOMPARE(two[QStringLiteral("artist")].toString(), values[1]);
    QCOMPARE(two[QStringLiteral("genre")].toString(), QStringLiteral("Punk"));
    QCOMPARE(two[QStringLiteral("track")].toString(), QStringLiteral("2"));
    // A track never shown on the page is named by its number.
    const QJsonObject last = Probe(target + expect.last())[QStringLiteral("tags")].toObject();
    QCOMPARE(last[QStringLiteral("title")].toString(), QStringLiteral("Track %1").arg(count));
    QCOMPARE(last[QStringLiteral("track")].toString(), QString::number(count));
}

} // namespace

class TestE2EMp3 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deckToTaggedMp3()
    {
        SV_REQUIRE_TOOL(Have("lame"), "lame");
        SV_REQUIRE_TOOL(Have("ffprobe"), "ffprobe");
        Wizard z(DemoDeck());
        const QVector<sv::FrameSpan> spans = RecordAndSplitDemoSide(z);
        QVERIFY2(!spans.isEmpty(), qPrintable(z.page() + z.boxes.unexpectedText()));
        QVERIFY(!QFile::exists(z.st().RecordDirectory + QStringLiteral("recording.wav")));
        const QString target = ChooseOutput(z, "optMP3", "picMP3", "cboMP3Save");
        TagTracks(z);
        EncodeToFinishPage(z, "picMP3Compress", 60000);
        CheckMp3s(target + QStringLiteral("/"), spans.size());
        ExitKeepsDelivered(z, target);
    }
};

QTEST_MAIN(TestE2EMp3)
#include "tst_e2e_mp3.moc"
