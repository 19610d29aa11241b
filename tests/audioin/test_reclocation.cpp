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
    // Reset offers the temporary folder; Cancel gives back no folder; OK checks it.
    void resetCancelAndOk()
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

        const QString good = env.tmp() + "rec";
        QVERIFY(QDir().mkpath(good));
        dlg.Start(good + "/");
        QCOMPARE(dlg.Directory(), good + "/");
        QVERIFY(!dlg.Drives().isEmpty());

        auto* txt = dlg.findChild<QLineEdit*>("txtDirectory");
        // OK on a folder that cannot be used: its box, and the dialog stays.
        const auto refused = [&](const QString& folder) {
            txt->setText(folder);
            boxes.answer(sv::vbOK);
            dlg.cmdOK_Click();
            return dlg.Result() == 0 ? boxes.last().title + ": " + boxes.last().text : QStringLiteral("accepted");
        };
        QCOMPARE(refused(""), QString("Recording Location: Please select a folder."));
        QCOMPARE(refused(good + "/missing"),
                 "Folder not found: " + good + "/missing\r\nThis folder cannot be found. Please select a different one.");

        // Read-only for the user, also when the tests run as root.
        const QString ro = env.tmp() + "ro";
        QVERIFY(QDir().mkpath(ro));
        QVERIFY(::chmod(qPrintable(ro), 0555) == 0);
        QVERIFY(svtest::OpenToOthers(env.root(), ro));
        {
            svtest::AsOrdinaryUser user;
            QVERIFY(user.ok());
            QCOMPARE(refused(ro), "Folder Read-Only: " + ro
                                      + "\r\nThis folder can't be used as it is read-only. Please select a different one.");
        }
        ::chmod(qPrintable(ro), 0755);

        txt->setText(good);
        dlg.cmdOK_Click();
        QCOMPARE(dlg.Result(), 1);
        QCOMPARE(dlg.Directory(), good);
        QVERIFY(!boxes.unexpected());
    }
};

QTEST_MAIN(TestRecLocation)
#include "test_reclocation.moc"
