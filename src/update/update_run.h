#pragma once
// The update run: a counting pass that finds the units of work, then a
// working pass that copies the package's files into the host's tree and
// merges its lists, telling the view what happens.

#include <string>

#include "update/run_report.h"
#include "update/run_request.h"
#include "update/update_view.h"

namespace zet {

// The run, start to end, on the caller's thread. Every failure is in the
// report, which the view also receives at the end.
RunReport RunUpdate(const RunRequest& request, UpdateView& view);

// The text of the completion message for a report: the language file's
// "IDMSG1", or with failures "IDMSG5", the failure count and the first
// failed path.
std::string CompletionMessage(const RunReport& report);

// Asks the run under way to stop once the file in hand is done; the run
// then ends as usual, its report naming the stop as a failure. Safe to call
// from a signal handler or another thread. A run clears it when it starts.
void RequestRunStop();
bool RunStopRequested();

}  // namespace zet
