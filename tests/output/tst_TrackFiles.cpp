// The track index, the split transaction, track file clean-up, save-location
// checks and the copy of finished files into the save folder, in the core and
// through sonivault-cli.
#include "output/CopyJob.h"
#include "output/FileOperation.h"
#include "output/RecordingSession.h"
#include "output/SplitJob.h"
#include "output/TrackFiles.h"
#include "settings/modXML.h"
#include "output/SmallDisk.h"
#include "support/TestEnv.h"
#include "tracks/modWaveSplit.h"
#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <cerrno>
#include <numeric>

#include <unistd.h>

using namespace sv;

class TestTrackFiles : public QObject {
    Q_OBJECT
    svtest::TestEnv env;
    QString rec;   // recording folder, with its trailing slash
    QString dest;  // a save folder

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Distinct content per track, so a mixed-up copy shows.
    static QByteArray content(int track, qint64 size)
    {
        QByteArray b(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            b[i] = char((i * 31 + track * 7) & 0xFF);
        return b;
    }
    // Track files 1..n in the recording folder, each of `size` bytes.
    QStringList tracks(int n, qint64 size)
    {
        QStringList files;
        for (int i = 1; i <= n; ++i) {
            writeFile(TrackFilePath(rec, i), content(i, size));
            files << TrackFilePath(rec, i);
        }
        return files;
    }
    // A folder nothing can be written to, even by root.
    QString readOnlyFolder()
    {
        if (::geteuid() == 0)
            return QStringLiteral("/proc");
        const QString ro = env.root() + "/readonly";
        QDir().mkpath(ro);
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        return ro;
    }

    int cli(const QStringList& args)
    {
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/sonivault-cli", args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        SetSettingsFile(env.dataFolder() + "settings.xml");
        QDir().mkpath(env.dataFolder());
    }
    void init()
    {
        rec = env.root() + "/rec " + QString::fromLatin1(QTest::currentTestFunction()) + "/";
        dest = env.root() + "/dest " + QString::fromLatin1(QTest::currentTestFunction());
        QDir(rec).removeRecursively();
        QDir(dest).removeRecursively();
        QVERIFY(QDir().mkpath(rec));
        QVERIFY(QDir().mkpath(dest));
    }

    // The files of a folder in plain byte order.
    static QStringList names(const QString& folder)
    {
        QStringList l = QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden);
        std::sort(l.begin(), l.end());
        return l;
    }

    // A recording of `seconds` seconds at 1000 Hz, mono 16-bit, each frame
    // holding its own index, and its header.
    WaveHeader recording(const QString& path, int seconds)
    {
        QByteArray b = QByteArray::fromHex("52494646000000005741564566" "6d74201000000001000100e8030000d007000002001000"
                                           "6461746100000000");
        const qint64 frames = qint64(seconds) * 1000;
        qToLittleEndian<quint32>(quint32(frames * 2), b.data() + 40);
        for (qint64 k = 0; k < frames; ++k) {
            const quint16 v = quint16(k);
            b.append(char(v & 0xff)).append(char(v >> 8));
        }
        writeFile(path, b);
        WaveHeader h;
        [&] { QCOMPARE(ReadWaveHeader(path, h), WaveStatus::Ok); }();
        return h;
    }

