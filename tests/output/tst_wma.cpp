// The WMA page's fields and profile in the store, and what the encoder is
// given: arguments, the command line shown in messages, file names.
#include "output/WmaEncode.h"
#include "output/WmaTags.h"
#include "settings/modXML.h"
#include "support/TestEnv.h"

#include <QtTest>

using namespace sv;

class TestWma : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString m_index;

private Q_SLOTS:
    void init()
    {
        QDir().mkpath(env.dataFolder());
        SetSettingsFile(env.dataFolder() + "settings.xml");
        m_index = env.tmp() + "recording.xml";
        QFile::remove(m_index);
        QFile::remove(env.dataFolder() + "settings.xml");
    }

    // Empty tags are left out; a value that looks like an option stays a value.
    void argumentsAndCommandLine()
    {
        const WmaTags some{"", "Artist", "", "-output /etc/passwd"};
        QCOMPARE(WmaArguments("in.wav", "out.wma", "32_44_2", some),
                 QStringList({"-input", "in.wav", "-output", "out.wma", "-a_setting", "32_44_2", "-author", "Artist",
                              "-description", "-output /etc/passwd"}));
        QCOMPARE(WmaCommandLineText("E", "i", "o", "64_44_2", {"T", "A", "C", "D"}),
                 R"(E -input "i" -output "o" -a_setting 64_44_2  -title "T" -author "A" -copyright "C" -description "D")");
        QCOMPARE(WmaCommandLineText("E", "i", "o", "64_44_2", {}), R"(E -input "i" -output "o" -a_setting 64_44_2 )");
    }

    void profileSetting()
    {
        QCOMPARE(WmaASetting("32 kbps Very Low Quality"), "32_44_2");
        QCOMPARE(WmaASetting("64"), "64_44_2"); // the encoder's default
        QCOMPARE(WmaASetting("96.7 kbps"), "96_44_2");
        QCOMPARE(WmaASetting("High Quality"), "0_44_2");

        QCOMPARE(WmaProfileIndex(), kWmaDefaultProfile);       // nothing stored
        QCOMPARE(WmaEncodeProfile(), "64");                    // the encoder's own default
        QVERIFY(SetWmaProfile("32 kbps Very Low Quality"));
        QCOMPARE(WmaProfileIndex(), 0);
        QCOMPARE(XMLGetValue("Profile", "Encoding\\WMA", "", ""), "32 kbps Very Low Quality");
        QCOMPARE(WmaEncodeProfile(), "32 kbps Very Low Quality");
        QVERIFY(SetWmaProfile("320 kbps"));                    // hand-edited, unknown to the list
        QCOMPARE(WmaProfileIndex(), kWmaDefaultProfile);
        QCOMPARE(WmaProfileIndex("192 kbps high quality"), kWmaDefaultProfile); // exact text only
    }

    void pageFieldsFallBackToTrack1()
    {
        XMLSetValue("3", "Tracks", "", m_index);
        QVERIFY(XMLSetValue("Band", "Artist", "Track1", m_index));
        QVERIFY(XMLSetValue("(c) 1979", "Copyright", "Track1", m_index));
        QVERIFY(XMLSetValue("Side A", "Description", "Track1", m_index));
        XMLSetValue("Second", "Name", "Track2", m_index);
        XMLSetValue("", "Artist", "Track3", m_index);     // emptied on purpose: no fallback
        XMLSetValue("*NA*", "Copyright", "Track3", m_index); // typed by the user, kept

        QCOMPARE(LoadWmaPageTags(m_index, 2), (WmaTags{"Second", "Band", "(c) 1979", "Side A"}));
        QCOMPARE(LoadWmaPageTags(m_index, 3), (WmaTags{"", "", "*NA*", "Side A"}));
        // The encoder takes each track's own values only.
        QCOMPARE(LoadWmaEncodeTags(m_index, 2), (WmaTags{"Second", "", "", ""}));
        QCOMPARE(WmaListItem(m_index, 2), "Second");
        QCOMPARE(WmaListItem(m_index, 3), "Track-3");
    }

    // Stored as typed, under the keys the MP3 page reads too; an empty
    // title is stored as the track's name.
    void storedFieldsReadBackExactly()
    {
        for (const QString& value : {QString(R"(He said "stop" \"twice\")"), QString("</Artist><Name>x</Name> & &amp; &#x41;"),
                                     QString::fromUtf8("Motörhead – Ça plane pour moi · 日本の歌 🎵"),
                                     QString("Long title ").repeated(28).left(300)}) {
            WmaTags t{value, "A" + value, "C" + value, "D" + value};
            QVERIFY(StoreWmaPageTags(m_index, 4, t));
            QCOMPARE(LoadWmaEncodeTags(m_index, 4), t);
            QCOMPARE(LoadWmaPageTags(m_index, 4), t);
            QCOMPARE(XMLGetValue("Name", "Track4", m_index, ""), value);
            QCOMPARE(XMLGetValue("Artist", "Track4", m_index, ""), "A" + value);
        }
        WmaTags t{"", "x", "", ""};
        QVERIFY(StoreWmaPageTags(m_index, 7, t));
        QCOMPARE(t.title, "Track 7");
        QCOMPARE(XMLGetValue("Name", "Track7", m_index, ""), "Track 7");
    }

    // Names safe on disk, never empty, never cut inside a character, told apart.
    void fileBases()
    {
        QCOMPARE(WmaFileBase("AC/DC: Live?", 3), "ACDC Live");
        QCOMPARE(WmaFileBase("///??", 3), "Track 3");
        QCOMPARE(WmaFileBase(".Intro", 3), "Intro");
        QCOMPARE(WmaFileBase("Line\none\ttwo", 3), "Lineonetwo");
        QCOMPARE(WmaFileBase("-output", 3), "-output");
        const QString base = WmaFileBase(QString::fromUtf8("🎵").repeated(120), 1);
        QVERIFY(base.toUtf8().size() <= 200 && base.toUtf8().size() > 190);
        QCOMPARE(QString::fromUtf8(base.toUtf8()), base);
        QCOMPARE(UniqueFileBases({"Song", "song", "Song (2)", "Song", "Other"}),
                 QStringList({"Song", "song (3)", "Song (2)", "Song (4)", "Other"}));
    }
};

QTEST_GUILESS_MAIN(TestWma)
#include "tst_wma.moc"
