// Code page conversion on POSIX: Windows-1252. Its five unassigned bytes map
// to the control characters of the same value, as Windows maps them, so
// every byte survives a conversion there and back.

#include "platform/platform.h"
#include "platform/platform_common.h"

namespace zet::platform {

namespace {

// 0x80 to 0x9F; the rest of the code page equals the first 256 code points.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char ToByte(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == unit) return static_cast<char>(0x80 + i);
  return '?';
}

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    char32_t point = 0;
    const size_t length = detail::Utf8CharAt(text, i, point);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::string NameFromCodePage(std::string_view text) {
  if (detail::IsAscii(text) || IsUtf8(text)) return std::string(text);
  std::string name;
  name.reserve(text.size() + text.size() / 2);
  for (char16_t unit : AnsiToUtf16(text)) detail::AppendUtf8(name, unit);
  return name;
}

std::string CodePageFromName(std::string name) {
  if (detail::IsAscii(name) || !IsUtf8(name)) return name;
  std::string spelled;
  for (size_t i = 0; i < name.size();) {
    char32_t point = 0;
    i += detail::Utf8CharAt(name, i, point);
    // Beyond the basic plane, or outside the code page: no archive names it.
    const std::string byte = point > 0xFFFF ? "?" : Utf16ToAnsi(std::u16string(1, static_cast<char16_t>(point)));
    if (byte == "?" && point != '?') return {};
    spelled += byte;
  }
  return spelled;
}

std::u16string AnsiToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    out.push_back(byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : static_cast<char16_t>(byte));
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    // A surrogate pair is one character.
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      ++i;
    out.push_back(ToByte(unit));
  }
  return out;
}

}  // namespace zet::platform
