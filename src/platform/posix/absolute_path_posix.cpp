#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zet::platform {

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || IsAbsolutePath(path)) return path;
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return path;
    buffer.resize(buffer.size() * 2);
  }
  std::string absolute = buffer.data();
  // ".." stays: only the system knows where it leads when links are involved.
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsPathSeparator(path[end])) ++end;
    const std::string part = path.substr(start, end - start);
    if (!part.empty() && part != ".") {
      if (absolute.back() != '/') absolute += '/';
      absolute += part;
    }
    start = end + 1;
  }
  return absolute;
}

}  // namespace zet::platform
