// The typed settings: what damaged or hand-edited values turn into, that
// every writer and reader of a key meet in the same section, and that the
// values reach detection, track limits and splitting.
#include "settings/Settings.h"
#include "settings/modXML.h"
#include "support/TestEnv.h"
#include "util/modFunctions.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace sv;
using namespace sv::settings;

class TestSettings : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

    static void set(const QString& section, const QString& key, const QString& value)
    {
        QVERIFY(XMLSetValue(value, key, section, QString()));
    }

private Q_SLOTS:
    void init()
    {
        SetSettingsFile(env.tmp() + "settings.xml");
        QFile::remove(SettingsFile());
        QDir(SettingsFile()).removeRecursively();
    }

    void detectionReadsStoredText()
    {
        set(AdvancedDetection, "Hiss", "30.7");
        set(AdvancedDetection, "Samples", ".3");
        set(AdvancedDetection, "MinTrackLength", "20");
        set(WaveformOptions, "AutoSplit", "0");
        DetectSettings d = Settings::detection();
        QCOMPARE(d.hiss, 30);
        QCOMPARE(d.samples, 0.3);
        QCOMPARE(d.minTrackLength, 20);
        QVERIFY(!d.autoSplit);
        for (const auto& [stored, method] : {std::pair{"image", DetectMethod::Image},
                                             std::pair{" AUDIO", DetectMethod::Audio},
                                             std::pair{"Spectral", DetectMethod::Bands}}) {
            set(AdvancedDetection, "Method", stored);
            QCOMPARE(Settings::method(), method);
        }
        // An empty gap would make a window of nothing: the default holds.
        set(AdvancedDetection, "Samples", "");
        QCOMPARE(Settings::samples(), 0.5);

        // What the options dialog stores reads back for the next detection.
        QVERIFY(Settings::setDetection(40, 0.75, "15"));
        d = Settings::detection();
        QCOMPARE(d.hiss, 40);
        QCOMPARE(d.samples, 0.75);
        QCOMPARE(d.minTrackLength, 15);
        QCOMPARE(Settings::trackLimits(WaveScale(50, 100)).minTrackLength, 15);
    }

    void damagedNumbersFallBack_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("piece of 0 would never end") << Advanced << "Bitesize" << "0" << qint64(DefaultBitesize);
        QTest::newRow("piece") << Advanced << "Bitesize" << "1000" << qint64(1000);
        QTest::newRow("threshold 0 paints silence red") << AdvancedScanning << "Threshold" << "0" << qint64(22000);
        QTest::newRow("threshold") << AdvancedScanning << "Threshold" << "15000" << qint64(15000);
        QTest::newRow("scan minimum damaged") << AdvancedScanning << "Minimum" << "loud" << qint64(600);
        QTest::newRow("draw scale 0 divides by 0") << AdvancedWaveform << "DrawScale" << "0" << qint64(20);
        QTest::newRow("draw scale truncates") << AdvancedWaveform << "DrawScale" << "35.9" << qint64(35);
        QTest::newRow("recording length rounds to even") << AdvancedWaveform << "MinRecordingLength" << "2.5" << qint64(2);
        QTest::newRow("recording length rounds") << AdvancedWaveform << "MinRecordingLength" << "3.5" << qint64(4);
        QTest::newRow("track size kept in range") << AdvancedWaveform << "MinTrackSize" << "99999" << qint64(32767);
        QTest::newRow("track spacing damaged") << AdvancedWaveform << "MinTrackSpacing" << "x" << qint64(25);
    }

    void damagedNumbersFallBack()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(qint64, expected);
        set(section, key, stored);
        const QHash<QString, std::function<qint64()>> read{
            {"Bitesize", [] { return Settings::bitesize(); }},
            {"Threshold", [] { return Settings::volume().clipThreshold; }},
            {"Minimum", [] { return Settings::volume().scanMinimum; }},
            {"DrawScale", [] { return Settings::drawScale(); }},
            {"MinRecordingLength", [] { return Settings::minRecordingLength(); }},
            {"MinTrackSize", [] { return Settings::trackLimits(WaveScale(50, 100)).minTrackSize; }},
            {"MinTrackSpacing", [] { return Settings::trackLimits(WaveScale(50, 100)).minTrackSpacing; }},
        };
        QCOMPARE(read[key](), expected);
    }

    void soundcardPositionsStayInTheList()
    {
        QCOMPARE(Settings::mixer(3), 0);
        for (const auto& [stored, expected] : {std::pair{"2", 2}, std::pair{"3", 0}, std::pair{"-1", 0},
                                               std::pair{"junk", 0}}) {
            set(Soundcard, "Mixer", stored);
            QCOMPARE(Settings::mixer(3), expected);
        }
        QVERIFY(Settings::setLine(4));
        QCOMPARE(Settings::line(5), 4);
        QCOMPARE(Settings::line(4), 0); // the card now has fewer lines
        set(AdvancedAudio, "VirtualSpeed", "-2");
        QCOMPARE(Settings::virtualSpeed(), 1.0);
        set(AdvancedAudio, "Backend", " Virtual ");
        QCOMPARE(Settings::audioBackend(), QString("virtual"));
    }

    // Each flag reads back from where its setter stores it; another section
    // named Tutorial before the stored one must not hide the tutorial's.
    void flagsReadBackWhereStored()
    {
        set("Help\\Tutorial", "TutorialActive", "0");
        QVERIFY(!Settings::tutorialActive());
        QVERIFY(Settings::setTutorialActive(true));
        QVERIFY(Settings::tutorialActive());
        QCOMPARE(XMLGetValue("TutorialActive", MessagesTutorial, QString(), QString()), QString("1"));
        QVERIFY(Settings::setTutorialActive(false));
        QVERIFY(!Settings::tutorialActive());
        QVERIFY(!Settings::firstRunDone() && !Settings::volumeMessageShown() && !Settings::waveformMessageShown());
        QVERIFY(Settings::setFirstRunDone() && Settings::setVolumeMessageShown());
        QVERIFY(Settings::firstRunDone() && Settings::volumeMessageShown() && !Settings::waveformMessageShown());
    }

    void unreadableStoreKeepsUsableValues()
    {
        // A store that cannot be read (here a folder in its place) answers "" for every key.
        QVERIFY(QDir().mkpath(SettingsFile()));
        QCOMPARE(XMLGetValue("DrawScale", AdvancedWaveform, QString(), "20"), QString());
        QCOMPARE(Settings::recordDirectory(), TempFolder());
        QCOMPARE(Settings::samples(), 0.5);
        QCOMPARE(Settings::drawScale(), 20);
        QVERIFY(Settings::firstRunDone()); // no welcome dialog on every start
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
