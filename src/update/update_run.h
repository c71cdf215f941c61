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

}  // namespace zet
