#pragma once
// What the run journal and its undo ask of the system beyond platform.h:
// a file's mode and time, hard links, empty-folder removal and syncing to
// disk. Paths are the program's own (see platform.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zet::platform {

struct FileState {
  uint32_t mode = 0;             // POSIX permission bits; 0 on Windows
  int64_t modifiedSeconds = 0;   // modification time, seconds since 1970 (UTC)
};

// The state of the file or folder at path (behind any link); false when
// nothing is there.
bool GetFileState(const std::string& path, FileState& state);

// Gives the file at path these permission bits (POSIX); true on Windows,
// where a file's read-only attribute is all there is and a copy keeps it.
bool SetFileMode(const std::string& path, uint32_t mode);

// A second name for the file at existing (behind a link at existing); false
// when the system cannot make one (another volume, a file system without
// links, a name that is taken).
bool MakeHardLink(const std::string& existing, const std::string& link);

// Removes a folder that holds nothing; false when it holds something, is
// missing, or the system refuses.
bool RemoveEmptyFolder(const std::string& path);

// Hands what was written to a raw handle (detail::RawOpen) to the disk.
bool SyncHandle(intptr_t handle);

// Hands the names in a folder (new files, links) to the disk; true where the
// system does that for each file by itself.
bool SyncFolder(const std::string& path);

// A new file written by appends that are with the system when they return
// (a kill of the process loses none), through a shared memory map where
// the system has one, so without a system call for each. The file grows by
// steps of zero bytes and is cut to its lines and the room kept (below) at
// Close: it ends in zero bytes, and an append's bytes that are not all
// there end before them. Elsewhere each append is a write. Not thread-safe.
class AppendLog {
 public:
  AppendLog() = default;
  ~AppendLog();
  AppendLog(const AppendLog&) = delete;
  AppendLog& operator=(const AppendLog&) = delete;

  bool Open(const std::string& path);  // false when the file exists or cannot be made
  bool is_open() const { return handle_ != -1; }
  // The last byte of bytes is put in place last. Where the system has a
  // map, a few KB of the disk are kept for the log beyond its appends (the
  // file ends in zeros there, also after Close), for a last line that must
  // find room on a disk the others filled (reserved), and for lines written
  // later in that place: an append that would reach into them fails.
  bool Append(std::string_view bytes, bool reserved = false);
  bool Sync();  // what was appended, to the disk
  bool Close();
  // True once the file has lost its name (its folder removed, say): what
  // is appended then is lost with it.
  bool Removed() const;

 private:
  bool MapNext();
  bool Take(size_t size);
  bool Unmap();
  intptr_t handle_ = -1;
  char* map_ = nullptr;  // the step of the file mapped, from offset base_
  uint64_t base_ = 0;
  size_t used_ = 0;      // bytes of the step appended
  size_t taken_ = 0;     // bytes of the step whose blocks are taken
};

}  // namespace zet::platform
