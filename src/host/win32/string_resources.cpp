// Reads the string-table resources: block b holds the string ids 16(b-1) to
// 16(b-1)+15, each a 16-bit length followed by that many UTF-16 units; a
// string of length 0 is absent.

#include "host/win32/string_resources.h"

#include <cstdint>
#include <cstring>

#include "profile/lang_table.h"

namespace zet {

namespace {
constexpr int kStringsPerBlock = 16;
constexpr int kBlockCount = 4096;
}  // namespace

int LoadStringResources(HMODULE module) {
  if (module == nullptr) module = ::GetModuleHandleA(nullptr);
  StringTable strings;
  for (int block = 1; block <= kBlockCount; ++block) {
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(block), MAKEINTRESOURCEA(6) /* RT_STRING */);
    if (found == nullptr) continue;
    HGLOBAL loaded = ::LoadResource(module, found);
    const auto* data = static_cast<const unsigned char*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
    if (data == nullptr) continue;
    const size_t size = ::SizeofResource(module, found);
    size_t at = 0;
    for (int i = 0; i < kStringsPerBlock && at + 2 <= size; ++i) {
      uint16_t length;
      std::memcpy(&length, data + at, 2);
      at += 2;
      const size_t bytes = 2u * length;
      if (bytes > size - at) break;  // a damaged block ends here
      if (length > 0) {
        std::u16string text(length, u'\0');
        std::memcpy(text.data(), data + at, bytes);
        strings[static_cast<uint16_t>((block - 1) * kStringsPerBlock + i)] = std::move(text);
      }
      at += bytes;
    }
  }
  const int count = static_cast<int>(strings.size());
  SetBuiltinStrings(std::move(strings));
  return count;
}

}  // namespace zet
