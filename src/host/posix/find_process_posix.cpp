// The process list of /proc. A program running under Wine has Wine's loader
// as its executable (/proc/PID/exe), while its first argument is the path of
// the Windows executable ("C:\windows\system32\winedevice.exe" or the Unix
// path it was started by); that name is the one Windows would list.

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "host/find_process.h"

namespace zet {

namespace {

std::string ReadSmallFile(const std::string& path, size_t limit) {
  std::string text;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  while (text.size() < limit) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return text;
}

std::string BaseName(const std::string& path) {
  size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

bool IsWineLoader(const std::string& name) {
  return name == "wine" || name == "wine64" || name == "wine-preloader" || name == "wine64-preloader";
}

// A process that has ended and not yet been waited for (a zombie, state Z
// after the name in parentheses) runs no more.
bool HasEnded(const std::string& dir) {
  const std::string stat = ReadSmallFile(dir + "/stat", 4096);
  const size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && (stat[close + 2] == 'Z' || stat[close + 2] == 'X');
}

}  // namespace

std::string ProcessExecutableName(const std::string& dir) {
  char target[PATH_MAX];
  ssize_t n = ::readlink((dir + "/exe").c_str(), target, sizeof target - 1);
  std::string exe;
  if (n > 0) {
    exe.assign(target, static_cast<size_t>(n));
    static const char kDeleted[] = " (deleted)";
    size_t len = sizeof kDeleted - 1;
    if (exe.size() > len && exe.compare(exe.size() - len, len, kDeleted) == 0) exe.resize(exe.size() - len);
    exe = BaseName(exe);
    if (!IsWineLoader(exe)) return exe;
  }
  std::string cmdline = ReadSmallFile(dir + "/cmdline", 1 << 16);
  std::string first = cmdline.substr(0, cmdline.find('\0'));
  if (!first.empty()) return BaseName(first);
  if (!exe.empty()) return exe;
  std::string comm = ReadSmallFile(dir + "/comm", 256);
  while (!comm.empty() && comm.back() == '\n') comm.pop_back();
  return comm;
}

int FindProcessId(const char* exeName) {
  if (exeName == nullptr) return -1;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return -1;
  int found = -1;
  while (struct dirent* entry = ::readdir(proc)) {
    const char* name = entry->d_name;
    if (*name == '\0') continue;
    long pid = 0;
    bool numeric = true;
    for (const char* p = name; *p != '\0'; ++p) {
      if (*p < '0' || *p > '9' || pid > INT_MAX / 10) {
        numeric = false;
        break;
      }
      pid = pid * 10 + (*p - '0');
    }
    if (!numeric || pid <= 0 || pid > INT_MAX) continue;
    const std::string dir = std::string("/proc/") + name;
    if (ProcessExecutableName(dir) == exeName && !HasEnded(dir)) {
      found = static_cast<int>(pid);
      break;
    }
  }
  ::closedir(proc);
  return found;
}

}  // namespace zet
