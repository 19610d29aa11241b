#pragma once
// Copies or moves finished files into the save folder, in chunks, with
// progress, cancel, and a question before an existing file is replaced.
#include <QString>
#include <QStringList>

#include <functional>

namespace sv {

enum class FileOp { Move = 1, Copy = 2 };

enum class OverwriteAnswer { Replace, ReplaceAll, Skip, Cancel, SkipAll };

struct FileOpCallbacks {
    // Called before the work, after every chunk and after every file; false
    // cancels. bytesDone counts skipped files too, so it ends at bytesTotal.
    std::function<bool(qint64 bytesDone, qint64 bytesTotal, const QString& file)> progress;
    // Asked before a file of the same name in the destination is replaced.
    // Without it, existing files are replaced.
    std::function<OverwriteAnswer(const QString& target)> confirmOverwrite;
};

// The files of the list that would replace a different file of the same name
// in the destination, as destination paths, in list order.
QStringList ExistingTargets(const QStringList& files, const QString& destination);

// The result for a cancelled operation (the same text for copy and move).
inline const QString kMoveCanceled = QStringLiteral("Move canceled.");

constexpr qint64 kCopyChunk = 1024 * 1024;

enum class FileOpCode { Done, Canceled, NoFolder, NoSource, ReadFailed, WriteFailed };

struct FileOpResult {
    FileOpCode code = FileOpCode::Done;
    int errnum = 0;  // the system's error number of the cause, 0 when none
    QString text;    // what went wrong, naming the file ("" when done)
    bool ok() const { return code == FileOpCode::Done; }
};

// The work itself, with a typed result; runs on any thread (CopyJob).
FileOpResult RunFileOperation(const QStringList& files, const QString& destination, FileOp op,
                              const FileOpCallbacks& callbacks = {});

// The text of RunFileOperation: empty text on success; kMoveCanceled when cancelled; otherwise what went
// wrong, naming the file. Files finished before a failure or a cancel stay in
// the destination; a file being written when it happened is not left behind
// half written, and an existing file it was to replace is kept.
QString ShellFileOperation(const QStringList& files, const QString& destination, FileOp op,
                           const FileOpCallbacks& callbacks = {});

} // namespace sv
