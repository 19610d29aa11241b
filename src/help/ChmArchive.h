#pragma once
// Read-only access to a compiled help file (ITSF/CHM archive) through chmlib.
#include <QByteArray>
#include <QString>
#include <QStringList>

struct chmFile;

namespace sv {

class ChmArchive {
public:
    ChmArchive() = default;
    explicit ChmArchive(const QString& path) { open(path); }
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    // False when the file is missing or is not a compiled help file.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_file != nullptr; }
    QString path() const { return m_path; }

    // Names inside the archive, with or without the leading "/"; a "#anchor"
    // or "?query" part is ignored.
    bool contains(const QString& name) const;
    // The whole object, or an empty array when it is missing or unreadable.
    QByteArray read(const QString& name) const;
    // Every ordinary file in the archive ("/Page1.htm", "/images/deck.png", ...).
    QStringList files() const;

    // "Page3.htm#x" -> "/Page3.htm"; backslashes become slashes.
    static QString objectPath(const QString& name);

private:
    chmFile* m_file = nullptr;
    QString m_path;
};

} // namespace sv
