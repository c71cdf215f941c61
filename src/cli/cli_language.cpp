#include "cli/cli_language.h"

#include <map>

#include "platform/platform.h"
#include "profile/lang_table.h"

namespace zet::cli {

namespace {

const char kSection[] = "DLG_VELTRAN";
const char kFileName[] = "zetveltran.lng";

// The English texts the console program shows, for keys a language file
// lacks.
const std::map<std::string, std::string>& BuiltIn() {
  static const std::map<std::string, std::string> texts = {
      {"CAPTION", "ZET Veltran"},
      {"CAPTION2", "Counting files"},
      {"CAPTION3", "Updating"},
      {"IDMSG1", "The update is complete."},
      {"IDMSG2", "The source folder does not exist. Give the full path of the package's resource folder."},
      {"IDMSG3", "The target folder does not exist. Give the full path of the host's resource folder."},
      {"IDMSG4", "The source and the target are the same folder."},
      {"IDMSG5", "The update has ended, but some files could not be copied or written. Failures:"},
  };
  return texts;
}

bool LoadFile(const std::string& path) { return TmpLoadLanguageFile(path); }

}  // namespace

bool LoadCliLanguage(const std::string& namedFile, std::string& error) {
  if (!namedFile.empty()) {
    if (LoadFile(namedFile)) return true;
    error = "cannot load the language file " + namedFile;
    return false;
  }
  if (platform::GetPathKind(kFileName) == platform::PathKind::File && LoadFile(kFileName)) return true;
  std::string program = platform::ExecutablePath();
  size_t cut = program.size();
  while (cut > 0 && !platform::IsPathSeparator(program[cut - 1])) --cut;
  if (cut > 0) {
    std::string beside = program.substr(0, cut) + kFileName;
    if (platform::GetPathKind(beside) == platform::PathKind::File && LoadFile(beside)) return true;
  }
  return true;
}

std::string Text(const char* key) {
  std::string text = GetLangText(kSection, key);
  if (text.empty()) {
    auto it = BuiltIn().find(key);
    if (it != BuiltIn().end()) text = it->second;
  }
  return text;
}

}  // namespace zet::cli
