// Code page conversion on Windows: the system's ANSI code page.

#include <windows.h>

#include <climits>

#include "platform/platform.h"

namespace zet::platform {

std::u16string AnsiToUtf16(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0)
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                          reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
  // A '?', never a look-alike letter (the system's best fit), which could
  // spell another name.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  int n = ::WideCharToMultiByte(CP_ACP, flags, wide, static_cast<int>(text.size()), nullptr, 0, "?", nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_ACP, flags, wide, static_cast<int>(text.size()), out.data(), n, "?", nullptr);
  return out;
}

std::string NameFromCodePage(std::string_view text) { return std::string(text); }

std::string CodePageFromName(std::string name) { return name; }

}  // namespace zet::platform
