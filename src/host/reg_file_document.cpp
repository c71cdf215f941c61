#include "host/reg_file_document.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "host/registry_backend.h"
#include "platform/ascii_text.h"

namespace zet {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// Blanks of a line, its line end included.
bool IsBlank(char c) { return IsSpaceOrTab(c) || c == '\r' || c == '\n'; }

// One code point of UTF-8 text at pos; a byte that does not start a valid
// sequence stands for itself (Latin-1).
char32_t DecodeUtf8(std::string_view s, size_t& pos) {
  unsigned char c = static_cast<unsigned char>(s[pos]);
  int extra = 0;
  if (c >= 0xC2 && c <= 0xDF) extra = 1;
  else if (c >= 0xE0 && c <= 0xEF) extra = 2;
  else if (c >= 0xF0 && c <= 0xF4) extra = 3;
  if (extra == 0 || pos + extra >= s.size()) {
    ++pos;
    return c;
  }
  char32_t cp = c & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    unsigned char n = static_cast<unsigned char>(s[pos + i]);
    if ((n & 0xC0) != 0x80) {
      ++pos;
      return c;
    }
    cp = (cp << 6) | (n & 0x3F);
  }
  static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return c;
  }
  pos += extra + 1;
  return cp;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16ToUtf8(const std::u16string& units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
  return out;
}

// Reads an escaped text from pos up to the unescaped terminator and leaves
// pos just after it. False when the text ends first.
bool ParseEscaped(std::string_view s, size_t& pos, char terminator, std::u16string& out) {
  out.clear();
  while (pos < s.size()) {
    char c = s[pos];
    if (c == terminator) {
      ++pos;
      return true;
    }
    if (c == '\n' || c == '\r') return false;
    if (c != '\\') {
      AppendUtf16(out, DecodeUtf8(s, pos));
      continue;
    }
    if (++pos >= s.size()) return false;
    c = s[pos++];
    switch (c) {
      case 'a': out.push_back(u'\a'); break;
      case 'b': out.push_back(u'\b'); break;
      case 'e': out.push_back(0x1B); break;
      case 'f': out.push_back(u'\f'); break;
      case 'n': out.push_back(u'\n'); break;
      case 'r': out.push_back(u'\r'); break;
      case 't': out.push_back(u'\t'); break;
      case 'v': out.push_back(u'\v'); break;
      case 'x': {
        unsigned value = 0;
        int digits = 0;
        while (digits < 4 && pos < s.size() && IsHexDigit(s[pos])) value = value * 16 + HexValue(s[pos++]), ++digits;
        if (digits == 0) return false;
        out.push_back(static_cast<char16_t>(value));
        break;
      }
      default:
        if (c >= '0' && c <= '7') {
          unsigned value = static_cast<unsigned>(c - '0');
          for (int digits = 1; digits < 3 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7'; ++digits)
            value = value * 8 + static_cast<unsigned>(s[pos++] - '0');
          out.push_back(static_cast<char16_t>(value));
        } else {
          --pos;
          AppendUtf16(out, DecodeUtf8(s, pos));
        }
    }
  }
  return false;
}

// The escaped form of a UTF-8 text, as Wine writes names and texts.
std::string Escape(const std::string& text) {
  static const char kEscapes[] = "\0\0\0\0\0\0\0abtnvfr\0\0\0\0\0\0\0\0\0\0\0\0\0e\0\0\0\0";
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t cp = DecodeUtf8(text, pos);
    std::u16string units;
    AppendUtf16(units, cp);
    for (char16_t u : units) {
      char buffer[8];
      if (u > 127) {
        std::snprintf(buffer, sizeof buffer, "\\x%04x", static_cast<unsigned>(u));
        out += buffer;
      } else if (u < 32) {
        if (kEscapes[u] != '\0') {
          out += '\\';
          out += kEscapes[u];
        } else {
          std::snprintf(buffer, sizeof buffer, "\\%03o", static_cast<unsigned>(u));
          out += buffer;
        }
      } else {
        if (u == '\\' || u == '"') out += '\\';
        out += static_cast<char>(u);
      }
    }
  }
  return out;
}

