#pragma once
// A real full disk for a test: a tmpfs of a few hundred KiB mounted on a
// folder. Mounting needs root (as CI runs); elsewhere the test skips, and in
// CI a failed mount fails it.
#include <QDir>
#include <QString>
#include <QtTest>

#include <sys/mount.h>

namespace svtest {

struct SmallDisk {
    SmallDisk(const QString& where, qint64 bytes) : path(where)
    {
        QDir().mkpath(where);
        const QByteArray opts = "size=" + QByteArray::number(bytes) + ",mode=0777";
        mounted = ::mount("tmpfs", QFile::encodeName(where).constData(), "tmpfs", 0, opts.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
    }
    QString path;
    bool mounted = false;
};

} // namespace svtest

#define SV_REQUIRE_MOUNTED(disk)                                                        \
    do {                                                                                \
        if (!(disk).mounted) {                                                          \
            if (qEnvironmentVariableIsSet("CI"))                                        \
                QFAIL("cannot mount a tmpfs for the full-disk case (root needed)");     \
            QSKIP("mounting a tmpfs needs root");                                       \
        }                                                                               \
    } while (0)
