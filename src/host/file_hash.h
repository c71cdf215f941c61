#pragma once
// The hash the run journal keeps of every file it writes, so that undo can
// tell a file the run wrote from one the user changed since: 64-bit XXH3.

#include <cstddef>
#include <cstdint>
#include <memory>
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
  ~DigestBuilder();
  DigestBuilder(const DigestBuilder&) = delete;
  DigestBuilder& operator=(const DigestBuilder&) = delete;
  void Add(const char* data, size_t n);
  FileDigest Digest() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zet
