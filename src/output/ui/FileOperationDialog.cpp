#include "output/ui/FileOperationDialog.h"

#include "output/CopyJob.h"
#include "util/modFunctions.h"
#include "util/ui/modMsgbox.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QProgressDialog>

namespace sv {

namespace {

// The replace question for one file; the "to all" answers only when more
// questions would follow.
OverwriteAnswer askReplace(const QString& target, bool more)
{
    const int answer = MsgBoxEx(QStringLiteral("This folder already contains a file named \"")
                                    + GetFileNameFromPath(target) + QStringLiteral("\".") + QStringLiteral("\r\n\r\n")
                                    + QStringLiteral("Would you like to replace the existing file?"),
                                (more ? vbYesNoAllCancel : vbYesNoCancel) + vbQuestion,
                                QStringLiteral("Confirm File Replace"));
    switch (answer) {
    case vbYes: return OverwriteAnswer::Replace;
    case vbYesToAll: return OverwriteAnswer::ReplaceAll;
    case vbNo: return OverwriteAnswer::Skip;
    case vbNoToAll: return OverwriteAnswer::SkipAll;
    default: return OverwriteAnswer::Cancel;
    }
}

} // namespace

QString ShellFileOperation(QWidget* owner, const QStringList& files, const QString& destination, FileOp op,
                           const QString& title)
{
    // Every question is asked before the progress box opens: a box that
    // appears later would lie over the question and block it.
    QHash<QString, OverwriteAnswer> answers;
    const QStringList clashes = ExistingTargets(files, destination);
    for (qsizetype i = 0; i < clashes.size(); ++i) {
        const OverwriteAnswer a = askReplace(clashes[i], i + 1 < clashes.size());
        if (a == OverwriteAnswer::Cancel)
            return kMoveCanceled;
        if (a == OverwriteAnswer::ReplaceAll || a == OverwriteAnswer::SkipAll) {
            for (qsizetype k = i; k < clashes.size(); ++k)
                answers.insert(clashes[k], a == OverwriteAnswer::ReplaceAll ? OverwriteAnswer::Replace
                                                                             : OverwriteAnswer::Skip);
            break;
        }
        answers.insert(clashes[i], a);
    }

    QProgressDialog dlg(owner);
    dlg.setWindowTitle(title);
    dlg.setWindowModality(Qt::WindowModal);
    dlg.setRange(0, 1000);
    dlg.setMinimumDuration(400);
    dlg.setAutoClose(false);
    dlg.setAutoReset(false);
    const QString verb = op == FileOp::Move ? QStringLiteral("Moving ") : QStringLiteral("Copying ");

    // The copy runs on its own thread; this loop keeps the window painted
    // and the Cancel button working until it ends.
    CopyJob job(files, destination, op, answers);
    QEventLoop loop;
    QObject::connect(&job, &Job::progress, &dlg, [&](qint64 done, qint64 total, const QString& file) {
        if (!file.isEmpty())
            dlg.setLabelText(verb + GetFileNameFromPath(file) + QStringLiteral("..."));
        dlg.setValue(total > 0 ? int(done * 1000 / total) : 0);
    });
    QObject::connect(&dlg, &QProgressDialog::canceled, &job, [&job] { job.cancel(); });
    QObject::connect(&job, &Job::finished, &loop, &QEventLoop::quit);
    // A file that appeared in the folder after the questions: asked on the
    // UI thread with the progress box out of the way, the job waiting.
    QObject* ui = &dlg;
    job.setLateQuestion([ui, &dlg](const QString& target) {
        OverwriteAnswer a = OverwriteAnswer::Cancel;
        QMetaObject::invokeMethod(
            ui,
            [&] {
                const bool shown = dlg.isVisible();
                dlg.hide();
                a = askReplace(target, false);
                if (shown)
                    dlg.show();
            },
            Qt::BlockingQueuedConnection);
        return a;
    });
    job.start();
    if (job.isRunning())
        loop.exec();
    job.wait();
    dlg.close();
    return job.result().ok() ? QString() : job.result().canceled() ? kMoveCanceled : job.result().detail;
}

} // namespace sv
