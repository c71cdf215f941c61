#pragma once
// The console program's command line.

#include <string>

namespace zet::cli {

struct CliOptions {
  bool overwrite = false;
  bool quiet = false;
  bool noScan = false;
  bool help = false;
  bool version = false;
  bool dryRun = false;     // a preview: list the changes, make none
  bool verbose = false;    // with dryRun: a diff of each merged file
  bool undo = false;       // take back the host's latest run
  bool listRuns = false;   // list the host's journal
  bool noJournal = false;  // a run without a journal (cannot be undone)
  std::string langFile;  // empty: look for the language file as usual
  std::string source;  // empty with undo or listRuns
  std::string target;  // empty when not given: the host's resource base
  bool targetGiven = false;
};

extern const char kUsage[];

// Fills options from the arguments; false with a one-line reason in error
// when they do not make a command.
bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);

// A folder argument without separators at its end ("/x/RESOURCEN/" is
// /x/RESOURCEN), as a shell's completion writes it; a root stays a root.
std::string TrimFolderArgument(std::string path);

}  // namespace zet::cli
