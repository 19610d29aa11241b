#include "output/FileOperation.h"

#include "util/modFunctions.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sv {

namespace {

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

enum class Step { Done, Cancelled, Failed };

struct Job {
    const FileOpCallbacks& cb;
    qint64 done = 0;
    qint64 total = 0;
    QString error;

    bool report(const QString& file) { return !cb.progress || cb.progress(done, total, file); }

    Step copy(const QString& src, const QString& target)
    {
        QFile in(src);
        if (!in.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("Cannot read ") + src + QStringLiteral(": ") + in.errorString();
            return Step::Failed;
        }
        // Written beside the target and renamed over it at the end, so a
        // failure or a cancel never leaves a half file or loses the old one.
        QSaveFile out(target);
        out.setDirectWriteFallback(false);
        if (!out.open(QIODevice::WriteOnly)) {
            error = QStringLiteral("Cannot write ") + target + QStringLiteral(": ") + out.errorString();
            return Step::Failed;
        }
        QByteArray buf(kCopyChunk, Qt::Uninitialized);
        for (;;) {
            const qint64 n = in.read(buf.data(), buf.size());
            if (n < 0) {
                error = QStringLiteral("Cannot read ") + src + QStringLiteral(": ") + in.errorString();
                out.cancelWriting();
                return Step::Failed;
            }
            if (n == 0)
                break;
            if (out.write(buf.constData(), n) != n) {
                error = QStringLiteral("Cannot write ") + target + QStringLiteral(": ") + out.errorString();
                out.cancelWriting();
                return Step::Failed;
            }
            done += n;
            if (!report(src)) {
                out.cancelWriting();
                return Step::Cancelled;
            }
        }
        if (!out.commit()) {
            error = QStringLiteral("Cannot write ") + target + QStringLiteral(": ") + out.errorString();
            return Step::Failed;
        }
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
        if (err != EXDEV) {
            error = QStringLiteral("Cannot move ") + src + QStringLiteral(" to ") + target + QStringLiteral(": ")
                + systemError(err);
            return Step::Failed;
        }
        const Step s = copy(src, target);
        if (s == Step::Done && !QFile::remove(src)) {
            error = QStringLiteral("Cannot remove ") + src + QStringLiteral(" after copying it.");
            return Step::Failed;
        }
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

QString ShellFileOperation(const QStringList& files, const QString& destination, FileOp op,
                           const FileOpCallbacks& callbacks)
{
    Job job{callbacks, 0, 0, QString()};
    if (!FolderExists(destination))
        return QStringLiteral("The folder ") + destination + QStringLiteral(" cannot be found.");
    for (const QString& f : files)
        job.total += QFileInfo(f).size();
    if (!job.report(QString()))
        return kMoveCanceled;

    bool replaceAll = false;
    bool skipAll = false;
    for (const QString& src : files) {
        const QFileInfo si(src);
        if (src.isEmpty() || !si.isFile())
            return QStringLiteral("Cannot find the file ") + (src.isEmpty() ? QStringLiteral("(no name)") : src)
                + QStringLiteral(".");
        const QString target = AddSlash(destination) + si.fileName();
        const QFileInfo ti(target);
        const qint64 size = si.size();
        if (ti.exists()) {
            if (ti.isDir())
                return QStringLiteral("Cannot write ") + target + QStringLiteral(": a folder of that name exists.");
            // Copying a file onto itself: it is already where it should be.
            if (ti.canonicalFilePath() == si.canonicalFilePath()) {
                job.done += size;
                if (!job.report(src))
                    return kMoveCanceled;
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
                        return kMoveCanceled;
                    continue;
                case OverwriteAnswer::Cancel: return kMoveCanceled;
                }
            }
        }
        const Step s = op == FileOp::Move ? job.move(src, target, size) : job.copy(src, target);
        if (s == Step::Cancelled)
            return kMoveCanceled;
        if (s == Step::Failed)
            return job.error;
        // An empty file gives no chunk; report it as finished all the same.
        if (size == 0 && !job.report(src))
            return kMoveCanceled;
    }
    return QString();
}

} // namespace sv
