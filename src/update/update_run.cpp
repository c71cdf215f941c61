#include "update/update_run.h"

#include <cstdlib>
#include <future>
#include <memory>
#include <new>
#include <system_error>

#include "fileio/pak_archive.h"
#include "platform/platform.h"
#include "profile/lang_table.h"
#include "update/category_merge.h"
#include "update/parallels_merge.h"
#include "update/refusals.h"
#include "update/run_state.h"
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
HostWriter* g_Writer = nullptr;

namespace {

const char* const kSection = kMainDialogSection;
// Shown when the language file has no text for a run with failures.
const char kFailuresText[] =
    "The package has been installed, but some files could not be read or written. Failures:";

std::atomic<bool> g_stopRequested{false};

// Each step in order; a stop asked for skips those not begun.
template <class... Steps>
void InOrder(Steps... steps) {
  ((RunStopRequested() ? void() : steps()), ...);
}

// Both passes of every step: counting changes nothing, working does the run.
void RunSteps(bool overwrite, bool counting) {
  const RunPass pass = counting ? RunPass::kCounting : RunPass::kWorking;
  InOrder([&] { CopyResourceTree("", g_SourceRoot, overwrite, counting); },
          [&] { MergeParallels(overwrite, TextureListKind::kTextures, pass); },
          [&] { MergeParallels(overwrite, TextureListKind::kGroundTextures, pass); },
          [&] {
            if (!counting) MergeUserCategories();
          },
          [&] { MergeCategories(counting); });
}

PreviewWriter* Preview() { return dynamic_cast<PreviewWriter*>(g_Writer); }

// A preview lists every failure where it happens: below the host's folder
// by its relative path, elsewhere (the package) in full.
void ListFailure(const RunFailure& failure) {
  PreviewWriter* preview = Preview();
  if (preview == nullptr) return;
  // Relative to the target as every line is: a package file's path is the
  // place in the host it stands for.
  std::string shown;
  if (SpelledBelow(failure.path, g_SourceRoot))
    shown = failure.path.substr(g_SourceRoot.size() + 1);
  else if (!preview->Relative(failure.path, shown) || shown.empty())
    shown = failure.path;
  preview->NoteFailure(shown, failure.reason);
}

}  // namespace

HostWriter& RunWriter() {
  if (g_Writer != nullptr) return *g_Writer;
  static thread_local std::unique_ptr<DiskWriter> disk;
  if (disk == nullptr || disk->root() != g_TargetRoot) disk = std::make_unique<DiskWriter>(g_TargetRoot);
  return *disk;
}

void LeftToArchive(const std::string& hostPath) {
  g_RunReport.LeftToArchive();
  if (PreviewWriter* preview = Preview()) preview->Note(ChangeKind::LeftToArchive, hostPath);
}

void RequestRunStop() { g_stopRequested.store(true); }

bool RunStopRequested() { return g_stopRequested.load(std::memory_order_relaxed); }
void CountUnit(bool counting) {
  const int found = ++g_ProgressCount;
  if (counting && g_UpdateDialog != nullptr) g_UpdateDialog->Counted(found);
}

void StepProgress() {
  if (g_UpdateDialog != nullptr) g_UpdateDialog->Stepped();
}

std::string CompletionMessage(const RunReport& report) {
  if (report.failures().empty()) return GetLangText(kSection, "IDMSG1");
  std::string text = GetLangText(kSection, "IDMSG5");
  if (text.empty()) text = kFailuresText;
  return text + " " + std::to_string(report.failures().size()) + "\n" +
         platform::ShownPath(report.failures().front().path);
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
  g_Writer = nullptr;
  g_RunReport.Reset();
  g_stopRequested = false;
}

RunReport RunUpdate(const RunRequest& request, UpdateView& view) {
  g_SourceRoot = request.source;
  g_TargetRoot = request.target;
  g_UpdateDialog = &view;
  g_RunReport.Reset();
  // A stop asked for before the run began (while the caller prepared it)
  // stops it before its first change.
  // The disk, a preview of this run's own, or the caller's (a journal).
  std::unique_ptr<HostWriter> ownWriter;
  g_Writer = request.writer;
  g_RunReport.SetFailureHook(ListFailure);
  if (g_Writer == nullptr) {
    if (request.mode == RunMode::Preview)
      ownWriter = std::make_unique<PreviewWriter>(request.target);
    else
      ownWriter = std::make_unique<DiskWriter>(request.target);
    g_Writer = ownWriter.get();
  }

  // ZETVELTRAN_COPY_WORKERS sets the number when the request leaves it open:
  // a benchmark compares one thread with several.
  const char* workers = std::getenv("ZETVELTRAN_COPY_WORKERS");
  g_CopyWorkers = request.copyWorkers != 0 || workers == nullptr ? request.copyWorkers : std::atoi(workers);
  if (Preview() != nullptr) g_CopyWorkers = 1;

  // The archive is first needed by the working pass: it is read while the
  // counting pass walks the tree.
  const std::string pakPath = g_SourceRoot + "\\..\\resourcen.pak";
  const auto openPak = [&pakPath] { return OpenPak(pakPath, kPakFileFlags); };
  std::future<int> pak;
  try {
    pak = std::async(std::launch::async, openPak);
  } catch (const std::system_error&) {
    pak = std::async(std::launch::deferred, openPak);  // no thread to be had: read when needed
  }
  g_PakHandle = -4;

  // The run clears what an earlier killed run left in the folders it writes,
  // and copies from the package only what lies within it.
  platform::TemporarySweep sweep;
  platform::ConfinedReads confined(g_SourceRoot, g_TargetRoot);
  try {
    // The bar's range is one unit longer than the work.
    g_ProgressCount = 0;
    view.CountingStarted();
    CountUnit(true);
    RunSteps(request.overwrite, true);

    g_PakHandle = pak.get();
    // Without the archive every file is copied; that is a failure only when
    // an archive is there and cannot be read.
    if (g_PakHandle < 0 && !request.overwrite &&
        (platform::GetPathKind(pakPath) != platform::PathKind::None || platform::IsLinkToNothing(pakPath)))
      g_RunReport.Failure(pakPath, "archive cannot be read; the files it holds were copied as well");
    view.WorkStarted(g_ProgressCount);
    g_ProgressCount = 0;
    RunSteps(request.overwrite, false);
  } catch (const std::bad_alloc&) {
    // Whatever ran out has been given back by now: the run ends as usual.
    g_RunReport.Failure(g_SourceFile.empty() ? g_SourceRoot : g_SourceFile, "not enough memory; the run stopped here");
  }
  // A stop asked for from here on comes too late: the run tells one story,
  // in its summary, its journal and its exit status.
  const bool stopped = RunStopRequested();
  if (stopped) {
    g_RunReport.Failure(g_TargetRoot, "stopped by the user; the rest was not installed");
    g_RunReport.Stopped();
  }

  if (pak.valid()) g_PakHandle = pak.get();  // the counting pass did not end
  ClosePak(g_PakHandle);
  g_UpdateDialog = nullptr;
  g_RunReport.SetFailureHook(nullptr);
  if (PreviewWriter* preview = Preview()) g_RunReport.SetChanges(preview->changes());
  g_Writer->RunDone(stopped);
  g_Writer = nullptr;
  const RunReport report = g_RunReport;
  view.RunEnded(report);
  return report;
}

}  // namespace zet
