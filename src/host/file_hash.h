#pragma once
// The hash the run journal keeps of every file it writes, so that undo can
// tell a file the run wrote from one the user changed since: 64-bit XXH3.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zet {

struct FileDigest {
  uint64_t size = 0;
  uint64_t hash = 0;
  bool operator==(const FileDigest& other) const { return size == other.size && hash == other.hash; }
  bool operator!=(const FileDigest& other) const { return !(*this == other); }
};

FileDigest DigestOf(const std::string& bytes);

// The digest of the file at path; false when it cannot be read whole.
bool DigestFile(const std::string& path, FileDigest& digest);

// The digest of bytes given piece by piece.
class DigestBuilder {
 public:
  DigestBuilder();
  DigestBuilder(const DigestBuilder&) = delete;
  DigestBuilder& operator=(const DigestBuilder&) = delete;
  void Add(const char* data, size_t n);
  // A hole of n bytes of a sparse file: one of 1 MB or more is hashed as a
  // mark of its length, not as its zeros, so that a hole of many GB costs
  // no time; a smaller one as its zeros. A file without holes hashes as
  // its bytes. (Such a file written where the system keeps no holes then
  // hashes otherwise: undo keeps it as one changed since the run.)
  void AddHole(uint64_t n);
  FileDigest Digest() const;

 private:
  // The hash's running state, in place: a journal makes a builder for every
  // file it records, and the allocator is slow to give this alignment.
  alignas(64) unsigned char state_[640];
  uint64_t size_ = 0;
};

}  // namespace zet
