// POSIX side of file_state.h.

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstring>
#include <mutex>

#include "platform/file_state.h"
#include "platform/platform.h"
#include "platform/posix/name_notes.h"

namespace zet::platform {

bool GetFileState(const std::string& path, FileState& state) {
  struct stat st;
  if (path.empty() || ::stat(NativePath(path).c_str(), &st) != 0) return false;
  state.mode = static_cast<uint32_t>(st.st_mode & 07777);
  state.modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
  return true;
}

bool SetFileMode(const std::string& path, uint32_t mode) {
  return ::chmod(NativePath(path).c_str(), static_cast<mode_t>(mode & 07777)) == 0;
}

bool MakeHardLink(const std::string& existing, const std::string& link) {
  const std::string native = NativePath(link);
  if (::linkat(AT_FDCWD, NativePath(existing).c_str(), AT_FDCWD, native.c_str(), AT_SYMLINK_FOLLOW) != 0) return false;
  NoteCreated(native);
  return true;
}

bool RemoveEmptyFolder(const std::string& path) {
  const std::string native = NativePath(path);
  if (::rmdir(native.c_str()) != 0) return false;
  NoteRemoved(native);
  return true;
}

bool SyncHandle(intptr_t handle) { return ::fsync(static_cast<int>(handle)) == 0; }

bool SyncFolder(const std::string& path) {
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

namespace {
// A step is mapped at a time; its blocks are taken a piece at a time as the
// appends reach them, so that the log holds no more of a nearly full disk
// than the next piece, which the host's files may need.
constexpr size_t kLogStep = 1 << 20;
constexpr size_t kLogPiece = 64 << 10;
constexpr size_t kLogReserve = 4 << 10;

// A store to the map faults (SIGBUS) where another program cut the file
// shorter meanwhile: the append that makes it is given up, not the process.
thread_local sigjmp_buf* t_onBusError = nullptr;
struct sigaction g_previousBusAction;

void OnBusError(int, siginfo_t*, void*) {
  if (t_onBusError != nullptr) siglongjmp(*t_onBusError, 1);
  // Not a store of an append: the instruction faults again as it would
  // have without this handler.
  ::sigaction(SIGBUS, &g_previousBusAction, nullptr);
}

void CatchBusErrorsOfAppends() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previousBusAction);
  });
}
}

AppendLog::~AppendLog() { Close(); }

bool AppendLog::Open(const std::string& path) {
  Close();
  const std::string native = NativePath(path);
  const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  NoteCreated(native);
  handle_ = fd;
  base_ = 0;
  used_ = 0;
  CatchBusErrorsOfAppends();
  MapNext();  // without a map, appends are writes
  return true;
}

// Gives up the map, if any: the file is cut to what was appended and the
// room kept beyond it, and the appends after go on as writes unless a step
// is mapped again.
bool AppendLog::Unmap() {
  if (map_ == nullptr) return true;
  ::munmap(map_, kLogStep);
  map_ = nullptr;
  const size_t kept = taken_ > used_ ? std::min(kLogReserve, taken_ - used_) : 0;
  base_ += used_;
  used_ = 0;
  return ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(base_ + kept)) == 0;
}

// Maps the next step of the file, from the page that holds its end; false
// (and no map) where the system cannot or the disk has no room for a piece.
bool AppendLog::MapNext() {
  if (!Unmap()) return false;
  const int fd = static_cast<int>(handle_);
  const uint64_t end = base_;
  const uint64_t from = end - end % static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  void* map = ::mmap(nullptr, kLogStep, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(from));
  if (map == MAP_FAILED) return false;
  map_ = static_cast<char*>(map);
  base_ = from;
  used_ = static_cast<size_t>(end - from);
  taken_ = 0;
  if (!Take(std::min(kLogStep, used_ + kLogReserve))) {
    (void)Unmap();
    return false;
  }
  return true;
}

// Takes the blocks of the step up to size bytes, a piece or more at a time,
// before the map is written there: a full disk then fails here, where it
// can be told, and not in a store to the map.
bool AppendLog::Take(size_t size) {
  if (size <= taken_) return true;
  // A piece where the disk has one, else what is needed.
  for (const size_t want : {std::min(kLogStep, std::max(size, taken_ + kLogPiece)), size}) {
    if (::fallocate(static_cast<int>(handle_), 0, static_cast<off_t>(base_ + taken_),
                    static_cast<off_t>(want - taken_)) == 0) {
      taken_ = want;
      return true;
    }
  }
  return false;
}

bool AppendLog::Append(std::string_view bytes, bool reserved) {
  if (handle_ == -1) return false;
  if (bytes.empty()) return true;
  const size_t keep = reserved ? 0 : kLogReserve;
  if (map_ != nullptr && used_ + bytes.size() + keep > kLogStep) MapNext();
  if (map_ != nullptr && used_ + bytes.size() + keep <= kLogStep) {
    // A full disk: what is taken stays the reserved lines'.
    if (!Take(used_ + bytes.size() + keep)) return false;
    sigjmp_buf fault;
    if (sigsetjmp(fault, 0) != 0) {
      // The file was cut under the map: the log takes nothing more.
      t_onBusError = nullptr;
      ::munmap(map_, kLogStep);
      map_ = nullptr;
      ::close(static_cast<int>(handle_));
      handle_ = -1;
      return false;
    }
    t_onBusError = &fault;
    std::memcpy(map_ + used_, bytes.data(), bytes.size() - 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    map_[used_ + bytes.size() - 1] = bytes.back();
    t_onBusError = nullptr;
    used_ += bytes.size();
    return true;
  }
  // Too big for a step, or no step to be mapped: written, and so is all
  // after it.
  if (!Unmap()) return false;
  const int fd = static_cast<int>(handle_);
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(base_ + done));
    if (n <= 0) {
      (void)::ftruncate(fd, static_cast<off_t>(base_));  // no part of it stays
      return false;
    }
    done += static_cast<size_t>(n);
  }
  base_ += bytes.size();
  return true;
}

bool AppendLog::Sync() {
  if (handle_ == -1) return false;
  bool ok = map_ == nullptr || ::msync(map_, kLogStep, MS_SYNC) == 0;
  return ::fsync(static_cast<int>(handle_)) == 0 && ok;
}

bool AppendLog::Removed() const {
  struct stat st;
  return handle_ != -1 && ::fstat(static_cast<int>(handle_), &st) == 0 && st.st_nlink == 0;
}

bool AppendLog::Close() {
  if (handle_ == -1) return true;
  bool ok = Unmap();
  ok = ::close(static_cast<int>(handle_)) == 0 && ok;
  handle_ = -1;
  return ok;
}

}  // namespace zet::platform
