// What this process changes in the host's folders, told to the lookup of
// names without regard to letter case (see platform_posix.cpp), so that it
// need not read a folder again during a run. native: a path as on disk.
#pragma once

#include <string>

namespace zet::platform {

void NoteCreated(const std::string& native);
void NoteRemoved(const std::string& native);

}  // namespace zet::platform
