// Feeds arbitrary bytes to the settings store as a file and runs every
// operation on it: nothing may crash, hang or read out of bounds, and a
// successful write must be readable back. The same bytes, taken as a value,
// must read back exactly after they were stored.
#include "settings/modXML.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString file = QDir::tempPath() + QStringLiteral("/sonivault-fuzz-%1.xml").arg(::getpid());
    static bool quiet = [] {
        sv::SetDamagedFileHandler([](const QString&, const QString& kept) { QFile::remove(kept); });
        return true;
    }();
    (void)quiet;
    // The first byte picks the section path, so nesting and roots are reached.
    static const char* paths[] = {"", "A", "A\\B", "Advanced\\Waveform", "\\A\\\\B\\", "Profile0", "X\\Y\\Z"};
    const char* path = size ? paths[data[0] % 7] : "";
    const QString section = QString::fromLatin1(path);
    auto write = [&] {
        QFile f(file);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(reinterpret_cast<const char*>(data), qint64(size));
    };
    write();
    (void)sv::XMLGetValue(QStringLiteral("K"), section, file, QStringLiteral("d"));
    write();
    QStringList list;
    sv::XMLListSections(list, file);
    if (sv::XMLSetValue(QStringLiteral("v\"1"), QStringLiteral("K"), section, file)) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly) || f.size() == 0)
            std::abort(); // a stored value never leaves an empty file
    }
    write();
    (void)sv::XMLDeleteSection(section, file);

    // Set then get: the bytes as UTF-8 text and as raw UTF-16 (any code unit,
    // lone surrogates included) are stored into a file that already holds
    // neighbours, and must read back unchanged without disturbing them.
    QFile::remove(file);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString values[] = {QString::fromUtf8(bytes),
                              QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2)};
    for (const QString& value : values) {
        if (!sv::XMLSetValue(QStringLiteral("before"), QStringLiteral("N"), section, file)
            || !sv::XMLSetValue(value, QStringLiteral("K"), section, file)
            || !sv::XMLSetValue(QStringLiteral("after"), QStringLiteral("M"), section, file))
            std::abort();
        if (sv::XMLGetValue(QStringLiteral("K"), section, file, QStringLiteral("missing")) != value
            || sv::XMLGetValue(QStringLiteral("N"), section, file, QString()) != QLatin1String("before")
            || sv::XMLGetValue(QStringLiteral("M"), section, file, QString()) != QLatin1String("after"))
            std::abort();
        if (sv::XMLDecodeValue(QString::fromUtf8(sv::XMLEncodeValue(value, QStringLiteral("K")))) != value)
            std::abort();
    }
    QFile::remove(file);
    return 0;
}
