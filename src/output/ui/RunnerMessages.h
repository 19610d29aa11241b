#pragma once
// Shows the console runner's messages with the standard message box.
namespace sv {
// Called once at start-up; every later runner failure opens a box with the
// critical icon and the application's title.
void InstallRunnerMessageBoxes();
} // namespace sv
