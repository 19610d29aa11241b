#pragma once
// A stand-in for an encoder the program runs: a shell script under the
// encoder's name, alone in a fresh folder the program is pointed at.
#include <QDir>
#include <QFile>

namespace svtest {

// Returns the folder, or nothing when the script could not be written.
inline QString fakeProgram(const QString& folder, const QString& name, const QByteArray& script)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QFile f(folder + "/" + name);
    if (!f.open(QIODevice::WriteOnly) || f.write("#!/bin/sh\n" + script + "\n") < 0)
        return {};
    f.close();
    return f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ? folder : QString();
}

} // namespace svtest
