// POSIX side of file_state.h.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_state.h"
#include "platform/platform.h"

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
  return ::linkat(AT_FDCWD, NativePath(existing).c_str(), AT_FDCWD, NativePath(link).c_str(),
                  AT_SYMLINK_FOLLOW) == 0;
}

bool RemoveEmptyFolder(const std::string& path) { return ::rmdir(NativePath(path).c_str()) == 0; }

bool SyncHandle(intptr_t handle) { return ::fsync(static_cast<int>(handle)) == 0; }

bool SyncFolder(const std::string& path) {
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace zet::platform
