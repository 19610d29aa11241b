#pragma once
// Where the built help file is; a test that needs it skips on a developer's
// machine where it was not built, and fails in CI.
#include "help/HelpTopics.h"
#include "support/TestRequire.h"

namespace svtest {

inline QString BuiltHelpFile()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(sv::HelpFileName);
}

inline bool RunningInCI() { return InCI(); }

} // namespace svtest

#define SV_REQUIRE_HELP_FILE()                                                                                   \
    SV_REQUIRE_TOOL(QFileInfo::exists(svtest::BuiltHelpFile()), "sonivault.chm (built with chmcmd and python3)")
