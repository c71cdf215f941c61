// The text reader on any bytes: every format, alone and mixed, read to the
// end of the image, and the token readers with delimiters from the input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fileio/file_slots.h"
#include "fuzz_file.h"

namespace {

constexpr int kMaxReads = 10000;

void ReadAll(int slot, const char* format) {
  zet::SeekFile(slot, 0, 0);
  int i = 0, d = 0;
  long l = 0;
  float f = 0;
  std::string s;
  std::u16string w;
  for (int n = 0; n < kMaxReads && zet::ReadText(slot, format, &s, &i, &l, &f, &w, &s) == 0; ++n) {
  }
  zet::SeekFile(slot, 0, 0);
  for (int n = 0; n < kMaxReads && zet::EoFile(slot, 2) == 0 && zet::ReadText(slot, format, &w, &d) == 0; ++n) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = zet::fuzz::WriteScratch(data, size);
  int slot = zet::OpenFileRegion(path, 0, 0);
  if (slot >= 0) {
    for (const char* format : {"%ls", "%lw", "%c", "%d", "%f", "%x", "%ld", "%lx", "%s", "%w", "\n", "%LS%d\n",
                               "%s%d%ld%f%lw%c", "%%l%q%", "%lW %X"}) {
      ReadAll(slot, format);
    }
    char d[4] = {};
    for (size_t i = 0; i < 4 && i < size; ++i) d[i] = static_cast<char>(data[i]);
    std::string token;
    std::u16string wide;
    zet::SeekFile(slot, 0, 0);
    for (int n = 0; n < kMaxReads && zet::EoFile(slot, 1) == 0; ++n)
      zet::ReadToken(slot, &token, n % 5, d[0], d[1], d[2], d[3]);
    zet::SeekFile(slot, 0, 0);
    for (int n = 0; n < kMaxReads && zet::EoFile(slot, 2) == 0; ++n)
      zet::ReadWideToken(slot, &wide, n % 5, d[0], d[1], d[2], d[3]);
    zet::CloseFile(slot);
  }
  // A region from the first bytes of the input.
  if (size >= 2) {
    slot = zet::OpenFileRegion(path, data[0] % 16 - 2, data[1] % 32 - 4);
    if (slot >= 0) {
      ReadAll(slot, "%ls");
      zet::CloseFile(slot);
    }
  }
  zet::ResetFileSlots();
  return 0;
}
