#pragma once
// The contents (.hhc) and index (.hhk) of a compiled help file: HTML lists of
// "text/sitemap" objects, each with a Name and a Local (topic) parameter.
#include <QByteArray>
#include <QList>
#include <QString>

namespace sv {

struct HelpContentsEntry {
    QString name;
    QString local; // topic inside the help file, may carry "#anchor"; empty for a heading
    QList<HelpContentsEntry> children;
};

// Entries of a sitemap file; nested lists become children. Unknown markup is
// skipped, so a damaged file gives what could be read.
QList<HelpContentsEntry> ParseHelpSitemap(const QByteArray& html);

} // namespace sv
