#pragma once
// What a test needs from the machine, checked the same way everywhere: a
// missing tool may skip a test on a developer's machine, never in CI (CI set,
// as .ci/run does), where it fails the run instead.
#include <QtTest>

#include <unistd.h>

namespace svtest {

inline bool InCI()
{
    const QByteArray ci = qgetenv("CI").trimmed().toLower();
    return !ci.isEmpty() && ci != "0" && ci != "false";
}

// For the length of its life, file access is checked as for an ordinary user
// ("nobody"), so that a folder of mode 0555 really is read-only to the test
// run as root. Outside root it changes nothing. The folders used meanwhile
// must be reachable by others (see OpenToOthers).
class AsOrdinaryUser {
public:
    AsOrdinaryUser() : m_switched(::geteuid() == 0 && ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0) {}
    ~AsOrdinaryUser()
    {
        if (::getuid() == 0) {
            [[maybe_unused]] const int u = ::seteuid(0);
            [[maybe_unused]] const int g = ::setegid(0);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;
    // False when running as root and the switch failed.
    bool ok() const { return ::getuid() != 0 || m_switched; }

private:
    static constexpr uid_t kNobody = 65534;
    bool m_switched;
};

// Lets others search the folders from top down to path (a test's own tree).
inline bool OpenToOthers(const QString& top, const QString& path)
{
    const QString end = QDir::cleanPath(top);
    for (QString p = QDir::cleanPath(path);; p = QFileInfo(p).path()) {
        if (!QFile::setPermissions(p, QFile::permissions(p) | QFileDevice::ExeOther | QFileDevice::ReadOther))
            return false;
        if (p == end || p.size() <= 1)
            return true;
    }
}

} // namespace svtest

// Skips (or, in CI, fails) the test function when the tool is missing.
#define SV_REQUIRE_TOOL(present, tool)                                                                          \
    do {                                                                                                        \
        if (!(present)) {                                                                                       \
            if (svtest::InCI())                                                                                 \
                QFAIL(qPrintable(QStringLiteral("%1 is not installed, and CI runs every test").arg(tool)));     \
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(tool)));                                 \
        }                                                                                                       \
    } while (false)
