// Placeholder: wave-info, detect, split, waveform land here.
#include "cli/Cli.h"
namespace sv::cli {
bool RunTracksCommand(const QStringList&, int&) { return false; }
}
