// zetveltran-cli: the update run from a terminal.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "zet_version.h"
#include "host/find_process.h"
#include "host/host_lock.h"
#include "host/host_registration.h"
#include "host/journal.h"
#include "host/run_journal.h"
#include "host/undo.h"
#ifndef _WIN32
#include "host/reg_file_store.h"
#endif
#include "cli/cli_language.h"
#include "cli/cli_options.h"
#include "cli/terminal_view.h"
#include "fileio/file_slots.h"
#include "platform/platform.h"
#include "update/update_run.h"

namespace {

using namespace zet;

constexpr int kExitDone = 0;
constexpr int kExitFailures = 1;
constexpr int kExitRefused = 2;

int Refuse(const std::string& text, const std::string& path) {
  std::fprintf(stderr, "zetveltran-cli: %s\n  %s\n", text.c_str(), platform::ShownText(path).c_str());
  return kExitRefused;
}


void PrintCounts(const std::vector<std::pair<std::string, size_t>>& lines) {
  // The numbers in one column, behind the longest label.
  size_t width = 0;
  for (const auto& line : lines) width = std::max(width, cli::DisplayWidth(line.first));
  for (const auto& [label, count] : lines)
    std::printf("%s%*s%zu\n", label.c_str(), static_cast<int>(width + 3 - cli::DisplayWidth(label)), "", count);
}

std::string Label(const char* key) { return cli::ConsoleText(key) + ":"; }

void PrintSummary(const std::string& message, const RunReport& report) {
  std::printf("%s\n\n", message.c_str());
  PrintCounts({{Label("FILES_COPIED"), static_cast<size_t>(report.copied())},
               {Label("LEFT_TO_ARCHIVE"), static_cast<size_t>(report.leftToArchive())},
               {Label("KEPT_EXISTING"), static_cast<size_t>(report.keptExisting())},
               {Label("LISTS_MERGED"), static_cast<size_t>(report.listsMerged())},
               {Label("FAILURES"), report.failures().size()}});
  for (const RunFailure& f : report.failures())
    std::printf("  %s: %s\n", platform::ShownPath(f.path).c_str(), f.reason.c_str());
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "zetveltran-cli: %s\nTry 'zetveltran-cli --help' for more information.\n", text.c_str());
  return kExitRefused;
}

// The Wine prefix that stands for this system's registry, for messages.
std::string PrefixPlace() {
#ifdef _WIN32
  return "";
#else
  return " " + cli::ConsoleText("WINE_PREFIX", {RegFileStore::DefaultPrefix()});
#endif
}

// A registry file of the prefix that stands but cannot be read whole (no
// access, no plain file, beyond the size read): "" when there is none.
std::string UnreadableRegistryFile() {
#ifdef _WIN32
  return "";
#else
  for (const char* name : {"/system.reg", "/user.reg"}) {
    const std::string file = RegFileStore::DefaultPrefix() + name;
    uint64_t length = 0;
    if (platform::GetPathKind(file) == platform::PathKind::None) continue;
    if (!platform::CanReadFile(file) || !platform::GetFileLength(file, length) || length > RegFileStore::kLargestFile)
      return file;
  }
  return "";
#endif
}

// Where the host's registration was looked for, for messages.
std::string RegistrationPlace() {
  std::string key = "HKEY_CLASSES_ROOT";
  for (const char* part : kHostKeyPath) key += std::string("\\") + part;
  return key + PrefixPlace();
}

// What the host's registration gives as its version, for the refusal.
std::string VersionFound(const HostRegistration& host) {
  if (!host.versionFound) return cli::ConsoleText("VERSION_MISSING", {RegistrationPlace()});
  char numbers[16];
  std::snprintf(numbers, sizeof numbers, "0x%X", static_cast<unsigned>(kSupportedHostVersion));
  char version[16];
  std::snprintf(version, sizeof version, "0x%X", static_cast<unsigned>(host.version));
  return cli::ConsoleText("VERSION_FOUND", {version, RegistrationPlace(), numbers});
}

