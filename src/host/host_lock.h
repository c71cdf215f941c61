#pragma once
// One run per host at a time. A run takes the lock of its target folder
// before it changes anything (the rescan request included) and holds it to
// its end; the system gives it up when the process ends, however it ends.

#include <string>

#include "platform/platform.h"

namespace zet {

// Takes the lock of the host folder target into lock. False, with the
// text to show (naming the lock file), when another run holds it or when
// no lock file can be made beside the folder: a run that cannot keep others
// out does not start.
bool LockHost(const std::string& target, platform::FileLock& lock, std::string& message);

// False, with LockHost's text, when no lock file could be made for target
// (a preview, which takes no lock where none stands, ends as the run would).
bool LockCouldBeMade(const std::string& target, std::string& message);

}  // namespace zet
