// Win32 backend: the ANSI file functions, paths passed through unchanged.

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <string>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/platform.h"
#include "platform/platform_common.h"

namespace zet::platform {

bool IsAbsolutePath(const std::string& path) {
  return path.size() >= 3 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'));
}

std::string NativePath(const std::string& path) { return path; }

std::string FoldedName(std::string_view name) {
  std::string upper(name);
  if (!upper.empty()) ::CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
  return upper;
}

bool IsLinkToNothing(const std::string&) { return false; }

bool IsLink(const std::string&) { return false; }

bool ChangedSince(const std::string&, int64_t, int64_t) { return true; }

std::string FileVersion(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return {};
  return std::to_string(data.nFileSizeHigh) + ':' + std::to_string(data.nFileSizeLow) + ':' +
         std::to_string(data.ftLastWriteTime.dwHighDateTime) + ':' + std::to_string(data.ftLastWriteTime.dwLowDateTime);
}

void FileClockNow(int64_t& seconds, int64_t& nanoseconds) {
  seconds = static_cast<int64_t>(std::time(nullptr));
  nanoseconds = 0;
}

bool CanMakeIn(const std::string&) { return true; }

std::string WhyNothingChangesIn(const std::string&) { return {}; }

bool HoleWithin(const std::string&, uint64_t, uint64_t) { return false; }

bool FirstHole(const std::string&, uint64_t& offset) {
  offset = UINT64_MAX;
  return false;
}

bool LastFailureWasNoRoom() {
  const DWORD error = ::GetLastError();
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

bool MemoryFor(uint64_t) { return true; }

bool NoRoomIn(const std::string& folder, uint64_t bytes) {
  ULARGE_INTEGER free;
  if (folder.empty() || !::GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr)) return false;
  return free.QuadPart < bytes + 4096;
}

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

bool IsEmptyFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return !path.empty() && ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
         (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) ==
             0 &&
         data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
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

namespace {

// A handle that only queries what a path names (a folder too).
HANDLE OpenForQuery(const std::string& path) {
  return ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The path of an open file or folder with every link resolved, without the
// "\\?\" the system puts in front; empty when the system does not tell.
std::string FinalPath(HANDLE h) {
  char buffer[32768];
  DWORD n = ::GetFinalPathNameByHandleA(h, buffer, sizeof buffer, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= sizeof buffer) return {};
  std::string path(buffer, n);
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\" + path.substr(7);
  if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

}  // namespace

bool OnReadOnlyFileSystem(const std::string&) { return false; }

std::string WhyNotWritable(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return "is read-only; left as it was";
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = ::GetLastError();
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
    return "is in use by another program; left as it was";
  if (error == ERROR_ACCESS_DENIED) return "may not be written by this user; left as it was";
  return "cannot be written; left as it was";
}

std::string RealPath(const std::string& path) {
  if (path.empty() || ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::string full(needed, '\0');
  DWORD length = ::GetFullPathNameA(path.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  while (full.size() > 3 && full.back() == '\\') full.pop_back();  // "C:\" stays whole
  // Short 8.3 names as their long names, as a listing shows them: one
  // spelling of a folder however it was typed; the short one where the long
  // one holds a letter the code page lacks.
  std::vector<char> buffer(full.size() + MAX_PATH);
  length = ::GetLongPathNameA(full.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return full;
  std::string long_(buffer.data(), length);
  if (std::count(long_.begin(), long_.end(), '?') != std::count(full.begin(), full.end(), '?')) return full;
  return long_;
}

namespace {

// The text in the system's code page; false when a letter has no place in
// it (then a '?' stands for it).
bool ToCodePage(const wchar_t* text, std::string& out) {
  const std::u16string_view wide(reinterpret_cast<const char16_t*>(text));
  out = Utf16ToAnsi(wide);
  return std::count(out.begin(), out.end(), '?') == std::count(wide.begin(), wide.end(), u'?');
}

// For the system's wide calls.
std::wstring FromCodePage(const std::string& text) {
  const std::u16string wide = AnsiToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

}  // namespace

std::string ArgumentOutsideCodePage() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr) return {};
  std::string bad, text;
  for (int i = 1; i < count && bad.empty(); ++i)
    if (!ToCodePage(arguments[i], text)) bad = text;
  ::LocalFree(arguments);
  return bad;
}

bool EnvironmentFitsCodePage(const char* name) {
  const std::wstring wide = FromCodePage(name);
  const DWORD n = ::GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (n == 0) return true;
  std::wstring value(n, L'\0');
  if (::GetEnvironmentVariableW(wide.c_str(), &value[0], n) == 0) return true;
  std::string text;
  return ToCodePage(value.c_str(), text);
}

bool ListFolder(const std::string& path, std::vector<DirEntry>& entries, bool) {
  entries.clear();
  const std::wstring pattern = FromCodePage(path.empty() ? std::string("*.*") : path + "\\*.*");
  WIN32_FIND_DATAW data;
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    // A letter the code page lacks is a '?', which the walk refuses.
    std::string name;
    ToCodePage(data.cFileName, name);
    if (name.empty()) name = "?";
    if (name == "." || name == "..") continue;
    DirEntry e;
    e.name = std::move(name);
    e.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.size = e.isFolder ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    e.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    e.isSpecial = (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0;
    if (e.isLink && !e.isFolder) {
      // The listing describes the link itself; the file it leads to has the size.
      WIN32_FILE_ATTRIBUTE_DATA target;
      if (::GetFileAttributesExA((path + "\\" + e.name).c_str(), GetFileExInfoStandard, &target) &&
          !(target.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        e.size = (static_cast<uint64_t>(target.nFileSizeHigh) << 32) | target.nFileSizeLow;
      else
        e.isSpecial = true;
    }
    entries.push_back(std::move(e));
  } while (::FindNextFileW(search, &data));
  ::FindClose(search);
  // NTFS hands names out in this order already; other file systems (and Wine
  // on a Linux one) do not.
  detail::SortLikeNtfs(entries);
  return true;
}

bool CreateFolder(const std::string& path) {
  if (path.empty() || ::CreateDirectoryA(path.c_str(), nullptr) == 0) return false;
  FolderIdentity made;
  if (detail::SweepGeneration() != 0 && GetFolderIdentity(path, made)) detail::NoteFolderMade(made);
  return true;
}

namespace {

bool IsPlainFile(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

// Shows the watcher the bytes of the file at path.
bool ShowFile(const std::string& path, CopyWatcher& watcher) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::vector<char> buffer(1 << 16);
  DWORD n = 0;
  bool ok;
  while ((ok = ::ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) != 0) && n > 0)
    watcher.Bytes(buffer.data(), n);
  ::CloseHandle(h);
  return ok;
}

}  // namespace

bool ReadFileBytes(const std::string& path, CopyWatcher& watcher) {
  if (!IsPlainFile(path)) return false;
  Stream in;
  if (!in.Open(path, "rb")) return false;
  std::vector<char> buffer(1 << 16);
  for (size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;) watcher.Bytes(buffer.data(), n);
  return !in.ReadFailed();
}

namespace {

// The confinement of a run's reads: the package's folder as spelled and as
// the system names it, and the host's, both in upper case.
struct Confinement {
  std::string spelled, real, except;
} g_confinement;

std::string UpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool Below(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '\\';
}

// True when a copy may read the file at path: one below the package must be
// there as the system names it, not reached through a link (which Wine
// shows as a plain file) that leads elsewhere.
bool ReadAllowed(const std::string& path) {
  if (g_confinement.real.empty() || !Below(UpperCase(path), g_confinement.spelled)) return true;
  HANDLE h = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const std::string real = UpperCase(FinalPath(h));
  ::CloseHandle(h);
  return Below(real, g_confinement.real) || Below(real, g_confinement.except);
}

// A folder as the system names an open handle of it: files below it, as
// their handles name them, begin with it.
std::string FinalFolderPath(const std::string& folder) {
  HANDLE h = OpenForQuery(folder);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string real = FinalPath(h);
  ::CloseHandle(h);
  return UpperCase(real);
}

}  // namespace

ConfinedReads::ConfinedReads(const std::string& folder, const std::string& except) {
  g_confinement = {UpperCase(folder), FinalFolderPath(folder), except.empty() ? std::string() : FinalFolderPath(except)};
}

ConfinedReads::~ConfinedReads() { g_confinement = {}; }

bool CopyFileKeepingTime(const std::string& from, const std::string& to, bool failIfExists, CopyWatcher* watcher,
                         bool* emptyLeftOut) {
  ::SetLastError(0);  // a failure says its own reason (see LastFailureWasNoRoom)
  // One look tells a plain file and, where asked, an empty one.
  if (emptyLeftOut != nullptr) *emptyLeftOut = false;
  WIN32_FILE_ATTRIBUTE_DATA source;
  if (!::GetFileAttributesExA(from.c_str(), GetFileExInfoStandard, &source) ||
      (source.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
    return false;
  if (emptyLeftOut != nullptr && (*emptyLeftOut = source.nFileSizeHigh == 0 && source.nFileSizeLow == 0)) return false;
  std::string temporary, target = to;
  if (failIfExists) {
    if (::GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    temporary = TemporaryPathBeside(to);
  } else {
    Replacement replacement;
    if (!BeginReplacement(to, replacement)) return false;
    temporary = replacement.temporary;
    target = replacement.target;
  }
  if (temporary.empty()) return false;
  bool ok = ReadAllowed(from) && ::CopyFileA(from.c_str(), temporary.c_str(), FALSE) != 0;
  if (ok && watcher != nullptr) ok = ShowFile(temporary, *watcher) && watcher->Placing();
  if (ok) ok = ::MoveFileExA(temporary.c_str(), target.c_str(), failIfExists ? 0 : MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) {
    ::SetFileAttributesA(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(temporary.c_str());
  }
  return ok;
}


bool MoveFileReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

std::string TemporaryPathBeside(const std::string& path) {
  static constexpr int kTries = 64;
  const std::string folder = detail::FolderOf(path);
  detail::SweepBeforeFirstTemporary(folder);
  for (int i = 0; i < kTries; ++i) {
    std::string candidate = folder.empty() ? detail::NewTemporaryName() : folder + "\\" + detail::NewTemporaryName();
    HANDLE h = ::CreateFileA(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      ::CloseHandle(h);
      return candidate;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

bool GetFolderIdentity(const std::string& path, FolderIdentity& identity) {
  if (path.empty()) return false;
  HANDLE h = OpenForQuery(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = ::GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  ::CloseHandle(h);
  if (!ok) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool IsInsideFolder(const std::string& inner, const std::string& outer) {
  FolderIdentity top, here;
  if (!GetFolderIdentity(outer, top)) return false;
  HANDLE h = OpenForQuery(inner);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string real = FinalPath(h);
  ::CloseHandle(h);
  while (!real.empty()) {
    if (GetFolderIdentity(real, here) && here == top) return true;
    size_t cut = real.find_last_of('\\');
    if (cut == std::string::npos || cut + 1 == real.size()) break;
    real = real.substr(0, cut == 2 && real[1] == ':' ? cut + 1 : cut);
  }
  return false;
}

std::string HostLockPath(const std::string& target) {
  HANDLE h = OpenForQuery(target);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string real = FinalPath(h);
  ::CloseHandle(h);
  const size_t cut = real.find_last_of('\\');
  if (cut == std::string::npos || cut + 1 == real.size() || GetPathKind(real) != PathKind::Folder) return {};
  return real.substr(0, cut) + "\\zetveltran-" + real.substr(cut + 1) + ".lock";
}

bool FileLock::HeldBySomeone(const std::string& path) {
  FileLock probe;  // which would make the file
  return GetPathKind(path) == PathKind::File && probe.Take(path) == Result::Busy;
}

FileLock::Result FileLock::Take(const std::string& path, const std::string&) {
  Release();
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Result::Failed;
  OVERLAPPED region = {};
  if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &region)) {
    const bool busy = ::GetLastError() == ERROR_LOCK_VIOLATION || ::GetLastError() == ERROR_IO_PENDING;
    ::CloseHandle(h);
    return busy ? Result::Busy : Result::Failed;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return Result::Taken;
}

void FileLock::Release() {
  if (handle_ == -1) return;
  // Closing the handle gives the lock up.
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

namespace {
void (*g_onStop)() = nullptr;
std::atomic<bool> g_stopAsked{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  // A second request takes the system's default: the process ends.
  if (g_stopAsked.exchange(true)) return FALSE;
  if (g_onStop != nullptr) g_onStop();
  return TRUE;
}
}  // namespace

void CallOnStopRequest(void (*onStop)()) {
  g_onStop = onStop;
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
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

bool RunsUnderWine() {
  // Wine's own library exports what Windows' does not.
  static const bool wine = [] {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

void UseOwnFileTable() {}

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
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return -1;
  }
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
