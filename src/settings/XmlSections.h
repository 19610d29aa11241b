#pragma once
// Finding, changing and removing values and sections in a parsed store file.
// The edits return the whole new file; nullopt leaves the file as it is.
#include "settings/XmlLines.h"

#include <QStringList>

namespace sv::xml {

// "A\B" -> {"A", "B"}; the root is {""}.
QStringList splitSectionPath(QString path);
bool isRoot(const QStringList& parts);

// The value of key in the section path, def when missing; nullopt for a read error.
std::optional<QString> getIn(const Doc& d, const QString& key, const QStringList& parts, const QString& def);
// The file with key set to value, adding the sections it lacks.
std::optional<QByteArray> setIn(const Doc& d, const QString& value, const QString& key, const QStringList& parts);
// The file without the section; nullopt when it is not there.
std::optional<QByteArray> deleteIn(const Doc& d, const QStringList& parts);
// Appends the full path of every section, in file order.
void listSections(const Doc& d, QStringList& list);

} // namespace sv::xml
