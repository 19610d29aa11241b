#pragma once
// Where the built help file is, and what to do when it was not built: skip on
// a developer's machine, fail in CI.
#include "help/HelpTopics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTest>

namespace svtest {

inline QString BuiltHelpFile()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(sv::HelpFileName);
}

inline bool RunningInCI() { return !qEnvironmentVariableIsEmpty("CI"); }

} // namespace svtest

// Use at the start of a test function that needs the help file.
#define SV_REQUIRE_HELP_FILE()                                                                                   \
    do {                                                                                                         \
        if (!QFileInfo::exists(svtest::BuiltHelpFile())) {                                                       \
            if (svtest::RunningInCI())                                                                           \
                QFAIL("sonivault.chm was not built: install chmcmd (fp-utils) and python3");                     \
            QSKIP("sonivault.chm was not built (chmcmd or python3 missing)");                                    \
        }                                                                                                        \
    } while (false)
