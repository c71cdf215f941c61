// Win32 side of file_state.h.

#include <windows.h>

#include "platform/file_state.h"

namespace zet::platform {

bool GetFileState(const std::string& path, FileState& state) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  // 100-nanosecond ticks since 1601 to seconds since 1970.
  const uint64_t ticks =
      (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  state.mode = 0;
  state.modifiedSeconds = static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
  return true;
}

bool SetFileMode(const std::string&, uint32_t) { return true; }

bool MakeHardLink(const std::string& existing, const std::string& link) {
  return ::CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != 0;
}

bool RemoveEmptyFolder(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }

bool SyncHandle(intptr_t handle) { return ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0; }

bool SyncFolder(const std::string&) { return true; }

}  // namespace zet::platform
