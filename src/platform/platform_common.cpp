#include "platform/platform_common.h"

#include <algorithm>
#include <vector>

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

size_t Utf8CharAt(std::string_view text, size_t at, char32_t& point) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const size_t length = lead < 0x80 ? 1 : lead < 0xC0 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  static constexpr char32_t kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  point = lead & kLeadBits[length];
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    point = (point << 6) | (next & 0x3F);
  }
  const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
  return point < kSmallest[length] || point > 0x10FFFF || surrogate ? 0 : length;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void AppendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
    return;
  }
  if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
  } else {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (point & 0x3F));
}

}  // namespace zet::platform::detail

namespace zet::platform {

void CopyWatcher::Hole(uint64_t n) {
  static const std::vector<char> zeros(64 * 1024);
  for (; n > 0; n -= std::min<uint64_t>(n, zeros.size()))
    Bytes(zeros.data(), static_cast<size_t>(std::min<uint64_t>(n, zeros.size())));
}

std::string ShownText(std::string text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t length = 1;
#ifndef _WIN32
    // UTF-8: the C1 controls (U+0080 to U+009F) too, which a terminal may
    // act on, whether encoded or as stray bytes outside any character.
    char32_t point = c;
    length = std::max<size_t>(detail::Utf8CharAt(text, i, point), 1);
    const bool c1 = point >= 0x80 && point <= 0x9F;
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

std::string WhyNothingIsMadeIn(const std::string& folder) {
  return NoRoomIn(folder, 0) ? ": the disk is full" : WhyNothingChangesIn(folder);
}

bool CanReadFile(const std::string& path) {
  const intptr_t handle = detail::RawOpen(path, detail::RawMode::Read);
  return handle != -1 && detail::RawClose(handle);
}

bool SameFolder(const std::string& a, const std::string& b) {
  FolderIdentity x, y;
  return GetFolderIdentity(a, x) && GetFolderIdentity(b, y) && x == y;
}

}  // namespace zet::platform
