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
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t length = 1;
#ifndef _WIN32
    // UTF-8: the C1 controls (U+0080 to U+009F) too, which a terminal may
    // act on, whether encoded or as stray bytes outside any character.
    length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    bool whole = i + length <= text.size();
    for (size_t k = 1; whole && k < length; ++k) whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (!whole) length = 1;
    const bool c1 = (length == 1 && c >= 0x80 && c <= 0x9F) ||
                    (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F);
#else
    const bool c1 = false;
#endif
    if (c1 || c < 0x20 || c == 0x7F)
      shown += '?';
    else
      shown.append(text, i, length);
    i += length;
  }
  return shown;
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
