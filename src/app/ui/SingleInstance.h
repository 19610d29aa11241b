#pragma once
// One Sonivault per user: a lock file in the user's runtime folder.
#include <QLockFile>
#include <memory>

namespace sv {

QString InstanceLockPath();
// Takes the lock. When another instance holds it, shows the message for a
// second start and returns nullptr; the caller ends without a window.
std::unique_ptr<QLockFile> AcquireSingleInstance();

} // namespace sv