// The host's resource base as a folder of this system. False, with the
// reason, when the registration names none that this system has.
bool DefaultTarget(const HostRegistration& host, std::string& target, std::string& error) {
  if (!host.resBaseFound || host.resBase.empty()) {
    error = cli::ConsoleText("NO_RESOURCE_BASE", {RegistrationPlace()});
    return false;
  }
  if (!HostFolderFromWindowsPath(host.resBase, target)) {
    error = cli::ConsoleText("NOT_ON_A_DRIVE", {host.resBase, PrefixPlace()});
    return false;
  }
  target = cli::TrimFolderArgument(target);
  return true;
}

void Warn(const std::string& text) { std::fprintf(stderr, "zetveltran-cli: %s\n", text.c_str()); }

// Names a run on the host that ended without its end mark. The caller
// holds the host's lock, so it is no run under way.
void NoteInterruptedRun(const std::string& journalRoot, const std::string& target) {
  RunRecord run;
  if (!journalRoot.empty() && FindInterruptedRun(journalRoot, target, run))
    Warn(cli::ConsoleText(run.state == RunState::PartlyUndone ? "UNDO_INTERRUPTED" : "INTERRUPTED",
                          {JournalTimeText(run.lastWritten > 0 ? run.lastWritten : run.started)}));
}

int ListJournal(const std::string& journalRoot, const std::string& target) {
  const std::vector<RunRecord> runs = ListRuns(journalRoot, target);
  int listed = 0;
  for (const RunRecord& run : runs) {
    if (run.unreadable) {
      std::printf("%s  %-13s  %s\n", JournalTimeText(run.started).c_str(), cli::ConsoleText("RUN_DAMAGED").c_str(),
                  platform::ShownPath(run.folder).c_str());
      ++listed;
      continue;
    }
    // The newest run without its end mark is under way while its process
    // lives. A run that changed nothing and goes on no more is not listed:
    // undo passes over it, and the next run clears it.
    const bool underWay = &run == &runs.front() && run.state == RunState::Interrupted && RunUnderWay(run.folder);
    if (!underWay && run.state != RunState::Undone && !run.Undoable()) continue;
    const char* state = underWay                             ? "RUN_RUNNING"
                        : run.state == RunState::Completed   ? "RUN_COMPLETED"
                        : run.state == RunState::Stopped     ? "RUN_STOPPED"
                        : run.state == RunState::Interrupted ? "RUN_INTERRUPTED"
                        : run.state == RunState::PartlyUndone ? "RUN_PARTLY_UNDONE"
                                                              : "RUN_UNDONE";
    const std::string counts = cli::ConsoleText(
        "RUN_COUNTS", {std::to_string(run.Count(ChangeKind::FileCreated)), std::to_string(run.Count(ChangeKind::FileReplaced)),
                       std::to_string(run.Count(ChangeKind::FileMerged)), std::to_string(run.Count(ChangeKind::FolderCreated))});
    std::printf("%s  %-13s  %s  %s\n", JournalTimeText(run.started).c_str(), cli::ConsoleText(state).c_str(),
                counts.c_str(), platform::ShownPath(run.package).c_str());
    ++listed;
  }
  if (listed == 0) std::printf("%s\n", cli::ConsoleText("NO_RUNS", {platform::ShownPath(target)}).c_str());
  return kExitDone;
}

// Asks the host to rescan its resources; a registered host whose registry
// cannot take the request is named, and the run or undo goes on.
void RequestScan(const HostRegistration& host) {
  if (!RequestHostScan() && host.keyFound) Warn(cli::ConsoleText("SCAN_NOT_WRITTEN", {RegistrationPlace()}));
}

