#include "platform/platform_common.h"

#include <algorithm>

#include "platform/ascii_text.h"

namespace zet::platform::detail {

void SortLikeNtfs(std::vector<DirEntry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
    const std::string& x = a.name;
    const std::string& y = b.name;
    size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
      const auto cx = static_cast<unsigned char>(UpperAscii(x[i]));
      const auto cy = static_cast<unsigned char>(UpperAscii(y[i]));
      if (cx != cy) return cx < cy;
    }
    if (x.size() != y.size()) return x.size() < y.size();
    return x < y;
  });
}

}  // namespace zet::platform::detail

namespace zet::platform {

std::string ShownText(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

std::string ShownPath(const std::string& path) { return ShownText(NativePath(path)); }

bool CanReadFile(const std::string& path) {
  const intptr_t handle = detail::RawOpen(path, detail::RawMode::Read);
  return handle != -1 && detail::RawClose(handle);
}

bool SameFolder(const std::string& a, const std::string& b) {
  FolderIdentity x, y;
  return GetFolderIdentity(a, x) && GetFolderIdentity(b, y) && x == y;
}

}  // namespace zet::platform
