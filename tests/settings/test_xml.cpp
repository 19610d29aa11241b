#include "settings/modXML.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

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
        QFile::remove(file);
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
        // A line break cannot be stored on one line: refused, file unchanged.
        const QByteArray before = contents();
        QVERIFY(!XMLSetValue("a\r\nb", "Bad", "Profile0", file));
        QCOMPARE(contents(), before);
    }

    void lineEnds()
    {
        // CR alone ends a line; LF alone is part of the text.
        write(QByteArray("<XML Version=\"Quarrydale\">\r<A>\r<Param Name=\"K\" Value=\"x\ny\" />\r</A>\r</XML>"));
        QCOMPARE(XMLGetValue("K", "A", "", ""), QString("x\ny"));
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
        QTest::newRow("empty file") << QByteArray() << "";
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
        // A stale temporary from a crashed write must neither be read nor hurt.
        QFile tmp(file + ".tmp");
        QVERIFY(tmp.open(QIODevice::WriteOnly));
        tmp.write("half a file");
        tmp.close();
        QCOMPARE(XMLGetValue("DrawScale", "Advanced\\Waveform", "", ""), QString("20"));
        QCOMPARE(contents(), before);
        QVERIFY(XMLSetValue("50", "DrawScale", "Advanced\\Waveform", file));
        QCOMPARE(XMLGetValue("DrawScale", "Advanced\\Waveform", "", ""), QString("50"));
        QVERIFY(!QFile::exists(file + ".tmp"));

        // When the temporary cannot be written the old file stays whole.
        QVERIFY(QDir().mkpath(file + ".tmp"));
        QVERIFY(!XMLSetValue("99", "DrawScale", "Advanced\\Waveform", file));
        QCOMPARE(XMLGetValue("DrawScale", "Advanced\\Waveform", "", ""), QString("50"));
        QDir(file + ".tmp").removeRecursively();
    }

    void writeIsAtomicUnderKill()
    {
        // Kill a child in the middle of a stream of writes many times: the file
        // is always either the old or a new complete document.
        const QString cli = QCoreApplication::applicationDirPath() + "/sonivault-cli";
        if (!QFile::exists(cli))
            QSKIP("sonivault-cli not built");
        QVERIFY(XMLSetValue("0", "Counter", "A", file));
        for (int round = 0; round < 15; ++round) {
            QProcess p;
            // Own process group, so the kill reaches the CLI child too.
            p.start("setsid", {"/bin/sh", "-c", QString("i=0; while :; do i=$((i+1)); \"%1\" xml set $i Counter A \"%2\" || exit 1; done")
                                         .arg(cli, file)});
            QVERIFY(p.waitForStarted());
            QTest::qWait(20 + round * 7);
            ::kill(-pid_t(p.processId()), SIGKILL);
            p.waitForFinished();
            QTest::qWait(20);
            const QByteArray c = contents();
            QVERIFY2(c.startsWith(H.toUtf8() + "\r\n") && c.endsWith("</XML>\r\n"), c.constData());
            QVERIFY(!XMLGetValue("Counter", "A", "", "").isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestXml)
#include "test_xml.moc"