// Key and value names compare as Windows compares them: letters without
// regard to case (here ASCII and the Latin-1 letters).
std::string Fold(const std::string& utf8) {
  std::string out = utf8;
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 32);
    } else if (c == 0xC3 && i + 1 < out.size()) {
      unsigned char n = static_cast<unsigned char>(out[i + 1]);
      if (n >= 0xA0 && n <= 0xBE && n != 0xB7) out[i + 1] = static_cast<char>(n - 0x20);
      ++i;
    }
  }
  return out;
}

// A key path with empty components dropped, folded.
std::string FoldPath(const std::string& path) {
  std::string out;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find('\\', pos);
    if (end == std::string::npos) end = path.size();
    if (end > pos) {
      if (!out.empty()) out += '\\';
      out.append(path, pos, end - pos);
    }
    pos = end + 1;
  }
  return Fold(out);
}

// The line without its line end and trailing blanks.
std::string_view Trimmed(std::string_view line) {
  size_t end = line.size();
  while (end > 0 && IsBlank(line[end - 1])) --end;
  return line.substr(0, end);
}

bool IsBlankLine(std::string_view line) {
  for (char c : line)
    if (!IsBlank(c)) return false;
  return true;
}

std::string LineEnd(std::string_view line) {
  if (line.size() >= 2 && line.substr(line.size() - 2) == "\r\n") return "\r\n";
  if (!line.empty() && line.back() == '\n') return "\n";
  return "";
}

// The name part of a value line: its raw text (up to '=') and its text.
bool ParseValueName(std::string_view line, size_t& pos, std::string& name) {
  pos = 0;
  if (line.empty()) return false;
  if (line[0] == '@') {
    name.clear();
    pos = 1;
  } else if (line[0] == '"') {
    pos = 1;
    std::u16string units;
    if (!ParseEscaped(line, pos, '"', units)) return false;
    name = Utf16ToUtf8(units);
  } else {
    return false;
  }
  while (pos < line.size() && IsSpaceOrTab(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  while (pos < line.size() && IsSpaceOrTab(line[pos])) ++pos;
  return true;
}

bool StartsWith(std::string_view s, size_t pos, const char* prefix) {
  for (size_t i = 0; prefix[i] != '\0'; ++i)
    if (pos + i >= s.size() || s[pos + i] != prefix[i]) return false;
  return true;
}

bool OnlyBlanksFrom(std::string_view s, size_t pos) {
  for (; pos < s.size(); ++pos)
    if (!IsBlank(s[pos])) return false;
  return true;
}

// The data of a value: text after '=' with hex continuation lines joined.
bool ParseValueData(const std::string& data, RegFileValue& out) {
  size_t pos = 0;
  uint32_t type = 0;
  if (StartsWith(data, 0, "\"")) {
    type = kRegSz, pos = 1;
  } else if (StartsWith(data, 0, "str:\"")) {
    type = kRegSz, pos = 5;
  } else if (StartsWith(data, 0, "str(2):\"")) {
    type = kRegExpandSz, pos = 8;
  } else if (StartsWith(data, 0, "str(7):\"")) {
    type = kRegMultiSz, pos = 8;
  }
  if (type != 0) {
    std::u16string units;
    if (!ParseEscaped(data, pos, '"', units) || !OnlyBlanksFrom(data, pos)) return false;
    units.push_back(u'\0');
    out.type = type;
    out.bytes.clear();
    for (char16_t u : units) {
      out.bytes.push_back(static_cast<char>(u & 0xFF));
      out.bytes.push_back(static_cast<char>(u >> 8));
    }
    return true;
  }
  if (StartsWith(data, 0, "dword:")) {
    pos = 6;
    uint32_t value = 0;
    int digits = 0;
    while (pos < data.size() && IsHexDigit(data[pos])) {
      if (++digits > 8) return false;
      value = value * 16 + static_cast<uint32_t>(HexValue(data[pos++]));
    }
    if (digits == 0 || !OnlyBlanksFrom(data, pos)) return false;
    out.type = kRegDword;
    out.bytes.assign(4, '\0');
    for (int i = 0; i < 4; ++i) out.bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return true;
  }
  if (StartsWith(data, 0, "hex:")) {
    type = kRegBinary, pos = 4;
  } else if (StartsWith(data, 0, "hex(")) {
    pos = 4;
    int digits = 0;
    while (pos < data.size() && IsHexDigit(data[pos])) {
      if (++digits > 8) return false;
      type = type * 16 + static_cast<uint32_t>(HexValue(data[pos++]));
    }
    if (digits == 0 || !StartsWith(data, pos, "):")) return false;
    pos += 2;
  } else {
    return false;
  }
  std::string bytes;
  for (;;) {
    while (pos < data.size() && IsSpaceOrTab(data[pos])) ++pos;
    if (pos >= data.size() || IsBlank(data[pos])) break;
    if (!IsHexDigit(data[pos])) return false;
    int value = HexValue(data[pos++]);
    if (pos < data.size() && IsHexDigit(data[pos])) value = value * 16 + HexValue(data[pos++]);
    bytes.push_back(static_cast<char>(value));
    while (pos < data.size() && IsSpaceOrTab(data[pos])) ++pos;
    if (pos < data.size() && data[pos] == ',') ++pos;
    else break;
  }
  if (!OnlyBlanksFrom(data, pos)) return false;
  out.type = type;
  out.bytes = std::move(bytes);
  return true;
}

// The key a line names ("[Software\\Wine] 1796583917" names
// Software\Wine), as UTF-8. Nearly all keys are plain ASCII with no escape
// but the separator's: those are taken as they stand.
bool KeyOfLine(std::string_view line, std::string& key) {
  key.clear();
  for (size_t pos = 1; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == ']') return true;
    if (c < 0x20 || c > 0x7E || (c == '\\' && (pos + 1 >= line.size() || line[++pos] != '\\'))) break;
    key.push_back(c);
  }
  size_t pos = 1;
  std::u16string units;
  if (!ParseEscaped(line, pos, ']', units)) return false;
  key = Utf16ToUtf8(units);
  return true;
}

}  // namespace

