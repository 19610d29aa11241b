#include "settings/modXML.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace sv;

namespace {
const QString H = "<XML Version=\"Quarrydale\">";

QByteArray crlf(const QStringList& lines)
{
    QByteArray out;
    for (const QString& l : lines)
        out += l.toUtf8() + "\r\n";
    return out;
}

QString param(int indent, const QString& k, const QString& v)
{
    return QString(indent, ' ') + "<Param Name=\"" + k + "\" Value=\"" + v + "\" />";
}

// Runs f as an ordinary user: in a child without root's rights when the tests
// run as root (file permissions do not stop root), else directly.
int asOtherUser(const std::function<int()>& f)
{
    if (::geteuid() != 0)
        return f();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(f());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}
} // namespace

class TestXml : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString file;

    QByteArray contents() const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void write(const QByteArray& data)
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

private Q_SLOTS:
    void init()
    {
        file = env.tmp() + "store.xml";
        for (const QString& f : QDir(env.tmp()).entryList({"store.xml*"}, QDir::Files | QDir::System | QDir::Hidden))
            QFile::remove(env.tmp() + f);
        SetSettingsFile(file);
    }

    void missingFileIsCreatedAndDefaultReturned()
    {
        QCOMPARE(XMLGetValue("DrawScale", "Advanced\\Waveform", "", "20"), QString("20"));
        QCOMPARE(contents(), crlf({H, "</XML>"}));
    }

    void writesTheDocumentedLayout()
    {
        QVERIFY(XMLSetValue("20", "DrawScale", "Advanced\\Waveform", file));
        QCOMPARE(contents(), crlf({H, "<Advanced>", "     <Waveform>", param(10, "DrawScale", "20"), "     </Waveform>",
                                   "</Advanced>", "</XML>"}));
        // A second key goes before the section's end, five spaces in.
        QVERIFY(XMLSetValue("1", "MinRecordingLength", "Advanced\\Waveform", file));
        // Replacing a key writes it ten spaces in, in place.
        QVERIFY(XMLSetValue("35", "DrawScale", "advanced\\waveform", file));
        QCOMPARE(contents(), crlf({H, "<Advanced>", "     <Waveform>", param(10, "DrawScale", "35"),
                                   param(5, "MinRecordingLength", "1"), "     </Waveform>", "</Advanced>", "</XML>"}));
        QCOMPARE(XMLGetValue("DRAWSCALE", "ADVANCED\\WAVEFORM", "", "x"), QString("35"));
        QCOMPARE(XMLGetValue("MinRecordingLength", "\\Advanced\\Waveform\\", "", "x"), QString("1"));
    }

    void siblingSectionInsertedInsideParent()
    {
        QVERIFY(XMLSetValue("20", "DrawScale", "Advanced\\Waveform", file));
        QVERIFY(XMLSetValue("25", "Hiss", "Advanced\\Track Detection", file));
        QCOMPARE(contents(), crlf({H, "<Advanced>", "     <Waveform>", param(10, "DrawScale", "20"), "     </Waveform>",
                                   "     <Track Detection>", param(5, "Hiss", "25"), "     </Track Detection>",
                                   "</Advanced>", "</XML>"}));
        QCOMPARE(XMLGetValue("Hiss", "Advanced\\Track Detection", "", ""), QString("25"));
        QStringList list;
        XMLListSections(list, file);
        QCOMPARE(list, QStringList({"Advanced", "Advanced\\Waveform", "Advanced\\Track Detection"}));
    }

    void rootKeys()
    {
        QVERIFY(XMLSetValue("20", "DrawScale", "Advanced\\Waveform", file));
        QVERIFY(XMLSetValue("4", "FinishAction", "", file));
        QCOMPARE(contents().split('\n').at(1), QByteArray("<Param Name=\"FinishAction\" Value=\"4\" />\r"));
        QCOMPARE(XMLGetValue("FinishAction", "", "", "0"), QString("4"));
        QVERIFY(XMLSetValue("2", "FinishAction", "", file));
        QCOMPARE(XMLGetValue("FinishAction", "", "", "0"), QString("2"));
        // A root key is not found inside a section and vice versa.
        QCOMPARE(XMLGetValue("DrawScale", "", "", "none"), QString("none"));
    }

    void unanchoredSectionSearch()
    {
        QVERIFY(XMLSetValue("1", "TutorialActive", "Messages\\Tutorial", file));
        QCOMPARE(XMLGetValue("TutorialActive", "Tutorial", "", "0"), QString("1"));
        // A key only inside a sub-section is not the section's own.
        QCOMPARE(XMLGetValue("TutorialActive", "Messages", "", "no"), QString("no"));
        // The writer adds the key to the section itself, before the sub-section.
        QVERIFY(XMLSetValue("1", "VolumeMessage", "Messages", file));
        QCOMPARE(contents(), crlf({H, "<Messages>", param(0, "VolumeMessage", "1"), "     <Tutorial>",
                                   param(10, "TutorialActive", "1"), "     </Tutorial>", "</Messages>", "</XML>"}));
        QCOMPARE(XMLGetValue("VolumeMessage", "Messages", "", "0"), QString("1"));
    }

    void awkwardValues()
    {
        QVERIFY(XMLSetValue("12\" Single", "ProfileName", "Profile0", file));
        QCOMPARE(XMLGetValue("ProfileName", "Profile0", "", ""), QString("12\" Single"));
        QVERIFY(XMLSetValue("", "Empty", "Profile0", file));
        QCOMPARE(XMLGetValue("Empty", "Profile0", "", "d"), QString(""));
        const QString multi = QString("line one") + QChar(1) + "line two";
        QVERIFY(XMLSetValue(multi, "Description", "Profile0", file));
        QCOMPARE(XMLGetValue("Description", "Profile0", "", ""), multi);
        QVERIFY(XMLSetValue("Größe / ½", "Name", "Ünïcode", file));
        QCOMPARE(XMLGetValue("name", "üNÏCODE", "", ""), QString("Größe / ½"));
        QVERIFY(XMLSetValue("3", "MaxValue", "Profile0", file));
        QCOMPARE(XMLGetValue("MaxValue", "Profile0", "", ""), QString("3"));
        // Plain values look on disk as they always did.
        QVERIFY(contents().contains("<Param Name=\"ProfileName\" Value=\"12\" Single\" />\r\n"));
        QVERIFY(contents().contains("Value=\"line one\x01line two\""));
    }

    void lineEnds()
    {
        // LF (what a Linux editor writes), CR LF and CR all end a line.
        write(QByteArray("<XML Version=\"Quarrydale\">\n<A>\n<Param Name=\"K\" Value=\"lf\" />\n</A>\r\n"
                         "<B>\r<Param Name=\"K\" Value=\"cr\" />\r</B>\r\n</XML>\n"));
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("lf"));
        QCOMPARE(XMLGetValue("K", "B", "", ""), QString("cr"));
        QVERIFY(XMLSetValue("2", "J", "A", file));
        QCOMPARE(contents(), crlf({H, "<A>", "<Param Name=\"K\" Value=\"lf\" />", param(0, "J", "2"), "</A>", "<B>",
                                   "<Param Name=\"K\" Value=\"cr\" />", "</B>", "</XML>"}));
    }

    void deleteSection()
    {
        for (int i = 0; i < 3; ++i) {
            QVERIFY(XMLSetValue("P" + QString::number(i), "ProfileName", "Profile" + QString::number(i), file));
            QVERIFY(XMLSetValue("46", "RecordLength", "Profile" + QString::number(i), file));
        }
        QVERIFY(XMLSetValue("1", "LastUsed", "", file));
        QVERIFY(XMLDeleteSection("Profile1", file));
        // A new section's first key is indented, later ones are not: the
        // writer's own layout, kept so existing files stay byte-identical.
        QCOMPARE(contents(), crlf({H, param(0, "LastUsed", "1"), "<Profile0>", param(5, "ProfileName", "P0"),
                                   param(0, "RecordLength", "46"), "</Profile0>", "<Profile2>",
                                   param(5, "ProfileName", "P2"), param(0, "RecordLength", "46"), "</Profile2>",
                                   "</XML>"}));
        QVERIFY(!XMLDeleteSection("Profile1", file));
        QVERIFY(!XMLDeleteSection("", file));
        QStringList list;
        XMLListSections(list, file);
        QCOMPARE(list, QStringList({"Profile0", "Profile2"}));
    }

    void listSectionsOfMissingFileListsNothing()
    {
        QStringList list{"kept"};
        XMLListSections(list, env.tmp() + "none.xml");
        QCOMPARE(list, QStringList{"kept"});
        QVERIFY(!QFile::exists(env.tmp() + "none.xml"));
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty file") << QByteArray() << "def";
        QTest::newRow("truncated in section")
            << QByteArray("<XML Version=\"Quarrydale\">\r\n<A>\r\n<Param Name=\"K\" Val") << "";
        QTest::newRow("truncated before section") << QByteArray("<XML Version=\"Quarrydale\">\r\n<B") << "def";
        QTest::newRow("no header, key on first line")
            << QByteArray("<A>\r\n<Param Name=\"K\" Value=\"1\" />\r\n</A>\r\n</XML>\r\n") << "def";
        QTest::newRow("line without >") << QByteArray("<XML Version=\"Quarrydale\">\r\n<A>\r\ngarbage\r\n"
                                                      "<Param Name=\"K\" Value=\"1\" />\r\n</A>\r\n</XML>\r\n")
                                        << "";
        QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe<\r\r\n>>\x01", 10) << "def";
        QTest::newRow("section only on last line") << QByteArray("<XML Version=\"Quarrydale\">\r\n<A>") << "def";
        QTest::newRow("name without closing quote")
            << QByteArray("<XML Version=\"Quarrydale\">\r\n<A>\r\n<Param Name=\"K Value=1 />\r\n</A>\r\n</XML>") << "";
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        write(data);
        QCOMPARE(XMLGetValue("K", "A", "", "def"), expected);
        // Whatever the reader made of it, the writer never makes it worse: it
        // either stores the key or leaves the file as it was.
        const QByteArray before = contents();
        if (XMLSetValue("v", "K", "A", file)) {
            const QByteArray after = contents();
            QVERIFY(after.contains("<Param Name=\"K\" Value=\"v\" />"));
            if (!expected.isEmpty())
                QCOMPARE(XMLGetValue("K", "A", "", "def"), QString("v"));
        } else {
            QCOMPARE(contents(), before);
        }
        XMLGetInt("K", "A", "", 3); // must not crash
    }

    void elevenLevelsStopListing()
    {
        QStringList lines{H};
        for (int i = 0; i < 11; ++i)
            lines << "<L" + QString::number(i) + ">";
        for (int i = 10; i >= 0; --i)
            lines << "</L" + QString::number(i) + ">";
        lines << "<After>" << "</After>" << "</XML>";
        write(crlf(lines));
        QStringList list;
        XMLListSections(list, file);
        QCOMPARE(list.size(), 10);
        QCOMPARE(list.last(), QString("L0\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\L8\\L9"));
    }

    void numbers()
    {
        QVERIFY(XMLSetValue("abc", "DrawScale", "Advanced\\Waveform", file));
        QCOMPARE(XMLGetInt("DrawScale", "Advanced\\Waveform", "", 20), 20);
        QVERIFY(XMLSetValue("35.7", "DrawScale", "Advanced\\Waveform", file));
        QCOMPARE(XMLGetInt("DrawScale", "Advanced\\Waveform", "", 20), 35);
        QCOMPARE(XMLGetInt("Missing", "Advanced\\Waveform", "", 1500), 1500);
    }

    void interruptedWriteKeepsOldFile()
    {
        QVERIFY(XMLSetValue("20", "DrawScale", "Advanced\\Waveform", file));
        const QByteArray before = contents();
        // A temporary left by a crashed write must neither be read nor hurt.
        for (const QString& name : {file + ".tmp", file + ".tmp.Xy12Zq"}) {
            QFile tmp(name);
            QVERIFY(tmp.open(QIODevice::WriteOnly));
            tmp.write("half a file");
        }
        QCOMPARE(XMLGetValue("DrawScale", "Advanced\\Waveform", "", ""), QString("20"));
        QCOMPARE(contents(), before);
        QVERIFY(XMLSetValue("50", "DrawScale", "Advanced\\Waveform", file));
        QCOMPARE(XMLGetValue("DrawScale", "Advanced\\Waveform", "", ""), QString("50"));
        // Each write uses a temporary of its own, in place once it is complete;
        // one left by a killed writer is removed by the next.
        QCOMPARE(QDir(env.tmp()).entryList({"store.xml.tmp.*"}, QDir::Files | QDir::Hidden).size(), 0);
    }

    // Values the line format cannot hold as they are come back exactly.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("close tag") << "A</B";
        QTest::newRow("leading =") << "=x";
        QTest::newRow("leading quote") << "\"quoted\"";
        QTest::newRow("only a quote") << "\"";
        QTest::newRow("leading and trailing spaces") << "  padded  ";
        QTest::newRow("only spaces") << "   ";
        QTest::newRow("CR LF") << "a\r\nb\rc\nd";
        QTest::newRow("reference text") << "&#x41; stays text";
        QTest::newRow("value keyword") << "\" Value=\"x\" />";
        QTest::newRow("controls") << QString::fromUtf16(u"\u0000\u0002\t\u007f\u0001end", 8);
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "x";
        QTest::newRow("emoji") << QString::fromUtf8("\xF0\x9F\x8E\xB5 <tape> & more");
        QTest::newRow("tag-like") << "<Profile1>";
        QTest::newRow("byte-order mark first") << QString(QChar(0xFEFF)) + QChar(0xD9D8);
    }
    void roundTrip()
    {
        QFETCH(QString, value);
        QVERIFY(XMLSetValue(value, "ProfileName", "Profile0", file));
        QVERIFY(XMLSetValue("60", "RecordLength", "Profile0", file));
        QCOMPARE(XMLGetValue("ProfileName", "Profile0", "", "default"), value);
        // A second write replaces the key instead of adding it again.
        QVERIFY(XMLSetValue(value + "2", "ProfileName", "Profile0", file));
        QCOMPARE(XMLGetValue("ProfileName", "Profile0", "", "default"), value + "2");
        QCOMPARE(contents().count("ProfileName"), 1);
        QCOMPARE(XMLGetValue("RecordLength", "Profile0", "", ""), QString("60"));
        QStringList list;
        XMLListSections(list, file);
        QCOMPARE(list, QStringList{"Profile0"});
    }

    // Files written before values were escaped: a raw "</" in a value is
    // still that value, and writing the key again replaces its line.
    void olderFilesStillRead()
    {
        write(crlf({H, "<Profile0>", param(5, "ProfileName", "A</B"), param(0, "RecordLength", "60"), "</Profile0>",
                    "<Profile1>", param(5, "ProfileName", "C"), "</Profile1>", "</XML>"}));
        QCOMPARE(XMLGetValue("ProfileName", "Profile0", "", ""), QString("A</B"));
        QCOMPARE(XMLGetValue("RecordLength", "Profile0", "", ""), QString("60"));
        QVERIFY(XMLSetValue("D</E", "ProfileName", "Profile0", file));
        QCOMPARE(contents().count("ProfileName"), 2);
        QCOMPARE(XMLGetValue("ProfileName", "Profile0", "", ""), QString("D</E"));
        QCOMPARE(XMLGetValue("ProfileName", "Profile1", "", ""), QString("C"));
    }

    void unreadableFileIsNeverReplaced()
    {
        // A link that cannot be resolved exists but cannot be opened.
        QVERIFY(QFile::link("store.xml", file));
        QCOMPARE(XMLGetValue("K", "A", "", "def"), QString());
        QVERIFY(!XMLSetValue("v", "K", "A", file));
        QVERIFY(!XMLDeleteSection("A", file));
        QVERIFY(QFileInfo(file).isSymLink());
        QFile::remove(file);

        // A file of another user's, left unreadable (for example by a sudo run).
        write(crlf({H, param(0, "K", "mine"), "</XML>"}));
        const QByteArray before = contents();
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const int r = asOtherUser([this] {
            if (!XMLGetValue("K", "", file, "def").isEmpty())
                return 1;
            return XMLSetValue("x", "K", "", file) ? 2 : 0;
        });
        QCOMPARE(r, 0);
        QCOMPARE(contents(), before);
    }

    void cliGetCreatesNothing()
    {
        const QString cli = QCoreApplication::applicationDirPath() + "/sonivault-cli";
        QVERIFY2(QFile::exists(cli), "sonivault-cli is built with the tests");
        QProcess p;
        p.start(cli, {"xml", "get", "K", "A", file, "def"});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.readAllStandardOutput(), QByteArray("def\n"));
        QVERIFY(!QFile::exists(file));
    }

    void damagedFileKeptAside_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("zeros after a crash") << QByteArray(4096, '\0');
        QTest::newRow("no header") << QByteArray("<A>\r\n<Param Name=\"K\" Value=\"1\" />\r\n</A>\r\n</XML>\r\n");
        QTest::newRow("junk") << QByteArray("\x00\xff\xfe<\r\r\n>>\x01", 10);
    }
    void damagedFileKeptAside()
    {
        QFETCH(QByteArray, data);
        QStringList reports;
        SetDamagedFileHandler([&](const QString& f, const QString& kept) { reports << f + " -> " + kept; });
        write(data);
        QCOMPARE(XMLGetValue("K", "A", "", "def"), QString("def"));
        QCOMPARE(XMLGetValue("K", "A", "", "def"), QString("def"));
        QVERIFY(XMLSetValue("v", "K", "A", file));
        QCOMPARE(reports, QStringList{file + " -> " + file + ".damaged"});
        QFile kept(file + ".damaged");
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), data);
        // A second damaged file does not overwrite the first one kept.
        write(data);
        QVERIFY(XMLSetValue("w", "K", "A", file));
        QCOMPARE(reports.size(), 2);
        QVERIFY(QFile::exists(file + ".damaged.1"));
        QCOMPARE(XMLGetValue("K", "A", "", "def"), QString("w"));
        SetDamagedFileHandler({});
    }

    void invalidUtf8SurvivesRewrite()
    {
        const QByteArray odd = "<Param Name=\"Old\" Value=\"caf\xe9 \xff\xfe\" />";
        write(H.toUtf8() + "\r\n<A>\r\n" + odd + "\r\n</A>\r\n</XML>\r\n");
        QVERIFY(XMLSetValue("1", "New", "A", file));
        QVERIFY(XMLSetValue("2", "New", "A", file));
        QVERIFY(contents().contains("\r\n" + odd + "\r\n"));
    }

    // Another program's change is seen at once, however it was made.
    void changesByOthersAreSeen()
    {
        QVERIFY(XMLSetValue("1", "K", "A", file));
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("1"));
        auto edit = [this](const QByteArray& value, bool keepTimes) {
            QByteArray c = contents();
            const qsizetype at = c.indexOf("Value=\"") + 7;
            struct stat st {};
            ::stat(QFile::encodeName(file).constData(), &st);
            QFile f(file); // in place: same file, same size
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(at);
            f.write(value);
            f.close();
            if (keepTimes) {
                const timespec times[2] = {st.st_atim, st.st_mtim};
                QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
            }
        };
        edit("2", false);
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("2"));
        // A file untouched for an hour, then edited with its time stamp put back.
        const timespec old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), old, 0), 0);
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("2"));
        edit("3", true);
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("3"));
        // Replaced by another program's rename.
        const QString other = env.tmp() + "other.xml";
        QFile::remove(other);
        QVERIFY(XMLSetValue("4", "K", "A", other));
        QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(file).constData()) == 0);
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("4"));
    }

    // Several processes write different keys at once: every write reported as
    // stored is in the file at the end, and the file is whole.
    void concurrentWritersLoseNothing()
    {
        QVERIFY(XMLCreateFile(file));
        const int writers = 4, perWriter = 40;
        std::vector<pid_t> pids;
        for (int w = 0; w < writers; ++w) {
            const pid_t pid = ::fork();
            QVERIFY(pid >= 0);
            if (pid == 0) {
                int failed = 0;
                for (int i = 0; i < perWriter; ++i)
                    failed += !XMLSetValue(QString::number(i), QString("W%1_%2").arg(w).arg(i),
                                           i % 2 ? "Shared" : "Shared\\Sub", file);
                ::_exit(failed);
            }
            pids.push_back(pid);
        }
        for (pid_t pid : pids) {
            int status = 0;
            QCOMPARE(::waitpid(pid, &status, 0), pid);
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), 0);
        }
        const QByteArray c = contents();
        QVERIFY(c.startsWith(H.toUtf8() + "\r\n") && c.endsWith("\r\n</XML>\r\n"));
        QCOMPARE(c.count("</XML>"), 1);
        for (int w = 0; w < writers; ++w)
            for (int i = 0; i < perWriter; ++i)
                QCOMPARE(XMLGetValue(QString("W%1_%2").arg(w).arg(i), i % 2 ? "Shared" : "Shared\\Sub", "", "lost"),
                         QString::number(i));
    }
};

QTEST_GUILESS_MAIN(TestXml)
#include "test_xml.moc"