int Undo(const std::string& journalRoot, const std::string& target, const HostRegistration* scan) {
  platform::FileLock hostLock;
  std::string error;
  if (!LockHost(target, hostLock, error)) {
    Warn(error);
    return kExitRefused;
  }
  NoteInterruptedRun(journalRoot, target);
  const UndoResult result = UndoLatestRun(journalRoot, target, [] { return RunStopRequested(); });
  if (result.journalUnwritable) {
    Warn(cli::ConsoleText("UNDO_JOURNAL_UNWRITABLE", {platform::ShownPath(result.run.folder)}));
    return kExitRefused;
  }
  if (result.status == 2) {
    const bool none = ListRuns(journalRoot, target).empty();
    Warn(cli::ConsoleText(none ? "NO_RUNS" : "NOTHING_TO_UNDO", {platform::ShownPath(target)}));
    if (OlderRunsDropped(journalRoot, target)) Warn(cli::ConsoleText("OLDER_RUNS_DROPPED"));
    return kExitRefused;
  }
  if (result.run.unreadable) {
    Warn(cli::ConsoleText("RUN_UNREADABLE", {JournalTimeText(result.run.started), platform::ShownPath(result.run.folder)}));
    return result.status;
  }
  if (scan != nullptr) RequestScan(*scan);
  std::printf("%s\n\n", cli::ConsoleText(result.unfinished ? "UNDO_UNFINISHED" : "UNDONE",
                                        {JournalTimeText(result.run.started), platform::ShownPath(result.run.package)})
                           .c_str());
  PrintCounts({{Label("FILES_REMOVED"), static_cast<size_t>(result.filesRemoved)},
               {Label("FILES_RESTORED"), static_cast<size_t>(result.filesRestored)},
               {Label("FOLDERS_REMOVED"), static_cast<size_t>(result.foldersRemoved)},
               {Label("KEPT_CHANGED"), result.kept.size()}});
  for (const UndoKept& kept : result.kept)
    std::printf("  %s: %s\n", platform::ShownPath(kept.path).c_str(), kept.reason.c_str());
  return result.status;
}

