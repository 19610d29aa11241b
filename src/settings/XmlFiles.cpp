#include "settings/XmlFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::xml {

namespace {

// How long a writer waits for another process's write before giving up.
const int kLockTimeoutMs = 20000;

void syncFolderOf(const QByteArray& native)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(QFile::decodeName(native)).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Renames without replacing an existing file. Some file systems cannot do
// that in one step; the store's lock keeps its own writers out meanwhile.
bool renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

// Where the lock files live: a private folder of this user's, so no lock file
// is left beside the user's settings or in a recording folder.
QByteArray lockFolder()
{
    QByteArray dir = qgetenv("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || ::access(dir.constData(), W_OK) != 0)
        dir = "/tmp/sonivault-locks-" + QByteArray::number(uint(::getuid()));
    else
        dir += "/sonivault-locks";
    ::mkdir(dir.constData(), 0700);
    struct stat st {};
    // Someone else's folder (or a link planted in /tmp) is not ours to trust.
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return {};
    return dir;
}

// One lock per file, whatever path names it: keyed on the folder's identity
// and the file's name.
QByteArray lockName(const QString& path)
{
    const QFileInfo fi(path);
    QByteArray key = QFile::encodeName(fi.fileName());
    struct stat st {};
    if (::stat(QFile::encodeName(fi.absolutePath()).constData(), &st) == 0)
        key = QByteArray::number(qulonglong(st.st_dev)) + ':' + QByteArray::number(qulonglong(st.st_ino)) + '/' + key;
    else
        key = QFile::encodeName(fi.absoluteFilePath());
    const QByteArray dir = lockFolder();
    if (dir.isEmpty())
        return {};
    return dir + '/' + QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex() + ".lock";
}

} // namespace

mode_t newFileMode()
{
    static const mode_t mode = [] {
        // The umask without changing it (other threads may create files).
        mode_t mask = 022;
        QFile f(QStringLiteral("/proc/self/status"));
        if (f.open(QIODevice::ReadOnly)) {
            for (const QByteArray& l : f.readAll().split('\n'))
                if (l.startsWith("Umask:"))
                    mask = mode_t(l.mid(6).trimmed().toUInt(nullptr, 8));
        }
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

mode_t modeOrNew(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : newFileMode();
}

bool writeReplacing(const QString& path, const QByteArray& data, mode_t mode, bool mustBeNew)
{
    const QByteArray native = QFile::encodeName(path);
    QByteArray tmpl = native + ".tmp.XXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0;
    for (qsizetype done = 0; ok && done < data.size();) {
        const ssize_t w = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (w < 0 && errno == EINTR)
            continue;
        ok = w > 0;
        done += ok ? w : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) {
        ok = mustBeNew ? renameNoReplace(tmpl, native) : ::rename(tmpl.constData(), native.constData()) == 0;
    }
    if (!ok) {
        ::unlink(tmpl.constData());
        return false;
    }
    syncFolderOf(native);
    return true;
}

FileLock::FileLock(const QString& path)
{
    const QByteArray name = lockName(path);
    if (name.isEmpty())
        return;
    m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        return;
    for (int waited = 0, pause = 1;; waited += pause, pause = qMin(pause * 2, 16)) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited > kLockTimeoutMs)
            return;
        ::usleep(useconds_t(pause) * 1000);
    }
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

QString moveAside(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    for (int i = 0; i < 100; ++i) {
        const QString kept = path + QStringLiteral(".damaged") + (i ? QStringLiteral(".") + QString::number(i) : QString());
        if (renameNoReplace(native, QFile::encodeName(kept))) {
            syncFolderOf(native);
            return kept;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

void removeStaleTemporaries(const QString& path)
{
    const QFileInfo fi(path);
    const QByteArray prefix = QFile::encodeName(fi.fileName()) + ".tmp.";
    const QByteArray folder = QFile::encodeName(fi.absolutePath());
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name.size() == prefix.size() + 6 && name.startsWith(prefix))
            ::unlinkat(::dirfd(dir), e->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace sv::xml
