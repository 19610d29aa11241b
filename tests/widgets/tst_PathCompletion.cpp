// Folder-name completion in an editable box offers folders, not files.
#include "support/TestEnv.h"
#include "widgets/PathCompletion.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QtTest>

class TestPathCompletion : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

private Q_SLOTS:
    void offersMatchingFolders()
    {
        const QString base = env.root() + "/music";
        QDir().mkpath(base + "/Albums");
        QDir().mkpath(base + "/Alphabet");
        QDir().mkpath(base + "/Other");
        QFile f(base + "/Alien.txt");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();

        QComboBox box;
        box.setEditable(true);
        box.addItems({"Desktop", "Documents", "Music"});
        sv::EnablePathCompletion(&box);
        box.show();
        QCompleter* c = box.lineEdit()->completer();
        QVERIFY(c);
        QCOMPARE(box.count(), 3); // the list itself is untouched

        // Typed as a user types it: the folders load while the text grows.
        box.lineEdit()->setFocus();
        QStringList offered;
        auto collect = [&] {
            offered.clear();
            for (int i = 0; c->setCurrentRow(i); ++i)
                offered << c->currentCompletion();
            return offered.size() == 2;
        };
        box.lineEdit()->clear();
        QTest::keyClicks(box.lineEdit(), base + "/");
        QTest::qWait(200);
        QTest::keyClicks(box.lineEdit(), "Al");
        QTRY_VERIFY_WITH_TIMEOUT(collect(), 5000);
        offered.sort();
        QCOMPARE(offered, (QStringList{base + "/Albums", base + "/Alphabet"}));
    }
};

QTEST_MAIN(TestPathCompletion)
#include "tst_PathCompletion.moc"