std::string Utf16LeToUtf8(const std::string& bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  return Utf16ToUtf8(units);
}

void RegFileDocument::Parse(std::string text) {
  text_ = std::move(text);
  lineStarts_.clear();
  for (size_t pos = 0; pos < text_.size();) {
    lineStarts_.push_back(pos);
    const size_t end = text_.find('\n', pos);
    pos = end == std::string::npos ? text_.size() : end + 1;
  }
  lineStarts_.push_back(text_.size());
  Index();
}

std::string RegFileDocument::Text() const { return text_; }

bool RegFileDocument::Holds(const std::string& text) const { return text == text_; }

std::string_view RegFileDocument::Line(size_t i) const {
  return std::string_view(text_).substr(lineStarts_[i], lineStarts_[i + 1] - lineStarts_[i]);
}

// Only the keys are read here: a prefix's system.reg holds thousands of them
// and a run asks for a few values, which are looked for in their key's blocks.
void RegFileDocument::Index() {
  blocks_.clear();
  keys_.clear();
  const size_t lines = lineStarts_.size() - 1;
  for (size_t i = 0; i < lines; ++i) {
    if (text_[lineStarts_[i]] != '[') continue;
    // Any line that starts a key ends the block before it; one that cannot
    // be read as a key starts no block, and its values are ignored.
    if (!blocks_.empty() && blocks_.back().end == lines) blocks_.back().end = i;
    std::string key;
    if (!KeyOfLine(Line(i), key)) continue;
    keys_.emplace_back(FoldPath(key), blocks_.size());
    blocks_.push_back({i, lines});
  }
  std::sort(keys_.begin(), keys_.end());
}

std::vector<RegFileDocument::ValueLine> RegFileDocument::ValuesOf(const Block& block) const {
  std::vector<ValueLine> values;
  for (size_t i = block.header + 1; i < block.end; ++i) {
    const std::string_view line = Line(i);
    size_t pos = 0;
    std::string name;
    if (!ParseValueName(line, pos, name)) continue;
    ValueLine value;
    value.name = Fold(name);
    value.first = i;
    // Binary data goes on over lines that end with a backslash.
    if (StartsWith(line, pos, "hex")) {
      while (i + 1 < block.end) {
        const std::string_view t = Trimmed(Line(i));
        if (t.empty() || t.back() != '\\') break;
        ++i;
      }
    }
    value.last = i;
    values.push_back(std::move(value));
  }
  return values;
}

