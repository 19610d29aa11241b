#include "audioin/ui/frmRecLocation.h"
#include "support/MsgBoxScript.h"
#include "support/TestEnv.h"
#include "support/TestRequire.h"
#include "util/modFunctions.h"

#include <QDir>
#include <QLineEdit>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class TestRecLocation : public QObject {
    Q_OBJECT
    svtest::TestEnv env;

private Q_SLOTS:
    void okChecksTheFolder()
    {
        svtest::MsgBoxScript boxes;
        frmRecLocation dlg;
        const QString good = env.tmp() + "rec";
        QVERIFY(QDir().mkpath(good));
        dlg.Start(good + "/");
        QCOMPARE(dlg.Directory(), good + "/");
        QVERIFY(!dlg.Drives().isEmpty());

        auto* txt = dlg.findChild<QLineEdit*>("txtDirectory");
        txt->setText("");
        boxes.answer(sv::vbOK);
        dlg.cmdOK_Click();
        QCOMPARE(boxes.last().title, QString("Recording Location"));
        QCOMPARE(boxes.last().text, QString("Please select a folder."));
        QCOMPARE(dlg.Result(), 0);

        txt->setText(good + "/missing");
        boxes.answer(sv::vbOK);
        dlg.cmdOK_Click();
        QCOMPARE(boxes.last().title, QString("Folder not found"));
        QCOMPARE(boxes.last().text, good + "/missing\r\nThis folder cannot be found. Please select a different one.");

        // Read-only for the user, also when the tests run as root.
        const QString ro = env.tmp() + "ro";
        QVERIFY(QDir().mkpath(ro));
        QVERIFY(::chmod(qPrintable(ro), 0555) == 0);
        QVERIFY(svtest::OpenToOthers(env.root(), ro));
        txt->setText(ro);
        boxes.answer(sv::vbOK);
        {
            svtest::AsOrdinaryUser user;
            QVERIFY(user.ok());
            dlg.cmdOK_Click();
        }
        QCOMPARE(boxes.last().title, QString("Folder Read-Only"));
        QCOMPARE(boxes.last().text, ro + "\r\nThis folder can't be used as it is read-only. Please select a different one.");
        ::chmod(qPrintable(ro), 0755);
        QCOMPARE(dlg.Result(), 0);
        QVERIFY(!boxes.unexpected());

        txt->setText(good);
        dlg.cmdOK_Click();
        QCOMPARE(dlg.Result(), 1);
        QCOMPARE(dlg.Directory(), good);
        QVERIFY(!boxes.unexpected());
    }

    void resetAndCancel()
    {
        svtest::MsgBoxScript boxes;
        frmRecLocation dlg;
        dlg.Start(QDir::homePath());
        dlg.cmdReset_Click();
        QCOMPARE(dlg.Directory(), sv::TempFolder());
        dlg.SelectFolder(env.root());
        QCOMPARE(dlg.Directory(), env.root());
        dlg.cmdCancel_Click();
        QCOMPARE(dlg.Result(), 0);
        QCOMPARE(dlg.Directory(), QString());
        QVERIFY(!boxes.unexpected());
    }
};

QTEST_MAIN(TestRecLocation)
#include "test_reclocation.moc"
