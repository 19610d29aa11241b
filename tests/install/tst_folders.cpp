// Where the program finds its data and helper programs: beside itself in the
// build folder, in share/ and libexec/ beside bin/ once installed. The test
// copies itself into a fake prefix and asks the copy where it looks.
#include "support/TestEnv.h"
#include "util/modFunctions.h"

#include <QtTest>

namespace {

// The copy's answers, one a line: data folder, helper folder, the helpers found.
int printFolders()
{
    QTextStream out(stdout);
    out << sv::DataFolder() << '\n' << sv::HelperFolder() << '\n';
    for (const char* name : {"wm8eutil", "cdburner", "lame"})
        out << sv::FindHelper(QString::fromLatin1(name)) << '\n';
    return 0;
}

bool makeExecutable(const QString& path, bool executable = true)
{
    QFile f(path);
    const QFile::Permissions p = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    return f.open(QIODevice::WriteOnly) && f.write("#!/bin/sh\nexit 0\n") > 0
           && f.setPermissions(executable ? p | QFileDevice::ExeOwner : p);
}

} // namespace

class TestFolders : public QObject {
    Q_OBJECT
    svtest::TestEnv m_env;

    // Runs a copy of this program from folder bin with a PATH of its own.
    QStringList askCopy(const QString& bin, const QString& path)
    {
        const QString copy = bin + QStringLiteral("/sonivault");
        QFile::remove(copy);
        if (!QFile::copy(QCoreApplication::applicationFilePath(), copy))
            return {QStringLiteral("cannot copy the test program")};
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), path);
        p.setProcessEnvironment(env);
        p.start(copy, {QStringLiteral("--print-folders")});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return {QStringLiteral("the copy failed: ") + QString::fromLocal8Bit(p.readAllStandardError())};
        return QString::fromLocal8Bit(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    }

private Q_SLOTS:
    void buildFolderKeepsEverythingBesideTheProgram()
    {
        const QString bin = m_env.root() + "/build/bin";
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(makeExecutable(bin + "/wm8eutil"));
        // A helper that cannot be run is not taken for one.
        QVERIFY(makeExecutable(bin + "/cdburner", false));
        QCOMPARE(askCopy(bin, "/nonexistent").mid(0, 5),
                 (QStringList{bin + "/", bin + "/", bin + "/wm8eutil", QString(), QString()}));
    }

    void installedCopyLooksInShareAndLibexec()
    {
        const QString prefix = m_env.root() + "/prefix with space", bin = prefix + "/bin";
        const QString helpers = prefix + "/libexec/sonivault", pathDir = m_env.root() + "/path";
        for (const QString& d : {bin, helpers, prefix + "/share/sonivault", pathDir})
            QVERIFY(QDir().mkpath(d));
        // A stray helper beside the installed program is not used; lame comes from PATH.
        for (const QString& exe : {helpers + "/wm8eutil", helpers + "/cdburner", bin + "/lame", pathDir + "/lame",
                                   pathDir + "/cdburner"})
            QVERIFY(makeExecutable(exe));
        QCOMPARE(askCopy(bin, pathDir).mid(0, 5), (QStringList{prefix + "/share/sonivault/", helpers + "/",
                                                               helpers + "/wm8eutil", helpers + "/cdburner",
                                                               pathDir + "/lame"}));
        // Data installed, helpers not (a partial copy): each falls back on its own.
        QVERIFY(QDir(helpers).removeRecursively());
        QCOMPARE(askCopy(bin, "/nonexistent").mid(0, 2), (QStringList{prefix + "/share/sonivault/", bin + "/"}));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--print-folders") == 0)
        return printFolders();
    TestFolders t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_folders.moc"
