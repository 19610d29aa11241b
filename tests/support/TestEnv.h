#pragma once
// Points HOME, XDG_* and TMPDIR of the test process at a fresh temporary
// folder, so no test reads or writes the real user's files.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdlib>

namespace svtest {

class TestEnv {
public:
    TestEnv()
    {
        m_dir.setAutoRemove(true);
        const QString root = m_dir.path();
        for (const char* sub : {"home", "data", "runtime", "tmp", "config", "cache"})
            QDir(root).mkpath(QString::fromLatin1(sub));
        setenv("HOME", qPrintable(root + "/home"), 1);
        setenv("XDG_DATA_HOME", qPrintable(root + "/data"), 1);
        setenv("XDG_CONFIG_HOME", qPrintable(root + "/config"), 1);
        setenv("XDG_CACHE_HOME", qPrintable(root + "/cache"), 1);
        setenv("XDG_RUNTIME_DIR", qPrintable(root + "/runtime"), 1);
        setenv("TMPDIR", qPrintable(root + "/tmp"), 1);
        QDir(root + "/runtime").setPath(root + "/runtime");
        QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString root() const { return m_dir.path(); }
    QString dataFolder() const { return m_dir.path() + "/data/Velmora/Sonivault/"; }
    QString tmp() const { return m_dir.path() + "/tmp/"; }
    // Writes bytes to a file in tmp(); its path, or "" when it cannot be written.
    QString writeFile(const QString& name, const QByteArray& bytes) const
    {
        const QString path = tmp() + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return {};
        return path;
    }

private:
    QTemporaryDir m_dir{QDir::tempPath() + "/sonivault-test-XXXXXX"};
};

} // namespace svtest
