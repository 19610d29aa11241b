// One side from the deck to WMA files in a folder, through the whole wizard:
// a generated demo side with known gaps on a virtual deck, Scan, Adjust, a
// 5-minute profile recorded at a high speed factor, the detected tracks, the
// split, the WMA page with tags, the real wm8eutil, and the finish page. The
// files and their tags are read back with ffprobe.
#include "e2e/E2EFlow.h"
#include "support/FindChild.h"
#include "audioin/engine/DemoSignal.h"
#include "tracks/modWaveSplit.h"
#include "support/TestRequire.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>


#include <QElapsedTimer>
#include <QThread>

#include <chrono>
#include <thread>

using namespace svtest;
using sv::audio::DemoLayout;
using sv::audio::VirtualDeck;
using sv::audio::VirtualSignal;

namespace {


QJsonObject Probe(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                        QStringLiteral("format=duration,bit_rate:format_tags:stream=codec_name"),
                                        QStringLiteral("-of"), QStringLiteral("json"), path});
    p.waitForFinished(60000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object()[QStringLiteral("format")].toObject();
}

// Each track is a WMA file as long as its marker, tagged as typed.
void CheckWma(const QString& target, const QVector<sv::FrameSpan>& spans)
{
    QStringList expected{QStringLiteral("Side A opener.wma"), QStringLiteral("Side A opener (2).wma")};
    for (int k = 3; k <= spans.size(); ++k)
        expected << QStringLiteral("Track %1.wma").arg(k);
    QStringList files = QDir(target).entryList(QDir::Files);
    QStringList sorted = expected;
    files.sort();
    sorted.sort();
    QCOMPARE(files, sorted);
    for (int k = 1; k <= spans.size(); ++k) {
        const QJsonObject f = Probe(target + QStringLiteral("/") + expected[k - 1]);
        const double seconds = f[QStringLiteral("duration")].toString().toDouble();
        const double want = double(spans[k - 1].frames) / 44100;
        QVERIFY2(std::abs(seconds - want) < 0.1, qPrintable(QStringLiteral("%1: %2 s, not %3 s")
                                                                 .arg(expected[k - 1]).arg(seconds).arg(want)));
        const double kbps = f[QStringLiteral("bit_rate")].toString().toDouble() / 1000;
        QVERIFY2(kbps > 96 * 0.9 && kbps < 96 * 1.1, qPrintable(QString::number(kbps)));
        const QJsonObject tags = f[QStringLiteral("tags")].toObject();
        QCOMPARE(tags[QStringLiteral("artist")].toString(), QStringLiteral("The Demo Deck"));
        QCOMPARE(tags[QStringLiteral("copyright")].toString(), QStringLiteral("(c) 1983 Us"));
        if (k <= 2)
            QCOMPARE(tags[QStringLiteral("title")].toString(), QStringLiteral("Side A opener"));
    }
}

// The first two tracks tagged alike (Track1's artist and copyright carry
// over to the second), every track shown once, 96 kbps, saved to target.
void FillWmaPage(QWidget* page, int count, const QString& target)
{
    auto* list = sv::test::Find<QListWidget>(page, "lstWMATracks");
    QCOMPARE(list->count(), count);
    sv::test::Find<QLineEdit>(page, "txtWMATitle")->setText(QStringLiteral("Side A opener"));
    sv::test::Find<QLineEdit>(page, "txtWMAArtist")->setText(QStringLiteral("The Demo Deck"));
    sv::test::Find<QLineEdit>(page, "txtWMACopyright")->setText(QStringLiteral("(c) 1983 Us"));
    list->setCurrentRow(1); // Track1's artist and copyright carry over
    sv::test::Find<QLineEdit>(page, "txtWMATitle")->setText(QStringLiteral("Side A opener"));
    for (int row = 2; row < count; ++row)
        list->setCurrentRow(row);
    sv::test::Find<QComboBox>(page, "cboWMABitrate")->setCurrentIndex(3);
    sv::test::Find<QComboBox>(page, "cboWMASave")->setEditText(target);
}

} // namespace

class TestE2EWma : public QObject {
    Q_OBJECT
    QString m_side;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_side = m_dir.path() + QStringLiteral("/demo-side.wav");
        QVERIFY(sv::audio::WriteDemoSide(m_side));
    }
    void deckToWma();
};

void TestE2EWma::deckToWma()
{
    SV_REQUIRE_TOOL(!QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty(), "ffprobe");
    Wizard z(DemoDeck(m_side));
    const QVector<sv::FrameSpan> spans = RecordAndSplitDemoSide(z);
    QVERIFY2(!spans.isEmpty(), qPrintable(z.page() + z.boxes.unexpectedText()));
    const QString folder = z.st().RecordDirectory;
    sv::test::Find<QRadioButton>(z.w->picOutput(), "optWMA")->setChecked(true);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWMA"));
    const QString target = z.env.root() + QStringLiteral("/My Tapes");
    QVERIFY(QDir().mkpath(target));
    FillWmaPage(z.w->picWMA(), int(spans.size()), target);
    z.next();
    QCOMPARE(z.page(), QStringLiteral("picWMACompress"));
    QVERIFY(z.st().Compressing);
    QTRY_COMPARE_WITH_TIMEOUT(z.page(), QStringLiteral("picFinish"), 120000);
    QVERIFY(!z.st().Compressing);

    QWidget* fin = z.w->picFinish();
    QCOMPARE(sv::test::Find<QLineEdit>(fin, "txtFinishSaveIn")->text(), target + QStringLiteral("/"));
    QCOMPARE(z.w->cmdNext()->text(), QStringLiteral("&Finish"));
    CheckWma(target, spans);
    if (QTest::currentTestFailed())
        return;

    // Exit: the program's own files go, the WMA files stay.
    sv::test::Find<QRadioButton>(fin, "optFinishExit")->setChecked(true);
    z.next();
    QVERIFY(!z.w->isVisible());
    QVERIFY(!QFile::exists(folder + QStringLiteral("Track 1.wav")));
    QVERIFY(QFile::exists(target + QStringLiteral("/Side A opener.wma")));
    QVERIFY2(!z.boxes.unexpected(), qPrintable(z.boxes.unexpectedText()));
}

QTEST_MAIN(TestE2EWma)
#include "tst_e2e_wma.moc"
