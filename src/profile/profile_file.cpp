// Load and Save: a profile document from and to its file, through the file
// slots (a memory image read line by line in place for reading, a streamed
// slot for writing).

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/file_slots.h"
#include "platform/platform.h"
#include "profile/profile_document.h"
#include "profile/profile_text.h"

namespace zet {

namespace {

using profile_text::TrimBlanks;

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// The lines of a memory image, as ReadText's "%ls" (8-bit) and "%lw" (UTF-16)
// read them: a line ends at CR, LF or a zero unit, so empty lines are passed
// over; lines of any length are taken whole. False at the end of the image.
// An 8-bit line is a view into the image, which a zero byte ends.
bool NextLine(std::string_view image, size_t& pos, std::string& /*scratch*/, std::string_view& line) {
  const char* p = image.data();
  while (pos < image.size() && (p[pos] == '\n' || p[pos] == '\r' || p[pos] == '\0')) ++pos;
  if (pos >= image.size()) return false;
  const size_t begin = pos;
  pos += std::strcspn(p + pos, "\r\n");
  line = image.substr(begin, pos - begin);
  return true;
}

bool NextLine(std::string_view image, size_t& pos, std::u16string& scratch, std::u16string_view& line) {
  const size_t units = image.size() / 2;
  auto unit = [&](size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(image[2 * i]) |
                                 (static_cast<unsigned char>(image[2 * i + 1]) << 8));
  };
  auto ends = [](char16_t u) { return u == u'\n' || u == u'\r' || u == 0; };
  while (pos < units && ends(unit(pos))) ++pos;
  if (pos >= units) return false;
  scratch.clear();
  for (; pos < units && !ends(unit(pos)); ++pos) scratch.push_back(unit(pos));
  line = scratch;
  return true;
}

}  // namespace

template <typename Char>
int BasicProfileDocument<Char>::Load(const char* path, int64_t offset, int64_t length) {
  if (path != nullptr) path_ = path;
  const int slot = OpenFileRegion(path_, offset, length);
  if (slot < 0) return -1;
  ReadLines(slot);
  CloseFile(slot);
  return 0;
}

template <typename Char>
int BasicProfileDocument<Char>::LoadBytes(std::string bytes) {
  const int slot = OpenMemoryImage("", std::move(bytes));
  if (slot < 0) return -1;
  ReadLines(slot);
  CloseFile(slot);
  return 0;
}

template <typename Char>
void BasicProfileDocument<Char>::ReadLines(int slot) {
  const bool startsDocument = nodes_.count() == 0;
  std::vector<Text> pending;  // comment lines waiting for what follows them
  int section = -1;
  bool first = true;
  const std::string_view image = FileImage(slot);
  size_t position = 0;
  Text scratch;
  View text;
  while (NextLine(image, position, scratch, text)) {
    if (first) {
      first = false;
      // A byte-order mark at the start of the file is no text of its first
      // line; an 8-bit document keeps a UTF-8 mark for its Save.
      if constexpr (kWide) {
        if (text[0] == 0xFEFF) text.remove_prefix(1);
      } else if (text.substr(0, 3) == kUtf8Mark) {
        text.remove_prefix(3);
        if (startsDocument) utf8Mark_ = true;
      }
      if (text.empty()) continue;  // the mark was all the line held
    }
    text = TrimBlanks(text);
    if (text.empty() || text[0] == ';') {
      pending.emplace_back(text);
    } else if (text[0] == '[') {
      for (const Text& comment : pending) AddCommentText(comment, -1);
      pending.clear();
      section = AddSectionText(text);
    } else if (section >= 0) {
      for (const Text& comment : pending) AddCommentText(comment, section);
      pending.clear();
      AddEntryText(text, section);
    }
    // Other lines before the first valid header are dropped; their
    // comments wait for the next header.
  }
  // Comment lines at the end of the file stay where they were: at the end
  // of the last section, or at the top level when there is none.
  for (const Text& comment : pending) AddCommentText(comment, section);
}

template <typename Char>
int BasicProfileDocument<Char>::Save(const char* path) {
  if (path != nullptr) path_ = path;
  if (path_.empty()) return -1;
  // A complete file is written beside the target first; only that replaces
  // it, so a failed save leaves the old bytes.
  platform::Replacement replacement;
  if (!platform::BeginReplacement(path_, replacement)) return -1;
  const int slot = OpenFile(replacement.temporary, kWide ? "wb" : "w");
  bool written = slot >= 0 && WriteLines(slot);
  if (slot >= 0) written = CloseFile(slot) == 0 && written;
  return platform::FinishReplacement(replacement, written) ? 0 : -1;
}

namespace {

// One line and its line end: 8-bit lines through the text mode of the slot
// (CR LF), wide lines as UTF-16LE units followed by 0D 00 0A 00.
// An 8-bit line is written up to a zero byte, as a C string.
bool WriteLine(int slot, const std::string& line) {
  return WriteFile(slot, line.data(), static_cast<int64_t>(std::strlen(line.c_str()))) == 0 &&
         WriteFile(slot, "\n", 1) == 0;
}

bool WriteLine(int slot, const std::u16string& line) {
  std::string bytes;
  bytes.reserve(2 * line.size() + 4);
  for (char16_t unit : line) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  bytes.append("\x0D\x00\x0A\x00", 4);
  return WriteFile(slot, bytes.data(), static_cast<int64_t>(bytes.size())) == 0;
}

}  // namespace

template <typename Char>
int BasicProfileDocument<Char>::WriteEntries(int slot, const ProfileNode* section) {
  if (section == nullptr) return -1;
  Text line;
  for (int c = 0; c < section->children.count(); ++c) {
    profile_text::BuildLine(*section->children[c], line);
    if (!WriteLine(slot, line)) return -1;
  }
  return 0;
}

template <typename Char>
bool BasicProfileDocument<Char>::WriteLines(int slot) {
  if constexpr (kWide) {
    if (WriteFile(slot, "\xFF\xFE", 2) != 0) return false;
  } else if (utf8Mark_ && WriteFile(slot, kUtf8Mark, 3) != 0) {
    return false;
  }
  Text line;
  for (int i = 0; i < nodes_.count(); ++i) {
    const ProfileNode& node = *nodes_[i];
    profile_text::BuildLine(node, line);
    if (!WriteLine(slot, line)) return false;
    if (node.type != ProfileValueType::Section) continue;
    if (WriteEntries(slot, &node) != 0 || !WriteLine(slot, Text())) return false;
  }
  return true;
}

template int BasicProfileDocument<char>::Load(const char*, int64_t, int64_t);
template int BasicProfileDocument<char>::Save(const char*);
template int BasicProfileDocument<char>::LoadBytes(std::string);
template void BasicProfileDocument<char>::ReadLines(int);
template bool BasicProfileDocument<char>::WriteLines(int);
template int BasicProfileDocument<char>::WriteEntries(int, const ProfileNode*);
template int BasicProfileDocument<char16_t>::Load(const char*, int64_t, int64_t);
template int BasicProfileDocument<char16_t>::Save(const char*);
template int BasicProfileDocument<char16_t>::LoadBytes(std::string);
template void BasicProfileDocument<char16_t>::ReadLines(int);
template bool BasicProfileDocument<char16_t>::WriteLines(int);
template int BasicProfileDocument<char16_t>::WriteEntries(int, const ProfileNode*);

}  // namespace zet
