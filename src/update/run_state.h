#pragma once
// The update run's own state, shared by its steps: where the run reads and
// writes, the archive it consults, its progress and its report. Front ends
// never touch it; they pass a RunRequest and get the RunReport back.

#include <atomic>
#include <string>

#include "update/host_writer.h"
#include "update/run_report.h"
#include "update/update_view.h"

namespace zet {

// The package's resource folder and the host's, as the user gave them.
extern std::string g_SourceRoot;
extern std::string g_TargetRoot;
// The view the run tells what happens; null outside a run.
extern UpdateView* g_UpdateDialog;
// The archive beside the source folder; a negative code when it could not
// be opened, and every lookup then answers that the name is not listed.
extern int g_PakHandle;
// Units of work: counted in the counting pass, counted again in the working
// pass.
extern std::atomic<int> g_ProgressCount;
// The file being handled: its source path, target folder and target path.
extern std::string g_SourceFile;
extern std::string g_TargetDir;
extern std::string g_TargetFile;
// What makes every change to the host's tree, and answers what the run
// reads back of it (a preview's changes are not on the disk); null outside a
// run.
extern HostWriter* g_Writer;
// g_Writer, or outside a run the disk below g_TargetRoot.
HostWriter& RunWriter();
// What the working pass did; reset when a run starts.
extern RunReport g_RunReport;

// A copy left undone because the package's archive holds the file at
// hostPath: counted, and listed by a preview.
void LeftToArchive(const std::string& hostPath);

// One unit of work: counted in both passes; the counting pass tells the
// view the number found so far.
void CountUnit(bool counting);
// One unit of work done: the view's bar steps.
void StepProgress();

// Puts the run's state back as at start. For tests.
void ResetUpdateRunState();

}  // namespace zet
