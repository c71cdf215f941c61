#include "platform/platform_common.h"

#include <algorithm>

namespace zet::platform::detail {

namespace {
unsigned char Upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }
}  // namespace

void SortLikeNtfs(std::vector<DirEntry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
    const std::string& x = a.name;
    const std::string& y = b.name;
    size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
      unsigned char cx = Upper(static_cast<unsigned char>(x[i]));
      unsigned char cy = Upper(static_cast<unsigned char>(y[i]));
      if (cx != cy) return cx < cy;
    }
    if (x.size() != y.size()) return x.size() < y.size();
    return x < y;
  });
}

}  // namespace zet::platform::detail

namespace zet::platform {

bool SameFolder(const std::string& a, const std::string& b) {
  FolderIdentity x, y;
  return GetFolderIdentity(a, x) && GetFolderIdentity(b, y) && x == y;
}

}  // namespace zet::platform
