#include "support/TestEnv.h"
#include "support/TestRequire.h"
#include "util/modFunctions.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace sv;

class TestFunctions : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

private Q_SLOTS:
    // Times and sizes as the pages show them.
    void formats()
    {
        const QList<QPair<int, QString>> times = {
            {0, "0:00"}, {9, "0:09"}, {599, "9:59"}, {600, "10:00"}, {3599, "59:59"}, {3661, "1:01:01"}, {-5, "0:00"},
            // Long takes (low rates, mono) pass the 16-bit range and still read true.
            {32768, "9:06:08"}, {100000, "27:46:40"}};
        for (const auto& [seconds, text] : times)
            QCOMPARE(FormatTime(seconds), text);
        // 1024 stays bytes, 1 GiB is 1024 MB, a 92-minute profile, no division past GB.
        const QList<QPair<double, QString>> sizes = {
            {700, "700 bytes"}, {1024, "1024 bytes"}, {1536, "1.5 KB"}, {1073741824.0, "1024 MB"},
            {1218029400.0, "1.13 GB"}, {5.0 * 1099511627776.0, "5120 GB"}};
        for (const auto& [bytes, text] : sizes)
            QCOMPARE(FormatBytes(bytes), text);
    }

    void numbersAndNames()
    {
        QCOMPARE(RoundTo(1.125, 2), 1.13);
        QCOMPARE(RoundTo(-2.5, 0), -2.0);
        QCOMPARE(Val("  3.5 min"), 3.5);
        QCOMPARE(Val("abc"), 0.0);
        QCOMPARE(Val("1e3"), 1000.0);
        for (const char* number : {"12", " 3.5", "1e3"})
            QVERIFY2(!NotNumeric(number), number);
        for (const char* text : {"", "abc", "5 min"})
            QVERIFY2(NotNumeric(text), text);
        QCOMPARE(LeadingInt("20.9", 7), 20);
        QCOMPARE(LeadingInt("", 7), 7);
        QCOMPARE(LeadingInt("junk", 7), 7);
        QCOMPARE(LeadingInt("99999999999", 7), 7);
        QCOMPARE(ShortNumber(1.5), QString("1.5"));
        QCOMPARE(AddSlash(""), QString(""));
        QCOMPARE(AddSlash("/rec/"), QString("/rec/"));
        QCOMPARE(GetFileNameFromPath("/a/b/Track 1.wav"), QString("Track 1.wav"));
        QCOMPARE(GetFileNameFromPath("/a/b/"), QString(""));
        QCOMPARE(SafeFilename("AC/DC: Back?"), QString("ACDC Back"));
        QCOMPARE(SafeFilename("\\/?:*\"<>|"), QString(""));
        QCOMPARE(SafeFilename("12\" Single. v2"), QString("12 Single. v2"));
    }

    void writeableProbeLeavesUserFilesAlone()
    {
        const QString dir = env.tmp() + "w";
        QVERIFY(QDir().mkpath(dir));
        // A file named like the old probe must survive the check untouched.
        QVERIFY(!env.writeFile("w/test.txt", "the user's notes").isEmpty());
        QVERIFY(IsFolderWriteable(dir) && IsFolderWriteable(dir + "/"));
        QFile again(dir + "/test.txt");
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), QByteArray("the user's notes"));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QVERIFY(!IsFolderWriteable("") && !IsFolderWriteable(dir + "/missing"));

        // A folder the user may not write into, beside one open to all: the
        // check answers for the user, also when the tests run as root.
        const QString ro = env.tmp() + "ro";
        const QString open = env.tmp() + "open";
        QVERIFY(QDir().mkpath(ro) && QDir().mkpath(open));
        QVERIFY(::chmod(qPrintable(ro), 0555) == 0 && ::chmod(qPrintable(open), 0777) == 0);
        QVERIFY(svtest::OpenToOthers(env.root(), env.tmp()));
        {
            svtest::AsOrdinaryUser user;
            QVERIFY(user.ok());
            QVERIFY(!IsFolderWriteable(ro));
            QVERIFY(IsFolderWriteable(open));
        }
        QCOMPARE(QDir(ro).entryList(QDir::Files | QDir::Hidden).size(), 0);
        QCOMPARE(QDir(open).entryList(QDir::Files | QDir::Hidden).size(), 0);
        ::chmod(qPrintable(ro), 0755);
    }

    void folders()
    {
        const QString data = UserDataFolder();
        QVERIFY(data.endsWith("/Velmora/Sonivault/"));
        QVERIFY(data.startsWith(env.root()));
        QVERIFY(FolderExists(data) && !FolderExists(data + "missing") && !FolderExists(""));
        QVERIFY(TempFolder().endsWith('/'));
        const QString file = env.writeFile("a.txt", "x");
        QVERIFY(FileExists(file) && !FileExists(env.tmp()));
        DeleteFileQuiet(file);
        QVERIFY(!FileExists(file));
        DeleteFileQuiet(file); // a missing file is no error
        QVERIFY(GetFreeSpaceOf(env.tmp()) > 0);
        // A folder that does not exist yet is measured on its parent's volume.
        QVERIFY(GetFreeSpaceOf(env.tmp() + "not/yet/there") > 0);
    }
};

QTEST_GUILESS_MAIN(TestFunctions)
#include "test_functions.moc"
