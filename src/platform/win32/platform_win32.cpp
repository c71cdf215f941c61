// Win32 backend: the ANSI file functions, paths passed through unchanged.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_common.h"

namespace zet::platform {

bool IsPathSeparator(char c) { return c == '\\'; }

bool IsAbsolutePath(const std::string& path) {
  return path.size() >= 3 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'));
}

std::string NativePath(const std::string& path) { return path; }

PathKind GetPathKind(const std::string& path) {
  if (path.empty()) return PathKind::None;
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::None;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

bool GetFileLength(const std::string& path, uint64_t& length) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  length = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool CanWriteFile(const std::string& path) {
  if (path.empty()) return false;
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return false;
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(file);
  return true;
}

std::string RealPath(const std::string& path) {
  if (path.empty() || ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::string full(needed, '\0');
  DWORD length = ::GetFullPathNameA(path.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  return full;
}

bool ListFolder(const std::string& path, std::vector<DirEntry>& entries) {
  entries.clear();
  std::string pattern = path.empty() ? std::string("*.*") : path + "\\*.*";
  WIN32_FIND_DATAA data;
  HANDLE search = ::FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    DirEntry e;
    e.name = std::move(name);
    e.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.size = e.isFolder ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entries.push_back(std::move(e));
  } while (::FindNextFileA(search, &data));
  ::FindClose(search);
  // NTFS hands names out in this order already; other file systems (and Wine
  // on a Linux one) do not.
  detail::SortLikeNtfs(entries);
  return true;
}

bool CreateFolder(const std::string& path) {
  return !path.empty() && ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool CopyFileKeepingTime(const std::string& from, const std::string& to, bool failIfExists) {
  if (failIfExists) return ::CopyFileA(from.c_str(), to.c_str(), TRUE) != 0;
  if (GetPathKind(to) == PathKind::Folder) return false;
  std::string temp = TemporaryPathBeside(to);
  if (!::CopyFileA(from.c_str(), temp.c_str(), TRUE)) {
    ::DeleteFileA(temp.c_str());
    return false;
  }
  if (!MoveFileReplacing(temp, to)) {
    ::DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

bool MoveFileReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

std::string TemporaryPathBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    std::string candidate = path + ".~zv" + std::to_string(::GetCurrentProcessId()) + "-" +
                            std::to_string(counter.fetch_add(1)) + ".tmp";
    if (::GetFileAttributesA(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) return candidate;
  }
}

std::string ExecutablePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace detail {

intptr_t RawOpen(const std::string& path, RawMode mode) {
  DWORD access = 0;
  DWORD disposition = 0;
  switch (mode) {
    case RawMode::Read: access = GENERIC_READ; disposition = OPEN_EXISTING; break;
    case RawMode::ReadWrite: access = GENERIC_READ | GENERIC_WRITE; disposition = OPEN_EXISTING; break;
    case RawMode::WriteTruncate: access = GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
    case RawMode::WriteAppend: access = FILE_APPEND_DATA; disposition = OPEN_ALWAYS; break;
    case RawMode::ReadWriteTruncate: access = GENERIC_READ | GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
    case RawMode::ReadAppend: access = GENERIC_READ | FILE_APPEND_DATA; disposition = OPEN_ALWAYS; break;
  }
  if (path.empty()) return -1;
  HANDLE h = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  return reinterpret_cast<intptr_t>(h);
}

long RawRead(intptr_t handle, void* destination, size_t n) {
  DWORD got = 0;
  DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
  if (!::ReadFile(reinterpret_cast<HANDLE>(handle), destination, want, &got, nullptr)) return -1;
  return static_cast<long>(got);
}

long RawWrite(intptr_t handle, const void* source, size_t n) {
  DWORD put = 0;
  DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
  if (!::WriteFile(reinterpret_cast<HANDLE>(handle), source, want, &put, nullptr)) return -1;
  return static_cast<long>(put);
}

int64_t RawSeek(intptr_t handle, int64_t offset, int origin) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER result;
  DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
  if (!::SetFilePointerEx(reinterpret_cast<HANDLE>(handle), distance, &result, method)) return -1;
  return result.QuadPart;
}

int64_t RawLength(intptr_t handle) {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(reinterpret_cast<HANDLE>(handle), &size)) return -1;
  return size.QuadPart;
}

bool RawClose(intptr_t handle) { return ::CloseHandle(reinterpret_cast<HANDLE>(handle)) != 0; }

// The attributes that matter (read-only) refuse a rewrite before it starts.
bool CopyPermissionBits(const std::string&, const std::string&) { return true; }

}  // namespace detail

}  // namespace zet::platform