    // A new split replaces the tracks the old index lists, and only those;
    // the index gives exact frames beside the whole seconds.
    void splitReplacesTheIndexedSet()
    {
        const WaveHeader h = recording(dest + "/rec.wav", 10);
        QCOMPARE(SplitRecording(h, {{0, 1000}, {1000, 1000}, {2000, 1000}, {3000, 1000}, {4000, 1000}}, rec, 4096)
                     .status,
                 WaveStatus::Ok);
        writeFile(rec + "Track 9.wav", "not listed");
        writeFile(rec + "track 1.wav", "other spelling");
        const SplitResult r = SplitRecording(h, {{1600, 1050}, {2650, 7350}}, rec, 4096);
        QCOMPARE(r.status, WaveStatus::Ok);
        QCOMPARE(r.files, (QStringList{rec + "Track 1.wav", rec + "Track 2.wav"}));
        for (int i = 3; i <= 5; ++i)
            QVERIFY(!QFile::exists(TrackFilePath(rec, i)));
        QCOMPARE(readFile(rec + "Track 9.wav"), QByteArray("not listed"));
        QCOMPARE(readFile(rec + "track 1.wav"), QByteArray("other spelling"));
        QCOMPARE(QDir(rec).entryList({"*.part", "recording.xml.*"}, QDir::Files), QStringList());
        const QString index = RecordingIndexPath(rec);
        QCOMPARE(XMLGetValue("Tracks", "", index, ""), QStringLiteral("2"));
        QCOMPARE(XMLGetValue("Start", "Track1", index, ""), QStringLiteral("2"));
        QCOMPARE(XMLGetValue("Length", "Track1", index, ""), QStringLiteral("1")); // 1.6 s .. 2.65 s
        QCOMPARE(XMLGetValue("StartFrame", "Track1", index, ""), QStringLiteral("1600"));
        QCOMPARE(XMLGetValue("Frames", "Track1", index, ""), QStringLiteral("1050"));
        QCOMPARE(XMLGetValue("StartFrame", "Track2", index, ""), QStringLiteral("2650"));
        QCOMPARE(readFile(rec + "Track 2.wav").mid(44, 4), QByteArray::fromHex("5a0a5b0a")); // frame 2650
        // A marker past the end of the audio: the index says what the file holds.
        QCOMPARE(SplitRecording(h, {{9500, 1000}}, rec, 4096).status, WaveStatus::Ok);
        QCOMPARE(XMLGetValue("Frames", "Track1", index, ""), QStringLiteral("500"));
        QCOMPARE(QFileInfo(TrackFilePath(rec, 1)).size(), 44 + 1000);
    }

    // A kill before the commit leaves the old set (its parts are removed by
    // the next split); a kill after it is finished by the next split.
    void interruptedSplitIsRecovered()
    {
        const WaveHeader h = recording(dest + "/rec.wav", 4);
        QCOMPARE(SplitRecording(h, {{0, 1000}, {1000, 1000}, {2000, 1000}}, rec, 4096).status, WaveStatus::Ok);
        const QByteArray old2 = readFile(TrackFilePath(rec, 2));
        const QVector<FrameSpan> next{{0, 2000}, {2000, 2000}};
        // Uncommitted: parts and a half-written next index.
        QCOMPARE(SplitAllSpans(h, next, rec, 4096, {}, true).status, WaveStatus::Ok);
        writeFile(rec + "recording.xml.next", "<XML");
        QVERIFY(RecoverSplit(rec));
        QCOMPARE(names(rec), (QStringList{"Track 1.wav", "Track 2.wav", "Track 3.wav", "recording.xml"}));
        QCOMPARE(readFile(TrackFilePath(rec, 2)), old2);
        // Committed, killed after the first rename.
        QCOMPARE(SplitAllSpans(h, next, rec, 4096, {}, true).status, WaveStatus::Ok);
        QVERIFY(WriteRecordingIndex(rec + "recording.xml.new", rec, next, 1000));
        QCOMPARE(::rename(QFile::encodeName(rec + "Track 1.wav.part"), QFile::encodeName(rec + "Track 1.wav")), 0);
        QVERIFY(RecoverSplit(rec));
        QCOMPARE(names(rec), (QStringList{"Track 1.wav", "Track 2.wav", "recording.xml"}));
        QCOMPARE(XMLGetValue("Tracks", "", RecordingIndexPath(rec), ""), QStringLiteral("2"));
        QCOMPARE(QFileInfo(TrackFilePath(rec, 2)).size(), 44 + 4000);
    }

    // A recording named like an output (or its part) is refused before
    // anything is written: nothing truncated, nothing removed.
    void outputThatIsTheRecordingIsRefused()
    {
        for (const QString name : {"Track 1.wav", "Track 2.wav.part", "recording.xml.next"}) {
            const WaveHeader h = recording(rec + name, 3);
            const QByteArray before = readFile(rec + name);
            const SplitResult r = SplitRecording(h, {{0, 1000}, {1000, 1000}}, rec, 4096);
            QCOMPARE(r.status, WaveStatus::SameAsInput);
            QVERIFY2(r.error.contains(name), qPrintable(r.error));
            QCOMPARE(readFile(rec + name), before);
            QCOMPARE(names(rec), QStringList{name});
            QFile::remove(rec + name);
        }
        // Through a second name for the same folder too.
        const WaveHeader h = recording(rec + "Track 1.wav", 3);
        QVERIFY(QFile::link(QDir::cleanPath(rec), dest + "/alias"));
        QCOMPARE(SplitRecording(h, {{0, 1000}}, dest + "/alias", 4096).status, WaveStatus::SameAsInput);
    }

