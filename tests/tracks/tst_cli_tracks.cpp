// sonivault-cli's wave-info, detect, split and waveform, run as a process on
// generated recordings (4000 frames per second, stereo 16-bit).
#include "support/TestEnv.h"
#include "tracks/WavGen.h"

#include "settings/modXML.h"
#include "util/modFunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

using namespace svtest;

namespace {
struct Run { int code = -1; QByteArray out; QString err; };

Run cli(const QStringList& args, const QString& workDir = QString())
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.start(QCoreApplication::applicationDirPath() + "/sonivault-cli", args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

QString tracksOf(const QByteArray& json)
{
    QStringList out;
    for (const QJsonValue& v : QJsonDocument::fromJson(json).object().value("tracks").toArray()) {
        out << QString("%1+%2=%3+%4").arg(v["left"].toInt()).arg(v["width"].toInt())
                   .arg(v["start"].toInt()).arg(v["length"].toInt());
    }
    return out.join(' ');
}

} // namespace

class TestCliTracks : public QObject {
    Q_OBJECT
    TestEnv env;
    QString dir;

private Q_SLOTS:
    void initTestCase()
    {
        sv::SetSettingsFile(sv::UserDataFolder() + "settings.xml");
        dir = env.tmp();
        QVERIFY(writeSegments(dir + "song.wav", {{40, 8000}, {30, 0}, {40, 8000}, {10, 0}}, 4000));
    }

