#include "update/run_request.h"

#include "fileio/file_slots.h"
#include "platform/platform.h"

namespace zet {

const char* RequestRefusal(const RunRequest& request) {
  // A folder Windows programs cannot reach does not "not exist".
  if (request.source.size() > platform::kLongestPath || request.target.size() > platform::kLongestPath)
    return "IDMSG_PATH_TOO_LONG";
  if (!FolderExists(request.source, true)) return "IDMSG2";
  if (!FolderExists(request.target, true)) return "IDMSG3";
  // One folder however spelled: its identity, not its letters, decides.
  if (platform::SameFolder(request.source, request.target)) return "IDMSG4";
  // The run would write into the package it reads.
  if (platform::IsInsideFolder(request.target, request.source)) return "IDMSG_TARGET_IN_PACKAGE";
  return nullptr;
}

}  // namespace zet
