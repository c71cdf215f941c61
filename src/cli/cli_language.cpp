#include "cli/cli_language.h"

#include <memory>

#include "cli/builtin_language.h"
#include "platform/platform.h"
#include "profile/lang_table.h"
#include "profile/profile_document.h"

namespace zet::cli {

namespace {

const char kDialogSection[] = "DLG_VELTRAN";
const char kMessageSection[] = "DLG_STANDARD_MESSAGE";

// The English language file built into the program.
std::unique_ptr<ProfileDocument> BuiltInDocument() {
  auto document = std::make_unique<ProfileDocument>();
  document->LoadBytes(std::string(reinterpret_cast<const char*>(kBuiltinLanguage), kBuiltinLanguageSize));
  return document;
}

ProfileDocument& BuiltIn() {
  static std::unique_ptr<ProfileDocument> document = BuiltInDocument();
  return *document;
}

bool Load(const std::string& path) { return LoadLangTable(path.c_str()) == 0; }

}  // namespace

bool LoadCliLanguage(const std::string& namedFile, std::string& error) {
  if (!namedFile.empty()) {
    if (Load(namedFile)) return true;
    error = "cannot load the language file " + namedFile;
    return false;
  }
  if (platform::GetPathKind(kLangFileName) == platform::PathKind::File && Load(kLangFileName)) return true;
  std::string program = platform::ExecutablePath();
  size_t cut = program.size();
  while (cut > 0 && !platform::IsPathSeparator(program[cut - 1])) --cut;
  if (cut > 0) {
    std::string beside = program.substr(0, cut) + kLangFileName;
    if (platform::GetPathKind(beside) == platform::PathKind::File && Load(beside)) return true;
  }
  SetLangTable(BuiltInDocument());
  return true;
}

std::string Text(const char* section, const char* key) {
  std::string text = GetLangText(section, key);
  if (text.empty()) {
    const char* builtIn = BuiltIn().GetString(section, key);
    if (builtIn != nullptr) text = builtIn;
  }
  return text;
}

std::string Text(const char* key) { return Text(kDialogSection, key); }

std::string MessageText(const char* key) { return Text(kMessageSection, key); }

}  // namespace zet::cli
