// Folder-name completion in an editable box offers folders, not files.
#include "support/TestEnv.h"
#include "widgets/ui/PathCompletion.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QHBoxLayout>
#include <QtTest>

class TestPathCompletion : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

private Q_SLOTS:
    // Folders are offered, not files, and the box's own list is untouched.
    // With the list of folders open, the first click on another button is
    // that button's click, not only the closing of the list.
    void offersFoldersAndPassesTheClickOn()
    {
        const QString base = env.root() + "/music";
        for (const char* sub : {"/Albums", "/Alphabet", "/Other"})
            QVERIFY(QDir().mkpath(base + sub));
        QVERIFY(!env.writeFile("../music/Alien.txt", "").isEmpty());
        QWidget window;
        auto* box = new QComboBox;
        auto* next = new QPushButton("Next");
        auto* layout = new QHBoxLayout(&window); // the list opens below the box, not over Next
        layout->addWidget(box);
        layout->addWidget(next);
        box->setEditable(true);
        box->addItems({"Desktop", "Documents", "Music"});
        sv::EnablePathCompletion(box);
        window.resize(400, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicks(next, &QPushButton::clicked);
        QCompleter* c = box->lineEdit()->completer();
        QVERIFY(c);

        QStringList offered;
        auto collect = [&] {
            offered.clear();
            for (int i = 0; c->setCurrentRow(i); ++i)
                offered << c->currentCompletion();
            return offered.size() == 2;
        };
        // Typed as a user types it: the folders load while the text grows.
        box->lineEdit()->setFocus();
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), base + "/");
        QTest::qWait(200);
        QTest::keyClicks(box->lineEdit(), "Al");
        QTRY_VERIFY_WITH_TIMEOUT(collect() && c->popup()->isVisible(), 5000);
        offered.sort();
        QCOMPARE(offered, (QStringList{base + "/Albums", base + "/Alphabet"}));
        QCOMPARE(box->count(), 3);

        // Through the window, as the window system delivers it.
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, next->mapTo(&window, next->rect().center()));
        QTRY_VERIFY_WITH_TIMEOUT(!c->popup()->isVisible(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(clicks.size(), 1, 2000);
    }
};

QTEST_MAIN(TestPathCompletion)
#include "tst_PathCompletion.moc"
