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

// The text for a lock not taken, naming its file.
std::string NotTaken(const std::string& target, const std::string& path, platform::FileLock::Result result) {
  const bool failed = result == platform::FileLock::Result::Failed && !path.empty();
  // A file system mounted read-only, where no permission helps (the file
  // in the lock's place may be the lock's own).
  const size_t cut = path.find_last_of("\\/");
  const bool readOnly = failed && (platform::OnReadOnlyFileSystem(path) ||
                                   (cut != std::string::npos && platform::OnReadOnlyFileSystem(path.substr(0, cut == 0 ? 1 : cut))));
  // Something in the lock file's place that is none: a folder, a pipe, a
  // link, a file this user cannot read.
  const bool blocked =
      failed && !readOnly && (platform::IsLink(path) || platform::GetPathKind(path) != platform::PathKind::None);
  std::string message =
      result == platform::FileLock::Result::Busy
          ? TextOr("IDMSG_HOSTBUSY", "Another run is installing into this target folder. Please wait until it has ended.")
      : readOnly ? TextOr("IDMSG_HOSTLOCK_READONLY",
                          "The target folder lies on a file system mounted read-only: nothing can be changed there.")
      : blocked ? TextOr("IDMSG_HOSTLOCK_BLOCKED",
                         "The lock that keeps two runs apart cannot be taken: something else stands in the place of "
                         "its file beside the target folder. Please remove it.")
                : TextOr("IDMSG_HOSTLOCK",
                         "The lock that keeps two runs apart cannot be made beside the target folder. "
                         "Please make its parent folder writable.");
  return message + "\n" + (path.empty() ? target : path);
}

}  // namespace

bool LockHost(const std::string& target, platform::FileLock& lock, std::string& message) {
  const std::string path = platform::HostLockPath(target);
  const platform::FileLock::Result result = path.empty() ? platform::FileLock::Result::Failed : lock.Take(path, target);
  if (result == platform::FileLock::Result::Taken) return true;
  message = NotTaken(target, path, result);
  return false;
}

bool LockCouldBeMade(const std::string& target, std::string& message) {
  const std::string path = platform::HostLockPath(target);
  if (!path.empty() && !platform::IsLink(path)) {
    const platform::PathKind kind = platform::GetPathKind(path);
    if (kind == platform::PathKind::File) return true;  // the preview takes it itself
    const size_t cut = path.find_last_of("\\/");
    if (kind == platform::PathKind::None && cut != std::string::npos &&
        platform::CanMakeIn(path.substr(0, cut == 0 ? 1 : cut)))
      return true;
  }
  message = NotTaken(target, path, platform::FileLock::Result::Failed);
  return false;
}

}  // namespace zet
