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
  return platform::WriteFileReplacing(path_, SaveBytes(), false) ? 0 : -1;
}

namespace {

// One line and its line end: an 8-bit line up to a zero byte, as a C
// string, each LF of it (and its end) as CR LF, as text mode writes it; a
// wide line as UTF-16LE units followed by 0D 00 0A 00.
void AppendLine(std::string& out, const std::string& line) {
  for (const char* c = line.c_str(); *c != '\0'; ++c) {
    if (*c == '\n') out += '\r';
    out += *c;
  }
  out += "\r\n";
}

void AppendLine(std::string& out, const std::u16string& line) {
  for (char16_t unit : line) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  out.append("\x0D\x00\x0A\x00", 4);
}

}  // namespace

template <typename Char>
std::string BasicProfileDocument<Char>::SaveBytes() const {
  std::string out;
  if constexpr (kWide) {
    out = "\xFF\xFE";
  } else if (utf8Mark_) {
    out = kUtf8Mark;
  }
  Text line;
  for (int i = 0; i < nodes_.count(); ++i) {
    const ProfileNode& node = *nodes_[i];
    profile_text::BuildLine(node, line);
    AppendLine(out, line);
    if (node.type != ProfileValueType::Section) continue;
    for (int c = 0; c < node.children.count(); ++c) {
      profile_text::BuildLine(*node.children[c], line);
      AppendLine(out, line);
    }
    AppendLine(out, Text());
  }
  return out;
}

template int BasicProfileDocument<char>::Load(const char*, int64_t, int64_t);
template int BasicProfileDocument<char>::Save(const char*);
template int BasicProfileDocument<char>::LoadBytes(std::string);
template void BasicProfileDocument<char>::ReadLines(int);
template std::string BasicProfileDocument<char>::SaveBytes() const;
template int BasicProfileDocument<char16_t>::Load(const char*, int64_t, int64_t);
template int BasicProfileDocument<char16_t>::Save(const char*);
template int BasicProfileDocument<char16_t>::LoadBytes(std::string);
template void BasicProfileDocument<char16_t>::ReadLines(int);
template std::string BasicProfileDocument<char16_t>::SaveBytes() const;

}  // namespace zet
