// zetveltran-cli: the update run from a terminal.

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "zet_version.h"
#include "host/find_process.h"
#include "host/host_lock.h"
#include "host/host_registration.h"
#ifndef _WIN32
#include "host/reg_file_store.h"
#endif
#include "cli/cli_language.h"
#include "cli/cli_options.h"
#include "cli/terminal_view.h"
#include "platform/platform.h"
#include "update/update_run.h"

namespace {

using namespace zet;

constexpr int kExitDone = 0;
constexpr int kExitFailures = 1;
constexpr int kExitRefused = 2;

int Refuse(const std::string& text, const std::string& path) {
  std::fprintf(stderr, "zetveltran-cli: %s\n  %s\n", text.c_str(), path.c_str());
  return kExitRefused;
}

void PrintSummary(const std::string& message, const RunReport& report) {
  const std::pair<const char*, size_t> lines[] = {
      {"FILES_COPIED", static_cast<size_t>(report.copied())},
      {"LEFT_TO_ARCHIVE", static_cast<size_t>(report.leftToArchive())},
      {"KEPT_EXISTING", static_cast<size_t>(report.keptExisting())},
      {"LISTS_MERGED", static_cast<size_t>(report.listsMerged())},
      {"FAILURES", report.failures().size()},
  };
  std::printf("%s\n\n", message.c_str());
  // The numbers in one column, behind the longest label.
  std::vector<std::string> labels;
  size_t width = 0;
  for (const auto& line : lines) {
    labels.push_back(cli::ConsoleText(line.first) + ":");
    width = std::max(width, cli::DisplayWidth(labels.back()));
  }
  for (size_t i = 0; i < labels.size(); ++i)
    std::printf("%s%*s%zu\n", labels[i].c_str(), static_cast<int>(width + 3 - cli::DisplayWidth(labels[i])), "",
                lines[i].second);
  for (const RunFailure& f : report.failures())
    std::printf("  %s: %s\n", platform::NativePath(f.path).c_str(), f.reason.c_str());
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

  // The host checks of the dialog program's start: a registered host must be
  // the supported version. Without a registration a TARGET given by hand is
  // all the program needs.
  HostRegistration host = ReadHostRegistration();
  if (host.keyFound && !host.VersionSupported())
    return Refuse(cli::MessageText("IDS_ZETVERSION"), VersionFound(host));
  std::string resBase;
  if (!options.targetGiven) {
    if (!host.keyFound) return UsageError(cli::ConsoleText("TARGET_NEEDED", {RegistrationPlace()}));
    if (!DefaultTarget(host, options.target, error)) {
      std::fprintf(stderr, "zetveltran-cli: %s\n", error.c_str());
      return kExitRefused;
    }
    resBase = " " + cli::ConsoleText("RESOURCE_BASE", {host.resBase});
  }

  // Folders relative to the current folder are made absolute; then the same
  // checks as the dialog's OK.
  const RunRequest request{platform::AbsolutePath(options.source), platform::AbsolutePath(options.target),
                           options.overwrite};
  if (const char* refusal = RequestRefusal(request))
    return Refuse(cli::Text(refusal), std::string(refusal) == "IDMSG2" ? request.source : request.target + resBase);
  // Before anything changes, the rescan request included.
  platform::FileLock hostLock;
  if (!LockHost(request.target, hostLock, error)) {
    std::fprintf(stderr, "zetveltran-cli: %s\n", error.c_str());
    return kExitRefused;
  }

  if (FindProcessId(kHostProcessName) > 0)
    std::fprintf(stderr, "zetveltran-cli: %s\n", cli::MessageText("IDS_ZETRUNNING").c_str());
  // The host rescans its resources when it next looks; a registry that
  // cannot be written does not stop the run.
  if (!options.noScan) RequestHostScan();

  cli::TerminalView view(!options.quiet && platform::StandardErrorIsTerminal(), cli::Text("CAPTION2"),
                         cli::Text("CAPTION3"));
  platform::CallOnStopRequest(RequestRunStop);
  const RunReport report = RunUpdate(request, view);
  std::fflush(stderr);
  // A language file without the completion text still gets a first line.
  std::string message = view.message();
  if (message.empty()) message = cli::Text("IDMSG1");
  PrintSummary(message, report);
  return report.failures().empty() ? kExitDone : kExitFailures;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    // The run itself reports this in its summary; this is anything around it.
    std::fprintf(stderr, "zetveltran-cli: not enough memory; the run stopped\n");
    return kExitFailures;
  }
}
