// Profile records in profiles.xml: storing, renumbering, shaping and checks.
#include "settings/Profiles.h"
#include "settings/modXML.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QtTest>

using namespace sv;

class TestProfiles : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString file;

    Profile make(const QString& name, const QString& len, const QString& pause)
    {
        return Profile{name, QStringLiteral("About ") + name, len, pause};
    }

private Q_SLOTS:
    void init()
    {
        file = env.root() + QStringLiteral("/profiles.xml");
        QFile::remove(file);
    }

    void shaping_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("trailing letter") << "90a" << "90";
        QTest::newRow("letters only") << "abc" << "";
        QTest::newRow("zero clears") << "0" << "";
        QTest::newRow("fraction cut") << "37.5" << "37";
        QTest::newRow("empty stays") << "" << "";
        QTest::newRow("plain") << "150" << "150";
    }
    void shaping()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QCOMPARE(ShapeMinutes(typed), shown);
    }

    // The reasons shown for each field (the dialog's test checks the titles
    // and the field focused).
    void checks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("length");
        QTest::addColumn<bool>("pauseOn");
        QTest::addColumn<QString>("pause");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        const QString len = QStringLiteral("The recording length must be between 5 and 150 minutes.");
        const QString noName = QStringLiteral("Please enter the profile's name.");
        const int N = ProfileCheck::Name, L = ProfileCheck::Length, P = ProfileCheck::Pause, OK = ProfileCheck::None;
        QTest::newRow("no name") << "" << "60" << false << "" << N << noName;
        QTest::newRow("151") << "A" << "151" << false << "" << L << len;
        QTest::newRow("4") << "A" << "4" << false << "" << L << len;
        QTest::newRow("empty length") << "A" << "" << false << "" << L << len;
        QTest::newRow("pause empty") << "A" << "60" << true << "" << P << "Please enter a number between 1 and 5";
        QTest::newRow("pause 4") << "A" << "60" << true << "4" << P << "The pause must be at least 5 minutes.";
        QTest::newRow("pause = length") << "A" << "60" << true << "60" << P
                                        << "The pause must be less than the total recording time.";
        QTest::newRow("name checked first") << "" << "4" << true << "" << N << noName;
        QTest::newRow("ok with pause") << "A" << "60" << true << "59" << OK << "";
        QTest::newRow("ok, pause box off ignores text") << "A" << "5" << false << "x" << OK << "";
        QTest::newRow("ok 150") << "A" << "150" << false << "" << OK << "";
    }
    void checks()
    {
        QFETCH(QString, name);
        QFETCH(QString, length);
        QFETCH(bool, pauseOn);
        QFETCH(QString, pause);
        QFETCH(int, field);
        QFETCH(QString, text);
        const ProfileCheck c = CheckProfile(name, length, pauseOn, pause);
        QCOMPARE(c.ok, field == ProfileCheck::None);
        QCOMPARE(int(c.field), field);
        QCOMPARE(c.text, text);
    }

    // The form of the stored file: a description on one line
    // (line breaks as \x01), the keys in their order.
    void storedForm()
    {
        QVERIFY(WriteProfile(file, 0, Profile{"Side A", "first line\nsecond line", "90", "45"}));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray raw = f.readAll();
        QVERIFY(raw.contains("first line\x01second line"));
        QCOMPARE(ReadProfile(file, 0).description, QStringLiteral("first line\nsecond line"));
        QCOMPARE(EscapeDescription("a\r\nb"), QStringLiteral("a\x01" "b"));
        const qsizetype n = raw.indexOf("ProfileName"), d = raw.indexOf("Description"), l = raw.indexOf("RecordLength"),
                        p = raw.indexOf("\"Pause\"");
        QVERIFY(n < d && d < l && l < p);
    }

    // Later profiles move down a section, descriptions of several lines with them.
    void deleteRenumbers()
    {
        for (int i = 0; i < 3; ++i)
            QVERIFY(WriteProfile(file, i, make(QStringLiteral("P%1").arg(i), QString::number(60 + i), "0")));
        QVERIFY(WriteProfile(file, 2, Profile{"P2", "one\ntwo", "62", "30"}));
        QVERIFY(DeleteProfile(file, 1, 3));
        const ProfileList list = ReadProfileList(file);
        QCOMPARE(list.sections, QStringList({"Profile0", "Profile1"}));
        QCOMPARE(list.names, QStringList({"P0", "P2"}));
        const Profile moved = ReadProfile(file, 1);
        QCOMPARE(moved.recordLength, QStringLiteral("62"));
        QCOMPARE(moved.description, QStringLiteral("one\ntwo"));
        QCOMPARE(ReadProfile(file, 0).recordLength, QStringLiteral("60"));
        // The last ones, and nothing out of range.
        QVERIFY(DeleteProfile(file, 1, 2));
        QVERIFY(DeleteProfile(file, 0, 1));
        QVERIFY(ReadProfileList(file).names.isEmpty());
        QVERIFY(!DeleteProfile(file, 0, 0));
        QVERIFY(!DeleteProfile(file, -1, 1));
    }

    void lastUsedAndMissingFile()
    {
        const ProfileList empty = ReadProfileList(file);
        QVERIFY(QFile::exists(file)); // created by the read
        QCOMPARE(empty.lastUsed, 0);
        QVERIFY(StoreLastUsed(file, -1));
        QCOMPARE(ReadProfileList(file).lastUsed, -1);
        QVERIFY(StoreLastUsed(file, 2));
        QCOMPARE(ReadProfileList(file).lastUsed, 2);
    }

    void shippedCopiedOnlyWhenMissing()
    {
        const QString shipped = env.root() + QStringLiteral("/shipped.xml");
        QVERIFY(WriteProfile(shipped, 0, make("Shipped", "60", "30")));
        QVERIFY(CopyShippedProfiles(shipped, file));
        QCOMPARE(ReadProfileList(file).names, QStringList({"Shipped"}));
        QVERIFY(WriteProfile(file, 0, make("Mine", "60", "30")));
        QVERIFY(!CopyShippedProfiles(shipped, file));
        QCOMPARE(ReadProfileList(file).names, QStringList({"Mine"}));
    }

    // Rows find their profiles by section: a name with markup stays listed, and
    // a section without a name neither shifts its neighbours nor is overwritten.
    void listedBySection()
    {
        QVERIFY(WriteProfile(file, 0, make("A</B", "60", "0")));
        QVERIFY(XMLSetValue("99", "RecordLength", "Profile1", file)); // no name: not listed
        QVERIFY(XMLSetValue("C", "ProfileName", "Profile2", file));
        QVERIFY(XMLSetValue("70", "RecordLength", "Profile2", file));
        ProfileList list = ReadProfileList(file);
        QCOMPARE(list.names, QStringList({"A</B", "C"}));
        QCOMPARE(list.listed, QStringList({"Profile0", "Profile2"}));
        QCOMPARE(ReadProfile(file, 1).recordLength, QStringLiteral("70"));
        QCOMPARE(ReadProfile(file, 0).name, QStringLiteral("A</B"));

        // A new profile takes a free section.
        QVERIFY(WriteProfile(file, 2, make("D", "80", "0")));
        list = ReadProfileList(file);
        QCOMPARE(list.listed, QStringList({"Profile0", "Profile2", "Profile3"}));
        QCOMPARE(XMLGetValue("RecordLength", "Profile2", file, ""), QStringLiteral("70"));
        // Editing the second row edits C, not the unnamed section.
        QVERIFY(WriteProfile(file, 1, make("C2", "75", "0")));
        QCOMPARE(XMLGetValue("ProfileName", "Profile2", file, ""), QStringLiteral("C2"));
        QCOMPARE(XMLGetValue("ProfileName", "Profile1", file, "none"), QStringLiteral("none"));
        // Deleting C2 moves D down into its section; the unnamed one stays.
        QVERIFY(DeleteProfile(file, 1, 3));
        list = ReadProfileList(file);
        QCOMPARE(list.names, QStringList({"A</B", "D"}));
        QCOMPARE(list.listed, QStringList({"Profile0", "Profile2"}));
        QCOMPARE(XMLGetValue("RecordLength", "Profile1", file, ""), QStringLiteral("99"));
    }

    void storedTimes_data()
    {
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("pause");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("recordSeconds");
        QTest::addColumn<int>("pauseSeconds");
        QTest::newRow("with pause") << "90" << "45" << true << 5400 << 2700;
        QTest::newRow("no pause") << "150" << "0" << true << 9000 << 0;
        QTest::newRow("pause key missing") << "60" << "" << true << 3600 << 0;
        QTest::newRow("fraction") << "90.5" << "45" << true << 5400 << 2700;
        QTest::newRow("huge") << "9999999999999" << "0" << false << 0 << 0;
        QTest::newRow("negative") << "-60" << "0" << false << 0 << 0;
        QTest::newRow("not a number") << "abc" << "0" << false << 0 << 0;
        QTest::newRow("empty") << "" << "0" << false << 0 << 0;
        QTest::newRow("too short") << "4" << "0" << false << 0 << 0;
        QTest::newRow("negative pause") << "60" << "-5" << false << 0 << 0;
        QTest::newRow("huge pause") << "60" << "1e9" << false << 0 << 0;
        QTest::newRow("pause not a number") << "60" << "half" << false << 0 << 0;
        QTest::newRow("pause at the end") << "60" << "60" << false << 0 << 0;
    }
    void storedTimes()
    {
        QFETCH(QString, length);
        QFETCH(QString, pause);
        QFETCH(bool, valid);
        QFETCH(int, recordSeconds);
        QFETCH(int, pauseSeconds);
        const ProfileTimes t = CheckStoredProfile(length, pause);
        QCOMPARE(t.valid, valid);
        QCOMPARE(t.recordSeconds, recordSeconds);
        QCOMPARE(t.pauseSeconds, pauseSeconds);
    }

    // The shipped set must be in the store's format and pass the dialog's own checks.
    void shippedProfilesAreValid()
    {
        const QString path = qEnvironmentVariable("SONIVAULT_SOURCE_DIR") + QStringLiteral("/data/profiles.xml");
        QFile f(path);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray raw = f.readAll();
        QVERIFY(raw.startsWith("<XML Version=\"Quarrydale\">\r\n"));
        QVERIFY(raw.endsWith("</XML>\r\n"));
        QCOMPARE(raw.count("\n"), raw.count("\r\n"));
        QVERIFY(raw.contains("\r\n     <Param Name=\"ProfileName\""));
        const ProfileList list = ReadProfileList(path);
        QCOMPARE(list.names.size(), 7);
        QCOMPARE(list.sections.size(), 7);
        QVERIFY(list.lastUsed >= 0 && list.lastUsed < 7);
        int withPause = 0;
        for (int i = 0; i < list.names.size(); ++i) {
            const Profile p = ReadProfile(path, i);
            const bool pauseOn = p.pause != QLatin1String("0");
            withPause += pauseOn;
            const ProfileCheck c = CheckProfile(p.name, p.recordLength, pauseOn, p.pause);
            QVERIFY2(c.ok, qPrintable(p.name + ": " + c.text));
            QVERIFY(CheckStoredProfile(p.recordLength, p.pause).valid);
            QVERIFY(!p.description.isEmpty());
            QVERIFY(!p.description.contains('\n'));
        }
        QCOMPARE(withPause, 5);
    }
};

QTEST_GUILESS_MAIN(TestProfiles)
#include "tst_profiles.moc"
