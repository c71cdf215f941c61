#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace zet::platform {

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  // "\\?\C:\..." names the same folder as "C:\...", which the program's file
  // calls take up to the system's path limit, and the folder beside it (the
  // package's archive) is found by cutting the last name off.
  std::string given = path;
  if (given.size() >= 7 && given.compare(0, 4, "\\\\?\\") == 0 && given[5] == ':' && given.size() < MAX_PATH + 4)
    given.erase(0, 4);
  else if (given.compare(0, 4, "\\\\?\\") == 0)
    return path;
  // Either separator, "." and "..", separators twice or at the end: one
  // spelling, as the system resolves it.
  std::vector<char> buffer(MAX_PATH);
  std::string full;
  for (;;) {
    DWORD n = ::GetFullPathNameA(given.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return path;
    if (n < buffer.size()) {
      full.assign(buffer.data(), n);
      break;
    }
    buffer.resize(n);
  }
  const size_t keep = full.size() >= 2 && full[1] == ':' ? 3 : 1;  // "C:\" and "\\" stay
  while (full.size() > keep && full.back() == '\\') full.pop_back();
  return full;
}

}  // namespace zet::platform
