#include "util/ui/modShellExecute.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace sv {

namespace {
ShellHandler g_handler;
FolderPicker g_picker;
ShellError g_lastError;

int desktopOpen(const QString& file, const QStringList& args, const QString& folder)
{
    const QFileInfo fi(file);
    if (!args.isEmpty() || (fi.isFile() && fi.isExecutable())) {
        QString program = file;
        if (!fi.exists()) {
            program = QStandardPaths::findExecutable(file);
            if (program.isEmpty())
                return ShellFileNotFound;
        }
        return QProcess::startDetached(program, args, folder) ? ShellOk : ShellFileNotFound;
    }
    if (!fi.exists())
        return fi.dir().exists() ? ShellFileNotFound : ShellPathNotFound;
    if (!fi.isReadable())
        return ShellAccessDenied;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(fi.absoluteFilePath())) ? ShellOk : ShellNoAssociation;
}
} // namespace

ShellError ShellErrorFor(int code)
{
    const int base = -2147220456;
    ShellError e;
    switch (code) {
    case 0: case 8: e = ShellError{7, QStringLiteral("Out of memory"), {}}; break;
    case 2: e = ShellError{53, QStringLiteral("File not found"), {}}; break;
    case 3: e = ShellError{76, QStringLiteral("Path not found"), {}}; break;
    case 5: e = ShellError{75, QStringLiteral("Path/file access error"), {}}; break;
    case 11: e = ShellError{base + code, QStringLiteral("The executable file is invalid or corrupt"), {}}; break;
    case 26: e = ShellError{75, QStringLiteral("A sharing violation occurred."), {}}; break;
    case 27: e = ShellError{base + code, QStringLiteral("This file type does not have a valid file association."), {}}; break;
    case 28:
        e = ShellError{286, QStringLiteral("The file could not be opened due to time out. Please try again in a moment."), {}};
        break;
    case 29:
        e = {285, QStringLiteral("The file could not be opened because the DDE transaction failed. Please try "
                                 "again in a moment.")};
        break;
    case 30:
        e = {285, QStringLiteral("The file could not be opened because the target application is busy. Please "
                                 "try again in a moment.")};
        break;
    case 31: e = ShellError{base + code, QStringLiteral("No application is associated with this file type."), {}}; break;
    case 32: e = ShellError{48, QStringLiteral("The specified dynamic-link library was not found."), {}}; break;
    default:
        e = ShellError{base + code, QStringLiteral("An error occurred occurred whilst trying to open or print the selected file."), {}};
        break;
    }
    e.source = QCoreApplication::applicationName() + QStringLiteral(".GShell");
    return e;
}

void SetShellHandler(ShellHandler handler) { g_handler = std::move(handler); }

int OpenDocument(const QString& path)
{
    if (path.isEmpty())
        return 1;
    return g_handler ? g_handler(path, {}, {}) : desktopOpen(path, {}, {});
}

bool ShellOpen(const QString& file, const QStringList& parameters, const QString& folder)
{
    const int code = g_handler ? g_handler(file, parameters, folder) : desktopOpen(file, parameters, folder);
    if (code > 32) {
        g_lastError = {};
        return true;
    }
    g_lastError = ShellErrorFor(code);
    return false;
}

ShellError LastShellError() { return g_lastError; }

void SetFolderPicker(FolderPicker picker) { g_picker = std::move(picker); }

QString PickFolder(const QString& title, const QString& start)
{
    if (g_picker)
        return g_picker(title, start);
    return QFileDialog::getExistingDirectory(nullptr, title, start);
}

} // namespace sv
