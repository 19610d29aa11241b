// Folder-name completion in an editable box offers folders, not files.
#include "support/TestEnv.h"
#include "widgets/ui/PathCompletion.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QHBoxLayout>
#include <QtTest>

class TestPathCompletion : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

    // A folder holding Albums/, Alphabet/ and a file Alien.txt; returns its path.
    QString makeFolders(const QString& name)
    {
        const QString base = env.root() + "/" + name;
        QDir().mkpath(base + "/Albums");
        QDir().mkpath(base + "/Alphabet");
        QDir().mkpath(base + "/Other");
        QFile f(base + "/Alien.txt");
        return f.open(QIODevice::WriteOnly) ? base : QString();
    }

    // Typed as a user types it: the folders load while the text grows.
    static void typeStart(QComboBox* box, const QString& base)
    {
        box->lineEdit()->setFocus();
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), base + "/");
        QTest::qWait(200);
        QTest::keyClicks(box->lineEdit(), "Al");
    }

private Q_SLOTS:
    // Folders are offered, not files, and the box's own list is untouched.
    // With the list of folders open, the first click on another button is
    // that button's click, not only the closing of the list.
    void offersFoldersAndPassesTheClickOn()
    {
        const QString base = makeFolders("music");
        QVERIFY(!base.isEmpty());
        QWidget window;
        auto* layout = new QHBoxLayout(&window); // the list opens below the box, not over Next
        auto* box = new QComboBox;
        box->setEditable(true);
        box->addItems({"Desktop", "Documents", "Music"});
        layout->addWidget(box);
        auto* next = new QPushButton("Next");
        layout->addWidget(next);
        sv::EnablePathCompletion(box);
        window.resize(400, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        int clicks = 0;
        connect(next, &QPushButton::clicked, [&clicks] { ++clicks; });
        QCompleter* c = box->lineEdit()->completer();
        QVERIFY(c);

        QStringList offered;
        auto collect = [&] {
            offered.clear();
            for (int i = 0; c->setCurrentRow(i); ++i)
                offered << c->currentCompletion();
            return offered.size() == 2;
        };
        typeStart(box, base);
        QTRY_VERIFY_WITH_TIMEOUT(collect() && c->popup()->isVisible(), 5000);
        offered.sort();
        QCOMPARE(offered, (QStringList{base + "/Albums", base + "/Alphabet"}));
        QCOMPARE(box->count(), 3);

        // Through the window, as the window system delivers it.
        const QPoint at = next->mapTo(&window, next->rect().center());
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
        QTRY_VERIFY_WITH_TIMEOUT(!c->popup()->isVisible(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(clicks, 1, 2000);
    }
};

QTEST_MAIN(TestPathCompletion)
#include "tst_PathCompletion.moc"
