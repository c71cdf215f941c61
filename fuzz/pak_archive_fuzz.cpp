// The archive reader on any bytes, in file mode and in whole-archive mode:
// open, list, look up, read entries whole and in pieces, text mode.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"
#include "fuzz_file.h"

namespace {

void Exercise(const std::string& path, int flags) {
  int archive = zet::OpenPak(path, flags);
  if (archive < 0) return;
  int64_t count = zet::PakEntryCount(archive);
  std::string data;
  for (int64_t i = 0; i < count && i < 64; ++i) {
    zet::PakEntry e;
    if (!zet::GetPakEntry(archive, i, e)) continue;
    zet::PakContains(archive, e.name);
    zet::LoadPakEntry(archive, e.name, data, 0, false);
    zet::LoadPakEntry(archive, e.name, data, 7, false);
    int slot = zet::OpenPakFile(archive, e.name, "t");
    if (slot >= 0) zet::ClosePakFile(slot);
    slot = static_cast<int>(zet::LoadPakEntry(archive, e.name + "\\\\", data, 0, true));
    if (slot >= 0) {
      while (zet::ReadPakFile(slot, nullptr, 5) == 0) {
      }
      zet::ClosePakFile(slot);
    }
  }
  for (const char* name : {"", "A", "sub\\\\a.txt", "MODELS//X", "\\"}) zet::PakContains(archive, name);
  // Leave entry slots open: closing the archive must close them.
  zet::OpenPakFile(archive, "A", "*");
  zet::ClosePak(archive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = zet::fuzz::WriteScratch(data, size);
  Exercise(path, zet::kPakFileFlags);
  Exercise(path, zet::kPakWholeArchive);
  zet::ResetPakSlots();
  zet::ResetFileSlots();
  return 0;
}
