#include "support/MsgBoxScript.h"
#include "util/ui/modMsgbox.h"
#include "util/ui/modShellExecute.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace sv;

class TestMsgBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void positions()
    {
        // Work area 0,0 1000x800; owner at 100,50 400x300; box 201x101. Top-centre's
        // 399.5 rounds to even 400.
        const QList<QPair<int, QPoint>> rows = {{2, {400, 0}}, {4, {799, 699}}, {6, {400, 350}}, {7, {200, 150}}};
        for (const auto& [mode, at] : rows) {
            int x = -1, y = -1;
            QVERIFY(MsgBoxPosition(mode, {0, 0, 1000, 800}, {100, 50, 400, 300}, 201, 101, x, y));
            QCOMPARE(QPoint(x, y), at);
        }
        // An unknown mode leaves the box where it is.
        int x = 5, y = 6;
        QVERIFY(!MsgBoxPosition(8, {0, 0, 10, 10}, {0, 0, 10, 10}, 1, 1, x, y));
        QCOMPARE(QPoint(x, y), QPoint(5, 6));
    }

    // "**" stands for the program's name; a box nobody expected gets the safe answer.
    void titleAndSafeAnswer()
    {
        svtest::MsgBoxScript script;
        script.answer(vbNo);
        QCOMPARE(MsgBoxEx("Sure?", vbYesNo + vbQuestion, "**"), int(vbNo));
        QCOMPARE(script.last().title, QString("Sonivault"));
        QCOMPARE(PlainMsgBox("Oops", vbYesNo, "T"), int(vbNo));
        QVERIFY(script.unexpected() && script.last().plain);
    }

    void minimisedMainWindowCentresOnWorkArea()
    {
        svtest::MsgBoxScript script;
        QMainWindow main;
        main.show();
        SetMsgBoxMainWindow(&main);
        int pos = 7;
        script.answer(vbOK);
        MsgBoxEx("a", 0, "t", &pos);
        QCOMPARE(script.last().position, 7);
        main.showMinimized();
        if (main.isMinimized()) { // the offscreen platform may ignore minimising
            script.answer(vbOK);
            MsgBoxEx("b", 0, "t", &pos);
            QCOMPARE(script.last().position, 6);
        }
        SetMsgBoxMainWindow(nullptr);
    }

    // Without a responder the real QMessageBox is shown: the answer comes from its buttons.
    void realBoxMapsButtons()
    {
        const auto onNextBox = [](std::function<void(QMessageBox*)> act) {
            QTimer::singleShot(50, [act] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    act(box);
            });
        };
        onNextBox([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        QCOMPARE(PlainMsgBox("Real?", vbYesNo, "Real"), int(vbYes));
        onNextBox([](QMessageBox* box) {
            QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
            QCOMPARE(box->windowTitle(), QString("Sonivault"));
            box->reject();
        });
        QCOMPARE(PlainMsgBox("Real?", vbYesNo + vbDefaultButton2, ""), int(vbNo));

        // The question about one of several files offers the "to all" answers.
        QStringList labels;
        onNextBox([&labels](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons())
                labels << b->text().remove(QLatin1Char('&'));
            box->button(QMessageBox::NoToAll)->click();
        });
        QCOMPARE(MsgBoxEx("Replace?", vbYesNoAllCancel + vbQuestion, "Confirm"), int(vbNoToAll));
        labels.sort();
        QCOMPARE(labels, (QStringList{"Cancel", "No", "No to All", "Yes", "Yes to All"}));
        onNextBox([](QMessageBox* box) { box->button(QMessageBox::YesToAll)->click(); });
        QCOMPARE(MsgBoxEx("Replace?", vbYesNoAllCancel, "Confirm"), int(vbYesToAll));
        onNextBox([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(MsgBoxEx("Replace?", vbYesNoAllCancel, "Confirm"), int(vbCancel));
    }

    void criticalErrorText()
    {
        svtest::MsgBoxScript script;
        script.answer(vbOK);
        ReportCriticalError("Split", "(61) Disk full");
        QCOMPARE(script.last().style, 16);
        QCOMPARE(script.last().title, QString("Sonivault"));
        QCOMPARE(script.last().text,
                 QString("Sonivault experienced a critical error. Sonivault will try to continue, but if problems "
                         "continue, please restart your computer.\r\n\r\nComponent: Split\r\n\r\nDetails:\r\n(61) "
                         "Disk full\r\n\r\nIf you continue to experience this problem, please contact Velmora "
                         "Technical Support, providing the information in this message."));
    }

    void shellErrors()
    {
        SetShellHandler([](const QString&, const QStringList&, const QString&) { return 2; });
        QVERIFY(!ShellOpen("/nowhere/x"));
        QCOMPARE(LastShellError().number, 53);
        QCOMPARE(LastShellError().description, QString("File not found"));
        QCOMPARE(OpenDocument(""), 1);
        SetShellHandler([](const QString&, const QStringList&, const QString&) { return 42; });
        QVERIFY(ShellOpen("pavucontrol"));
        SetShellHandler({});
        // The real hand-over reports a missing file rather than pretending.
        QVERIFY(!ShellOpen("/definitely/not/here.txt"));
        QCOMPARE(LastShellError().number, 76);
    }
};

QTEST_MAIN(TestMsgBox)
#include "test_msgbox.moc"
