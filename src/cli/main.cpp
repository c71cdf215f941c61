// zetveltran-cli: the update run from a terminal.

#include <cstdio>
#include <cstring>

#include "app/app_version.h"

namespace {

const char kUsage[] =
    "Usage: zetveltran-cli [-o|--overwrite] [-q|--quiet] [--no-scan] [--lang FILE] SOURCE TARGET\n"
    "       zetveltran-cli --help | --version\n"
    "\n"
    "Installs the resource package in SOURCE into the host's resource tree TARGET.\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("zetveltran-cli %s\n", ZET_VELTRAN_VERSION);
      return 0;
    }
  }
  std::fputs("zetveltran-cli: the update run is not built yet.\n", stderr);
  std::fputs(kUsage, stderr);
  return 2;
}
