#pragma once
// The ID3v1 genre table (148 names, numbers 0 to 147) used by the MP3 tags.
#include <QString>
#include <QStringList>

namespace sv {

// The names in number order: the index is the genre number.
const QStringList& GenreNames();
// The lowest number whose name equals the text exactly (letter case
// included); 1 when none does.
int GetGenreNum(const QString& name);

} // namespace sv
