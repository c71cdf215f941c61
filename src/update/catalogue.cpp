#include "update/catalogue.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "fileio/file_slots.h"
#include "platform/ascii_text.h"
#include "platform/platform.h"
#include "update/refusals.h"
#include "update/run_state.h"
#include "update/tree_copy.h"

namespace zet {

namespace {

// What a merge takes in memory for each byte of a catalogue file it reads,
// with room to spare: two documents of nodes, their names and the bytes
// written.
constexpr uint64_t kMergeBytesPerFileByte = 100;

bool OnlyBlanks(const std::string& bytes) {
  return bytes.find_first_not_of(" \t\r\n") == std::string::npos;
}

// 8-bit text (a UTF-8 mark allowed) whose every line is blank or a comment.
bool OnlyComments(const std::string& bytes) {
  if (bytes.find('\0') != std::string::npos) return false;
  const size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  bool lineStart = true;
  for (size_t i = start; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      lineStart = true;
    } else if (lineStart && c != ' ' && c != '\t') {
      if (c != ';') return false;
      lineStart = false;
    }
  }
  return true;
}

std::string_view TrimmedBlanks(std::string_view text) {
  while (!text.empty() && IsSpaceOrTab(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpaceOrTab(text.back())) text.remove_suffix(1);
  return text;
}

// One element of a value as a number: all of the text, nothing after it.
bool WholeNumber(std::string_view text, int base, double& number) {
  const std::string element(TrimmedBlanks(text));
  const char* digits = base == 16 ? "0123456789abcdefABCDEF" : "+-.0123456789eE";
  if (element.empty() || element.size() > 64 || element.find_first_not_of(digits) != std::string::npos) return false;
  char* end = nullptr;
  number = base == 16 ? static_cast<double>(std::strtoull(element.c_str(), &end, 16)) : std::strtod(element.c_str(), &end);
  return end == element.c_str() + element.size() && std::isfinite(number);
}

// True when a value (its comment cut off) that the reader takes as numbers
// or yes/no letters comes back from the writer's layout saying the same:
// 1.5 as 1.500 and 0x00AB as 0x00ab, but not 1.23456 (three decimals), 1e3
// or 12abc (read as 1 and 12), 3000000000 (beyond 32 bits) or "no way".
// A text in quotes and a value of no such form are written as they are.
bool ValueReadsBack(std::string_view value) {
  value = TrimmedBlanks(value);
  if (value.empty() || value.front() == '"') return true;
  const char first = value.front();
  const bool hex = value.size() > 1 && first == '0' && (value[1] == 'x' || value[1] == 'X');
  const bool decimal = !hex && (first == '.' || first == '-' || (first >= '0' && first <= '9'));
  const bool yesNo = first == 'Y' || first == 'y' || first == 'N' || first == 'n';
  if (first == '#') {
    if (value.size() % 2 == 0) return false;
    return std::all_of(value.begin() + 1, value.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
  }
  if (!hex && !decimal && !yesNo) return true;
  const bool isFloat = decimal && value.find('.') != std::string_view::npos;
  for (size_t at = 0; at <= value.size();) {
    size_t comma = value.find(',', at);
    if (comma == std::string_view::npos) comma = value.size();
    const std::string_view element = TrimmedBlanks(value.substr(at, comma - at));
    at = comma + 1;
    double number = 0;
    if (yesNo) {
      if (element.size() != 1 || std::strchr("YyNn", element[0]) == nullptr) return false;
    } else if (hex) {
      const std::string_view digits = element.size() > 2 && element[0] == '0' && (element[1] == 'x' || element[1] == 'X')
                                          ? element.substr(2)
                                          : element;
      if (!WholeNumber(digits, 16, number) || number > 4294967295.0) return false;
    } else if (!WholeNumber(element, 10, number)) {
      return false;
    } else if (isFloat) {
      char written[64];
      std::snprintf(written, sizeof written, "%.3f", static_cast<double>(static_cast<float>(number)));
      if (std::strtod(written, nullptr) != number) return false;
    } else if (number != std::floor(number) || number < -2147483648.0 || number > 2147483647.0 ||
               element.find_first_of("eE") != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// True when no section or key that a merge looks up by name is spelled in
// other letter case ("filtersection", "[treeorder]"): Windows reads such a
// name as the merge's, which compares bytes and would add the host's
// entries again or write the tree without them.
bool NamesInTheMergesCase(const std::string& bytes) {
  auto known = [](std::string_view name) -> bool {
    auto digits = [&](size_t from) {
      return name.size() > from && name.find_first_not_of("0123456789", from) == std::string_view::npos;
    };
    for (std::string_view exact : {"TreeOrder", "FilterSection", "FilterString", "FilterValue"})
      if (EqualsIgnoringCase(name, exact)) return name == exact;
    if (name.size() == 9 && EqualsIgnoringCase(name.substr(0, 8), "ScanPath") && digits(8))
      return name.substr(0, 8) == "ScanPath";
    if (name.size() == 6 && EqualsIgnoringCase(name.substr(0, 4), "File") && digits(4)) return name.substr(0, 4) == "File";
    return true;
  };
  for (size_t at = 0; at < bytes.size();) {
    size_t end = bytes.find_first_of("\r\n", at);
    if (end == std::string::npos) end = bytes.size();
    std::string_view line = TrimmedBlanks(std::string_view(bytes).substr(at, end - at));
    at = end + 1;
    if (line.empty() || line.front() == ';') continue;
    const size_t cut = line.front() == '[' ? line.find(']') : line.find('=');
    if (cut == std::string_view::npos) continue;
    if (!known(TrimmedBlanks(line.front() == '[' ? line.substr(1, cut - 1) : line.substr(0, cut)))) return false;
  }
  return true;
}

// True when the reader takes every line of the 8-bit text whole, and the
// writer gives back every value it holds, so that writing the document back
// loses or changes none of them.
bool KeepsEveryLine(const std::string& bytes) {
  static constexpr size_t kLongestLine = 1023;
  if (bytes.find('\0') != std::string::npos) return false;  // a line end to the reader
  bool inSection = false;
  for (size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; at < bytes.size();) {
    size_t end = bytes.find_first_of("\r\n", at);
    if (end == std::string::npos) end = bytes.size();
    std::string_view line(bytes.data() + at, end - at);
    at = end + 1;
    if (line.size() > kLongestLine) return false;
    line = TrimmedBlanks(line);
    if (line.empty() || line.front() == ';') continue;
    // What follows a header's "]" or a text's closing quote is dropped,
    // but for a comment.
    auto onlyComment = [](std::string_view rest) {
      while (!rest.empty() && IsSpaceOrTab(rest.front())) rest.remove_prefix(1);
      return rest.empty() || rest.front() == ';';
    };
    if (line.front() == '[') {
      const size_t close = line.find(']');
      if (close == std::string_view::npos || !onlyComment(line.substr(close + 1))) return false;
      inSection = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos || equals == 0) return false;
    std::string_view value = line.substr(equals + 1);
    while (!value.empty() && IsSpaceOrTab(value.front())) value.remove_prefix(1);
    const size_t quote = value.empty() || value.front() != '"' ? std::string_view::npos : value.find('"', 1);
    if (quote != std::string_view::npos && !onlyComment(value.substr(quote + 1))) return false;
    if (quote == std::string_view::npos && !ValueReadsBack(value.substr(0, value.find(';')))) return false;
  }
  return true;
}

}  // namespace

CatalogueLoad LoadCatalogueFile(ProfileDocument& document, const std::string& path, CatalogueLoad* writeBack,
                                std::string* read) {
  if (LeadsOutOfThePackage(path)) return CatalogueLoad::OutOfThePackage;
  uint64_t length = 0;
  if (platform::GetFileLength(path, length) && length > kMergedFileLimit) return CatalogueLoad::TooBig;
  // A file of many short sections takes some fifty times its size once read
  // and merged: more than the system has would have the run killed, where
  // it can say it is short of memory (see WithinMemory).
  if (!platform::MemoryFor(length * kMergeBytesPerFileByte)) throw std::bad_alloc();
  // The file as this run left it so far (a preview writes nothing).
  std::string bytes;
  if (!RunWriter().ReadBack(path, bytes)) return CatalogueLoad::Unreadable;
  if (bytes.size() > kMergedFileLimit) return CatalogueLoad::TooBig;
  if (read != nullptr) *read = bytes;
  const CatalogueLoad kept = writeBack != nullptr && !KeepsEveryLine(bytes) ? CatalogueLoad::LosesLines
                             : !NamesInTheMergesCase(bytes)                 ? CatalogueLoad::OtherCase
                                                                            : CatalogueLoad::Loaded;
  if (writeBack == nullptr && kept != CatalogueLoad::Loaded) return kept;
  if (writeBack != nullptr) *writeBack = kept;
  if (document.LoadBytes(bytes) != 0) return bytes.empty() ? CatalogueLoad::Loaded : CatalogueLoad::Unreadable;
  if (HasSection(document)) return CatalogueLoad::Loaded;
  // No section: an empty file, comments alone, or one the reader could make
  // nothing of.
  if (OnlyBlanks(bytes)) {
    document.Clear();
    return CatalogueLoad::Loaded;
  }
  return OnlyComments(bytes) ? CatalogueLoad::Loaded : CatalogueLoad::Unreadable;
}

CatalogueLoad LoadPackageCatalogueFile(ProfileDocument& document, const std::string& path, std::string* bytes) {
  CatalogueLoad whole = CatalogueLoad::Loaded;
  const CatalogueLoad load = LoadCatalogueFile(document, path, &whole, bytes);
  return load != CatalogueLoad::Loaded ? load : whole;
}

void CatalogueLoadFailure(const std::string& path, CatalogueLoad load, const char* what, bool hostFile) {
  std::string reason = what;
  if (load == CatalogueLoad::TooBig)
    reason += std::string(" is larger than ") + kMergedFileLimitText;
  else if (load == CatalogueLoad::OutOfThePackage)
    reason += std::string(" is ") + kOutOfThePackage;
  else if (load == CatalogueLoad::LosesLines)
    reason += " holds lines a merge would lose";
  else if (load == CatalogueLoad::OtherCase)
    reason += " names a section or key in other letter case than the merge reads it";
  else
    reason += " cannot be read";
  CatalogueFailure(path, reason + (hostFile ? "; left as it is" : "; not merged"));
}

std::string HostPathOf(const std::string& packagePath) {
  return g_TargetRoot + packagePath.substr(std::min(packagePath.size(), g_SourceRoot.size()));
}

bool CopyCatalogueFile(const std::string& from, const std::string& to, bool overwrite) {
  if (LeadsOutOfThePackage(from)) {
    CatalogueFailure(from, std::string(kOutOfThePackage) + "; not copied");
    return false;
  }
  // One no later run would merge into.
  if (IsTooBigToMerge(from)) {
    CatalogueFailure(from, std::string("is larger than ") + kMergedFileLimitText + "; not copied");
    return false;
  }
  const size_t cut = to.find_last_of('\\');
  if (cut != std::string::npos && cut > 0) RunWriter().MakeFolders(to.substr(0, cut));
  return CopyFileRecorded(from, to, overwrite) == CopyOutcome::Copied;
}

bool SaveCatalogueFile(const ProfileDocument& document, const std::string& path, const std::string& summary) {
  return SaveCatalogueBytes(document.SaveBytes(), path, summary);
}

bool SaveCatalogueBytes(const std::string& bytes, const std::string& path, const std::string& summary) {
  // Larger than any later run reads (a package of many sections, named on
  // from the host's), it would stay as it is from then on.
  if (bytes.size() > kMergedFileLimit) {
    CatalogueFailure(path, std::string("merged, it would be larger than ") + kMergedFileLimitText + "; left as it is");
    return false;
  }
  // A line the writer made longer than the reader takes (its tabs and
  // escapes add to a long value) would be cut by the host and refused by
  // every later merge.
  if (!KeepsEveryLine(bytes)) {
    CatalogueFailure(path, "merged, it would hold lines longer than a reader takes; left as it is");
    return false;
  }
  const WriteResult written = RunWriter().ReplaceBytes(path, bytes, false, summary);
  if (!written.ok()) {
    CatalogueFailure(path, written.reason.empty() ? "cannot be written; left as it was" : written.reason);
    return false;
  }
  g_RunReport.ListMerged();
  return true;
}

std::string CountText(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

platform::PathKind HostKindOf(const std::string& path) { return RunWriter().KindOf(path); }

void CatalogueFailure(const std::string& path, const std::string& reason) { g_RunReport.Failure(path, reason); }

void ListOtherSpellings(const std::string& packagePath) {
  const size_t cut = packagePath.find_last_of('\\');
  if (cut == std::string::npos || platform::GetPathKind(packagePath) == platform::PathKind::None) return;
  const std::string folder = packagePath.substr(0, cut), name = packagePath.substr(cut + 1);
  const std::string native = platform::NativePath(packagePath);
  const std::string taken = native.substr(native.find_last_of("/\\") + 1);
  std::vector<platform::DirEntry> entries;
  if (!platform::ListFolder(folder, entries)) return;
  const std::string folded = platform::FoldedName(name);
  for (const platform::DirEntry& e : entries)
    if (e.name != taken && platform::FoldedName(e.name) == folded)
      CatalogueFailure(folder + "\\" + e.name, kNotMergedNameTwice);
}

bool HasSection(const ProfileDocument& document) { return SectionsIn(document) > 0; }

int SectionsIn(const ProfileDocument& document) {
  int sections = 0;
  for (int i = 0; i < document.GetSectionCount(); ++i)
    if (document.GetNode(i)->type == ProfileValueType::Section) ++sections;
  return sections;
}

SectionNames::SectionNames(const ProfileDocument& document) {
  for (int i = 0; i < document.GetSectionCount(); ++i) Add(NodeName(document.GetNode(i)));
}

bool HoldsValue(const ProfileNode* node) {
  return node != nullptr && node->value.data() != nullptr &&
         ProfileElementSize(node->type, 1) > 0;
}

std::string_view NodeName(const ProfileNode* node) {
  if (node == nullptr || node->name.data() == nullptr) return {};
  return std::string_view(node->name.data(), static_cast<size_t>(node->name.size()));
}

const ProfileNode* FirstEntry(const ProfileNode* section, std::string_view key) {
  if (section == nullptr) return nullptr;
  for (int32_t c = 0; c < section->children.count(); ++c) {
    const ProfileNode* child = section->children[c];
    if (child->name.data() != nullptr && NodeName(child) == key) return child;
  }
  return nullptr;
}

std::string_view ValueText(const ProfileNode* entry) {
  // Every stored value is followed by zero bytes, so the text ends inside it.
  return HoldsValue(entry) ? std::string_view(entry->value.data()) : std::string_view();
}

int64_t LeadingNumber(std::string_view text) {
  constexpr int64_t kLimit = 1000000000000000;
  size_t i = 0;
  while (i < text.size() && IsAsciiSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) n = std::min(kLimit, n * 10 + (text[i] - '0'));
  return negative ? -n : n;
}

std::string ZeroPadded(int64_t number, int width) {
  std::string digits = std::to_string(number < 0 ? -number : number);
  if (digits.size() < static_cast<size_t>(width)) digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return number < 0 ? "-" + digits : digits;
}

}  // namespace zet
