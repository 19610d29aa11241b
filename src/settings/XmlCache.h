#pragma once
// Parsed store files kept between calls: a file is read and classified again
// only when it changed (identity, size or time stamps), so a page that reads
// many keys of one file reads the file once.
#include "settings/XmlLines.h"

#include <memory>

#include <sys/stat.h>

namespace sv::xml {

enum class Load { Ok, Missing, Failed };

struct Loaded {
    Load status = Load::Failed;
    std::shared_ptr<const Doc> doc;
    struct stat st {};
};

// Reads and classifies the file, through the cache when the file is the one
// read before.
Loaded load(const QString& path);
// Drops what is kept of the file (after this process replaced or moved it).
void forget(const QString& path);

} // namespace sv::xml
