#pragma once
// Letter case and blanks as the host's files and Windows' file names know
// them: only A-Z and a-z fold, whatever the code page's other letters are.

#include <string>
#include <string_view>

namespace zet {

constexpr char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The blanks of C's isspace in the "C" locale: space, tab, line feed,
// vertical tab, form feed, carriage return. For 8-bit and 16-bit text alike.
template <typename Char>
constexpr bool IsAsciiSpace(Char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The blanks within a line: space and tab.
template <typename Char>
constexpr bool IsSpaceOrTab(Char c) {
  return c == ' ' || c == '\t';
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

inline std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpperAscii(c);
  return upper;
}

}  // namespace zet