int Run(int argc, char** argv) {
  cli::CliOptions options;
  std::string error;
  if (!cli::ParseCliOptions(argc, argv, options, error)) return UsageError(error);
  if (options.help) {
    std::fputs(cli::kUsage, stdout);
    return kExitDone;
  }
  if (options.version) {
    std::printf("zetveltran-cli %s\n", ZET_VELTRAN_VERSION);
    return kExitDone;
  }
  if (!cli::LoadCliLanguage(options.langFile, error)) {
    std::fprintf(stderr, "zetveltran-cli: %s\n", error.c_str());
    return kExitRefused;
  }
  // A run asked to stop while it is prepared stops before its first change
  // and says so; an undo stops between two changes, partly done.
  if (!options.listRuns) platform::CallOnStopRequest(RequestRunStop);

  // The host checks of the dialog program's start: a registered host must be
  // the supported version. Without a registration a TARGET given by hand is
  // all the program needs.
  HostRegistration host = ReadHostRegistration();
  if (host.keyFound && !host.VersionSupported())
    return Refuse(cli::MessageText("IDS_ZETVERSION"), VersionFound(host));
  std::string resBase;
  if (!options.targetGiven) {
    if (!host.keyFound) {
      const std::string unreadable = UnreadableRegistryFile();
      return UsageError(unreadable.empty() ? cli::ConsoleText("TARGET_NEEDED", {RegistrationPlace()})
                                           : cli::ConsoleText("REGISTRY_UNREADABLE", {unreadable}));
    }
    if (!DefaultTarget(host, options.target, error)) {
      std::fprintf(stderr, "zetveltran-cli: %s\n", error.c_str());
      return kExitRefused;
    }
    resBase = " " + cli::ConsoleText("RESOURCE_BASE", {host.resBase});
  }

  // Folders relative to the current folder are made absolute; then the same
  // checks as the dialog's OK.
  RunRequest request;
  request.source = options.source.empty() ? std::string() : platform::AbsolutePath(options.source);
  request.target = platform::AbsolutePath(options.target);
  request.overwrite = options.overwrite;
  request.mode = options.dryRun ? RunMode::Preview : RunMode::Install;
  request.journal = !options.noJournal;
  const std::string journalRoot = JournalRoot();
  if (options.undo || options.listRuns) {
    if (!FolderExists(request.target, true)) return Refuse(cli::Text("IDMSG3"), request.target + resBase);
    if (journalRoot.empty()) return Refuse(cli::ConsoleText("NO_JOURNAL_PLACE"), request.target);
    return options.listRuns ? ListJournal(journalRoot, request.target)
                            : Undo(journalRoot, request.target, options.noScan ? nullptr : &host);
  }
  if (const char* refusal = RequestRefusal(request))
    return Refuse(cli::Text(refusal), std::string(refusal) == "IDMSG2" || request.source.size() > platform::kLongestPath
                                          ? request.source
                                          : request.target + resBase);
  // Before anything changes, the rescan request included. A preview adds
  // no lock file to the host's parent folder: it takes the lock only where
  // its file stands already (a run has been there), so that it does not
  // look at a tree another run is changing.
  platform::FileLock hostLock;
  const bool lock = !options.dryRun || platform::GetPathKind(platform::HostLockPath(request.target)) ==
                                           platform::PathKind::File;
  if (lock && !LockHost(request.target, hostLock, error)) {
    Warn(error);
    return kExitRefused;
  }
  // A preview ends as the run would: refused where the run could make no
  // lock file or open no journal.
  if (options.dryRun && !lock && !LockCouldBeMade(request.target, error)) {
    Warn(error);
    return kExitRefused;
  }
  if (options.dryRun && request.journal) {
    const std::string refusal = Journal::Refusal({journalRoot, request.target, request.source, {}});
    if (!refusal.empty()) {
      Warn(cli::ConsoleText("JOURNAL_FAILED", {refusal}));
      return kExitRefused;
    }
  }
  NoteInterruptedRun(journalRoot, request.target);

  if (FindProcessId(kHostProcessName) > 0 && !options.dryRun) Warn(cli::MessageText("IDS_ZETRUNNING"));

  cli::TerminalView view(!options.quiet && platform::StandardErrorIsTerminal(), cli::Text("CAPTION2"),
                         cli::Text("CAPTION3"));
  RunReport report;
  // The host rescans its resources when it next looks; a registry that
  // cannot be written does not stop the run.
  if (!RunWithJournal(request, view, report, error, [&] {
        if (!options.noScan && !options.dryRun) RequestScan(host);
      })) {
    Warn(cli::ConsoleText("JOURNAL_FAILED", {error}));
    return kExitRefused;
  }
  std::fflush(stderr);
  std::string message;
  if (options.dryRun) {
    std::fputs(PreviewListing(report, options.verbose).c_str(), stdout);
    message = "\n" + cli::ConsoleText("PREVIEW_DONE");
  } else {
    // A stopped run is not called installed; a language file without the
    // completion text still gets a first line.
    message = report.stopped() ? cli::ConsoleText("STOPPED") : view.message();
    if (message.empty()) message = cli::Text("IDMSG1");
  }
  PrintSummary(message, report);
  return report.failures().empty() ? kExitDone : kExitFailures;
}

}  // namespace

int main(int argc, char** argv) {
  // On Windows an argument with letters the code page lacks would come as a
  // look-alike spelling: another folder's name.
  const std::string outside = zet::platform::ArgumentOutsideCodePage();
  if (!outside.empty()) {
    std::fprintf(stderr, "zetveltran-cli: an argument holds letters the system's code page lacks: %s\n", outside.c_str());
    return 2;
  }
#ifndef _WIN32
  // A write beyond a file size limit fails and is listed with the rest,
  // instead of ending the program without its summary.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  try {
    const int status = Run(argc, argv);
    // What was printed is the result for whoever reads it (a dry run's list,
    // the journal's): a full disk or a closed file must not pass for done.
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "zetveltran-cli: the output could not be written%s%s\n", errno != 0 ? ": " : "",
                   errno != 0 ? std::strerror(errno) : "");
      return std::max(status, kExitFailures);
    }
    return status;
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    // The run itself reports this in its summary; this is anything around it.
    std::fprintf(stderr, "zetveltran-cli: not enough memory; the run stopped\n");
    return kExitFailures;
  }
}
