#pragma once
// The store's files on disk: durable replacement through a uniquely named
// temporary, the per-file advisory lock shared by every process of the user,
// and damaged files moved aside instead of overwritten.
#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace sv::xml {

// The mode of a file made now (0666 less the umask).
mode_t newFileMode();
// The mode of the file at path, or newFileMode() when there is none.
mode_t modeOrNew(const QString& path);

// Writes the bytes to a new, uniquely named file beside the target, flushes
// it and moves it into place: a crash leaves the old file or the new one,
// never a mix. mustBeNew refuses to replace a file that exists meanwhile.
bool writeReplacing(const QString& path, const QByteArray& data, mode_t mode, bool mustBeNew);

// Moves a damaged file aside to a free FILE.damaged[.N] name; that name, or
// "" on failure.
QString moveAside(const QString& path);

// Temporaries of writers that were killed before they could rename them.
// With the lock held no other writer is between its temporary and the
// rename, so every one left is stale.
void removeStaleTemporaries(const QString& path);

// The advisory lock of one file's read-modify-write, shared with every other
// process of this user using the store; one lock per file, whatever path names it.
class FileLock {
public:
    explicit FileLock(const QString& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return m_locked; }

private:
    int m_fd = -1;
    bool m_locked = false;
};

} // namespace sv::xml
