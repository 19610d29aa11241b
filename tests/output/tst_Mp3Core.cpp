// Tags in the recording's index, the genre table, the encoder's options and
// arguments, output file names and the playlists: everything of the MP3
// output that needs no encoder.
#include "output/Genres.h"
#include "output/Mp3Job.h"
#include "output/Mp3Options.h"
#include "output/Playlists.h"
#include "output/TrackTags.h"
#include "settings/modXML.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSet>
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

    void genreNumbersAndFallback()
    {
        const QStringList& g = GenreNames();
        QCOMPARE(g.size(), 148);
        QCOMPARE(QSet<QString>(g.begin(), g.end()).size(), 148);
        for (int n : {0, 12, 40, 81, 147})
            QCOMPARE(GetGenreNum(g[n]), n);
        // Exact names only, letter case included; anything else is 1.
        for (const char* other : {"rock", "Rock ", "", "Alternative Rock"})
            QCOMPARE(GetGenreNum(other), 1);
    }

    void tagsReadBackExactly()
    {
        const QStringList texts = HostileTexts();
        for (int k = 1; k <= 3; ++k) {
            TrackTags t{texts[k], texts[k + 1], texts[k + 2], texts[k + 3], texts[(k + 4) % 7], texts[(k + 5) % 7]};
            QVERIFY(SaveTrackTags(index, k, t));
        }
        for (int k = 1; k <= 3; ++k) {
            const TrackTags t = LoadTrackTagsForPage(index, k);
            QCOMPARE(t.name, texts[k]);
            QCOMPARE(t.artist, texts[k + 1]);
            QCOMPARE(t.album, texts[k + 2]);
            QCOMPARE(t.year, texts[k + 3]);
            QCOMPARE(t.genre, texts[(k + 4) % 7]);
            QCOMPARE(t.comments, texts[(k + 5) % 7]);
            const TrackTags e = LoadTrackTagsForEncoding(index, k, 2026);
            QCOMPARE(e.name, texts[k]);
            QCOMPARE(e.comments, texts[(k + 5) % 7]);
        }
        QStringList sections;
        XMLListSections(sections, index);
        QCOMPARE(sections, QStringList({"Track1", "Track2", "Track3"}));
    }

    void pageFallsBackToTrack1AndEncoderToDefaults()
    {
        TrackTags one{"Intro", "The Band", "Live", "1977", "Rock", "first"};
        QVERIFY(SaveTrackTags(index, 1, one));
        QVERIFY(XMLSetValue("Solo", "Name", "Track2", index));
        QVERIFY(XMLSetValue("", "Artist", "Track2", index)); // stored empty: no fallback
        QVERIFY(XMLSetValue("*NA*", "Album", "Track2", index)); // a real value, not a marker

        const TrackTags p2 = LoadTrackTagsForPage(index, 2);
        QCOMPARE(p2.name, "Solo");
        QCOMPARE(p2.artist, "");
        QCOMPARE(p2.album, "*NA*");
        QCOMPARE(p2.year, "1977");
        QCOMPARE(p2.genre, "Rock");
        QCOMPARE(p2.comments, ""); // comments never fall back
        const TrackTags p3 = LoadTrackTagsForPage(index, 3);
        QCOMPARE(p3.name, "");
        QCOMPARE(p3.artist, "The Band");

        const TrackTags e3 = LoadTrackTagsForEncoding(index, 3, 2031);
        QCOMPARE(e3.name, "Track3");
        QCOMPARE(e3.artist, "New Artist");
        QCOMPARE(e3.album, "New Album");
        QCOMPARE(e3.year, "2031");
        QCOMPARE(e3.genre, "Other");
        QCOMPARE(e3.comments, "");

        TrackTags unnamed;
        QVERIFY(SaveTrackTags(index, 3, unnamed));
        QCOMPARE(unnamed.name, "Track 3");
        QCOMPARE(LoadTrackTagsForPage(index, 3).name, "Track 3");
    }

    void dialogValuesCheckedAndStored()
    {
        XMLSetValue("11", "Speed", kMp3Section, "");
        XMLSetValue("999", "Bitrate", kMp3Section, "");
        XMLSetValue("7", "Channels", kMp3Section, "");
        Mp3DialogValues v = LoadMp3DialogValues();
        QCOMPARE(v.speed, 3);
        QCOMPARE(v.bitrate, "160");
        QCOMPARE(v.channels, 1);
        v = {true, true, false, 8, 4, 3, "320"};
        QVERIFY(SaveMp3DialogValues(v));
        const Mp3DialogValues back = LoadMp3DialogValues();
        QVERIFY(std::tie(back.copyright, back.crc, back.forceIso, back.speed, back.channels, back.id3)
                == std::make_tuple(true, true, false, 8, 4, 3));
        QCOMPARE(back.bitrate, "320");
    }

    void encoderOptionsFromSettings()
    {
        // Nothing stored: lame's default quality, no tags, no channel option.
        Mp3EncoderOptions o = LoadMp3EncoderOptions();
        QCOMPARE(o.quality, 2);
        QCOMPARE(o.id3, 0);
        QCOMPARE(o.bitrate, "128");
        XMLSetValue("6", "Quality", kMp3Section, "");
        QCOMPARE(LoadMp3EncoderOptions().quality, 6);
        // Once the dialog stored a speed, Quality no longer counts.
        XMLSetValue("1", "Speed", kMp3Section, "");
        QCOMPARE(LoadMp3EncoderOptions().quality, 0);
        XMLSetValue("10", "Speed", kMp3Section, "");
        QCOMPARE(LoadMp3EncoderOptions().quality, 9);
        XMLSetValue("1", "UseCRC", kMp3Section, "");
        XMLSetValue("yes", "MarkNonOriginal", kMp3Section, "");
        o = LoadMp3EncoderOptions();
        QVERIFY(o.crc);
        QVERIFY(o.nonOriginal);
        QVERIFY(!o.copyright);
    }

    void lameArgumentsAreSeparate()
    {
        Mp3EncoderOptions o;
        const TrackTags t{"A \"b\" $(c)", "", "Al", "1999", "Jazz", "c;d"};
        QStringList a = LameArguments(o, t, 4, "/in/Track 4.wav", "/out/x.mp3");
        QCOMPARE(a, QStringList({"--brief", "-b", "128", "-q", "2", "/in/Track 4.wav", "/out/x.mp3"}));
        o.channels = "3";
        o.id3 = 1;
        o.crc = true;
        o.copyright = true;
        a = LameArguments(o, t, 4, "/in/a.wav", "/out/x.mp3");
        QCOMPARE(a, QStringList({"--brief", "-b", "128", "-m", "j", "-q", "2", "-c", "-p", "--id3v2-utf16", "--tt",
                                 "A \"b\" $(c)", "--ta", "", "--tl", "Al", "--ty", "1999", "--tc", "c;d", "--tn", "4",
                                 "--tg", "8", "/in/a.wav", "/out/x.mp3"}));
        // Mono is downmixed; the real encoder's tests check what each option makes.
        o.channels = "4";
        QVERIFY(LameArguments(o, t, 1, "i", "o").join(' ').contains("-m m -a -q"));
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

    void m3uBytes()
    {
        const QString path = PlaylistPath(env.tmp() + "out", "Recording 14:32  05/12/2026", ".m3u");
        QCOMPARE(path, env.tmp() + "out/Recording 1432  05122026.m3u");
        QDir().mkpath(env.tmp() + "out");
        QVERIFY(WriteM3UPlaylist(path, {"/rec/.mp3-x/One.mp3", "Two & \"Three\".mp3", "Ü.mp3"}, "/music/Out"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("/music/Out/One.mp3\r\n/music/Out/Two & \"Three\".mp3\r\n"
                                         "/music/Out/\xc3\x9c.mp3\r\n"));
    }

    void asxBytes()
    {
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
        const QString path = env.tmp() + "list.asx";
        QVERIFY(WriteASXPlaylist(path, index, "Recording 09:05", {"/rec/Rock & Roll b.wma"}, "/out", true));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), text);
    }
};

QTEST_GUILESS_MAIN(TestMp3Core)
#include "tst_Mp3Core.moc"
