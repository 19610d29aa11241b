// Tags in the recording's index, the encoder's options and
// output file names and the playlists: everything of the MP3
// output that needs no encoder.
#include "output/Mp3Job.h"
#include "output/Mp3Options.h"
#include "output/Playlists.h"
#include "output/TrackTags.h"
#include "settings/modXML.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QtTest>

#include <tuple>

using namespace sv;

namespace {

// Texts a user can type that the store, the encoder or a playlist could take
// for something else.
QStringList HostileTexts()
{
    return {QStringLiteral("He said \"hi\" & left"),
            QStringLiteral("$(touch /tmp/sv-pwned); `id` ; rm -rf ~"),
            QStringLiteral("</Param></Track1><Track2>"),
            QStringLiteral("Ünïcödé — 日本語 🎵"),
            QStringLiteral("  leading and trailing  "),
            QStringLiteral("-q 9 --help"),
            QString(300, QLatin1Char('x')).replace(17, 5, QStringLiteral("\"<&>'"))};
}

QStringList list(const TrackTags& t)
{
    return {t.name, t.artist, t.album, t.year, t.genre, t.comments};
}

} // namespace

class TestMp3Core : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString index;

private Q_SLOTS:
    void init()
    {
        SetSettingsFile(env.tmp() + "settings.xml");
        QFile::remove(env.tmp() + "settings.xml");
        index = env.tmp() + "recording.xml";
        QFile::remove(index);
        QVERIFY(XMLSetValue("3", "Tracks", "", index));
    }

    void tagsReadBackExactly()
    {
        const QStringList texts = HostileTexts();
        for (int k = 1; k <= 3; ++k) {
            const QStringList want{texts[k], texts[k + 1], texts[k + 2], texts[k + 3], texts[(k + 4) % 7], texts[(k + 5) % 7]};
            TrackTags t{want[0], want[1], want[2], want[3], want[4], want[5]};
            QVERIFY(SaveTrackTags(index, k, t));
            QCOMPARE(list(LoadTrackTagsForPage(index, k)), want);
            QCOMPARE(list(LoadTrackTagsForEncoding(index, k, 2026)), want);
        }
        QStringList sections;
        XMLListSections(sections, index);
        QCOMPARE(sections, QStringList({"Track1", "Track2", "Track3"}));
    }

    // The page shows Track1's values where a track has none (never its
    // comments, nor over a value stored empty); the encoder takes defaults.
    void pageFallsBackToTrack1AndEncoderToDefaults()
    {
        TrackTags one{"Intro", "The Band", "Live", "1977", "Rock", "first"};
        QVERIFY(SaveTrackTags(index, 1, one));
        QVERIFY(XMLSetValue("Solo", "Name", "Track2", index));
        QVERIFY(XMLSetValue("", "Artist", "Track2", index));
        QVERIFY(XMLSetValue("*NA*", "Album", "Track2", index)); // a real value, not a marker
        QCOMPARE(list(LoadTrackTagsForPage(index, 2)), QStringList({"Solo", "", "*NA*", "1977", "Rock", ""}));
        QCOMPARE(list(LoadTrackTagsForPage(index, 3)), QStringList({"", "The Band", "Live", "1977", "Rock", ""}));
        QCOMPARE(list(LoadTrackTagsForEncoding(index, 3, 2031)),
                 QStringList({"Track3", "New Artist", "New Album", "2031", "Other", ""}));
        TrackTags unnamed;
        QVERIFY(SaveTrackTags(index, 3, unnamed));
        QCOMPARE(unnamed.name, "Track 3");
        QCOMPARE(LoadTrackTagsForPage(index, 3).name, "Track 3");
    }

    // Damaged stored values come back as the dialog's defaults.
    void dialogValuesCheckedAndStored()
    {
        XMLSetValue("11", "Speed", kMp3Section, "");
        XMLSetValue("999", "Bitrate", kMp3Section, "");
        XMLSetValue("7", "Channels", kMp3Section, "");
        Mp3DialogValues v = LoadMp3DialogValues();
        QVERIFY(std::tie(v.speed, v.bitrate, v.channels) == std::make_tuple(3, QString("160"), 1));
        QVERIFY(SaveMp3DialogValues({true, true, false, 8, 4, 3, "320"}));
        v = LoadMp3DialogValues();
        QVERIFY(std::tie(v.copyright, v.crc, v.forceIso, v.speed, v.channels, v.id3, v.bitrate)
                == std::make_tuple(true, true, false, 8, 4, 3, QString("320")));
    }

    // Nothing stored: lame's default quality; once the dialog stored a speed,
    // Quality no longer counts.
    void encoderOptionsFromSettings()
    {
        const Mp3EncoderOptions o = LoadMp3EncoderOptions();
        QVERIFY(std::tie(o.quality, o.id3, o.bitrate) == std::make_tuple(2, 0, QString("128")));
        XMLSetValue("6", "Quality", kMp3Section, "");
        QCOMPARE(LoadMp3EncoderOptions().quality, 6);
        for (auto [speed, quality] : {std::pair{"1", 0}, std::pair{"10", 9}}) {
            XMLSetValue(speed, "Speed", kMp3Section, "");
            QCOMPARE(LoadMp3EncoderOptions().quality, quality);
        }
        XMLSetValue("1", "UseCRC", kMp3Section, "");
        XMLSetValue("yes", "MarkNonOriginal", kMp3Section, "");
        const Mp3EncoderOptions on = LoadMp3EncoderOptions();
        QVERIFY(on.crc && on.nonOriginal && !on.copyright);
    }

    void outputNames()
    {
        QCOMPARE(OutputBaseName("AC/DC: Live?", 1), "ACDC Live");
        QCOMPARE(OutputBaseName(QString("a") + QChar(0) + "b\n", 1), "ab");
        QCOMPARE(OutputBaseName("///", 7), "Track 7");
        QCOMPARE(OutputBaseName("..", 2), "Track 2");
        const QString longName = OutputBaseName(QString(150, QChar(0x65e5)), 1); // 3 bytes each
        QVERIFY(longName.toUtf8().size() + QByteArray(" (99).mp3").size() <= 255);
        QVERIFY(OutputBaseName(QString(300, QChar(0x1F3B5)), 1).toUtf8().size() <= 240); // no half pair
        QCOMPARE(UniqueFileNames({"Song", "song", "Other", "Song", "Song (2)"}, ".mp3"),
                 QStringList({"Song.mp3", "song (2).mp3", "Other.mp3", "Song (3).mp3", "Song (2) (2).mp3"}));
    }

    void playlistBytes()
    {
        const QString path = env.tmp() + "out/list.m3u"; // the name is checked with the finish page
        QDir().mkpath(env.tmp() + "out");
        QVERIFY(WriteM3UPlaylist(path, {"/rec/.mp3-x/One.mp3", "Two & \"Three\".mp3", "Ü.mp3"}, "/music/Out"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("/music/Out/One.mp3\r\n/music/Out/Two & \"Three\".mp3\r\n"
                                         "/music/Out/\xc3\x9c.mp3\r\n"));

        QVERIFY(XMLSetValue("2", "Tracks", "", index));
        XMLSetValue("Rock & \"Roll\" <b>", "Name", "Track1", index);
        XMLSetValue("Me", "Artist", "Track1", index);
        XMLSetValue("(c) 1999", "Copyright", "Track1", index);
        XMLSetValue("Best", "Description", "Track1", index);
        const QByteArray text =
            ASXPlaylistText(index, "Recording 09:05", {"/rec/Rock & Roll b.wma", ""}, "/out", true);
        QCOMPARE(text, QByteArray("<Asx Version = \"3.0\" >\r\n"
                                  "<Title > Recording 09:05</Title>\r\n"
                                  "<Param name = \"AllowShuffle\" value = \"yes\" />\r\n"
                                  "<Param name = \"encoding\" value = \"UTF-8\" />\r\n"
                                  "<Entry>\r\n"
                                  "<Title > Rock &amp; &quot;Roll&quot; &lt;b></Title>\r\n"
                                  "<Param Name = \"SourceURL\" Value = \"/out/Rock &amp; Roll b.wma\" />\r\n"
                                  "<Ref href = \"/out/Rock &amp; Roll b.wma\" />\r\n"
                                  "<Param Name = \"Copyright\" Value = \"(c) 1999\" />\r\n"
                                  "<Param Name = \"Author\" Value = \"Me\" />\r\n"
                                  "<Param Name = \"Description\" Value = \"Best\" />\r\n"
                                  "</Entry>\r\n"
                                  "<Entry>\r\n"
                                  "<Title > Track 2</Title>\r\n"
                                  "</Entry>\r\n"
                                  "</Asx>\r\n"));
        // Without output-folder references the item is written as it is.
        QVERIFY(ASXPlaylistText(index, "R", {"rel/a.wma"}, "/out", false).contains("<Ref href = \"rel/a.wma\" />"));
    }
};

QTEST_GUILESS_MAIN(TestMp3Core)
#include "tst_Mp3Core.moc"