std::vector<size_t> RegFileDocument::BlocksOf(const std::string& key) const {
  const std::string folded = FoldPath(key);
  std::vector<size_t> blocks;
  for (auto it = std::lower_bound(keys_.begin(), keys_.end(), std::make_pair(folded, size_t{0}));
       it != keys_.end() && it->first == folded; ++it)
    blocks.push_back(it->second);
  return blocks;
}

bool RegFileDocument::HasKey(const std::string& key) const {
  const std::string folded = FoldPath(key);
  if (folded.empty()) return true;
  // The key's own blocks, or those of keys below it, sort first among those
  // that start with its path.
  auto it = std::lower_bound(keys_.begin(), keys_.end(), std::make_pair(folded, size_t{0}));
  if (it == keys_.end() || it->first.compare(0, folded.size(), folded) != 0) return false;
  if (it->first.size() == folded.size()) return true;
  it = std::lower_bound(it, keys_.end(), std::make_pair(folded + '\\', size_t{0}));
  return it != keys_.end() && it->first.compare(0, folded.size() + 1, folded + '\\') == 0;
}

bool RegFileDocument::LastValueLine(const std::vector<size_t>& blocks, const std::string& name, ValueLine& out) const {
  const std::string folded = Fold(name);
  for (auto b = blocks.rbegin(); b != blocks.rend(); ++b) {
    const std::vector<ValueLine> values = ValuesOf(blocks_[*b]);
    for (auto v = values.rbegin(); v != values.rend(); ++v)
      if (v->name == folded) return out = *v, true;
  }
  return false;
}

bool RegFileDocument::FindValue(const std::string& key, const std::string& name, RegFileValue& out) const {
  const std::vector<size_t> blocks = BlocksOf(key);
  const std::string folded = Fold(name);
  for (auto b = blocks.rbegin(); b != blocks.rend(); ++b) {
    const std::vector<ValueLine> values = ValuesOf(blocks_[*b]);
    for (auto v = values.rbegin(); v != values.rend(); ++v) {
      if (v->name != folded) continue;
      size_t pos = 0;
      std::string unused;
      ParseValueName(Line(v->first), pos, unused);
      std::string data(Trimmed(Line(v->first).substr(pos)));
      for (size_t i = v->first + 1; i <= v->last; ++i) {
        data.pop_back();  // the continuation backslash
        const std::string_view next = Trimmed(Line(i));
        const size_t start = next.find_first_not_of(" \t");
        if (start != std::string_view::npos) data.append(next.substr(start));
      }
      if (ParseValueData(data, out)) return true;
    }
  }
  return false;
}

bool RegFileDocument::SetDword(const std::string& key, const std::string& name, uint32_t value) {
  const std::vector<size_t> blocks = BlocksOf(key);
  if (blocks.empty()) return false;
  char data[16];
  std::snprintf(data, sizeof data, "=dword:%08x", static_cast<unsigned>(value));

  ValueLine existing;
  if (LastValueLine(blocks, name, existing)) {
    // Keep the name as the file spells it.
    const std::string_view first = Line(existing.first);
    size_t pos = 0;
    std::string unused;
    ParseValueName(first, pos, unused);
    const size_t equals = first.rfind('=', pos - 1);
    const std::string line = std::string(first.substr(0, equals)) + data + LineEnd(Line(existing.last));
    text_.replace(lineStarts_[existing.first], lineStarts_[existing.last + 1] - lineStarts_[existing.first], line);
  } else {
    const Block& block = blocks_[blocks.back()];
    std::string end = LineEnd(Line(block.header));
    if (end.empty()) end = "\n";
    // New values go at the end of the block, as Wine adds them; after a
    // broken value that ends with a continuation mark the new line would be
    // read as part of it, so it goes right after the key's line instead.
    size_t after = block.header;
    for (size_t i = block.header + 1; i < block.end; ++i)
      if (!IsBlankLine(Line(i))) after = i;
    for (const ValueLine& v : ValuesOf(block)) after = std::max(after, v.last);
    const std::string_view last = Trimmed(Line(after));
    if (after != block.header && !last.empty() && last.back() == '\\') after = block.header;
    std::string line = (name.empty() ? std::string("@") : "\"" + Escape(name) + "\"") + data + end;
    if (LineEnd(Line(after)).empty()) line.insert(0, end);
    text_.insert(lineStarts_[after + 1], line);
  }
  Parse(std::move(text_));
  return true;
}

}  // namespace zet
