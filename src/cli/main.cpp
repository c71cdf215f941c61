// zetveltran-cli: the update run from a terminal.

#include <cstdio>
#include <string>

#include "app/app_version.h"
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
  std::fprintf(stderr, "zetveltran-cli: %s\n  %s\n", text.c_str(), path.c_str());
  return kExitRefused;
}

void PrintSummary(const std::string& message, const RunReport& report) {
  std::printf("%s\n\n", message.c_str());
  std::printf("Files copied:              %d\n", report.copied());
  std::printf("Left to the archive:       %d\n", report.leftToArchive());
  std::printf("Kept, the host has them:   %d\n", report.keptExisting());
  std::printf("Lists merged:              %d\n", report.listsMerged());
  std::printf("Failures:                  %zu\n", report.failures().size());
  for (const RunFailure& f : report.failures()) std::printf("  %s: %s\n", f.path.c_str(), f.reason.c_str());
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  cli::CliOptions options;
  std::string error;
  if (!cli::ParseCliOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "zetveltran-cli: %s\n\n%s", error.c_str(), cli::kUsage);
    return kExitRefused;
  }
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

  // The same checks as the dialog's OK.
  if (!FolderExists(options.source, true)) return Refuse(cli::Text("IDMSG2"), options.source);
  if (!FolderExists(options.target, true)) return Refuse(cli::Text("IDMSG3"), options.target);
  if (Upper(options.source) == Upper(options.target)) return Refuse(cli::Text("IDMSG4"), options.target);

  g_SourceRoot = options.source;
  g_TargetRoot = options.target;
  cli::TerminalView view(options.overwrite, !options.quiet && platform::StandardErrorIsTerminal(),
                         cli::Text("CAPTION2"), cli::Text("CAPTION3"));
  UpdateThread(&view);
  std::fflush(stderr);
  // A language file without the completion text still gets a first line.
  std::string message = view.message();
  if (message.empty()) message = cli::Text("IDMSG1");
  PrintSummary(message, g_RunReport);
  return g_RunReport.failures().empty() ? kExitDone : kExitFailures;
}
