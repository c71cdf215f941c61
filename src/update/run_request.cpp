#include "update/run_request.h"

#include "fileio/file_slots.h"
#include "platform/ascii_text.h"

namespace zet {

const char* RequestRefusal(const RunRequest& request) {
  if (!FolderExists(request.source, true)) return "IDMSG2";
  if (!FolderExists(request.target, true)) return "IDMSG3";
  if (UpperAscii(request.source) == UpperAscii(request.target)) return "IDMSG4";
  return nullptr;
}

}  // namespace zet