    // A session that recorded to rec, split into two tracks, with the
    // recording itself still there.
    void splitSession(RecordingSession& session, const WaveHeader& h)
    {
        writeFile(rec + "recording.wav", "raw");
        session.startRecording(rec + "recording.wav");
        QVERIFY(!QFile::exists(rec + "recording.wav")); // a new take replaces the old one
        writeFile(rec + "recording.wav", "raw");
        QCOMPARE(SplitRecording(h, {{0, 1000}, {1000, 2000}}, rec, 4096).status, WaveStatus::Ok);
        session.splitDone(2);
        QVERIFY(!QFile::exists(rec + "recording.wav"));
        QCOMPARE(session.trackFiles(), (QStringList{TrackFilePath(rec, 1), TrackFilePath(rec, 2)}));
    }

    // WAV copies saved into the recording folder are the track files: no
    // deletion path of the session removes them, nor does a later split.
    void deliveredFilesSurviveEveryDeletion()
    {
        const WaveHeader h = recording(dest + "/rec.wav", 3);
        RecordingSession session;
        splitSession(session, h);
        session.delivered(DeliveryKind::Wav, RemoveSlash(rec), session.trackFiles());
        QVERIFY(IsDelivered(session.indexPath()));
        const QByteArray kept = readFile(TrackFilePath(rec, 1));
        session.discardRecording();
        session.clear();
        session.startRecording(rec + "recording.wav");
        session.adoptRecording(rec + "recording.wav");
        session.splitDone(2);
        session.clear();
        QCOMPARE(readFile(TrackFilePath(rec, 1)), kept);
        QVERIFY(QFile::exists(TrackFilePath(rec, 2)));
        // A fresh session of a later run learns it from the index.
        RecordingSession later;
        later.adoptRecording(rec + "recording.wav");
        later.splitDone(2);
        later.clear();
        QVERIFY(QFile::exists(TrackFilePath(rec, 1)) && QFile::exists(TrackFilePath(rec, 2)));
        const SplitResult r = SplitRecording(h, {{0, 500}}, rec, 4096);
        QCOMPARE(r.status, WaveStatus::CreateFailed);
        QVERIFY2(r.error.contains("saved tracks"), qPrintable(r.error));
        QCOMPARE(readFile(TrackFilePath(rec, 1)), kept);

        // Copies delivered elsewhere stay, while the track files go; a copy
        // whose name is a track file's is delivered all the same.
        init();
        session = RecordingSession();
        splitSession(session, recording(dest + "/rec.wav", 3));
        const QString copy = dest + "/Track 1.wav";
        writeFile(copy, "delivered");
        session.delivered(DeliveryKind::Wav, dest, {copy});
        session.delivered(DeliveryKind::Flac, dest, {dest + "/Track 2.flac"});
        session.clear();
        QVERIFY(!QFile::exists(TrackFilePath(rec, 1)) && !QFile::exists(TrackFilePath(rec, 2)));
        QCOMPARE(readFile(copy), QByteArray("delivered"));
        // Even a recording path that points at a delivered file.
        session.startRecording(copy);
        session.discardRecording();
        session.clear();
        QCOMPARE(readFile(copy), QByteArray("delivered"));
    }

