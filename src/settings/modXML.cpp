#include "settings/modXML.h"

#include "settings/XmlCache.h"
#include "settings/XmlFiles.h"
#include "settings/XmlSections.h"
#include "util/modFunctions.h"

#include <QFile>
#include <QMutex>

#include <cstdio>
#include <vector>

namespace sv {

using namespace xml;

namespace {

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

bool replaceFile(const QString& path, const QByteArray& data, mode_t mode, bool mustBeNew = false)
{
    if (!writeReplacing(path, data, mode, mustBeNew))
        return false;
    forget(path);
    return true;
}

// Keeps a damaged file aside under a free name; the name, or "" on failure.
QString keepDamaged(const QString& path)
{
    const QString kept = moveAside(path);
    if (!kept.isEmpty()) {
        forget(path);
        g_pendingReports.emplace_back(path, kept);
    }
    return kept;
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

// Runs f(path) with the file's lock held; false without a file name or the lock.
template <typename F>
bool withLock(const QString& file, F&& f)
{
    const QString path = resolve(file);
    if (path.isEmpty())
        return false;
    FileLock lock(path);
    return lock.locked() && f(path);
}

// A read-modify-write of the file: edit gets the document loadForWrite gives
// and stores the result itself.
template <typename Edit>
bool rewrite(const QString& file, Edit&& edit)
{
    StoreGuard guard;
    return withLock(file, [&](const QString& path) {
        mode_t mode = 0;
        bool fresh = false;
        const auto doc = loadForWrite(path, mode, fresh);
        return doc && edit(path, *doc, mode, fresh);
    });
}

// Replaces the whole file with bytes, keeping its mode.
bool replaceWhole(const QString& file, const QByteArray& bytes, bool removeStale)
{
    return withLock(file, [&](const QString& path) {
        if (removeStale)
            removeStaleTemporaries(path);
        return replaceFile(path, bytes, modeOrNew(path));
    });
}

} // namespace

void SetSettingsFile(const QString& path) { g_settingsFile = path; }
QString SettingsFile() { return g_settingsFile; }

void SetDamagedFileHandler(DamagedFileHandler handler)
{
    QMutexLocker lock(&g_mutex);
    g_damagedHandler = std::move(handler);
}

bool XMLCreateFile(const QString& file)
{
    StoreGuard guard;
    return replaceWhole(file, newFileBytes(), false);
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
    return rewrite(file, [&](const QString& path, const Doc& doc, mode_t mode, bool) {
        const auto out = setIn(doc, value, key, splitSectionPath(section));
        return out && replaceFile(path, *out, mode);
    });
}

bool XMLWriteFile(const QString& file, const QVector<XMLValue>& values)
{
    StoreGuard guard;
    if (resolve(file).isEmpty())
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
    return replaceWhole(file, bytes, true);
}

bool XMLDeleteSection(const QString& section, const QString& file)
{
    return rewrite(file, [&](const QString& path, const Doc& doc, mode_t mode, bool fresh) {
        if (fresh)
            replaceFile(path, newFileBytes(), mode, true);
        const auto out = deleteIn(doc, splitSectionPath(section));
        return out && replaceFile(path, *out, mode);
    });
}

void XMLListSections(QStringList& list, const QString& file)
{
    StoreGuard guard;
    const Loaded l = load(resolve(file));
    if (l.status == Load::Ok && !l.doc->damaged)
        listSections(*l.doc, list);
}

int XMLGetInt(const QString& key, const QString& section, const QString& file, int def)
{
    return LeadingInt(XMLGetValue(key, section, file, QString::number(def)), def);
}

} // namespace sv
