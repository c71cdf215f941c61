#include "cli/cli_options.h"

#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace zet::cli {

const char kUsage[] =
    "Usage: zetveltran-cli [options] SOURCE [TARGET]\n"
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
    "Options:\n"
    "  -o, --overwrite  replace files the host already has, and copy files the\n"
    "                   archive holds as well\n"
    "  -q, --quiet      no progress display\n"
    "      --no-scan    do not ask the host to rescan its resources\n"
    "      --lang FILE  language file for the messages (default: zetveltran.lng\n"
    "                   in the current folder, then beside the program, then in\n"
    "                   ../share/zetveltran beside it, then built-in English)\n"
    "  -h, --help       this text\n"
    "      --version    the program's version\n"
    "\n"
    "Exit status: 0 done, 1 done with failures (listed at the end),\n"
    "2 refused before any change.\n";

bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error) {
  std::vector<std::string> folders;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
      folders.push_back(arg);
    } else if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "-o" || arg == "--overwrite") {
      options.overwrite = true;
    } else if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--no-scan") {
      options.noScan = true;
    } else if (arg == "--lang" || arg.rfind("--lang=", 0) == 0) {
      if (arg == "--lang") {
        if (i + 1 >= argc) {
          error = "--lang needs a file";
          return false;
        }
        options.langFile = argv[++i];
      } else {
        options.langFile = arg.substr(7);
      }
      if (options.langFile.empty()) {
        error = "--lang needs a file";
        return false;
      }
    } else if (arg[1] != '-' && arg.find_first_not_of("oqh", 1) == std::string::npos) {
      // Short options run together: -oq.
      for (size_t k = 1; k < arg.size(); ++k) {
        if (arg[k] == 'o') options.overwrite = true;
        if (arg[k] == 'q') options.quiet = true;
        if (arg[k] == 'h') options.help = true;
      }
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  if (options.help || options.version) return true;
  if (folders.empty() || folders.size() > 2) {
    error = folders.empty() ? "SOURCE is needed" : "too many arguments: " + folders[2];
    return false;
  }
  options.source = TrimFolderArgument(folders[0]);
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
