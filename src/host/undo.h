#pragma once
// Taking back the latest run on a host that is not yet undone, completed or
// interrupted, from its journal: what the run created goes, what it replaced
// or merged gets its old bytes back, the folders it made go when empty, and
// the temporary files of a copy or save it had under way go. A file the
// user changed since the run (its bytes are neither the run's nor the old
// ones) is kept and listed. The caller holds the host's lock.

#include <functional>
#include <string>
#include <vector>

#include "host/journal.h"

namespace zet {

struct UndoKept {
  std::string path;  // relative to the target
  std::string reason;
};

struct UndoResult {
  // 0 all undone, 1 something kept (listed in kept), 2 nothing to undo.
  int status = 2;
  // Something the user did not change could not be taken back now (a full
  // disk, no access): the run stays partly undone, for the next undo.
  bool unfinished = false;
  // The run's journal cannot be written: nothing was undone (status 2), as
  // an undo that cannot be marked would be taken for none.
  bool journalUnwritable = false;
  RunRecord run;  // the run taken back
  int filesRemoved = 0;
  int filesRestored = 0;
  int foldersRemoved = 0;
  int temporariesRemoved = 0;
  std::vector<UndoKept> kept;
};

// stopRequested, when given, is asked before each change: once it says yes
// the undo ends there, partly done, for the next undo to go on with.
UndoResult UndoLatestRun(const std::string& root, const std::string& target,
                         const std::function<bool()>& stopRequested = {});

}  // namespace zet
