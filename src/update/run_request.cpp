#include "update/run_request.h"

#include "fileio/file_slots.h"

namespace zet {

namespace {

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

const char* RequestRefusal(const RunRequest& request) {
  if (!FolderExists(request.source, true)) return "IDMSG2";
  if (!FolderExists(request.target, true)) return "IDMSG3";
  if (Upper(request.source) == Upper(request.target)) return "IDMSG4";
  return nullptr;
}

}  // namespace zet
