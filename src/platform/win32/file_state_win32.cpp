// Win32 side of file_state.h.

#include <windows.h>

#include <algorithm>

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

// The Windows build writes each append: a kill loses none of them either.
AppendLog::~AppendLog() { Close(); }

bool AppendLog::Open(const std::string& path) {
  Close();
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

bool AppendLog::MapNext() { return false; }

bool AppendLog::Append(std::string_view bytes, bool) {
  if (handle_ == -1) return false;
  for (size_t done = 0; done < bytes.size();) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    if (!::WriteFile(reinterpret_cast<HANDLE>(handle_), bytes.data() + done, want, &n, nullptr) || n == 0)
      return false;
    done += n;
  }
  return true;
}

bool AppendLog::Sync() { return handle_ != -1 && ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)) != 0; }

bool AppendLog::Removed() const {
  FILE_STANDARD_INFO info;
  return handle_ != -1 &&
         ::GetFileInformationByHandleEx(reinterpret_cast<HANDLE>(handle_), FileStandardInfo, &info, sizeof info) &&
         (info.DeletePending || info.NumberOfLinks == 0);
}

bool AppendLog::Close() {
  if (handle_ == -1) return true;
  const bool ok = ::CloseHandle(reinterpret_cast<HANDLE>(handle_)) != 0;
  handle_ = -1;
  return ok;
}

}  // namespace zet::platform
