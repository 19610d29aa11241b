#include "settings/XmlCache.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace sv::xml {

namespace {

const int kCacheEntries = 16;

struct FileKey {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0, ctimeNs = 0;
    bool operator==(const FileKey&) const = default;
};

std::int64_t ns(const timespec& ts) { return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec; }

FileKey keyOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino, st.st_size, ns(st.st_mtim), ns(st.st_ctim)};
}

struct CacheEntry {
    QString path;
    FileKey key;
    bool stable = false; // the file had not changed for a while when it was read
    QByteArray bytes;
    std::shared_ptr<const Doc> doc;
    quint64 used = 0;
};
std::vector<CacheEntry> g_cache;
quint64 g_tick = 0;

bool readAll(int fd, QByteArray& out, off_t sizeHint)
{
    out.clear();
    out.reserve(qsizetype(qMax<off_t>(sizeHint, 0)) + 1);
    char buf[65536];
    while (true) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return false;
        if (r == 0)
            return true;
        out.append(buf, r);
    }
}

// A change in the same clock tick as the one before keeps the time stamp.
// Local Linux file systems stamp to the scheduler tick (10 ms or finer); a
// stamp without nanoseconds comes from a coarse file system (seconds, or two
// for FAT). A file read within that window of its last change is checked
// against its bytes until a read after the window confirms it.
std::int64_t racyWindowNs(const FileKey& key)
{
    return key.mtimeNs % 1'000'000'000 == 0 ? 2'100'000'000 : 50'000'000;
}

std::int64_t nowNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return ns(now);
}

} // namespace

Loaded load(const QString& path)
{
    Loaded res;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        res.status = errno == ENOENT ? Load::Missing : Load::Failed;
        return res;
    }
    // Exists (or is a dangling link) but cannot be reached: a failed read.
    if (::stat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return res;
    CacheEntry* hit = nullptr;
    for (CacheEntry& e : g_cache)
        if (e.path == path && e.key == keyOf(st))
            hit = &e;
    if (hit && hit->stable) {
        hit->used = ++g_tick;
        res.status = Load::Ok;
        res.doc = hit->doc;
        res.st = st;
        return res;
    }
    // O_NONBLOCK: a FIFO swapped in under the name must not hang the program.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return res;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return res;
    }
    res.st = st;
    const FileKey key = keyOf(st);
    const std::int64_t readAt = nowNs();
    QByteArray bytes;
    const bool ok = readAll(fd, bytes, st.st_size);
    ::close(fd);
    if (!ok)
        return res;
    res.status = Load::Ok;
    const bool stable = readAt - key.mtimeNs > racyWindowNs(key);
    if (hit && hit->key == key && hit->bytes == bytes) {
        hit->used = ++g_tick;
        hit->stable = stable;
        res.doc = hit->doc;
        return res;
    }
    auto doc = parse(bytes);
    res.doc = doc;
    CacheEntry entry{path, key, stable, bytes, doc, ++g_tick};
    for (CacheEntry& e : g_cache)
        if (e.path == path) {
            e = std::move(entry);
            return res;
        }
    if (int(g_cache.size()) < kCacheEntries) {
        g_cache.push_back(std::move(entry));
    } else {
        auto oldest = std::min_element(g_cache.begin(), g_cache.end(),
                                       [](const CacheEntry& a, const CacheEntry& b) { return a.used < b.used; });
        *oldest = std::move(entry);
    }
    return res;
}

void forget(const QString& path)
{
    std::erase_if(g_cache, [&](const CacheEntry& e) { return e.path == path; });
}

} // namespace sv::xml
