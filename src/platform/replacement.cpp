// Rewriting a file whole without ever leaving it half-written.

#include "platform/platform.h"

namespace zet::platform {

bool PrepareReplacement(const std::string& path, Replacement& replacement) {
  replacement.target = path;
  replacement.temporary.clear();
  if (path.empty()) return false;
  if (GetPathKind(path) != PathKind::None) {
    if (!CanWriteFile(path)) return false;
    std::string real = RealPath(path);
    if (!real.empty()) replacement.target = real;
  }
  return true;
}

bool BeginReplacement(const std::string& path, Replacement& replacement) {
  if (!PrepareReplacement(path, replacement)) return false;
  replacement.temporary = TemporaryPathBeside(replacement.target);
  return !replacement.temporary.empty();
}

bool FinishReplacement(const Replacement& replacement, bool written, const std::string* expected) {
  if (replacement.temporary.empty()) return false;
  bool ok = written && (expected == nullptr || FileVersion(replacement.target) == *expected);
  if (ok && GetPathKind(replacement.target) == PathKind::File)
    ok = detail::CopyPermissionBits(replacement.target, replacement.temporary);
  if (ok) ok = MoveFileReplacing(replacement.temporary, replacement.target);
  if (!ok) RemoveFile(replacement.temporary);
  return ok;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, bool text, const std::string* expected) {
  Replacement replacement;
  if (!BeginReplacement(path, replacement)) return false;
  Stream out;
  bool written = out.Open(replacement.temporary, text ? "wt" : "wb");
  if (written) {
    written = out.Write(bytes);
    written = out.Close() && written;
  }
  return FinishReplacement(replacement, written, expected);
}

}  // namespace zet::platform
