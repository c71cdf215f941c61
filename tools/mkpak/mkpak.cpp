// mkpak: writes a resource archive of a folder, and lists an archive.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"
#include "fileio/pak_writer.h"
#include "platform/platform.h"

namespace {

const char kUsage[] =
    "usage: mkpak create ARCHIVE FOLDER\n"
    "       mkpak list ARCHIVE\n"
    "\n"
    "create  writes ARCHIVE with every file below FOLDER, named by its path\n"
    "        relative to FOLDER, upper-cased, with backslashes between folders\n"
    "        (as resources of a resource tree are looked up). An existing\n"
    "        ARCHIVE is replaced only once the new one is complete.\n"
    "list    prints each entry of ARCHIVE: data offset, size in bytes, name.\n";

int Create(const std::string& archive, const std::string& folder) {
  std::vector<zet::PakWriteEntry> entries;
  std::string error;
  if (!zet::CollectPakEntries(folder, entries, error)) {
    std::fprintf(stderr, "mkpak: %s\n", error.c_str());
    return 1;
  }
  size_t shown = 0;
  auto progress = [&](size_t done, size_t total) {
    if (done == total || done - shown >= 1000) {
      std::fprintf(stderr, "\rmkpak: %zu of %zu files", done, total);
      shown = done;
    }
  };
  bool ok = zet::WritePak(archive, entries, error, progress);
  if (shown > 0) std::fputc('\n', stderr);
  if (!ok) {
    std::fprintf(stderr, "mkpak: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %zu entries\n", archive.c_str(), entries.size());
  return 0;
}

int List(const std::string& path) {
  int archive = zet::OpenPak(path, zet::kPakFileFlags);
  if (archive < 0) {
    std::fprintf(stderr, "mkpak: %s: %s (%d)\n", path.c_str(),
                 archive == zet::kArchiveOpenFailed ? "cannot be opened"
                                                    : "no resource archive, or its entry table is cut short",
                 archive);
    return 1;
  }
  int64_t length = zet::LenFile(path);
  int64_t count = zet::PakEntryCount(archive);
  int outside = 0;
  for (int64_t i = 0; i < count; ++i) {
    zet::PakEntry e;
    zet::GetPakEntry(archive, i, e);
    bool inside = static_cast<int64_t>(e.offset) + e.size <= length;
    outside += inside ? 0 : 1;
    // Stored in the code page; shown as the system spells names.
    std::printf("%10u %10u %s%s\n", e.offset, e.size, zet::platform::NameFromCodePage(e.name).c_str(),
                inside ? "" : "  (data outside the file)");
  }
  zet::ClosePak(archive);
  std::printf("%lld entries\n", static_cast<long long>(count));
  return outside == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "create" && args.size() == 3) return Create(args[1], args[2]);
  if (args[0] == "list" && args.size() == 2) return List(args[1]);
  std::fprintf(stderr, "mkpak: unknown command or wrong number of arguments\n\n%s", kUsage);
  return 2;
}
