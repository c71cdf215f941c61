#pragma once
// A run as both programs start it: an install with a journal opens the
// journal before anything in the host changes and makes each change through
// it; a preview, or an install without a journal, runs as asked.

#include <functional>
#include <string>

#include "update/update_run.h"

namespace zet {

// False, with a message in error and nothing changed, when the journal the
// request asks for cannot be opened; report then stays as it was.
// beforeChanges, when given, is called once the journal is open and before
// the run starts (the rescan request belongs there).
bool RunWithJournal(const RunRequest& request, UpdateView& view, RunReport& report, std::string& error,
                    const std::function<void()>& beforeChanges = {});

}  // namespace zet
