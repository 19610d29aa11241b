#include "settings/modXML.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

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

// Runs f in a child process, as user nobody when asked (file permissions do
// not stop root); reap() gives its exit status.
pid_t spawn(const std::function<int()>& f, bool asNobody = false)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (asNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        ::_exit(f());
    }
    return pid;
}

int reap(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}
} // namespace

class TestXml : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString file;
    QStringList reports; // damaged files set aside

    QByteArray contents() const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void write(const QByteArray& data) { QVERIFY(!env.writeFile("store.xml", data).isEmpty()); }

private Q_SLOTS:
    void init()
    {
        file = env.tmp() + "store.xml";
        for (const QString& f : QDir(env.tmp()).entryList({"store.xml*"}, QDir::Files | QDir::System | QDir::Hidden))
            QFile::remove(env.tmp() + f);
        SetSettingsFile(file);
        reports.clear();
        SetDamagedFileHandler([this](const QString& f, const QString& kept) { reports << f + " -> " + kept; });
    }

    void writesTheDocumentedLayout()
    {
        QCOMPARE(XMLGetValue("DrawScale", "Advanced\\Waveform", "", "20"), QString("20"));
        QCOMPARE(contents(), crlf({H, "</XML>"}));
        QVERIFY(XMLSetValue("20", "DrawScale", "Advanced\\Waveform", file));
        QCOMPARE(contents(), crlf({H, "<Advanced>", "     <Waveform>", param(10, "DrawScale", "20"), "     </Waveform>",
                                   "</Advanced>", "</XML>"}));
        // A second key goes before the section's end, five spaces in; a
        // replaced key is written ten spaces in, in place; a sibling section
        // goes inside the parent.
        QVERIFY(XMLSetValue("1", "MinRecordingLength", "Advanced\\Waveform", file));
        QVERIFY(XMLSetValue("35", "DrawScale", "advanced\\waveform", file));
        QVERIFY(XMLSetValue("25", "Hiss", "Advanced\\Track Detection", file));
        QVERIFY(XMLSetValue("4", "FinishAction", "", file)); // root keys go first
        const QByteArray expected = crlf({H, param(0, "FinishAction", "4"), "<Advanced>", "     <Waveform>",
                                          param(10, "DrawScale", "35"), param(5, "MinRecordingLength", "1"),
                                          "     </Waveform>", "     <Track Detection>", param(5, "Hiss", "25"),
                                          "     </Track Detection>", "</Advanced>", "</XML>"});
        QCOMPARE(contents(), expected);
        QCOMPARE(XMLGetValue("DRAWSCALE", "ADVANCED\\WAVEFORM", "", "x"), QString("35"));
        QCOMPARE(XMLGetValue("MinRecordingLength", "\\Advanced\\Waveform\\", "", "x"), QString("1"));
        QCOMPARE(XMLGetValue("FinishAction", "", "", "0"), QString("4"));
        // A root key is not found inside a section and vice versa.
        QCOMPARE(XMLGetValue("DrawScale", "", "", "none"), QString("none"));
        QCOMPARE(XMLGetValue("FinishAction", "Advanced", "", "none"), QString("none"));
        QStringList list;
        XMLListSections(list, file);
        QCOMPARE(list, QStringList({"Advanced", "Advanced\\Waveform", "Advanced\\Track Detection"}));

        // The whole-file writer lays out the same values exactly alike.
        QVERIFY(XMLWriteFile(file, {{"DrawScale", "Advanced\\Waveform", "35"},
                                    {"MinRecordingLength", "Advanced\\Waveform", "1"},
                                    {"Hiss", "Advanced\\Track Detection", "25"}, {"FinishAction", "", "4"}}));
        QCOMPARE(contents(), expected);
    }

    void unanchoredSectionSearch()
    {
        QVERIFY(XMLSetValue("1", "TutorialActive", "Messages\\Tutorial", file));
        QCOMPARE(XMLGetValue("TutorialActive", "Tutorial", "", "0"), QString("1"));
        // A key only inside a sub-section is not the section's own.
        QCOMPARE(XMLGetValue("TutorialActive", "Messages", "", "no"), QString("no"));
        // The writer adds the key to the section itself, not to the sub-section.
        QVERIFY(XMLSetValue("1", "VolumeMessage", "Messages", file));
        QCOMPARE(XMLGetValue("VolumeMessage", "Messages", "", "0"), QString("1"));
        QCOMPARE(XMLGetValue("VolumeMessage", "Messages\\Tutorial", "", "no"), QString("no"));
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
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("keptAside"); // not a store file at all
        const QByteArray noHeader("<A>\r\n<Param Name=\"K\" Value=\"1\" />\r\n</A>\r\n</XML>\r\n");
        QTest::newRow("empty file") << QByteArray() << "def" << true;
        QTest::newRow("zeros after a crash") << QByteArray(4096, '\0') << "def" << true;
        QTest::newRow("no header, key on first line") << noHeader << "def" << true;
        QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe<\r\r\n>>\x01", 10) << "def" << true;
        QTest::newRow("truncated in section")
            << QByteArray("<XML Version=\"Quarrydale\">\r\n<A>\r\n<Param Name=\"K\" Val") << "" << false;
        QTest::newRow("line without >") << QByteArray("<XML Version=\"Quarrydale\">\r\n<A>\r\ngarbage\r\n"
                                                      "<Param Name=\"K\" Value=\"1\" />\r\n</A>\r\n</XML>\r\n")
                                        << "" << false;
        QTest::newRow("section only on last line") << QByteArray("<XML Version=\"Quarrydale\">\r\n<A>") << "def" << false;
        QTest::newRow("name without closing quote")
            << QByteArray("<XML Version=\"Quarrydale\">\r\n<A>\r\n<Param Name=\"K Value=1 />\r\n</A>\r\n</XML>") << ""
            << false;
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        QFETCH(bool, keptAside);
        write(data);
        QCOMPARE(XMLGetValue("K", "A", "", "def"), expected);
        if (keptAside) {
            // Moved aside once, byte for byte, and a new file started.
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
            return;
        }
        // Whatever the reader made of it, the writer never makes it worse: it
        // either stores the key or leaves the file as it was.
        const QByteArray before = contents();
        if (XMLSetValue("v", "K", "A", file)) {
            QVERIFY(contents().contains("<Param Name=\"K\" Value=\"v\" />"));
            if (!expected.isEmpty())
                QCOMPARE(XMLGetValue("K", "A", "", "def"), QString("v"));
        } else {
            QCOMPARE(contents(), before);
        }
        QVERIFY(reports.isEmpty());
    }

    // A temporary left by a crashed write is neither read nor harmful, and
    // the next write removes the store's own kind.
    void interruptedWriteKeepsOldFile()
    {
        QVERIFY(XMLSetValue("20", "DrawScale", "Advanced\\Waveform", file));
        const QByteArray before = contents();
        QVERIFY(!env.writeFile("store.xml.tmp", "half a file").isEmpty());
        QVERIFY(!env.writeFile("store.xml.tmp.Xy12Zq", "half a file").isEmpty());
        QCOMPARE(XMLGetValue("DrawScale", "Advanced\\Waveform", "", ""), QString("20"));
        QCOMPARE(contents(), before);
        QVERIFY(XMLSetValue("50", "DrawScale", "Advanced\\Waveform", file));
        QCOMPARE(XMLGetValue("DrawScale", "Advanced\\Waveform", "", ""), QString("50"));
        QCOMPARE(QDir(env.tmp()).entryList({"store.xml.tmp.*"}, QDir::Files | QDir::Hidden).size(), 0);
    }

    // Every value comes back exactly; plain ones look on disk as they always
    // did (stored), and only what the line format cannot hold is escaped.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("close tag") << "A</B" << QByteArray();
        QTest::newRow("leading =") << "=x" << QByteArray("&#x3D;x");
        QTest::newRow("leading quote") << "\"quoted\"" << QByteArray();
        QTest::newRow("leading and trailing spaces") << "  padded  " << QByteArray("&#x20; padded &#x20;");
        QTest::newRow("CR LF") << "a\r\nb\rc\nd" << QByteArray("a&#xD;&#xA;b&#xD;c&#xA;d");
        QTest::newRow("reference text") << "&#x41; stays text" << QByteArray();
        QTest::newRow("value keyword") << "\" Value=\"x\" />" << QByteArray();
        QTest::newRow("controls") << QString::fromUtf16(u"\u0000\u0002\t\u007f\u0001end", 8) << QByteArray();
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "x" << QByteArray();
        QTest::newRow("emoji") << QString::fromUtf8("\xF0\x9F\x8E\xB5 <tape> & more") << QByteArray();
        QTest::newRow("byte-order mark first") << QString(QChar(0xFEFF)) + QChar(0xD9D8) << QByteArray();
        QTest::newRow("quote inside") << "12\" Single" << QByteArray("12\" Single");
        QTest::newRow("empty") << "" << QByteArray("");
        QTest::newRow("stored line break") << QString("line one") + QChar(1) + "line two"
                                           << QByteArray("line one\x01line two");
        QTest::newRow("non-ASCII") << "Größe / ½" << QByteArray("Größe / ½");
    }
    void roundTrip()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, stored);
        QVERIFY(XMLSetValue(value, "ProfileName", "Ünïcode", file));
        QVERIFY(XMLSetValue("60", "MaxValue", "Ünïcode", file)); // a name holding "Value"
        QCOMPARE(XMLGetValue("profilename", "üNÏCODE", "", "default"), value);
        if (!stored.isNull())
            QVERIFY(contents().contains("<Param Name=\"ProfileName\" Value=\"" + stored + "\" />\r\n"));
        // A second write replaces the key instead of adding it again.
        QVERIFY(XMLSetValue(value + "2", "ProfileName", "Ünïcode", file));
        QCOMPARE(XMLGetValue("ProfileName", "Ünïcode", "", "default"), value + "2");
        QCOMPARE(contents().count("ProfileName"), 1);
        QCOMPARE(XMLGetValue("MaxValue", "Ünïcode", "", ""), QString("60"));
        QStringList list;
        XMLListSections(list, file);
        QCOMPARE(list, QStringList{"Ünïcode"});
    }

    // Files written before values were escaped: a raw "</" in a value is
    // still that value, writing the key again replaces its line, and bytes
    // that are not UTF-8 are kept as they were.
    void olderFilesStillRead()
    {
        const QByteArray odd = "<Param Name=\"Old\" Value=\"caf\xe9 \xff\xfe\" />";
        write(crlf({H, "<Profile0>"}) + odd + "\r\n"
              + crlf({param(5, "ProfileName", "A</B"), param(0, "RecordLength", "60"), "</Profile0>", "<Profile1>",
                      param(5, "ProfileName", "C"), "</Profile1>", "</XML>"}));
        QCOMPARE(XMLGetValue("ProfileName", "Profile0", "", ""), QString("A</B"));
        QCOMPARE(XMLGetValue("RecordLength", "Profile0", "", ""), QString("60"));
        QVERIFY(XMLSetValue("D</E", "ProfileName", "Profile0", file));
        QCOMPARE(contents().count("ProfileName"), 2);
        QCOMPARE(XMLGetValue("ProfileName", "Profile0", "", ""), QString("D</E"));
        QCOMPARE(XMLGetValue("ProfileName", "Profile1", "", ""), QString("C"));
        QVERIFY(contents().contains("\r\n" + odd + "\r\n"));
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
        const std::function<int()> otherUser = [this] {
            if (!XMLGetValue("K", "", file, "def").isEmpty())
                return 1;
            return XMLSetValue("x", "K", "", file) ? 2 : 0;
        };
        QCOMPARE(::geteuid() == 0 ? reap(spawn(otherUser, true)) : otherUser(), 0);
        QCOMPARE(contents(), before);
    }

    // Reading without creating (the CLI, the section list) leaves no file behind.
    void readingCreatesNothing()
    {
        QStringList list{"kept"};
        XMLListSections(list, file);
        QCOMPARE(list, QStringList{"kept"});
        const QString cli = QCoreApplication::applicationDirPath() + "/sonivault-cli";
        QVERIFY2(QFile::exists(cli), "sonivault-cli is built with the tests");
        QProcess p;
        p.start(cli, {"xml", "get", "K", "A", file, "def"});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.readAllStandardOutput(), QByteArray("def\n"));
        QVERIFY(!QFile::exists(file));
    }

    // Another program's change is seen at once, however it was made: in place
    // at the same size, with the time stamp put back, or by a rename.
    void changesByOthersAreSeen()
    {
        QVERIFY(XMLSetValue("1", "K", "A", file));
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("1")); // now cached
        const QByteArray native = QFile::encodeName(file);
        const qsizetype at = contents().indexOf("Value=\"") + 7;
        auto edit = [&](char value) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(at) && f.putChar(value));
        };
        edit('2');
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("2"));
        // A file untouched for an hour, then edited with its time stamp put back.
        const timespec old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, native.constData(), old, 0), 0);
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("2"));
        edit('3');
        QCOMPARE(::utimensat(AT_FDCWD, native.constData(), old, 0), 0);
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("3"));
        const QString other = env.tmp() + "other.xml";
        QFile::remove(other);
        QVERIFY(XMLSetValue("4", "K", "A", other));
        QCOMPARE(::rename(QFile::encodeName(other).constData(), native.constData()), 0);
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("4"));
    }

    // Several processes write different keys at once: every write reported as
    // stored is in the file at the end, and the file is whole.
    void concurrentWritersLoseNothing()
    {
        QVERIFY(XMLCreateFile(file));
        const int writers = 4, perWriter = 40;
        std::vector<pid_t> pids;
        for (int w = 0; w < writers; ++w)
            pids.push_back(spawn([&, w] {
                int failed = 0;
                for (int i = 0; i < perWriter; ++i)
                    failed += !XMLSetValue(QString::number(i), QString("W%1_%2").arg(w).arg(i),
                                           i % 2 ? "Shared" : "Shared\\Sub", file);
                return failed;
            }));
        for (pid_t pid : pids)
            QCOMPARE(reap(pid), 0);
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
