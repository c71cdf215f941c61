#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zet::platform {

namespace {

// A path with ".." in it as the system resolves it (links followed: only
// the system knows where ".." leads past one); as it is when nothing is there.
std::string Resolved(const std::string& path) {
  const std::string padded = "/" + path + "/";
  if (padded.find("/../") == std::string::npos) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string resolved = real;
  std::free(real);
  return resolved;
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::string absolute = "/";
  if (!IsAbsolutePath(path)) {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return path;
      buffer.resize(buffer.size() * 2);
    }
    absolute = buffer.data();
  }
  // Its names, without "." and doubled separators.
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
  return Resolved(absolute);
}

}  // namespace zet::platform
