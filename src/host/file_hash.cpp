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

struct DigestBuilder::State {
  XXH3_state_t xxh;
  uint64_t size = 0;
};

DigestBuilder::DigestBuilder() : state_(new State) { XXH3_64bits_reset(&state_->xxh); }

DigestBuilder::~DigestBuilder() = default;

void DigestBuilder::Add(const char* data, size_t n) {
  XXH3_64bits_update(&state_->xxh, data, n);
  state_->size += n;
}

FileDigest DigestBuilder::Digest() const { return {state_->size, XXH3_64bits_digest(&state_->xxh)}; }

bool DigestFile(const std::string& path, FileDigest& digest) {
  platform::Stream in;
  if (!in.Open(path, "rb")) return false;
  DigestBuilder builder;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const size_t n = in.Read(buffer.data(), buffer.size());
    if (n == 0) break;
    builder.Add(buffer.data(), n);
  }
  if (in.ReadFailed()) return false;
  digest = builder.Digest();
  return true;
}

}  // namespace zet
