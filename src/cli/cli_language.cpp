#include "cli/cli_language.h"

#include <memory>
#include <string_view>

#include "cli/builtin_language.h"
#include "platform/platform.h"
#include "profile/lang_table.h"
#include "profile/profile_document.h"

namespace zet::cli {

namespace {

const char kDialogSection[] = "DLG_VELTRAN";
const char kMessageSection[] = "DLG_STANDARD_MESSAGE";

// The English language file built into the program, read line by line as
// the profile reader reads a file.
std::unique_ptr<ProfileDocument> BuiltInDocument() {
  auto document = std::make_unique<ProfileDocument>();
  std::string_view text(reinterpret_cast<const char*>(kBuiltinLanguage), kBuiltinLanguageSize);
  int section = -1;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.empty() || line.front() == ';') continue;
    std::string owned(line);
    if (owned.front() == '[')
      section = document->AddSectionLine(owned.c_str());
    else if (section >= 0)
      document->AddEntryLine(owned.c_str(), section);
  }
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
