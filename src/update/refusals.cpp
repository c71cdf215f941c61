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
  std::string upper;
  for (char c : base) upper += Upper(c);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
         upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace

bool IsTooBigToMerge(const std::string& path) {
  uint64_t length = 0;
  return platform::GetFileLength(path, length) && length > kMergedFileLimit;
}

const char* RefusedName(std::string_view name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20) return "name holds a control character or zero byte";
  if (IsDeviceName(name)) return "name is a device on Windows (CON, NUL, COM1, ...), not a file";
  if (!name.empty() && (name.back() == '.' || name.back() == ' '))
    return "name ends in a dot or blank, which Windows drops";
  return nullptr;
}

bool LeadsOutOfThePackage(const std::string& path) {
  if (g_SourceRoot.empty() || path.size() <= g_SourceRoot.size() ||
      path.compare(0, g_SourceRoot.size(), g_SourceRoot) != 0 || !platform::IsPathSeparator(path[g_SourceRoot.size()]))
    return false;  // not a package file: the host's own files are the user's business
  return platform::GetPathKind(path) != platform::PathKind::None && !platform::IsInsideFolder(path, g_SourceRoot);
}

}  // namespace zet