    // A full disk names itself, and leaves the old set as it was; so does
    // an index that cannot be written.
    void fullDiskKeepsTheOldSet()
    {
        svtest::SmallDisk disk(env.root() + "/small", 256 * 1024);
        SV_REQUIRE_MOUNTED(disk);
        const QString folder = disk.path + "/";
        const WaveHeader h = recording(dest + "/rec.wav", 200); // 400 KB
        QCOMPARE(SplitRecording(h, {{0, 10000}}, folder, 4096).status, WaveStatus::Ok);
        const QByteArray old = readFile(folder + "Track 1.wav");
        const SplitResult r = SplitRecording(h, {{0, 100000}, {100000, 100000}}, folder, 4096);
        QCOMPARE(r.status, WaveStatus::WriteFailed);
        QCOMPARE(r.sysError, ENOSPC);
        QVERIFY2(r.error.contains("Disk full"), qPrintable(r.error));
        QCOMPARE(names(folder), (QStringList{"Track 1.wav", "recording.xml"}));
        QCOMPARE(readFile(folder + "Track 1.wav"), old);
        QCOMPARE(XMLGetValue("Tracks", "", RecordingIndexPath(folder), ""), QStringLiteral("1"));
        QVERIFY(QDir().mkdir(folder + "recording.xml.next"));
        const SplitResult noIndex = SplitRecording(h, {{0, 5000}, {5000, 5000}}, folder, 4096);
        QCOMPARE(noIndex.status, WaveStatus::WriteFailed);
        QVERIFY2(noIndex.error.contains("Could not write"), qPrintable(noIndex.error));
        QCOMPARE(names(folder), (QStringList{"Track 1.wav", "recording.xml"}));
        QCOMPARE(readFile(folder + "Track 1.wav"), old);
    }

    // Names that are not UTF-8 and names with markup characters.
    void hostileFolderNames()
    {
        const WaveHeader h = recording(dest + "/rec.wav", 2);
        for (const QByteArray& raw : {QByteArray("caf\xe9 \xff"), QByteArray("a&b \"q\" <x>")}) {
            const QString folder = env.root() + "/" + QFile::decodeName(raw) + "/";
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(QFile::exists(QFile::decodeName(QFile::encodeName(folder))));
            const SplitResult r = SplitRecording(h, {{0, 1000}, {1000, 1000}}, folder, 4096);
            QCOMPARE(r.status, WaveStatus::Ok);
            const QString listed = XMLGetValue("Filename", "Track2", RecordingIndexPath(folder), "");
            QCOMPARE(listed, folder + "Track 2.wav");
            QCOMPARE(QFileInfo(listed).size(), 44 + 2000);
        }
    }

    void clearDeletesOnlyItsOwnFiles()
    {
        const WaveHeader h = recording(dest + "/rec.wav", 4);
        RecordingSession session;
        writeFile(rec + "recording.wav", "raw");
        session.adoptRecording(rec + "recording.wav");
        QCOMPARE(SplitRecording(h, {{0, 1000}, {1000, 1000}, {2000, 1000}}, rec, 4096).status, WaveStatus::Ok);
        // A hand-edited index pointing at someone else's file.
        const QString precious = dest + "/letter.txt";
        writeFile(precious, "keep me");
        QVERIFY(XMLSetValue(precious, "Filename", "Track2", RecordingIndexPath(rec)));
        session.splitDone(3);
        session.clear();
        QCOMPARE(names(rec), (QStringList{"Track 2.wav", "recording.xml"}));
        QVERIFY(QFile::exists(precious));
        QCOMPARE(session.state(), RecordingSession::State::Empty);
        // Nothing to delete, no index, no folder: still quiet.
        session.clear();
        RecordingSession nowhere;
        nowhere.adoptRecording(env.root() + "/nowhere/recording.wav");
        nowhere.clear();
    }

