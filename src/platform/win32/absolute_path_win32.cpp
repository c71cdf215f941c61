#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace zet::platform {

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || IsAbsolutePath(path)) return path;
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return path;
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(n);
  }
}

}  // namespace zet::platform
