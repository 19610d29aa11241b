#include "settings/modXML.h"

#include "util/modFunctions.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv {

namespace {

const QByteArray kHeader = QByteArrayLiteral("<XML Version=\"Quarrydale\">");
const QByteArray kFooter = QByteArrayLiteral("</XML>");
const int kMaxDepth = 10;
// How long a writer waits for another process's write before giving up.
const int kLockTimeoutMs = 20000;
const int kCacheEntries = 16;

QString g_settingsFile;
// One operation at a time inside the process; other processes are kept out
// by the lock file.
QMutex g_mutex;
DamagedFileHandler g_damagedHandler;
// Damaged files set aside during an operation, reported once it is over (a
// handler may show a message, whose event loop may read settings).
std::vector<std::pair<QString, QString>> g_pendingReports;

// Holds the store for one operation; on the way out, reports what was set aside.
class StoreGuard {
public:
    StoreGuard() { g_mutex.lock(); }
    ~StoreGuard()
    {
        auto reports = std::move(g_pendingReports);
        g_pendingReports.clear();
        const DamagedFileHandler handler = g_damagedHandler;
        g_mutex.unlock();
        for (const auto& [file, kept] : reports) {
            if (handler)
                handler(file, kept);
            else
                std::fprintf(stderr, "Sonivault: %s could not be read; it was kept as %s and a new one was started.\n",
                             QFile::encodeName(file).constData(), QFile::encodeName(kept).constData());
        }
    }
    StoreGuard(const StoreGuard&) = delete;
    StoreGuard& operator=(const StoreGuard&) = delete;
};

QString resolve(const QString& file) { return file.isEmpty() ? g_settingsFile : file; }

QString fold(const QString& s) { return s.toCaseFolded(); }

QByteArray trimSpaces(const QByteArray& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return s.mid(b, e - b);
}

QByteArray stripQuotes(const QByteArray& s)
{
    QByteArray t = trimSpaces(s);
    if (t.startsWith('"'))
        t.remove(0, 1);
    if (t.endsWith('"'))
        t.chop(1);
    return t;
}

bool isOpenTag(const QByteArray& t) { return t.contains('<') && t.contains('>') && !t.contains('/'); }
bool isCloseTag(const QByteArray& t) { return t.contains('<') && t.contains('>') && t.contains("</"); }

// A parameter line written by this store, whatever its value holds. Older
// writers put "</" into values unescaped; such lines are still parameters.
bool isParamLine(const QByteArray& t)
{
    return t.size() > 7 && qstrnicmp(t.constData(), "<Param ", 7) == 0 && t.endsWith("/>");
}

QByteArray openTagName(const QByteArray& t)
{
    const qsizetype gt = t.indexOf('>', 1);
    return gt < 1 ? QByteArray() : t.mid(1, gt - 1);
}

QByteArray closeTagName(const QByteArray& t)
{
    const qsizetype gt = t.indexOf('>');
    return gt < 2 ? QByteArray() : t.mid(2, gt - 2);
}

// Position just after the name's closing quote, or -1.
qsizetype nameEnd(const QByteArray& t)
{
    const qsizetype eq = t.indexOf('=');
    if (eq < 0)
        return -1;
    const qsizetype q = t.indexOf('"', eq + 3);
    return q < 0 ? -1 : q + 1;
}

enum class NameState : unsigned char { Ok, Broken };

// The parameter name of a trimmed line ("" when it has none).
NameState paramName(const QByteArray& t, bool param, QByteArray& name)
{
    name.clear();
    if (t.isEmpty() || !t.contains("/>"))
        return NameState::Ok;
    if (param || !t.contains("</")) {
        const qsizetype eq = t.indexOf('=');
        if (eq < 0)
            return NameState::Ok;
        const qsizetype start = eq + 2;
        const qsizetype q = t.indexOf('"', start + 1);
        if (q < 0)
            return NameState::Broken;
        name = stripQuotes(t.mid(start, q - start));
        return NameState::Ok;
    }
    const qsizetype lt = t.indexOf('<');
    const qsizetype gt = t.indexOf('>', lt);
    if (gt >= 0)
        name = t.mid(lt + 1, gt - lt - 1);
    return NameState::Ok;
}

QByteArray rawParamValue(const QByteArray& t, bool param)
{
    if (param || !t.contains("</")) {
        // Look for VALUE after the name, so a key that contains "value" is read right.
        const QByteArray upper = t.toUpper();
        qsizetype p = upper.indexOf("VALUE", qMax<qsizetype>(0, nameEnd(t)));
        if (p < 0)
            p = upper.indexOf("VALUE");
        if (p < 0)
            return {};
        const QByteArray rest = t.mid(p + 6);
        if (!rest.contains('"'))
            return {};
        QByteArray v = stripQuotes(rest);
        if (v.startsWith('=')) {
            v.remove(0, 1);
            v = stripQuotes(v);
        }
        const qsizetype lastQ = v.lastIndexOf('"');
        if (lastQ >= 0)
            v = v.left(lastQ + 1);
        return stripQuotes(v);
    }
    const qsizetype gt = t.indexOf('>');
    const qsizetype lt = t.indexOf('<', gt);
    return lt < 0 ? QByteArray() : stripQuotes(t.mid(gt + 1, lt - gt - 1));
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One classified line of a store file.
struct Line {
    QByteArray raw; // as in the file, without its line end
    QByteArray t;   // without leading and trailing spaces
    bool open = false, close = false, param = false, startsClose = false, noGt = false;
    NameState nameState = NameState::Ok;
    QString tag;   // folded name of an open or close tag
    QString pname; // folded parameter name
};

struct Doc {
    std::vector<Line> lines;
    QHash<QString, std::vector<int>> opens; // folded section name -> its start lines, ascending
    bool damaged = false;
};

Line classify(const QByteArray& raw)
{
    Line l;
    l.raw = raw;
    l.t = trimSpaces(raw);
    const QByteArray& t = l.t;
    if (t.isEmpty())
        return l;
    l.noGt = !t.contains('>');
    l.param = isParamLine(t);
    if (!l.param) {
        l.close = isCloseTag(t);
        l.open = !l.close && isOpenTag(t);
        l.startsClose = t.startsWith("</");
        if (l.open)
            l.tag = fold(QString::fromUtf8(openTagName(t)));
        else if (l.close)
            l.tag = fold(QString::fromUtf8(closeTagName(t)));
    }
    QByteArray name;
    l.nameState = paramName(t, l.param, name);
    if (!name.isEmpty())
        l.pname = fold(QString::fromUtf8(name));
    return l;
}

// Lines end at CR LF, CR or LF.
std::shared_ptr<Doc> parse(const QByteArray& data)
{
    auto doc = std::make_shared<Doc>();
    qsizetype start = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        doc->lines.push_back(classify(data.mid(start, i - start)));
        if (c == '\r' && i + 1 < n && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        doc->lines.push_back(classify(data.mid(start)));
    for (int i = 0; i < int(doc->lines.size()); ++i)
        if (doc->lines[i].open)
            doc->opens[doc->lines[i].tag].push_back(i);
    // Not a store file at all: nothing, or no header (zeros left by a crash, junk).
    const bool headed = !doc->lines.empty() && qstrnicmp(doc->lines[0].t.constData(), "<XML", 4) == 0
        && !data.contains('\0');
    doc->damaged = !headed;
    return doc;
}

// ---- files -------------------------------------------------------------

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

enum class Load { Ok, Missing, Failed };

struct Loaded {
    Load status = Load::Failed;
    std::shared_ptr<const Doc> doc;
    struct stat st {};
};

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

// Reads and classifies the file, through the cache when the file is the one
// read before (same identity, size and time stamps).
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

// Writes the bytes to a new, uniquely named file beside the target and moves
// it into place: a crash leaves the old file or the new one, never a mix.
bool replaceFile(const QString& path, const QByteArray& data, mode_t mode, bool mustBeNew = false)
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
    forget(path);
    return true;
}

QByteArray newFileBytes() { return kHeader + "\r\n" + kFooter + "\r\n"; }

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

// The advisory lock of one file's read-modify-write, shared with every other
// process of this user using the store.
class FileLock {
public:
    explicit FileLock(const QString& path)
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
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    bool locked() const { return m_locked; }

private:
    int m_fd = -1;
    bool m_locked = false;
};

// Keeps a damaged file aside under a free name; the name, or "" on failure.
QString keepDamaged(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    for (int i = 0; i < 100; ++i) {
        const QString kept = path + QStringLiteral(".damaged") + (i ? QStringLiteral(".") + QString::number(i) : QString());
        if (renameNoReplace(native, QFile::encodeName(kept))) {
            syncFolderOf(native);
            forget(path);
            g_pendingReports.emplace_back(path, kept);
            return kept;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Temporaries of writers that were killed before they could rename them.
// With the lock held no other writer is between its temporary and the
// rename, so every one left is stale.
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

// For writers, with the lock held: the current file, a fresh one when the
// file is missing, or the damaged one set aside first. Empty on failure.
std::shared_ptr<const Doc> loadForWrite(const QString& path, mode_t& mode, bool& fresh)
{
    mode = newFileMode();
    fresh = false;
    removeStaleTemporaries(path);
    const Loaded l = load(path);
    if (l.status == Load::Failed)
        return {};
    if (l.status == Load::Ok) {
        mode = l.st.st_mode & 07777;
        if (!l.doc->damaged)
            return l.doc;
        if (keepDamaged(path).isEmpty())
            return {};
    }
    fresh = true;
    return parse(newFileBytes());
}

// ---- the dialect ---------------------------------------------------------

QStringList splitSectionPath(QString path)
{
    if (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    if (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    if (!path.contains(QLatin1Char('\\')))
        return {path};
    QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        parts.append(QString());
    return parts;
}

bool isRoot(const QStringList& parts) { return parts.size() == 1 && parts[0].isEmpty(); }

QByteArray paramLine(int indent, const QString& key, const QString& value)
{
    return QByteArray(indent, ' ') + "<Param Name=\"" + key.toUtf8() + "\" Value=\"" + XMLEncodeValue(value, key)
        + "\" />";
}

QString valueOf(const Line& l) { return XMLDecodeValue(QString::fromUtf8(rawParamValue(l.t, l.param))); }

// What the reader makes of one parameter line.
std::optional<QString> readBack(const QByteArray& line, const QString& key)
{
    const Line l = classify(line);
    if (l.nameState != NameState::Ok || l.pname != fold(key) || l.open || l.close || l.noGt)
        return std::nullopt;
    return valueOf(l);
}

// Copies lines while looking for the section path, as reader and writer both
// do: the search for each name is not anchored to the one before. Ends at
// the line after the last component's start line (found), at a closing tag of
// the component found last (writers only), or at the end of the file.
struct PathSearch {
    int found = 0;           // components found
    qsizetype next = 1;      // index of the next unread line
    qsizetype stopLine = -1; // the line that ended the search early
    bool atEnd = false;
};

PathSearch copyToPath(const Doc& d, const QStringList& parts, QByteArray& out, bool skipLastStart)
{
    PathSearch s;
    if (isRoot(parts)) {
        s.found = 1;
        return s;
    }
    const qsizetype n = qsizetype(d.lines.size());
    for (int j = 0; j < parts.size(); ++j) {
        const QString want = fold(parts[j]);
        const QString parent = fold(parts[qMax(0, j - 1)]);
        while (true) {
            if (s.next >= n - 1) {
                // The last line is never a section start: the search failed.
                s.atEnd = true;
                s.stopLine = s.next < n ? s.next : -1;
                return s;
            }
            const Line& l = d.lines[size_t(s.next)];
            if (l.close && l.tag == parent) {
                s.stopLine = s.next;
                return s;
            }
            ++s.next;
            if (l.open && l.tag == want) {
                if (!(skipLastStart && j == parts.size() - 1))
                    out += l.raw + "\r\n";
                break;
            }
            out += l.raw + "\r\n";
        }
        s.found = j + 1;
    }
    return s;
}

void appendRest(const Doc& d, qsizetype from, QByteArray& out)
{
    for (qsizetype i = from; i < qsizetype(d.lines.size()); ++i)
        out += d.lines[size_t(i)].raw + "\r\n";
}

std::optional<QByteArray> setIn(const Doc& d, const QString& value, const QString& key, const QStringList& parts)
{
    const int L = int(parts.size());
    QByteArray out = d.lines[0].raw + "\r\n";
    const PathSearch s = copyToPath(d, parts, out, false);
    if (s.found < L) {
        // Cases C (the parent section closes) and D (end of file): add the
        // missing sections around the new parameter.
        const int M = s.found;
        for (int j = M; j < L; ++j)
            out += QByteArray(5 * j, ' ') + '<' + parts[j].toUtf8() + ">\r\n";
        out += paramLine(s.atEnd ? 5 * (L - M) : 5 * (L - 1), key, value) + "\r\n";
        for (int j = L - 1; j >= M; --j)
            out += QByteArray(5 * j, ' ') + "</" + parts[j].toUtf8() + ">\r\n";
        if (s.stopLine >= 0)
            appendRest(d, s.stopLine, out);
        else
            out += kFooter + "\r\n";
        return out;
    }
    const QString k = fold(key);
    for (qsizetype i = s.next; i < qsizetype(d.lines.size()); ++i) {
        const Line& l = d.lines[size_t(i)];
        if (l.startsClose || l.open) {
            out += paramLine(5 * (L - 1), key, value) + "\r\n";
            appendRest(d, i, out);
            return out;
        }
        if (!l.t.isEmpty()) {
            if (l.nameState != NameState::Ok)
                return std::nullopt;
            if (l.pname == k) {
                out += paramLine(5 * L, key, value) + "\r\n";
                appendRest(d, i + 1, out);
                return out;
            }
        }
        out += l.raw + "\r\n";
    }
    return std::nullopt; // the section never closed: leave the file as it is
}

// The value of key in the section path; nullopt for a read error.
std::optional<QString> getIn(const Doc& d, const QString& key, const QStringList& parts, const QString& def)
{
    const int n = int(d.lines.size());
    int next = 1;
    if (!isRoot(parts)) {
        for (const QString& part : parts) {
            const auto it = d.opens.constFind(fold(part));
            if (it == d.opens.cend())
                return def;
            const auto pos = std::lower_bound(it->begin(), it->end(), next);
            if (pos == it->end() || *pos >= n - 1)
                return def;
            next = *pos + 1;
        }
    }
    const QString last = fold(parts.last());
    const QString k = fold(key);
    int depth = 0;
    for (int i = next; i < n; ++i) {
        const Line& l = d.lines[size_t(i)];
        if (l.t.isEmpty())
            continue;
        if (l.noGt)
            return std::nullopt;
        if (l.close) {
            if (l.tag == last)
                return def;
            depth = qMax(0, depth - 1);
        } else if (l.open) {
            ++depth;
        }
        if (depth == 0 && !key.isEmpty()) {
            if (l.nameState != NameState::Ok)
                return std::nullopt;
            if (l.pname == k)
                return valueOf(l);
        }
    }
    return def;
}

} // namespace

static QByteArray escapeValue(const QString& value, bool allNonAscii);

void SetSettingsFile(const QString& path) { g_settingsFile = path; }
QString SettingsFile() { return g_settingsFile; }

void SetDamagedFileHandler(DamagedFileHandler handler)
{
    QMutexLocker lock(&g_mutex);
    g_damagedHandler = std::move(handler);
}

QByteArray XMLEncodeValue(const QString& value, const QString& key)
{
    QByteArray plain = value.toUtf8();
    // NUL bytes mark a file as damaged (zeros left by a crash): never written.
    if (!plain.contains('\r') && !plain.contains('\n') && !plain.contains('\0') && QString::fromUtf8(plain) == value) {
        const QByteArray line = "<Param Name=\"" + key.toUtf8() + "\" Value=\"" + plain + "\" />";
        const auto back = readBack(line, key);
        if (back && *back == value)
            return plain;
    }
    // Escape whatever the line format could lose or misread; the byte-order
    // mark too, which decoding would drop at the start of a value.
    return escapeValue(value, false);
}

static QByteArray escapeValue(const QString& value, bool allNonAscii)
{
    QString out;
    const qsizetype n = value.size();
    auto ref = [&out](uint code) { out += QStringLiteral("&#x") + QString::number(code, 16).toUpper() + QLatin1Char(';'); };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = value[i];
        const ushort u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < n && value[i + 1].isLowSurrogate()) {
            out += c;
            out += value[++i];
        } else if (c.isSurrogate() || u < 0x20 || u == 0x7F || u == '&' || u == '"' || u == '<' || u == '>'
                   || u == '=' || u == 0xFEFF || (allNonAscii && u > 0x7F) || (u == ' ' && (i == 0 || i == n - 1))) {
            if (u == 1) // the stored line break of multi-line texts stays as it always was
                out += c;
            else
                ref(u);
        } else {
            out += c;
        }
    }
    const QByteArray bytes = out.toUtf8();
    if (!allNonAscii && XMLDecodeValue(QString::fromUtf8(bytes)) != value)
        return escapeValue(value, true);
    return bytes;
}

QString XMLDecodeValue(const QString& stored)
{
    if (!stored.contains(QLatin1String("&#x")))
        return stored;
    QString out;
    out.reserve(stored.size());
    const qsizetype n = stored.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (stored[i] == QLatin1Char('&') && i + 3 < n && stored[i + 1] == QLatin1Char('#')
            && stored[i + 2] == QLatin1Char('x')) {
            uint code = 0;
            qsizetype j = i + 3;
            while (j < n && j - (i + 3) < 6 && stored[j].unicode() < 128 && hexDigit(char(stored[j].unicode())) >= 0)
                code = code * 16 + uint(hexDigit(char(stored[j++].unicode())));
            if (j > i + 3 && j < n && stored[j] == QLatin1Char(';') && code <= 0x10FFFF) {
                if (code > 0xFFFF) {
                    out += QChar(QChar::highSurrogate(code));
                    out += QChar(QChar::lowSurrogate(code));
                } else {
                    out += QChar(char16_t(code));
                }
                i = j;
                continue;
            }
        }
        out += stored[i];
    }
    return out;
}

bool XMLCreateFile(const QString& file)
{
    StoreGuard guard;
    const QString path = resolve(file);
    if (path.isEmpty())
        return false;
    FileLock lock(path);
    if (!lock.locked())
        return false;
    struct stat st {};
    const mode_t mode = ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : newFileMode();
    return replaceFile(path, newFileBytes(), mode);
}

QString XMLGetValue(const QString& key, const QString& section, const QString& file, const QString& def,
                    bool createIfMissing)
{
    StoreGuard guard;
    const QString path = resolve(file);
    if (path.isEmpty())
        return {};
    Loaded l = load(path);
    if (l.status == Load::Failed)
        return {};
    if (l.status == Load::Missing || l.doc->damaged) {
        if (!createIfMissing)
            return def;
        // Made only when missing; a damaged file is kept aside first.
        FileLock lock(path);
        if (!lock.locked())
            return {};
        l = load(path);
        if (l.status == Load::Failed)
            return {};
        if (l.status == Load::Ok && !l.doc->damaged) {
            // Another process made it meanwhile: read that.
        } else {
            if (l.status == Load::Ok && keepDamaged(path).isEmpty())
                return {};
            if (!replaceFile(path, newFileBytes(), newFileMode(), true))
                return {};
            return def;
        }
    }
    return getIn(*l.doc, key, splitSectionPath(section), def).value_or(QString());
}

bool XMLSetValue(const QString& value, const QString& key, const QString& section, const QString& file)
{
    StoreGuard guard;
    const QString path = resolve(file);
    if (path.isEmpty())
        return false;
    FileLock lock(path);
    if (!lock.locked())
        return false;
    mode_t mode = 0;
    bool fresh = false;
    const auto doc = loadForWrite(path, mode, fresh);
    if (!doc)
        return false;
    const auto out = setIn(*doc, value, key, splitSectionPath(section));
    return out && replaceFile(path, *out, mode);
}

bool XMLWriteFile(const QString& file, const QVector<XMLValue>& values)
{
    StoreGuard guard;
    const QString path = resolve(file);
    if (path.isEmpty())
        return false;
    // The same writer as XMLSetValue, applied in memory.
    std::shared_ptr<const Doc> doc = parse(newFileBytes());
    QByteArray bytes = newFileBytes();
    for (const XMLValue& v : values) {
        const auto out = setIn(*doc, v.value, v.key, splitSectionPath(v.section));
        if (!out)
            return false;
        bytes = *out;
        doc = parse(bytes);
    }
    FileLock lock(path);
    if (!lock.locked())
        return false;
    removeStaleTemporaries(path);
    struct stat st {};
    const mode_t mode = ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : newFileMode();
    return replaceFile(path, bytes, mode);
}

bool XMLDeleteSection(const QString& section, const QString& file)
{
    StoreGuard guard;
    const QString path = resolve(file);
    if (path.isEmpty())
        return false;
    FileLock lock(path);
    if (!lock.locked())
        return false;
    mode_t mode = 0;
    bool fresh = false;
    const auto doc = loadForWrite(path, mode, fresh);
    if (!doc)
        return false;
    if (fresh)
        replaceFile(path, newFileBytes(), mode, true);
    const QStringList parts = splitSectionPath(section);
    if (isRoot(parts))
        return false;
    QByteArray out = doc->lines[0].raw + "\r\n";
    const PathSearch s = copyToPath(*doc, parts, out, true);
    if (s.found < parts.size())
        return false;
    const QString last = fold(parts.last());
    qsizetype i = s.next;
    for (; i < qsizetype(doc->lines.size()); ++i) {
        const Line& l = doc->lines[size_t(i)];
        if (l.close && l.tag == last) {
            ++i;
            break;
        }
    }
    appendRest(*doc, i, out);
    return replaceFile(path, out, mode);
}

void XMLListSections(QStringList& list, const QString& file)
{
    StoreGuard guard;
    const Loaded l = load(resolve(file));
    if (l.status != Load::Ok || l.doc->damaged)
        return;
    QStringList stack;
    const auto& lines = l.doc->lines;
    for (size_t i = 1; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.open) {
            if (stack.size() >= kMaxDepth)
                return; // deeper than the store ever writes: stop here
            stack.append(QString::fromUtf8(openTagName(line.t)));
            list.append(stack.join(QLatin1Char('\\')));
        } else if (line.close) {
            if (!stack.isEmpty())
                stack.removeLast();
        }
    }
}

int XMLGetInt(const QString& key, const QString& section, const QString& file, int def)
{
    return LeadingInt(XMLGetValue(key, section, file, QString::number(def)), def);
}

} // namespace sv
