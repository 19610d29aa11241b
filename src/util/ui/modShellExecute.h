#pragma once
// Handing files and programs to the desktop ("open" with the default program).
#include <QString>
#include <QStringList>
#include <functional>

namespace sv {

// The failure of the last ShellOpen: classic error number and text.
struct ShellError {
    int number = 0;
    QString description;
    QString source;
};

// Shell result codes (0..32 are failures, above 32 success).
enum ShellCode { ShellOutOfMemory = 0, ShellFileNotFound = 2, ShellPathNotFound = 3, ShellAccessDenied = 5,
                 ShellSharingViolation = 26, ShellNoAssociation = 31, ShellOk = 42 };

// Error number and text for a failed shell result code.
ShellError ShellErrorFor(int code);

// Opens a document or folder with the desktop's default program.
// Returns a shell result code (>32 success); 1 for an empty path.
int OpenDocument(const QString& path);
// Starts a program (with arguments) or opens a document. True on success;
// otherwise false and LastShellError() tells why.
bool ShellOpen(const QString& file, const QStringList& parameters = {}, const QString& folder = {});
ShellError LastShellError();

// Tests replace the desktop hand-over: the function gets the path or program
// and its arguments and returns a shell result code.
using ShellHandler = std::function<int(const QString& file, const QStringList& args, const QString& folder)>;
void SetShellHandler(ShellHandler handler);

// Folder picker, replaceable in tests; returns the chosen folder or "".
using FolderPicker = std::function<QString(const QString& title, const QString& start)>;
void SetFolderPicker(FolderPicker picker);
QString PickFolder(const QString& title, const QString& start);

} // namespace sv
