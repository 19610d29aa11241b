// One side from the deck to WMA files in a folder, through the whole wizard:
// the WMA page with tags, the real wm8eutil, and the files and their tags
// read back with ffprobe.
#include "e2e/E2EFlow.h"
#include "support/TestRequire.h"

#include <QStandardPaths>

using namespace svtest;

namespace {

// Each track is a WMA file as long as its marker, tagged as typed.
void CheckWma(const QString& target, const QVector<sv::FrameSpan>& spans)
{
    QStringList expected{QStringLiteral("Side A opener.wma"), QStringLiteral("Side A opener (2).wma")};
    for (int k = 3; k <= spans.size(); ++k)
        expected << QStringLiteral("Track %1.wma").arg(k);
    QCOMPARE(Sorted(QDir(target).entryList(QDir::Files)), Sorted(expected));
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
// over to the second), every track shown once, 96 kbps.
void FillWmaPage(QWidget* page, int count)
{
    auto* list = sv::test::Find<QListWidget>(page, "lstWMATracks");
    QCOMPARE(list->count(), count);
    sv::test::Find<QLineEdit>(page, "txtWMATitle")->setText(QStringLiteral("Side A opener"));
    sv::test::Find<QLineEdit>(page, "txtWMAArtist")->setText(QStringLiteral("The Demo Deck"));
    sv::test::Find<QLineEdit>(page, "txtWMACopyright")->setText(QStringLiteral("(c) 1983 Us"));
    list->setCurrentRow(1);
    sv::test::Find<QLineEdit>(page, "txtWMATitle")->setText(QStringLiteral("Side A opener"));
    for (int row = 2; row < count; ++row)
        list->setCurrentRow(row);
    sv::test::Find<QComboBox>(page, "cboWMABitrate")->setCurrentIndex(3);
}

} // namespace

class TestE2EWma : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deckToWma()
    {
        SV_REQUIRE_TOOL(!QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty(), "ffprobe");
        Wizard z(DemoDeck());
        const QVector<sv::FrameSpan> spans = RecordAndSplitDemoSide(z);
        QVERIFY2(!spans.isEmpty(), qPrintable(z.page() + z.boxes.unexpectedText()));
        const QString target = ChooseOutput(z, "optWMA", "picWMA", "cboWMASave");
        FillWmaPage(z.w->picWMA(), int(spans.size()));
        EncodeToFinishPage(z, "picWMACompress", 120000);
        CheckWma(target, spans);
        ExitKeepsDelivered(z, target);
    }
};

QTEST_MAIN(TestE2EWma)
#include "tst_e2e_wma.moc"
