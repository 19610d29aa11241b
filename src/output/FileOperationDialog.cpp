#include "output/FileOperationDialog.h"

#include "util/modFunctions.h"
#include "util/modMsgbox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProgressDialog>

namespace sv {

QString ShellFileOperation(QWidget* owner, const QStringList& files, const QString& destination, FileOp op,
                           const QString& title)
{
    QProgressDialog dlg(owner);
    dlg.setWindowTitle(title);
    dlg.setWindowModality(Qt::WindowModal);
    dlg.setRange(0, 1000);
    dlg.setMinimumDuration(400);
    dlg.setAutoClose(false);
    dlg.setAutoReset(false);
    const QString verb = op == FileOp::Move ? QStringLiteral("Moving ") : QStringLiteral("Copying ");

    FileOpCallbacks cb;
    cb.progress = [&](qint64 done, qint64 total, const QString& file) {
        if (!file.isEmpty())
            dlg.setLabelText(verb + GetFileNameFromPath(file) + QStringLiteral("..."));
        dlg.setValue(total > 0 ? int(done * 1000 / total) : 0);
        // The dialog may not be shown yet; the window must still repaint.
        QCoreApplication::processEvents();
        return !dlg.wasCanceled();
    };
    cb.confirmOverwrite = [&](const QString& target) {
        const int answer = MsgBoxEx(QStringLiteral("This folder already contains a file named \"")
                                        + GetFileNameFromPath(target) + QStringLiteral("\".") + QStringLiteral("\r\n\r\n")
                                        + QStringLiteral("Would you like to replace the existing file?"),
                                    vbYesNoCancel + vbQuestion, QStringLiteral("Confirm File Replace"));
        switch (answer) {
        case vbYes: return OverwriteAnswer::Replace;
        case vbNo: return OverwriteAnswer::Skip;
        default: return OverwriteAnswer::Cancel;
        }
    };
    const QString result = ShellFileOperation(files, destination, op, cb);
    dlg.close();
    return result;
}

} // namespace sv
