// The text reader on any bytes: every format, alone and mixed, read to the
// end of the image, and the token readers with delimiters from the input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fileio/file_slots.h"
#include "fuzz_file.h"

namespace {

// Every read that takes something takes at least one byte, so a few more
// reads than the input has bytes reach its end; reads that take nothing
// (a format without conversions) would go on for ever.
int g_MaxReads = 0;

void ReadAll(int slot, const char* format) {
  zet::SeekFile(slot, 0, 0);
  int i = 0, d = 0;
  long l = 0;
  float f = 0;
  std::string s;
  std::u16string w;
  for (int n = 0; n < g_MaxReads && zet::ReadText(slot, format, &s, &i, &l, &f, &w, &s) == 0; ++n) {
  }
  zet::SeekFile(slot, 0, 0);
  for (int n = 0; n < g_MaxReads && zet::EoFile(slot, 2) == 0 && zet::ReadText(slot, format, &w, &d) == 0; ++n) {
  }
}

// The token ReadToken must give, found one byte at a time: skip delimiters,
// take up to max bytes (any number when max is 0) up to a delimiter, skip
// the delimiters after it.
std::string ReferenceToken(const uint8_t* data, size_t size, size_t& pos, int max, const char d[4]) {
  auto delimits = [&](uint8_t c) {
    for (int k = 0; k < 4; ++k)
      if (static_cast<char>(c) == d[k]) return true;
    return false;
  };
  while (pos < size && delimits(data[pos])) ++pos;
  const size_t begin = pos;
  while (pos < size && (max == 0 || pos - begin < static_cast<size_t>(max)) && !delimits(data[pos])) ++pos;
  std::string token(reinterpret_cast<const char*>(data) + begin, pos - begin);
  while (pos < size && delimits(data[pos])) ++pos;
  return token;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = zet::fuzz::WriteScratch(data, size);
  g_MaxReads = static_cast<int>(size) + 2;
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
    size_t reference = 0;
    for (int n = 0; n < g_MaxReads && zet::EoFile(slot, 1) == 0; ++n) {
      zet::ReadToken(slot, &token, n % 5, d[0], d[1], d[2], d[3]);
      if (token != ReferenceToken(data, size, reference, n % 5, d)) std::abort();
    }
    zet::SeekFile(slot, 0, 0);
    for (int n = 0; n < g_MaxReads && zet::EoFile(slot, 2) == 0; ++n)
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
