// Placeholder for output commands.
#include "cli/Cli.h"
namespace sv::cli {
bool RunOutputCommand(const QStringList&, int&) { return false; }
}
