#include "output/ui/RunnerMessages.h"

#include "output/DOSOutputs.h"
#include "util/ui/modMsgbox.h"

namespace sv {

void InstallRunnerMessageBoxes()
{
    SetRunnerMessageHandler([](const QString& text) { PlainMsgBox(text, vbCritical, AppTitle); });
}

} // namespace sv
