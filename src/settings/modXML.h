#pragma once
// The line-oriented XML store behind settings.xml, profiles.xml and
// recording.xml. Names compare without regard to letter case; an empty file
// name means the default settings file; an empty section path is the root.
//
// Every value reads back exactly as stored: characters the line format cannot
// hold are written as "&#xHEX;" references, and only in values that need them,
// so plain values look the same on disk as they always did.
// Writers of several processes take an advisory lock (a file of the user's in
// $XDG_RUNTIME_DIR/sonivault-locks, one per stored file) around
// their read-modify-write and replace the file through a uniquely named
// temporary, so no update reported as stored is lost.
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace sv {

void SetSettingsFile(const QString& path);
QString SettingsFile();

// The stored value, the default when file, section or key is missing, and ""
// when the file cannot be read or is damaged inside the searched section.
// A missing file is created (two lines) unless createIfMissing is false; a file
// that exists but cannot be read is never replaced.
QString XMLGetValue(const QString& key, const QString& section, const QString& file, const QString& def,
                    bool createIfMissing = true);
// True when stored. The file is replaced atomically.
bool XMLSetValue(const QString& value, const QString& key, const QString& section, const QString& file);
// Appends the full path of every section, in file order. A missing file lists nothing.
void XMLListSections(QStringList& list, const QString& file);
// True when the section was found and removed.
bool XMLDeleteSection(const QString& section, const QString& file);
// Writes a new two-line file, replacing any file of that name.
bool XMLCreateFile(const QString& file);

// One value of a whole-file write.
struct XMLValue {
    QString key;
    QString section;
    QString value;
};
// Writes a new file holding the values in order, laid out and escaped exactly
// as XMLSetValue would add them one by one, and replaces any file of that
// name in one durable step (instead of one per value).
bool XMLWriteFile(const QString& file, const QVector<XMLValue>& values);

// Numeric settings: the whole part of the stored number, or the default when
// the stored text is not a number (damaged or hand-edited files).
int XMLGetInt(const QString& key, const QString& section, const QString& file, int def);

// A file that is not a store file at all (empty, no header, binary junk) is
// moved aside to FILE + ".damaged" (".damaged.1", ... when that is taken)
// before a new one is made. The handler hears of each such move once; by
// default it is written to the program's error output.
using DamagedFileHandler = std::function<void(const QString& file, const QString& keptAs)>;
void SetDamagedFileHandler(DamagedFileHandler handler);

// The reference form of a value as written to the file, and back. Exposed for
// tests and tools; callers use XMLGetValue/XMLSetValue.
QByteArray XMLEncodeValue(const QString& value, const QString& key);
QString XMLDecodeValue(const QString& stored);

} // namespace sv
