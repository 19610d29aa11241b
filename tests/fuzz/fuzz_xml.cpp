// Feeds arbitrary bytes to the settings store as a file and runs every
// operation on it: nothing may crash, hang or read out of bounds, and a
// successful write must be readable back.
#include "settings/modXML.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString file = QDir::tempPath() + QStringLiteral("/sonivault-fuzz-%1.xml").arg(::getpid());
    // The first byte picks the section path, so nesting and roots are reached.
    static const char* paths[] = {"", "A", "A\\B", "Advanced\\Waveform", "\\A\\\\B\\", "Profile0", "X\\Y\\Z"};
    const char* path = size ? paths[data[0] % 7] : "";
    auto write = [&] {
        QFile f(file);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(reinterpret_cast<const char*>(data), qint64(size));
    };
    write();
    (void)sv::XMLGetValue(QStringLiteral("K"), QString::fromLatin1(path), file, QStringLiteral("d"));
    QStringList list;
    sv::XMLListSections(list, file);
    if (sv::XMLSetValue(QStringLiteral("v\"1"), QStringLiteral("K"), QString::fromLatin1(path), file)) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly) || f.size() == 0)
            std::abort(); // a stored value never leaves an empty file
    }
    write();
    (void)sv::XMLDeleteSection(QString::fromLatin1(path), file);
    QFile::remove(file);
    QFile::remove(file + QStringLiteral(".tmp"));
    return 0;
}
