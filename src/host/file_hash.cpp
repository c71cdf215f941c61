#include "host/file_hash.h"

#include <new>
#include <vector>

#include "platform/platform.h"

// Header-only use: the Windows build links no hash library.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace zet {

FileDigest DigestOf(const std::string& bytes) {
  return {bytes.size(), XXH3_64bits(bytes.data(), bytes.size())};
}

namespace {

static_assert(sizeof(XXH3_state_t) <= 640 && alignof(XXH3_state_t) <= 64, "the builder's room for the state");

XXH3_state_t* StateIn(unsigned char* room) { return std::launder(reinterpret_cast<XXH3_state_t*>(room)); }
const XXH3_state_t* StateIn(const unsigned char* room) {
  return std::launder(reinterpret_cast<const XXH3_state_t*>(room));
}

}  // namespace

DigestBuilder::DigestBuilder() {
  // A plain struct of numbers and bytes: reset makes it whole.
  XXH3_64bits_reset(new (state_) XXH3_state_t);
}

void DigestBuilder::Add(const char* data, size_t n) {
  XXH3_64bits_update(StateIn(state_), data, n);
  size_ += n;
}

void DigestBuilder::AddHole(uint64_t n) {
  constexpr uint64_t kMarked = uint64_t{1} << 20;
  if (n < kMarked) {
    static const std::vector<char> zeros(kMarked);
    Add(zeros.data(), static_cast<size_t>(n));
    return;
  }
  unsigned char mark[16] = {0, 'z', 'v', 't', 'h', 'o', 'l', 'e'};
  for (int i = 0; i < 8; ++i) mark[8 + i] = static_cast<unsigned char>(n >> (8 * i));
  XXH3_64bits_update(StateIn(state_), mark, sizeof mark);
  size_ += n;
}

FileDigest DigestBuilder::Digest() const {
  return {size_, XXH3_64bits_digest(StateIn(state_))};
}

bool DigestFile(const std::string& path, FileDigest& digest) {
  // The holes of a sparse file are hashed as the zeros they read as, not read.
  struct Hashing : platform::CopyWatcher {
    DigestBuilder builder;
    void Bytes(const char* data, size_t n) override { builder.Add(data, n); }
    void Hole(uint64_t n) override { builder.AddHole(n); }
    bool Placing() override { return true; }
  } hashing;
  if (!platform::ReadFileBytes(path, hashing)) return false;
  digest = hashing.builder.Digest();
  return true;
}

}  // namespace zet
