#include "update/update_run.h"

#include <new>

#include "fileio/pak_archive.h"
#include "platform/platform.h"
#include "profile/lang_table.h"
#include "update/category_merge.h"
#include "update/parallels_merge.h"
#include "update/tree_copy.h"
#include "update/user_category_merge.h"

namespace zet {

std::string g_SourceRoot;
std::string g_TargetRoot;
UpdateView* g_UpdateDialog = nullptr;
int g_PakHandle = -4;
std::atomic<int> g_ProgressCount{0};
std::string g_SourceFile;
std::string g_TargetDir;
std::string g_TargetFile;

namespace {

// Open flags of the archive: binary, sequential access, read-only.
constexpr int kPakOpenFlags = 0x8020;

const char kSection[] = "DLG_VELTRAN";
// Shown when the language file has no text for a run with failures.
const char kFailuresText[] =
    "The package has been installed, but some files could not be read or written. Failures:";

std::atomic<bool> g_stopRequested{false};

// Each step of a pass, in order; a stop asked for skips those not begun.
template <class... Steps>
void RunSteps(Steps... steps) {
  ((RunStopRequested() ? void() : steps()), ...);
}

}  // namespace

void RequestRunStop() { g_stopRequested.store(true); }

bool RunStopRequested() { return g_stopRequested.load(std::memory_order_relaxed); }

void StepProgress() {
  if (g_UpdateDialog != nullptr) g_UpdateDialog->StepIt();
}

std::string CompletionMessage(const RunReport& report) {
  if (report.failures().empty()) return GetLangText(kSection, "IDMSG1");
  std::string text = GetLangText(kSection, "IDMSG5");
  if (text.empty()) text = kFailuresText;
  return text + " " + std::to_string(report.failures().size()) + "\n" +
         platform::NativePath(report.failures().front().path);
}

void ResetUpdateRunState() {
  g_SourceRoot.clear();
  g_TargetRoot.clear();
  g_UpdateDialog = nullptr;
  g_PakHandle = -4;
  g_ProgressCount = 0;
  g_SourceFile.clear();
  g_TargetDir.clear();
  g_TargetFile.clear();
  g_RunReport.Reset();
}

int UpdateThread(UpdateView* view) {
  g_UpdateDialog = view;
  if (view == nullptr) return -1;
  const bool overwrite = view->IsOverwriteChecked();
  g_RunReport.Reset();
  g_stopRequested = false;

  const std::string pakPath = g_SourceRoot + "\\..\\resourcen.pak";
  g_PakHandle = OpenPak(pakPath, kPakOpenFlags);
  // Without the archive every file is copied; that is a failure only when
  // an archive is there and cannot be read.
  if (g_PakHandle < 0 && !overwrite && platform::GetPathKind(pakPath) != platform::PathKind::None)
    g_RunReport.Failure(pakPath, "archive cannot be read; the files it holds were copied as well");
  g_ProgressCount = 1;

  // The run clears what an earlier killed run left in the folders it writes.
  platform::TemporarySweep sweep;
  try {
    view->StartTimer(kCountingTimerId, kTimerPeriodMs);
    RunSteps([&] { CopyResourceTree("", g_SourceRoot, overwrite, true); },
             [&] { MergeParallels(overwrite, 0, true); }, [&] { MergeParallels(overwrite, 1, true); },
             [&] { MergeCategories(true); });

    view->StopTimer(kCountingTimerId);
    view->StartTimer(kWorkingTimerId, kTimerPeriodMs);
    view->SetRangeAndStep(0, g_ProgressCount, 1);
    g_ProgressCount = 0;

    RunSteps([&] { CopyResourceTree("", g_SourceRoot, overwrite, false); },
             [&] { MergeParallels(overwrite, 0, false); }, [&] { MergeParallels(overwrite, 1, false); },
             [&] { MergeUserCategories(); }, [&] { MergeCategories(false); });
  } catch (const std::bad_alloc&) {
    // Whatever ran out has been given back by now: the run ends as usual.
    view->StopTimer(kCountingTimerId);
    g_RunReport.Failure(g_SourceFile.empty() ? g_SourceRoot : g_SourceFile,
                        "not enough memory; the run stopped here");
  }
  if (RunStopRequested()) g_RunReport.Failure(g_TargetRoot, "stopped by the user; the rest was not installed");

  ClosePak(g_PakHandle);
  view->StopTimer(kWorkingTimerId);
  const std::string caption = GetLangText(kSection, "CAPTION");
  view->SetTitle(caption);
  view->ShowMessage(CompletionMessage(g_RunReport), caption);
  view->SetPos(0);
  for (int id : {kIdOk, kIdCancel, kIdSourceEdit, kIdTargetEdit, kIdBrowseSource, kIdBrowseTarget, kIdOverwriteCheck})
    view->EnableControl(id);
  return 0;
}

}  // namespace zet
