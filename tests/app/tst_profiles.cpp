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

    void shaping()
    {
        const QList<QPair<QString, QString>> cases = {
            {"90a", "90"}, {"abc", ""}, {"0", ""}, {"37.5", "37"}, {"", ""}, {"150", "150"}};
        for (const auto& [typed, shown] : cases)
            QCOMPARE(ShapeMinutes(typed), shown);
    }

    // The reasons shown for each field (the dialog's test checks the titles
    // and the field focused).
    void checks()
    {
        const QString len = QStringLiteral("The recording length must be between 5 and 150 minutes.");
        const QString noName = QStringLiteral("Please enter the profile's name.");
        const int N = ProfileCheck::Name, L = ProfileCheck::Length, P = ProfileCheck::Pause, OK = ProfileCheck::None;
        struct Case { QString name, length; bool pauseOn; QString pause; int field; QString text; };
        const QList<Case> cases = {
            {"", "60", false, "", N, noName},
            {"A", "151", false, "", L, len},
            {"A", "4", false, "", L, len},
            {"A", "", false, "", L, len},
            {"A", "60", true, "", P, "Please enter a number between 1 and 5"},
            {"A", "60", true, "4", P, "The pause must be at least 5 minutes."},
            {"A", "60", true, "60", P, "The pause must be less than the total recording time."},
            {"", "4", true, "", N, noName}, // the name is checked first
            {"A", "60", true, "59", OK, ""},
            {"A", "5", false, "x", OK, ""}, // the pause text is ignored with the box off
            {"A", "150", false, "", OK, ""}};
        for (const Case& k : cases) {
            const ProfileCheck c = CheckProfile(k.name, k.length, k.pauseOn, k.pause);
            QCOMPARE(int(c.field), k.field);
            QCOMPARE(c.ok, k.field == OK);
            QCOMPARE(c.text, k.text);
        }
    }

    // A profile read back from the file (hand-edited, damaged) is recorded only when sound.
    void storedTimes()
    {
        struct Case { QString length, pause; int recordSeconds, pauseSeconds; }; // 0 s: refused
        const QList<Case> cases = {
            {"150", "0", 9000, 0}, {"60", "", 3600, 0}, {"90.5", "45", 5400, 2700}, {"9999999999999", "0", 0, 0},
            {"abc", "0", 0, 0},    {"4", "0", 0, 0},    {"60", "-5", 0, 0},       {"60", "half", 0, 0}, {"60", "60", 0, 0}};
        for (const Case& k : cases) {
            const ProfileTimes t = CheckStoredProfile(k.length, k.pause);
            QVERIFY2(t.valid == (k.recordSeconds > 0), qPrintable(k.length + "/" + k.pause));
            QCOMPARE(t.recordSeconds, k.recordSeconds);
            QCOMPARE(t.pauseSeconds, k.pauseSeconds);
        }
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
        for (int i = 0; i < 2; ++i)
            QVERIFY(WriteProfile(file, i, make(QStringLiteral("P%1").arg(i), QString::number(60 + i), "0")));
        QVERIFY(WriteProfile(file, 2, Profile{"P2", "one\ntwo", "62", "30"}));
        QVERIFY(DeleteProfile(file, 1, 3));
        const ProfileList list = ReadProfileList(file);
        QCOMPARE(list.sections, QStringList({"Profile0", "Profile1"}));
        QCOMPARE(list.names, QStringList({"P0", "P2"}));
        const Profile moved = ReadProfile(file, 1);
        QCOMPARE(moved.recordLength + moved.description, QStringLiteral("62one\ntwo"));
        QVERIFY(DeleteProfile(file, 1, 2));
        QVERIFY(DeleteProfile(file, 0, 1));
        QVERIFY(ReadProfileList(file).names.isEmpty());
        QVERIFY(!DeleteProfile(file, 0, 0));
        QVERIFY(!DeleteProfile(file, -1, 1));
    }

    void lastUsedAndShippedSet()
    {
        QCOMPARE(ReadProfileList(file).lastUsed, 0);
        QVERIFY(QFile::exists(file)); // created by the read
        QVERIFY(StoreLastUsed(file, -1));
        QCOMPARE(ReadProfileList(file).lastUsed, -1);
        QVERIFY(QFile::remove(file));
        // The shipped set is copied only where the user has none.
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

        QVERIFY(WriteProfile(file, 2, make("D", "80", "0"))); // takes a free section
        QCOMPARE(ReadProfileList(file).listed, QStringList({"Profile0", "Profile2", "Profile3"}));
        QCOMPARE(XMLGetValue("RecordLength", "Profile2", file, ""), QStringLiteral("70"));
        QVERIFY(WriteProfile(file, 1, make("C2", "75", "0"))); // the second row is C
        QCOMPARE(XMLGetValue("ProfileName", "Profile2", file, ""), QStringLiteral("C2"));
        QCOMPARE(XMLGetValue("ProfileName", "Profile1", file, "none"), QStringLiteral("none"));
        QVERIFY(DeleteProfile(file, 1, 3)); // D moves into C2's section; the unnamed one stays
        list = ReadProfileList(file);
        QCOMPARE(list.names, QStringList({"A</B", "D"}));
        QCOMPARE(list.listed, QStringList({"Profile0", "Profile2"}));
        QCOMPARE(XMLGetValue("RecordLength", "Profile1", file, ""), QStringLiteral("99"));
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
            QVERIFY(!p.description.isEmpty() && !p.description.contains('\n'));
        }
        QCOMPARE(withPause, 5);
    }
};

QTEST_GUILESS_MAIN(TestProfiles)
#include "tst_profiles.moc"