    void waveInfo()
    {
        Run r = cli({"wave-info", dir + "song.wav"});
        QCOMPARE(r.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        QStringList fields;
        for (const char* key : {"channels", "rate", "bits", "blockAlign", "dataStart", "frames", "seconds"})
            fields << QString::number(o[key].toInteger());
        QCOMPARE(fields.join(' '), QString("2 4000 16 4 45 480000 120"));

        QVERIFY(writeWav(dir + "bad.wav", WavSpec{.blockAlign = 0}, 10, {}));
        r = cli({"wave-info", dir + "bad.wav"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err.trimmed(), QString("The wave recording is corrupted. Please try again."));
        QCOMPARE(cli({"wave-info", dir + "missing.wav"}).code, 1);
        QCOMPARE(cli({"wave-info"}).code, 2);
    }

    void detect()
    {
        const QList<QPair<QStringList, QString>> rows = {
            {{}, "0+2002=0+40 3499+2003=70+40"},
            {{"--method", "audio"}, "0+2028=0+41 3484+2054=70+41"},
            {{"--min-track", "45"}, "15+5865=0+117"}, // a longer minimum drops both: one track
            // A 31 s window keeps one track, ending with the image.
            {{"--samples", "31", "--min-track", "10", "--method", "audio"}, "0+6000=0+120"},
            {{"--hiss", "300", "--method", "audio"}, "15+5865=0+117"}, // hiss above the music
            {{"--no-auto"}, "15+5865=0+117"},
        };
        for (const auto& [options, tracks] : rows) {
            const Run r = cli(QStringList{"detect", dir + "song.wav"} + options);
            QCOMPARE(r.code, 0);
            const QJsonObject o = QJsonDocument::fromJson(r.out).object();
            QCOMPARE(QList<int>({o["DrawScale"].toInt(), o["WaveWidth"].toInt(), o["WaveSeconds"].toInt()}),
                     QList<int>({50, 6000, 120}));
            QVERIFY2(tracksOf(r.out) == tracks, qPrintable(options.join(' ') + ": " + tracksOf(r.out)));
        }
        QStringList times;
        for (const QJsonValue& v : QJsonDocument::fromJson(cli({"detect", dir + "song.wav"}).out)["tracks"].toArray())
            times << QString("%1-%2").arg(v["startTime"].toDouble()).arg(v["endTime"].toDouble());
        QCOMPARE(times.join(' '), QString("0-40.04 69.98-110.04"));
        const QString err = cli({"detect", dir + "song.wav", "--hiss", "300", "--method", "audio"}).err;
        QVERIFY2(err.contains("does not appear to have recorded any audio"), qPrintable(err));
    }

    void split()
    {
        const QString out = dir + "out/";
        Run r = cli({"split", dir + "song.wav", out, "--track", "0", "2", "--track", "70", "50", "--track", "119", "5"});
        QCOMPARE(r.code, 0);
        const QStringList lines = QString::fromUtf8(r.out).trimmed().split('\n');
        QCOMPARE(lines, (QStringList{out + "Track 1.wav", out + "Track 2.wav", out + "Track 3.wav"}));
        const QByteArray data = readFile(dir + "song.wav").mid(44);
        const QList<QPair<int, int>> cuts{{0, 2}, {70, 50}, {119, 1}}; // the last one ends with the data
        for (int i = 0; i < 3; ++i)
            QVERIFY(readFile(lines[i]).mid(44) == data.mid(cuts[i].first * 16000, cuts[i].second * 16000));
        const QString index = out + "recording.xml";
        QCOMPARE(sv::XMLGetValue("Tracks", "", index, ""), QString("3"));

        // No --track: the detected tracks; the old index is replaced.
        r = cli({"split", dir + "song.wav", out});
        QCOMPARE(r.code, 0);
        QCOMPARE(QString::fromUtf8(r.out).trimmed().split('\n').size(), 2);
        QCOMPARE(sv::XMLGetValue("Tracks", "", index, ""), QString("2"));
        QCOMPARE(sv::XMLGetValue("Name", "Track3", index, "none"), QString("none"));
        // Cut where the detected marker's edges stand, not on whole seconds.
        const qint64 frames = sv::XMLGetValue("Frames", "Track2", index, "").toLongLong();
        QVERIFY2(std::abs(frames - 40 * 4000) <= 400, qPrintable(QString::number(frames)));
        QCOMPARE(QFileInfo(out + "Track 2.wav").size(), 44 + frames * 4);

        QCOMPARE(cli({"split", dir + "song.wav", out, "--track", "1"}).code, 2);
        QCOMPARE(cli({"split", dir + "bad.wav", out, "--track", "0", "1"}).code, 1);
    }

    // Fractional seconds and frames; a relative OUTDIR gives absolute paths.
    void splitExactAndRelative()
    {
        QDir().mkpath(dir + "work");
        const Run r = cli({"split", dir + "song.wav", "rel", "--track", "1.6", "2.4", "--track", "4", "0.5",
                           "--track", "18000f", "2000f"},
                          dir + "work");
        QCOMPARE(r.code, 0);
        const QString folder = dir + "work/rel/";
        QCOMPARE(QString::fromUtf8(r.out).trimmed().split('\n').first(), folder + "Track 1.wav");
        const QString index = folder + "recording.xml";
        QCOMPARE(sv::XMLGetValue("Filename", "Track1", index, ""), folder + "Track 1.wav");
        QCOMPARE(sv::XMLGetValue("StartFrame", "Track1", index, ""), QString("6400"));
        QCOMPARE(sv::XMLGetValue("Frames", "Track1", index, ""), QString("9600"));
        QCOMPARE(sv::XMLGetValue("StartFrame", "Track2", index, ""), QString("16000")); // meets track 1
        QCOMPARE(sv::XMLGetValue("Frames", "Track3", index, ""), QString("2000"));
    }

    void badCallsAndRefusals()
    {
        Run r = cli({});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("usage: sonivault-cli COMMAND"));
        for (const QStringList& bad : {QStringList{"--method", "spectral"}, {"--hiss", "x"}, {"--samples"}})
            QCOMPARE(cli(QStringList{"detect", dir + "song.wav"} + bad).code, 2);
        QCOMPARE(cli({"detect", dir + "bad.wav"}).code, 1);
        // The recording named like the first output, split into its own folder.
        QDir().mkpath(dir + "same");
        QVERIFY(QFile::copy(dir + "song.wav", dir + "same/Track 1.wav"));
        r = cli({"split", "Track 1.wav", ".", "--track", "0", "1"}, dir + "same");
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("is itself one of the split's output files"), qPrintable(r.err));
        QCOMPARE(QFileInfo(dir + "same/Track 1.wav").size(), QFileInfo(dir + "song.wav").size());
        // A folder that cannot be made says why.
        QVERIFY(writeFile(dir + "plain", "x"));
        r = cli({"split", dir + "song.wav", dir + "plain/sub", "--track", "0", "1"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("cannot create the folder " + dir + "plain/sub: Not a folder"), qPrintable(r.err));
    }

    void waveform()
    {
        QCOMPARE(cli({"waveform", dir + "song.wav", dir + "w.png"}).code, 0);
        const QImage img(dir + "w.png");
        QCOMPARE(img.size(), QSize(400, 150)); // 6000 units
        // Background, centre line in the gap, above it, the music (228 units up: 15 pixels), guide line.
        QStringList colours;
        for (const QPoint& at : {QPoint(0, 0), QPoint(200, 75), QPoint(200, 60), QPoint(50, 60), QPoint(200, 45)})
            colours << img.pixelColor(at).name();
        QCOMPARE(colours.join(' '), QString("#ffffff #000000 #ffffff #000000 #efefef"));

        QCOMPARE(cli({"waveform", dir + "song.wav", dir + "n.png", "--width", "90"}).code, 0);
        QCOMPARE(QImage(dir + "n.png").width(), 90);
        QCOMPARE(cli({"waveform", dir + "song.wav", dir + "n.png", "--width", "0"}).code, 2);
        QCOMPARE(cli({"waveform", dir + "bad.wav", dir + "b.png"}).code, 1);
        QVERIFY(!QFile::exists(dir + "b.png"));
    }
};

QTEST_GUILESS_MAIN(TestCliTracks)
#include "tst_cli_tracks.moc"
