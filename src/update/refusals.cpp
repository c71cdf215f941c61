#include "update/refusals.h"

#include "platform/platform.h"
#include "update/run_state.h"

namespace zet {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows takes the part before the first dot, blanks at its end dropped.
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  // CON to CONOUT$; a superscript digit after COM or LPT in UTF-8 is two bytes.
  if (base.size() < 3 || base.size() > 7) return false;
  std::string upper;
  for (char c : base) upper += Upper(c);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
      upper == "CONOUT$")
    return true;
  if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) return false;
  // A digit, or a superscript one, two or three (in the code page, or in
  // UTF-8 as Linux names hold them).
  const std::string_view number = std::string_view(upper).substr(3);
  if (number.size() == 1 && number[0] >= '0' && number[0] <= '9') return true;
  for (std::string_view superscript : {"\xB9", "\xB2", "\xB3"})
    if (number == superscript || number == std::string("\xC2") + std::string(superscript)) return true;
  return false;
}

}  // namespace

bool IsTooBigToMerge(const std::string& path) {
  uint64_t length = 0;
  return platform::GetFileLength(path, length) && length > kMergedFileLimit;
}

const char* RefusedName(std::string_view name) {
  bool notAllowed = false;                   // a character Windows does not allow in names
  [[maybe_unused]] bool question = false;  // a '?' among them
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) return "name holds a control character or zero byte";
#ifndef _WIN32
    // The C1 controls, as UTF-8 names hold them (U+0080 to U+009F).
    if (c == 0xC2 && i + 1 < name.size() && (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80)
      return "name holds a control character or zero byte";
#endif
    switch (c) {
      case '?': question = true; [[fallthrough]];
      case '<': case '>': case ':': case '"': case '|': case '*': notAllowed = true;
    }
  }
  if (IsDeviceName(name)) return "name is a device on Windows (CON, NUL, COM1, ...), not a file";
  if (!name.empty() && (name.back() == '.' || name.back() == ' '))
    return "name ends in a dot or blank, which Windows drops";
#ifdef _WIN32
  // No Windows name holds a '?': the listing put it for a letter that the
  // system's code page lacks.
  if (question) return "name holds letters the system's code page lacks; not copied";
#endif
  // Windows holds no such name; under Wine the host sees another.
  if (notAllowed) return "name holds a character Windows does not allow in names (< > : \" | ? *)";
  return nullptr;
}

bool SpelledBelow(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         platform::IsPathSeparator(path[folder.size()]);
}

// True when a path holds ".." among its names.
bool Climbs(std::string path) {
  path = "\\" + path + "\\";
  for (char& c : path)
    if (platform::IsPathSeparator(c)) c = '\\';
  return path.find("\\..\\") != std::string::npos;
}

bool IsLinkToFolder(const std::string& path) {
  return platform::IsLink(path) && platform::GetPathKind(path) == platform::PathKind::Folder;
}

bool LeadsOutOfThePackage(const std::string& path) {
  // Not a package file: the host's own files (the host may lie in the
  // package, or be named through it) are the user's business.
  if (!SpelledBelow(path, g_SourceRoot) || Climbs(path.substr(g_SourceRoot.size())) || SpelledBelow(path, g_TargetRoot))
    return false;
  return platform::GetPathKind(path) != platform::PathKind::None && !platform::IsInsideFolder(path, g_SourceRoot);
}

}  // namespace zet