    void recordingName()
    {
        const QDateTime when(QDate(2026, 12, 5), QTime(14, 32, 10));
        QCOMPARE(MakeRecordingName(when, QLocale(QLocale::German, QLocale::Germany)),
                 QStringLiteral("Recording 14:32  05.12.26"));
        const QString us = MakeRecordingName(when, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(us.startsWith(QLatin1String("Recording 2:32")));
        QVERIFY(us.endsWith(QLatin1String("  12/5/26")));
    }

    void saveLocationChecks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message"); // {R}: the test's root folder
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << "" << int(SaveCheck::Empty) << "Save In"
                               << "Please choose a location to save the finished files." << "";
        QTest::newRow("a file") << "{R}/a file.txt" << int(SaveCheck::IsFile) << "Save In"
                                << "{R}/a file.txt\r\nThis is a file. Please select a folder." << "{R}/a file.txt";
        const QString notFound = QStringLiteral("\r\nThis location cannot be found.\r\nPlease choose another.");
        const auto missing = [&](const char* tag, const QString& text, const QString& shown) {
            QTest::newRow(tag) << text << int(SaveCheck::NotFound) << "Folder not found" << shown + notFound
                               << shown + "/";
        };
        missing("missing folder, trailing slash", "{R}/no such/", "{R}/no such");
        missing("my music is a path", "My Music", "My Music");
        QTest::newRow("read-only folder") << "{RO}" << int(SaveCheck::ReadOnly) << "Folder Read-Only"
                                          << "{RO}\r\nThis location exists, but you cannot write files to it.\r\n"
                                             "Please choose another."
                                          << "{RO}/";
        QTest::newRow("good folder, trailing slash") << "{R}/out/" << int(SaveCheck::Ok) << "" << "" << "{R}/out/";
        QTest::newRow("special name, folder not made yet") << "mUsIc" << int(SaveCheck::Ok) << "" << "" << "{R}/home/Music/";
    }
    void saveLocationChecks()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, path);
        const QString root = env.root();
        writeFile(root + "/a file.txt", "x");
        QDir().mkpath(root + "/out");
        const QString ro = RemoveSlash(readOnlyFolder());
        for (QString* s : {&text, &message, &path}) {
            s->replace("{RO}", ro);
            s->replace("{R}", root);
        }
        const SaveLocationResult r = CheckSaveLocation(text);
        QCOMPARE(int(r.code), code);
        QCOMPARE(r.ok(), code == int(SaveCheck::Ok));
        QCOMPARE(r.message, message);
        QCOMPARE(r.title, title);
        QCOMPARE(r.style, code == int(SaveCheck::Ok) ? 0 : 48);
        if (!path.isEmpty())
            QCOMPARE(r.path, path);
    }

    // Sizes around the chunk size, and an empty file: each copy is its
    // file, progress climbs to the total, the track files stay.
    void copiesAreIdenticalAndReportProgress()
    {
        const QList<qint64> sizes{0, 1, kCopyChunk - 1, kCopyChunk, 2 * kCopyChunk + 17};
        QStringList files;
        for (int i = 0; i < sizes.size(); ++i) {
            writeFile(TrackFilePath(rec, i + 1), content(i + 1, sizes[i]));
            files << TrackFilePath(rec, i + 1);
        }
        const qint64 total = std::accumulate(sizes.begin(), sizes.end(), qint64(0));
        QList<qint64> seen;
        FileOpCallbacks cb;
        cb.progress = [&](qint64 done, qint64 all, const QString&) { return all == total && (seen << done, true); };
        QCOMPARE(ShellFileOperation(files, dest, FileOp::Copy, cb), QString());
        for (int i = 0; i < sizes.size(); ++i)
            QVERIFY(readFile(dest + "/" + TrackFileName(i + 1)) == content(i + 1, sizes[i]) && QFile::exists(files[i]));
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QCOMPARE(seen.first(), 0);
        QCOMPARE(seen.last(), total);
        QVERIFY(seen.size() >= 6);
        QCOMPARE(names(dest).size(), sizes.size());
    }

    // A move takes the files; a copy onto itself keeps the file, unasked.
    void moveAndCopyOntoItself()
    {
        writeFile(rec + "a.mp3", content(1, 100));
        writeFile(rec + "b.mp3", content(2, 3 * kCopyChunk));
        QCOMPARE(ShellFileOperation({rec + "a.mp3", rec + "b.mp3"}, dest, FileOp::Move), QString());
        QVERIFY(!QFile::exists(rec + "a.mp3"));
        QVERIFY(readFile(dest + "/b.mp3") == content(2, 3 * kCopyChunk));
        tracks(1, 4000);
        int asked = 0;
        FileOpCallbacks cb;
        cb.confirmOverwrite = [&](const QString&) { ++asked; return OverwriteAnswer::Replace; };
        QCOMPARE(ShellFileOperation({TrackFilePath(rec, 1)}, rec, FileOp::Copy, cb), QString());
        QCOMPARE(asked, 0);
        QVERIFY(readFile(TrackFilePath(rec, 1)) == content(1, 4000));
    }

    void existingFilesAreAskedAbout_data()
    {
        QTest::addColumn<QList<int>>("answers"); // OverwriteAnswer per question
        QTest::addColumn<int>("questions");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QList<bool>>("replaced"); // per track 1..3
        using A = OverwriteAnswer;
        QTest::newRow("replace all") << QList<int>{int(A::ReplaceAll)} << 1 << "" << QList<bool>{true, true, true};
        QTest::newRow("skip the second")
            << QList<int>{int(A::Replace), int(A::Skip), int(A::Replace)} << 3 << "" << QList<bool>{true, false, true};
        QTest::newRow("cancel at the second") << QList<int>{int(A::Replace), int(A::Cancel)} << 2
                                              << "Move canceled." << QList<bool>{true, false, false};
    }
    void existingFilesAreAskedAbout()
    {
        QFETCH(QList<int>, answers);
        QFETCH(int, questions);
        QFETCH(QString, result);
        QFETCH(QList<bool>, replaced);
        const QStringList files = tracks(3, 5000);
        for (int i = 1; i <= 3; ++i)
            writeFile(dest + "/" + TrackFileName(i), "older file");
        QStringList asked;
        FileOpCallbacks cb;
        cb.confirmOverwrite = [&](const QString& target) {
            asked << target;
            return answers.isEmpty() ? OverwriteAnswer::Cancel : OverwriteAnswer(answers.takeFirst());
        };
        QCOMPARE(ShellFileOperation(files, dest, FileOp::Copy, cb), result);
        QCOMPARE(asked.size(), questions);
        QCOMPARE(asked.first(), dest + "/Track 1.wav");
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(readFile(dest + "/" + TrackFileName(i)) == content(i, 5000), replaced[i - 1]);
    }

    void failureAndCancelTexts()
    {
        const QStringList files = tracks(3, kCopyChunk + 10);
        // Cancelled in the middle of the second file: no half-written second.
        FileOpCallbacks cb;
        cb.progress = [&](qint64 done, qint64, const QString&) { return done < kCopyChunk + 10 + 100; };
        const QString cancelled = ShellFileOperation(files, dest, FileOp::Copy, cb);
        QCOMPARE(cancelled, QStringLiteral("Move canceled."));
        QCOMPARE(WaveCopyFailureText(cancelled),
                 QStringLiteral("Error moving or copying files. Click Back to try again. Details: Move canceled."));
        QVERIFY(readFile(dest + "/Track 1.wav") == content(1, kCopyChunk + 10));
        QCOMPARE(QDir(dest).entryList(QDir::Files | QDir::Hidden), QStringList{"Track 1.wav"});

        // A missing track file is named in the failure; earlier copies stay.
        QDir(dest).removeRecursively();
        QDir().mkpath(dest);
        QFile::remove(files[1]);
        const FileOpResult missing = RunFileOperation(files, dest, FileOp::Copy);
        QCOMPARE(missing.code, FileOpCode::NoSource);
        QCOMPARE(missing.errnum, ENOENT);
        QVERIFY(missing.text.contains(files[1]));
        QVERIFY(QFile::exists(dest + "/Track 1.wav"));
        QVERIFY(!QFile::exists(dest + "/Track 3.wav"));
        // An index without a file name for a track.
        QVERIFY(!ShellFileOperation({QString()}, dest, FileOp::Copy).isEmpty());

        // A destination that cannot be written to: the system's reason comes along.
        const FileOpResult ro = RunFileOperation({files[0]}, readOnlyFolder(), FileOp::Copy);
        QCOMPARE(ro.code, FileOpCode::WriteFailed);
        QVERIFY(ro.errnum != 0);
        QVERIFY2(ro.text.startsWith(QLatin1String("Cannot write ")), qPrintable(ro.text));
        QVERIFY(WaveCopyFailureText(ro.text).endsWith(ro.text));
        // A destination that does not exist.
        QVERIFY(!ShellFileOperation({files[0]}, env.root() + "/gone", FileOp::Copy).isEmpty());
    }

    // The split runs on its own thread: the caller's event loop keeps
    // turning (timers fire, progress arrives queued) until it ends.
    void splitJob()
    {
        const WaveHeader h = recording(dest + "/rec.wav", 600); // 1.2 MB in 2-byte pieces
        SplitJob job(h, {{0, 300000}, {300000, 300000}}, rec, 2);
        int ticks = 0, ticksAtFirstProgress = -1;
        QList<qint64> done;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        connect(&job, &Job::progress, this, [&](qint64 d, qint64 total, const QString& text) {
            QCOMPARE(QThread::currentThread(), thread());
            QCOMPARE(total, 2);
            QVERIFY(text.startsWith(QLatin1String("Splitting track ")));
            if (ticksAtFirstProgress < 0)
                ticksAtFirstProgress = ticks;
            done << d;
        });
        QEventLoop loop;
        connect(&job, &Job::finished, &loop, &QEventLoop::quit);
        timer.start(1);
        job.start();
        QVERIFY(job.isRunning());
        loop.exec();
        job.wait();
        QVERIFY(job.result().ok());
        QVERIFY2(ticks > ticksAtFirstProgress + 2, qPrintable(QString::number(ticks)));
        QCOMPARE(done.last(), 2);
        QCOMPARE(QFileInfo(TrackFilePath(rec, 2)).size(), 44 + 600000);

        // A cancelled split keeps the old set; a failed one says why by code
        // and errno; run() gives the result on the caller's thread.
        QVERIFY(SplitJob(h, {{0, 1000}}, rec, 4096).run().ok());
        const QByteArray old = readFile(TrackFilePath(rec, 1));
        SplitJob slow(h, {{0, 10000}, {10000, 10000}}, rec, 2);
        connect(&slow, &Job::progress, this, [&](qint64, qint64, const QString&) { slow.cancel(); });
        QVERIFY(slow.run().canceled());
        QCOMPARE(readFile(TrackFilePath(rec, 1)), old);
        QCOMPARE(names(rec), (QStringList{"Track 1.wav", "recording.xml"}));
        const JobResult bad = SplitJob(h, {{0, 1000}}, readOnlyFolder(), 4096).run();
        QVERIFY(!bad.ok() && !bad.canceled());
        QVERIFY(bad.errnum != 0);
        QVERIFY(SplitJob::status(bad) != WaveStatus::Ok);
    }

    // The replace answers given before the copy decide; a clash nobody was
    // asked about goes to the late question.
    void copyJobUsesTheAnswersGivenBefore()
    {
        const QStringList files = tracks(3, 3000);
        writeFile(dest + "/Track 1.wav", "keep");
        writeFile(dest + "/Track 2.wav", "replace");
        writeFile(dest + "/Track 3.wav", "appeared later");
        CopyJob job(files, dest, FileOp::Copy,
                    {{dest + "/Track 1.wav", OverwriteAnswer::Skip}, {dest + "/Track 2.wav", OverwriteAnswer::Replace}});
        QStringList late;
        job.setLateQuestion([&](const QString& t) {
            late << t;
            return OverwriteAnswer::Skip;
        });
        QVERIFY(job.run().ok());
        QCOMPARE(late, QStringList{dest + "/Track 3.wav"});
        QCOMPARE(readFile(dest + "/Track 1.wav"), QByteArray("keep"));
        QVERIFY(readFile(dest + "/Track 2.wav") == content(2, 3000));
        QCOMPARE(readFile(dest + "/Track 3.wav"), QByteArray("appeared later"));
        const JobResult gone = CopyJob({rec + "none.wav"}, dest, FileOp::Copy).run();
        QCOMPARE(gone.code, JobCode::FirstOwn + int(FileOpCode::NoSource));
        QCOMPARE(gone.errnum, ENOENT);
    }

    // sonivault-cli copies the tracks an index lists (the copy's rules are tested above).
    void cliCopiesTracks()
    {
        tracks(3, 1000);
        QVERIFY(WriteRecordingIndex(rec, 3));
        QCOMPARE(cli({"copy-tracks", RecordingIndexPath(rec), dest}), 0);
        for (int i = 1; i <= 3; ++i)
            QVERIFY(readFile(dest + "/" + TrackFileName(i)) == content(i, 1000));
    }
};

QTEST_GUILESS_MAIN(TestTrackFiles)
#include "tst_TrackFiles.moc"
