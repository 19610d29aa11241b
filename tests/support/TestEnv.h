#pragma once
// Points HOME, XDG_* and TMPDIR of the test process at a fresh temporary
// folder, so no test reads or writes the real user's files.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <utility>

namespace svtest {

class TestEnv {
public:
    TestEnv()
    {
        const QString root = m_dir.path();
        for (const auto& [var, sub] : {std::pair{"HOME", "/home"}, {"XDG_DATA_HOME", "/data"},
                                       {"XDG_CONFIG_HOME", "/config"}, {"XDG_CACHE_HOME", "/cache"},
                                       {"XDG_RUNTIME_DIR", "/runtime"}, {"TMPDIR", "/tmp"}}) {
            QDir().mkpath(root + sub);
            setenv(var, qPrintable(root + sub), 1);
        }
        QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString root() const { return m_dir.path(); }
    QString dataFolder() const { return m_dir.path() + "/data/Velmora/Sonivault/"; }
    QString tmp() const { return m_dir.path() + "/tmp/"; }
    // Writes bytes to a file in tmp(); its path, or "" when it cannot be written.
    QString writeFile(const QString& name, const QByteArray& bytes) const
    {
        QFile f(tmp() + name);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }

private:
    QTemporaryDir m_dir{QDir::tempPath() + "/sonivault-test-XXXXXX"};
};

} // namespace svtest
