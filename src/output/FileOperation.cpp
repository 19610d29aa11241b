#include "output/FileOperation.h"

#include "util/modFunctions.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace sv {

namespace {

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

enum class Step { Done, Cancelled, Failed };

struct Copier {
    const FileOpCallbacks& cb;
    qint64 done = 0;
    qint64 total = 0;
    QString error;
    FileOpCode code = FileOpCode::Done;
    int errnum = 0;

    Step failed(FileOpCode c, const QString& text, int e)
    {
        code = c;
        error = text;
        errnum = e;
        return Step::Failed;
    }

    bool report(const QString& file) { return !cb.progress || cb.progress(done, total, file); }

    Step copy(const QString& src, const QString& target)
    {
        QFile in(src);
        if (!in.open(QIODevice::ReadOnly))
            return failed(FileOpCode::ReadFailed, QStringLiteral("Cannot read ") + src + QStringLiteral(": ") + in.errorString(), errno);
        // Written beside the target and renamed over it at the end, so a
        // failure or a cancel never leaves a half file or loses the old one.
        QSaveFile out(target);
        out.setDirectWriteFallback(false);
        if (!out.open(QIODevice::WriteOnly))
            return failed(FileOpCode::WriteFailed, QStringLiteral("Cannot write ") + target + QStringLiteral(": ") + out.errorString(), errno);
        QByteArray buf(kCopyChunk, Qt::Uninitialized);
        for (;;) {
            const qint64 n = in.read(buf.data(), buf.size());
            if (n < 0) {
                const int e = errno;
                out.cancelWriting();
                return failed(FileOpCode::ReadFailed, QStringLiteral("Cannot read ") + src + QStringLiteral(": ") + in.errorString(), e);
            }
            if (n == 0)
                break;
            if (out.write(buf.constData(), n) != n) {
                const int e = errno;
                out.cancelWriting();
                return failed(FileOpCode::WriteFailed, QStringLiteral("Cannot write ") + target + QStringLiteral(": ") + out.errorString(), e);
            }
            done += n;
            if (!report(src)) {
                out.cancelWriting();
                return Step::Cancelled;
            }
        }
        if (!out.commit())
            return failed(FileOpCode::WriteFailed, QStringLiteral("Cannot write ") + target + QStringLiteral(": ") + out.errorString(), errno);
        return Step::Done;
    }

    Step move(const QString& src, const QString& target, qint64 size)
    {
        // A rename on the same volume is instant and replaces the target.
        if (std::rename(QFile::encodeName(src).constData(), QFile::encodeName(target).constData()) == 0) {
            done += size;
            return report(src) ? Step::Done : Step::Cancelled;
        }
        const int err = errno;
        if (err != EXDEV)
            return failed(FileOpCode::WriteFailed, QStringLiteral("Cannot move ") + src + QStringLiteral(" to ") + target
                              + QStringLiteral(": ") + systemError(err), err);
        const Step s = copy(src, target);
        if (s == Step::Done && ::unlink(QFile::encodeName(src).constData()) != 0)
            return failed(FileOpCode::WriteFailed, QStringLiteral("Cannot remove ") + src + QStringLiteral(" after copying it."), errno);
        return s;
    }
};

} // namespace

QStringList ExistingTargets(const QStringList& files, const QString& destination)
{
    QStringList out;
    for (const QString& src : files) {
        const QFileInfo si(src);
        if (src.isEmpty() || !si.isFile())
            continue;
        const QFileInfo ti(AddSlash(destination) + si.fileName());
        if (ti.isFile() && ti.canonicalFilePath() != si.canonicalFilePath())
            out << ti.filePath();
    }
    return out;
}

FileOpResult RunFileOperation(const QStringList& files, const QString& destination, FileOp op,
                              const FileOpCallbacks& callbacks)
{
    Copier job{callbacks, 0, 0, QString()};
    const FileOpResult canceled{FileOpCode::Canceled, 0, kMoveCanceled};
    if (!FolderExists(destination))
        return {FileOpCode::NoFolder, ENOENT, QStringLiteral("The folder ") + destination + QStringLiteral(" cannot be found.")};
    for (const QString& f : files)
        job.total += QFileInfo(f).size();
    if (!job.report(QString()))
        return canceled;

    bool replaceAll = false;
    bool skipAll = false;
    for (const QString& src : files) {
        const QFileInfo si(src);
        if (src.isEmpty() || !si.isFile())
            return {FileOpCode::NoSource, ENOENT, QStringLiteral("Cannot find the file ")
                        + (src.isEmpty() ? QStringLiteral("(no name)") : src) + QStringLiteral(".")};
        const QString target = AddSlash(destination) + si.fileName();
        const QFileInfo ti(target);
        const qint64 size = si.size();
        if (ti.exists()) {
            if (ti.isDir())
                return {FileOpCode::WriteFailed, EISDIR,
                        QStringLiteral("Cannot write ") + target + QStringLiteral(": a folder of that name exists.")};
            // Copying a file onto itself: it is already where it should be.
            if (ti.canonicalFilePath() == si.canonicalFilePath()) {
                job.done += size;
                if (!job.report(src))
                    return canceled;
                continue;
            }
            if (!replaceAll && (skipAll || callbacks.confirmOverwrite)) {
                switch (skipAll ? OverwriteAnswer::Skip : callbacks.confirmOverwrite(target)) {
                case OverwriteAnswer::Replace: break;
                case OverwriteAnswer::ReplaceAll: replaceAll = true; break;
                case OverwriteAnswer::SkipAll: skipAll = true; [[fallthrough]];
                case OverwriteAnswer::Skip:
                    job.done += size;
                    if (!job.report(src))
                        return canceled;
                    continue;
                case OverwriteAnswer::Cancel: return canceled;
                }
            }
        }
        const Step s = op == FileOp::Move ? job.move(src, target, size) : job.copy(src, target);
        if (s == Step::Cancelled)
            return canceled;
        if (s == Step::Failed)
            return {job.code, job.errnum, job.error};
        // An empty file gives no chunk; report it as finished all the same.
        if (size == 0 && !job.report(src))
            return canceled;
    }
    return {};
}

QString ShellFileOperation(const QStringList& files, const QString& destination, FileOp op,
                           const FileOpCallbacks& callbacks)
{
    return RunFileOperation(files, destination, op, callbacks).text;
}

} // namespace sv
