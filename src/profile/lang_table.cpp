// The language table and the built-in string table, shared by the threads.

#include "profile/lang_table.h"

#include <cstring>
#include <mutex>
#include <utility>

#include "platform/ascii_text.h"
#include "platform/platform.h"

namespace zet {

namespace {

// A lookup changes the document's state (current section, cursors), so one
// lock covers the lookup and the copy of its result.
std::mutex g_LangMutex;
std::unique_ptr<ProfileDocument> g_LangTable;
StringTable g_StringTable;
bool g_StringTableReady = false;

StringTable ProgramStrings() {
  return {{kAboutBoxStringId, u"IDS_ABOUTBOX" + std::u16string(263, u' ')}};
}

// Callers hold g_LangMutex.
StringTable& Strings() {
  if (!g_StringTableReady) {
    g_StringTable = ProgramStrings();
    g_StringTableReady = true;
  }
  return g_StringTable;
}


}  // namespace

void SetLangTable(std::unique_ptr<ProfileDocument> table) {
  std::unique_ptr<ProfileDocument> old;
  std::lock_guard<std::mutex> lock(g_LangMutex);
  old = std::move(g_LangTable);
  g_LangTable = std::move(table);
}

int LoadLangTable(const char* path) {
  // A language file is a few KB; one of many MB (a sparse file, the wrong
  // file) would take that memory and time for nothing: it is no language file.
  constexpr uint64_t kLongestLangFile = 1 << 20;
  uint64_t length = 0;
  if (path != nullptr && platform::GetFileLength(path, length) && length > kLongestLangFile) return -1;
  auto table = std::make_unique<ProfileDocument>();
  if (table->Load(path) != 0) return -1;
  SetLangTable(std::move(table));
  return 0;
}

const char* GetLangText(const char* section, const char* key) {
  // One result buffer per thread: the worker's lookup at the end of a run
  // cannot change a text the dialog is still reading.
  thread_local char result[kLangTextMax + 1];
  std::lock_guard<std::mutex> lock(g_LangMutex);
  const char* text = "";
  if (g_LangTable != nullptr && section != nullptr && key != nullptr) text = g_LangTable->GetString(section, key);
  size_t n = 0;
  while (n < kLangTextMax && text[n] != '\0') ++n;
  std::memcpy(result, text, n);
  result[n] = '\0';
  return result;
}

std::string GetLangString(const char* section, const char* key) { return GetLangText(section, key); }

void SetBuiltinStrings(StringTable strings) {
  std::lock_guard<std::mutex> lock(g_LangMutex);
  for (auto it = strings.begin(); it != strings.end();) it = it->second.empty() ? strings.erase(it) : std::next(it);
  g_StringTable = std::move(strings);
  g_StringTableReady = true;
}

void ResetBuiltinStrings() { SetBuiltinStrings(ProgramStrings()); }

std::u16string GetBuiltinString(uint16_t id) {
  std::lock_guard<std::mutex> lock(g_LangMutex);
  const StringTable& strings = Strings();
  auto it = strings.find(id);
  return it == strings.end() ? std::u16string() : it->second;
}

void ApplyLangStringTable() {
  std::lock_guard<std::mutex> lock(g_LangMutex);
  if (g_LangTable == nullptr) return;
  for (auto& entry : Strings()) {
    std::u16string& text = entry.second;
    std::string key = platform::Utf16ToAnsi(text);
    size_t begin = 0;
    size_t end = key.size();
    while (begin < end && IsAsciiSpace(key[begin])) ++begin;
    while (end > begin && IsAsciiSpace(key[end - 1])) --end;
    key = key.substr(begin, end - begin);
    const char* translation = g_LangTable->GetString(kMessageSection, key.c_str());
    if (*translation == '\0') continue;
    std::u16string replaced = platform::AnsiToUtf16(translation);
    if (replaced.size() > text.size()) {
      size_t cut = text.size();
      // Never keep half of a surrogate pair.
      if (cut > 0 && replaced[cut - 1] >= 0xD800 && replaced[cut - 1] < 0xDC00) --cut;
      replaced.resize(cut);
    }
    if (!replaced.empty()) text = std::move(replaced);
  }
}

}  // namespace zet
