#include "host/host_lock.h"

#include "platform/platform.h"
#include "profile/lang_table.h"

namespace zet {

namespace {

// The language file's text, or the built-in one when it has none.
std::string TextOr(const char* key, const char* builtin) {
  std::string text = GetLangString(kMainDialogSection, key);
  return text.empty() ? builtin : text;
}

}  // namespace

bool LockHost(const std::string& target, platform::FileLock& lock, std::string& message) {
  const std::string path = platform::HostLockPath(target);
  platform::FileLock::Result result = path.empty() ? platform::FileLock::Result::Failed : lock.Take(path);
  if (result == platform::FileLock::Result::Taken) return true;
  if (result == platform::FileLock::Result::Busy)
    message = TextOr("IDMSG_HOSTBUSY",
                     "Another run is installing into this target folder. Please wait until it has ended.");
  else
    message = TextOr("IDMSG_HOSTLOCK",
                     "The lock that keeps two runs apart cannot be made beside the target folder. "
                     "Please make its parent folder writable.");
  message += "\n" + (path.empty() ? target : path);
  // Something in the lock file's place that is none: a folder, a pipe, a
  // link, a file this user cannot read.
  if (result == platform::FileLock::Result::Failed && !path.empty() &&
      (platform::IsLink(path) || platform::GetPathKind(path) != platform::PathKind::None))
    message += " (no lock file this program can open: please remove it)";
  return false;
}

}  // namespace zet
