#include "cli/cli_language.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "cli/builtin_language.h"
#include "platform/platform.h"
#include "profile/lang_table.h"
#include "profile/profile_document.h"

namespace zet::cli {

namespace {

const char kConsoleSection[] = "CLI";

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

// Language files are 8-bit text of the host's code page; a terminal of a
// POSIX system shows UTF-8. A Windows console is left to the program.
std::string ForTerminal(const std::string& text) {
#ifdef _WIN32
  return text;
#else
  std::string out;
  for (char16_t c : platform::AnsiToUtf16(text)) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
#endif
}

}  // namespace

bool LoadCliLanguage(const std::string& namedFile, std::string& error) {
  if (!namedFile.empty()) {
    if (Load(namedFile)) return true;
    SetLangTable(BuiltInDocument());
    error = ConsoleText("LANG_NOT_LOADED", {namedFile});
    return false;
  }
  // The current folder, beside the program, then where an install puts it.
  std::string program = platform::ExecutablePath();
  size_t cut = program.size();
  while (cut > 0 && !platform::IsPathSeparator(program[cut - 1])) --cut;
  std::vector<std::string> places = {kLangFileName};
  if (cut > 0) {
    const std::string folder = program.substr(0, cut);
    places.push_back(folder + kLangFileName);
    places.push_back(folder + ".." + program[cut - 1] + "share" + program[cut - 1] + "zetveltran" +
                     program[cut - 1] + kLangFileName);
  }
  for (const std::string& place : places)
    if (platform::GetPathKind(place) == platform::PathKind::File && Load(place)) return true;
  SetLangTable(BuiltInDocument());
  return true;
}

std::string Text(const char* section, const char* key) {
  std::string text = GetLangText(section, key);
  if (text.empty()) {
    const char* builtIn = BuiltIn().GetString(section, key);
    if (builtIn != nullptr) text = builtIn;
  }
  return ForTerminal(text);
}

std::string Text(const char* key) { return Text(kMainDialogSection, key); }

std::string MessageText(const char* key) { return Text(kMessageSection, key); }

std::string ConsoleText(const char* key, std::initializer_list<std::string> values) {
  const std::string text = Text(kConsoleSection, key);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t n = i + 1 < text.size() ? static_cast<size_t>(text[i + 1] - '1') : values.size();
    if (text[i] == '%' && n < values.size()) {
      out += values.begin()[n];
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string FitWidth(const std::string& text, size_t columns) {
  size_t end = 0;
  for (size_t used = 0; end < text.size(); ++end) {
#ifndef _WIN32
    if ((text[end] & 0xC0) == 0x80) continue;  // a letter's later bytes go with it
#endif
    if (used++ == columns) break;
  }
  return text.substr(0, end);
}

size_t DisplayWidth(const std::string& text) {
#ifdef _WIN32
  return text.size();
#else
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
#endif
}

}  // namespace zet::cli
