#pragma once
// The update run: a counting pass that finds the units of work, then a
// working pass that copies the package's files into the host's tree and
// merges its lists, driving the view that started it.

#include <atomic>
#include <string>

#include "update/run_report.h"
#include "update/update_view.h"

namespace zet {

// The package's resource folder and the host's, as the user gave them.
extern std::string g_SourceRoot;
extern std::string g_TargetRoot;
// The view the run drives.
extern UpdateView* g_UpdateDialog;
// The archive beside the source folder; a negative code when it could not
// be opened, and every lookup then answers that the name is not listed.
extern int g_PakHandle;
// Units of work: counted in the counting pass, counted again in the working
// pass. Read by a view's timer while the run goes on.
extern std::atomic<int> g_ProgressCount;
// The file being handled: its source path, target folder and target path.
extern std::string g_SourceFile;
extern std::string g_TargetDir;
extern std::string g_TargetFile;

// The run, start to end. -1 without a view, else 0.
int UpdateThread(UpdateView* view);

// The text of the completion message for a report: the language file's
// "IDMSG1", or with failures "IDMSG5", the failure count and the first
// failed path.
std::string CompletionMessage(const RunReport& report);

// Puts the run's process-wide state back as at start. For tests.
void ResetUpdateRunState();

// Steps the view's progress bar, when there is a view.
void StepProgress();

// Asks the run under way to stop once the file in hand is done; the run
// then ends as usual, its report naming the stop as a failure. Safe to call
// from a signal handler or another thread. A run clears it when it starts.
void RequestRunStop();
bool RunStopRequested();

}  // namespace zet
