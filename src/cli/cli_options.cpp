#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <vector>

#include "platform/platform.h"

namespace zet::cli {


const char kUsage[] =
    "Usage: zetveltran-cli [options] SOURCE [TARGET]\n"
    "       zetveltran-cli --undo [TARGET] | --list-runs [TARGET]\n"
    "       zetveltran-cli --help | --version\n"
    "\n"
    "Installs the resource package in SOURCE into the host's resource tree TARGET:\n"
    "copies every file the host lacks (leaving out what the package's archive\n"
    "resourcen.pak beside SOURCE holds) and merges the texture lists, user\n"
    "categories, category files and index files. Both folders usually end in\n"
    "RESOURCEN; they may be given relative to the current folder.\n"
    "\n"
    "TARGET defaults to the resource base of the installed host: the value\n"
    "ResBase of its registration HKEY_CLASSES_ROOT\\Software\\Brankor\\KORA.\n"
#ifdef _WIN32
    "Without a registered host, TARGET must be given.\n"
#else
    "On this system the registration is read from the Wine prefix in\n"
    "$WINEPREFIX, else ~/.wine (its system.reg and user.reg), and the Windows\n"
    "path is found through the prefix's drive links (dosdevices/c: and so on).\n"
    "Without a registered host, TARGET must be given.\n"
#endif
    "When a host is registered, its version must be one this program supports.\n"
    "Before the run the host is asked to rescan its resources (the registry\n"
    "value Scan = 2), and a running host is warned about.\n"
    "\n"
    "Each run keeps a journal outside the host's tree, with the old bytes of\n"
    "every file it replaces, so that --undo can take the run back; the last 10\n"
    "runs of a host are kept. Its place: $ZETVELTRAN_JOURNAL_DIR, else\n"
#ifdef _WIN32
    "%LOCALAPPDATA%\\ZetVeltran\\journal.\n"
#else
    "$XDG_STATE_HOME/zetveltran/journal (by default under ~/.local/state).\n"
#endif
    "A run whose journal cannot be opened is refused.\n"
    "\n"
    "Options:\n"
    "  -o, --overwrite  replace files the host already has, and copy files the\n"
    "                   archive holds as well\n"
    "  -n, --dry-run    change nothing: list each change the run would make,\n"
    "                   one a line (+ new, > replaced, ~ merged, = left to the\n"
    "                   archive, . kept, ! would fail), then its summary\n"
    "  -v, --verbose    with --dry-run: a unified diff of each merged file\n"
    "      --undo       take back the latest run on TARGET not yet undone\n"
    "      --list-runs  list the runs in the journal of TARGET\n"
    "      --no-journal run without a journal: the run cannot be undone\n"
    "  -q, --quiet      no progress display\n"
    "      --no-scan    do not ask the host to rescan its resources (run, undo)\n"
    "      --lang FILE  language file for the messages (default: zetveltran.lng\n"
    "                   in the current folder, then beside the program, then in\n"
    "                   ../share/zetveltran beside it, then built-in English)\n"
    "  -h, --help       this text\n"
    "      --version    the program's version\n"
    "\n"
    "Exit status: 0 done, 1 done with failures (listed at the end),\n"
    "2 refused before any change; --dry-run: as the run would end. --undo:\n"
    "0 all undone, 1 files changed since the run were kept (listed), 2 nothing\n"
    "to undo or another run holds the host.\n";

bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error) {
  // The help text is ours (kUsage); the parser only reads the command line.
  // A new option is one line here, one in CliOptions and one in kUsage.
  CLI::App app("zetveltran-cli");
  app.set_help_flag();
  // "/dir" is a folder on Windows too, never an option.
  app.allow_windows_style_options(false);
  app.add_flag("-h,--help", options.help);
  app.add_flag("--version", options.version);
  app.add_flag("-o,--overwrite", options.overwrite);
  app.add_flag("-q,--quiet", options.quiet);
  app.add_flag("-n,--dry-run", options.dryRun);
  app.add_flag("-v,--verbose", options.verbose);
  app.add_flag("--undo", options.undo);
  app.add_flag("--list-runs", options.listRuns);
  app.add_flag("--no-journal", options.noJournal);
  app.add_flag("--no-scan", options.noScan);
  app.add_option("--lang", options.langFile)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  std::vector<std::string> folders;
  app.add_option("folders", folders);
  // Unknown options are left over, for a message of our own.
  app.allow_extras();
  // "--lang=" would take the next argument for the file; "--overwrite=no"
  // would be read as the parser reads a flag's value, which no one expects.
  for (int i = 1; i < argc && std::string(argv[i]) != "--"; ++i) {
    const std::string argument = argv[i];
    if (argument == "--lang=") {
      error = "--lang needs a file";
      return false;
    }
    for (const char* flag : {"--help", "--version", "--overwrite", "--quiet", "--dry-run", "--verbose", "--undo",
                             "--list-runs", "--no-journal", "--no-scan"})
      if (argument.rfind(std::string(flag) + "=", 0) == 0) {
        error = std::string(flag) + " takes no value";
        return false;
      }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    error = dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr ? "--lang needs a file" : e.what();
    return false;
  }
  for (const std::string& arg : app.remaining()) {
    if (arg == "--") continue;  // what follows it is a folder, whatever its name
    error = "unknown option " + arg;
    return false;
  }
  if (options.help || options.version) return true;
  if (options.langFile.empty() && app.count("--lang") > 0) {
    error = "--lang needs a file";
    return false;
  }
  if (options.verbose && !options.dryRun) {
    error = "--verbose is for a dry run (--dry-run)";
    return false;
  }
  if (options.undo || options.listRuns) {
    if (options.undo && options.listRuns) {
      error = "--undo and --list-runs do not go together";
      return false;
    }
    if (options.dryRun || options.overwrite) {
      error = std::string(options.dryRun ? "--dry-run" : "--overwrite") + " is for a run, not " +
              (options.undo ? "--undo" : "--list-runs");
      return false;
    }
    if (folders.size() > 1) {
      error = "too many arguments: " + folders[1];
      return false;
    }
    folders.insert(folders.begin(), std::string());
  } else if (folders.empty() || folders.size() > 2) {
    error = folders.empty() ? "SOURCE is needed" : "too many arguments: " + folders[2];
    return false;
  }
  if (!folders[0].empty()) options.source = TrimFolderArgument(folders[0]);
  if (folders.size() == 2) {
    options.target = TrimFolderArgument(folders[1]);
    options.targetGiven = true;
  }
  return true;
}

std::string TrimFolderArgument(std::string path) {
  // Keep "/" and "C:\" whole.
  size_t keep = (path.size() >= 2 && path[1] == ':') ? 3 : 1;
  while (path.size() > keep && platform::IsPathSeparator(path.back())) path.pop_back();
  return path;
}

}  // namespace zet::cli
