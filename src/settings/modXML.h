#pragma once
// The line-oriented XML store behind settings.xml, profiles.xml and
// recording.xml. Names compare without regard to letter case; an empty file
// name means the default settings file; an empty section path is the root.
#include <QString>
#include <QStringList>

namespace sv {

void SetSettingsFile(const QString& path);
QString SettingsFile();

// The stored value, the default when file, section or key is missing, and ""
// when the file cannot be read or is damaged inside the searched section.
QString XMLGetValue(const QString& key, const QString& section, const QString& file, const QString& def);
// True when stored. The file is replaced atomically.
bool XMLSetValue(const QString& value, const QString& key, const QString& section, const QString& file);
// Appends the full path of every section, in file order. A missing file lists nothing.
void XMLListSections(QStringList& list, const QString& file);
// True when the section was found and removed.
bool XMLDeleteSection(const QString& section, const QString& file);
// Writes a new two-line file, replacing any file of that name.
bool XMLCreateFile(const QString& file);

// Numeric settings: the whole part of the stored number, or the default when
// the stored text is not a number (damaged or hand-edited files).
int XMLGetInt(const QString& key, const QString& section, const QString& file, int def);

} // namespace sv
