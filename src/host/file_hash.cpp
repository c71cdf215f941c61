#include "host/file_hash.h"

#include <vector>

#include "platform/platform.h"

// Header-only use: the Windows build links no hash library.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace zet {

FileDigest DigestOf(const std::string& bytes) {
  return {bytes.size(), XXH3_64bits(bytes.data(), bytes.size())};
}

bool DigestFile(const std::string& path, FileDigest& digest) {
  platform::Stream in;
  if (!in.Open(path, "rb")) return false;
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  std::vector<char> buffer(1 << 16);
  uint64_t size = 0;
  for (;;) {
    const size_t n = in.Read(buffer.data(), buffer.size());
    if (n == 0) break;
    XXH3_64bits_update(&state, buffer.data(), n);
    size += n;
  }
  if (in.ReadFailed()) return false;
  digest = {size, XXH3_64bits_digest(&state)};
  return true;
}

}  // namespace zet
