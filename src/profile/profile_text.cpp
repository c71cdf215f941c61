// The profile text form, line by line: the reader's line operations
// (section headers, comment lines, entry lines with their value forms and
// escapes) and the writer's canonical line layout.

#include "profile/profile_text.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

namespace zet {

namespace {

using profile_text::TrimBlanks;

// Escapes that stand for characters a quoted text cannot hold in the file.
// The reader and the writer handle each character on its own, which equals
// replacing "[" first on writing and last on reading.
struct Escape {
  const char* text;
  char16_t character;
  bool wideOnly;
};
constexpr Escape kEscapes[] = {
    {"[x5B]", u'[', false}, {"[x22]", u'"', false},     {"[x0D]", u'\r', false}, {"[x08]", u'\b', false},
    {"[xFFFF]", 0xFFFF, true}, {"[t]", u'\t', false}, {"[e]", u'\n', false},
};

template <typename Char>
bool Is(Char c, char ascii) {
  return c == static_cast<Char>(static_cast<unsigned char>(ascii));
}

template <typename Char>
bool StartsWithAscii(std::basic_string_view<Char> text, const char* ascii) {
  size_t i = 0;
  for (; ascii[i] != '\0'; ++i)
    if (i >= text.size() || !Is(text[i], ascii[i])) return false;
  return true;
}

template <typename Char>
void AppendAscii(std::basic_string<Char>& out, const char* ascii) {
  for (; *ascii != '\0'; ++ascii) out.push_back(static_cast<Char>(static_cast<unsigned char>(*ascii)));
}

template <typename Char>
void DecodeEscapes(std::basic_string_view<Char> text, std::basic_string<Char>& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (Is(text[i], '[')) {
      const Escape* hit = nullptr;
      for (const Escape& e : kEscapes) {
        if (e.wideOnly && sizeof(Char) == 1) continue;
        if (StartsWithAscii(text.substr(i), e.text)) {
          hit = &e;
          break;
        }
      }
      if (hit != nullptr) {
        out.push_back(static_cast<Char>(hit->character));
        i += std::strlen(hit->text) - 1;
        continue;
      }
    }
    out.push_back(text[i]);
  }
}

template <typename Char>
void AppendEscaped(std::basic_string<Char>& out, std::basic_string_view<Char> text) {
  for (Char c : text) {
    const Escape* hit = nullptr;
    for (const Escape& e : kEscapes) {
      if (e.wideOnly && sizeof(Char) == 1) continue;
      if (static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(c)) == e.character) {
        hit = &e;
        break;
      }
    }
    if (hit != nullptr)
      AppendAscii(out, hit->text);
    else
      out.push_back(c);
  }
}

// ------------------------------------------------------------ number lists

template <typename Char>
int HexDigit(Char c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// One element as "%d" reads it: blanks, a sign, decimal digits. Values out
// of range stop at the nearest int32; no digits give 0.
template <typename Char>
int32_t ParseDecimal(std::basic_string_view<Char> s) {
  size_t i = 0;
  while (i < s.size() && IsAsciiSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (Is(s[i], '+') || Is(s[i], '-'))) negative = Is(s[i++], '-');
  int64_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
    value = std::min<int64_t>(value * 10 + (s[i] - '0'), int64_t{1} << 32);
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// One element as "%x" reads it: blanks, a sign, an optional 0x, hex digits.
// Values beyond 32 bits stop at 0xffffffff.
template <typename Char>
int32_t ParseHex(std::basic_string_view<Char> s) {
  size_t i = 0;
  while (i < s.size() && IsAsciiSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (Is(s[i], '+') || Is(s[i], '-'))) negative = Is(s[i++], '-');
  if (i + 2 < s.size() && Is(s[i], '0') && (Is(s[i + 1], 'x') || Is(s[i + 1], 'X')) && HexDigit(s[i + 2]) >= 0)
    i += 2;
  uint64_t value = 0;
  for (int d; i < s.size() && (d = HexDigit(s[i])) >= 0; ++i)
    value = std::min<uint64_t>(value * 16 + static_cast<uint64_t>(d), 0xFFFFFFFFu);
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  int32_t result;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

// One element as "%f" reads it. Values beyond the float range stop at its
// largest value, and "nan" reads as 0, so that every stored float has a
// written form that reads back.
template <typename Char>
float ParseFloat(std::basic_string_view<Char> s) {
  size_t i = 0;
  while (i < s.size() && IsAsciiSpace(s[i])) ++i;
  std::string text;  // the element in 8-bit characters, up to its end
  if (i < s.size() && Is(s[i], '+')) ++i;
  for (; i < s.size() && !Is(s[i], ','); ++i) {
    auto c = static_cast<std::make_unsigned_t<Char>>(s[i]);
    if (c >= 0x80 || c == 0) break;
    text.push_back(static_cast<char>(c));
  }
  if (!text.empty() && text[0] == '+') return 0.0f;  // "+-1" and "++1" are no numbers
  double value = 0.0;
  float narrow = 0.0f;
  auto r = std::from_chars(text.data(), text.data() + text.size(), narrow, std::chars_format::general);
  if (r.ec == std::errc())
    value = narrow;
  else if (r.ec == std::errc::result_out_of_range)
    value = std::strtod(text.c_str(), nullptr);
  else
    return 0.0f;
  if (std::isnan(value)) return 0.0f;
  return static_cast<float>(std::clamp<double>(value, -FLT_MAX, FLT_MAX));
}

// Reads count elements into out: element 0 from the start of the value,
// each further one from behind the next comma.
template <typename Char, typename T, typename Parse>
void ParseList(std::basic_string_view<Char> value, int32_t count, T* out, Parse parse) {
  size_t position = 0;
  for (int32_t j = 0; j < count; ++j) {
    std::basic_string_view<Char> rest = value.substr(position);
    T element = parse(rest);
    std::memcpy(&out[j], &element, sizeof element);
    size_t comma = rest.find(static_cast<Char>(','));
    if (comma == std::basic_string_view<Char>::npos) break;
    position += comma + 1;
    if (position >= value.size()) break;
  }
}

template <typename Char>
std::basic_string_view<Char> StoredText(const ProfileBuffer& buffer) {
  if (buffer.data() == nullptr) return {};
  const Char* text = reinterpret_cast<const Char*>(buffer.data());
  size_t units = static_cast<size_t>(buffer.size()) / sizeof(Char);
  size_t n = 0;
  while (n < units && text[n] != 0) ++n;
  return {text, n};
}

// A number in a printf format; each call passes the exact type its format
// reads (int32_t for %d, uint32_t for %x, double for %f).
template <typename Char, typename Number>
void AppendFormatted(std::basic_string<Char>& out, const char* format, Number value) {
  static_assert(std::is_same_v<Number, int32_t> || std::is_same_v<Number, uint32_t> ||
                std::is_same_v<Number, double>);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  AppendAscii(out, buffer);
}

// What follows the key of an entry in the canonical layout.
template <typename Char>
void AppendValue(const ProfileNode& node, std::basic_string<Char>& line) {
  const int size = ProfileElementSize(node.type, sizeof(Char));
  const char* data = node.value.data();
  int32_t n = 0;
  if (size > 0 && data != nullptr) n = std::min(std::max(node.count, 0), node.value.size() / size);
  auto separate = [&](int32_t j) {
    if (j > 0) line.push_back(static_cast<Char>(','));
  };
  switch (node.type) {
    case ProfileValueType::String:
      AppendAscii(line, "\t = \"");
      AppendEscaped(line, StoredText<Char>(node.value));
      line.push_back(static_cast<Char>('"'));
      break;
    case ProfileValueType::Int:
    case ProfileValueType::HexInt:
      AppendAscii(line, "\t = ");
      for (int32_t j = 0; j < n; ++j) {
        separate(j);
        int32_t v;
        std::memcpy(&v, data + 4 * j, 4);
        if (node.type == ProfileValueType::Int)
          AppendFormatted(line, "%d", v);
        else
          AppendFormatted(line, "0x%.4x", static_cast<uint32_t>(v));
      }
      break;
    case ProfileValueType::Float:
      AppendAscii(line, "\t = ");
      for (int32_t j = 0; j < n; ++j) {
        separate(j);
        float v;
        std::memcpy(&v, data + 4 * j, 4);
        AppendFormatted(line, "%.3f", static_cast<double>(v));
      }
      break;
    case ProfileValueType::YesNo:
      AppendAscii(line, "\t = ");
      for (int32_t j = 0; j < n; ++j) {
        separate(j);
        line.push_back(static_cast<Char>(data[j] != 0 ? 'Y' : 'N'));
      }
      break;
    case ProfileValueType::Bytes:
      AppendAscii(line, "\t = #");
      for (int32_t j = 0; j < n; ++j)
        AppendFormatted(line, "%.2x", static_cast<uint32_t>(static_cast<unsigned char>(data[j])));
      break;
    case ProfileValueType::None:
      // The value text that was not recognised, as it was read.
      AppendAscii(line, "\t = ");
      line.append(StoredText<Char>(node.value));
      break;
    default:
      break;
  }
}

template <typename Char>
int32_t ByteLength(size_t units) {
  size_t bytes = units * sizeof(Char);
  return bytes > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ? -1 : static_cast<int32_t>(bytes);
}

// The parts of an entry line "key = value ;comment". Quotes switch commas
// and semicolons off; outside them the first ";" begins the comment and
// each "," adds an element.
template <typename Char>
struct EntryParts {
  std::basic_string_view<Char> key, value, comment;
  bool hasComment = false;
  int32_t elements = 1;
};

template <typename Char>
bool SplitEntryLine(std::basic_string_view<Char> line, EntryParts<Char>& parts) {
  using View = std::basic_string_view<Char>;
  const size_t equals = line.find(static_cast<Char>('='));
  if (equals == View::npos || equals == 0) return false;
  parts.key = TrimBlanks(line.substr(0, equals));
  const View rest = TrimBlanks(line.substr(equals + 1));
  bool quoted = false;
  size_t commentAt = View::npos;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (Is(rest[i], '"')) {
      quoted = !quoted;
    } else if (!quoted && Is(rest[i], ';')) {
      commentAt = i;
      break;
    } else if (!quoted && Is(rest[i], ',')) {
      ++parts.elements;
    }
  }
  parts.hasComment = commentAt != View::npos;
  if (parts.hasComment) parts.comment = rest.substr(commentAt);
  parts.value = TrimBlanks(rest.substr(0, commentAt));
  return true;
}

// The value encoders: each sets the node's type and stores the value,
// giving the store's result (0, or -2 without memory); count comes in as
// the line's element count and goes out as the count of what is stored.

// "text" up to the next quote, its escapes decoded.
template <typename Char>
int StoreString(ProfileArena& arena, ProfileNode& node, std::basic_string_view<Char> value, int32_t& count) {
  std::basic_string_view<Char> text = value.substr(1);
  text = text.substr(0, text.find(static_cast<Char>('"')));
  node.type = ProfileValueType::String;
  if (text.find(static_cast<Char>('[')) == std::basic_string_view<Char>::npos) {
    count = static_cast<int32_t>(text.size());
    return node.value.Set(arena, text.data(), ByteLength<Char>(text.size()));
  }
  std::basic_string<Char> decoded;
  DecodeEscapes(text, decoded);
  count = static_cast<int32_t>(decoded.size());
  return node.value.Set(arena, decoded.data(), ByteLength<Char>(decoded.size()));
}

// #0aff: two hex digits a byte; a digit that is none ends its byte.
template <typename Char>
int StoreBytes(ProfileArena& arena, ProfileNode& node, std::basic_string_view<Char> value, int32_t& count) {
  node.type = ProfileValueType::Bytes;
  count = static_cast<int32_t>((value.size() - 1) / 2);
  const int stored = node.value.Set(arena, nullptr, count);
  if (stored != 0) return stored;
  unsigned char* out = reinterpret_cast<unsigned char*>(node.value.data());
  for (int32_t j = 0; j < count; ++j) {
    int v = 0;
    for (size_t k = 1 + 2 * static_cast<size_t>(j); k < 3 + 2 * static_cast<size_t>(j); ++k) {
      int d = HexDigit(value[k]);
      if (d < 0) break;
      v = v * 16 + d;
    }
    out[j] = static_cast<unsigned char>(v);
  }
  return 0;
}

// Y,N,y: one letter every second character.
template <typename Char>
int StoreYesNo(ProfileArena& arena, ProfileNode& node, std::basic_string_view<Char> value, int32_t count) {
  node.type = ProfileValueType::YesNo;
  const int stored = node.value.Set(arena, nullptr, count);
  if (stored != 0) return stored;
  char* out = node.value.data();
  for (int32_t j = 0; j < count; ++j) {
    size_t at = 2 * static_cast<size_t>(j);
    out[j] = at < value.size() && (Is(value[at], 'Y') || Is(value[at], 'y')) ? 1 : 0;
  }
  return 0;
}

// 0x10,0x20 / 1.5,2 / -5,6: four bytes an element.
template <typename Char>
int StoreNumbers(ProfileArena& arena, ProfileNode& node, std::basic_string_view<Char> value, int32_t count,
                 ProfileValueType type) {
  node.type = type;
  const int stored = node.value.Set(arena, nullptr, count * 4);
  if (stored != 0) return stored;
  if (type == ProfileValueType::HexInt)
    ParseList(value, count, reinterpret_cast<int32_t*>(node.value.data()), ParseHex<Char>);
  else if (type == ProfileValueType::Float)
    ParseList(value, count, reinterpret_cast<float*>(node.value.data()), ParseFloat<Char>);
  else
    ParseList(value, count, reinterpret_cast<int32_t*>(node.value.data()), ParseDecimal<Char>);
  return 0;
}

// The value's form is decided by its first characters, in this order.
template <typename Char>
int StoreValue(ProfileArena& arena, ProfileNode& node, std::basic_string_view<Char> value, int32_t& count) {
  const Char first = value.empty() ? Char(0) : value[0];
  if (Is(first, '"')) return StoreString(arena, node, value, count);
  if (Is(first, '#')) return StoreBytes(arena, node, value, count);
  if (Is(first, 'Y') || Is(first, 'N') || Is(first, 'y') || Is(first, 'n'))
    return StoreYesNo(arena, node, value, count);
  if (StartsWithAscii(value, "0x") || StartsWithAscii(value, "0X"))
    return StoreNumbers(arena, node, value, count, ProfileValueType::HexInt);
  if (Is(first, '.') || Is(first, '-') || (first >= '0' && first <= '9')) {
    const bool isFloat = value.find(static_cast<Char>('.')) != std::basic_string_view<Char>::npos;
    return StoreNumbers(arena, node, value, count, isFloat ? ProfileValueType::Float : ProfileValueType::Int);
  }
  // No recognised form: no value, but the text is kept for the writer.
  node.type = ProfileValueType::None;
  return node.value.Set(arena, value.data(), ByteLength<Char>(value.size()));
}

}  // namespace

namespace profile_text {

template <typename Char>
void BuildLine(const ProfileNode& node, std::basic_string<Char>& line) {
  line.clear();
  auto appendStored = [&](const ProfileBuffer& b) {
    if (b.data() != nullptr) line.append(reinterpret_cast<const Char*>(b.data()), b.size() / sizeof(Char));
  };
  if (node.type == ProfileValueType::Section) {
    line.push_back(static_cast<Char>('['));
    appendStored(node.name);
    line.push_back(static_cast<Char>(']'));
  } else if (node.type != ProfileValueType::Comment) {
    appendStored(node.name);
    AppendValue(node, line);
  }
  if (node.comment.data() != nullptr) {
    line.push_back(static_cast<Char>(' '));
    appendStored(node.comment);
  }
  std::basic_string_view<Char> trimmed = TrimBlanks(std::basic_string_view<Char>(line));
  if (trimmed.size() != line.size()) line = std::basic_string<Char>(trimmed);
}

template void BuildLine<char>(const ProfileNode&, std::string&);
template void BuildLine<char16_t>(const ProfileNode&, std::u16string&);

}  // namespace profile_text

// ------------------------------------------------------------- line reader

template <typename Char>
int BasicProfileDocument<Char>::AddSectionLine(const Char* line) {
  return line == nullptr ? -1 : AddSectionText(View(line));
}

template <typename Char>
int BasicProfileDocument<Char>::AddCommentLine(const Char* line, int section) {
  return line == nullptr ? -1 : AddCommentText(View(line), section);
}

template <typename Char>
int BasicProfileDocument<Char>::AddEntryLine(const Char* line, int section) {
  return line == nullptr ? -1 : AddEntryText(View(line), section);
}

template <typename Char>
int BasicProfileDocument<Char>::AddSectionText(View line) {
  const size_t close = line.find(static_cast<Char>(']'));
  if (close == View::npos || close < 1) return -1;
  View name = line.substr(1, close - 1);
  // The comment begins at the first ";" behind the closing bracket: a ";"
  // inside the brackets is part of the name, and taking the comment from
  // there would grow the header on every save.
  const size_t semicolon = line.find(static_cast<Char>(';'), close + 1);
  const int32_t nameBytes = ByteLength<Char>(name.size());
  const int32_t commentBytes = semicolon == View::npos ? 0 : ByteLength<Char>(line.size() - semicolon);
  if (nameBytes < 0 || commentBytes < 0) return -1;
  ProfileNode* node = ProfileNode::Create(arena_);
  if (node == nullptr) return -2;
  node->type = ProfileValueType::Section;
  if (node->name.Set(arena_, name.data(), nameBytes) != 0) return -2;
  if (semicolon != View::npos && node->comment.Set(arena_, line.data() + semicolon, commentBytes) != 0) return -2;
  if (nodes_.Append(arena_, node) != 0) return -2;
  current_ = nodes_.count() - 1;
  NoteSection(current_);
  return current_;
}

template <typename Char>
int BasicProfileDocument<Char>::AddCommentText(View line, int section) {
  ProfileNode* owner = nullptr;
  if (section >= 0) {
    owner = GetNode(section);
    if (owner == nullptr || owner->type != ProfileValueType::Section) return -1;
  }
  const bool prefix = line.empty() || !Is(line[0], ';');
  const int32_t bytes = ByteLength<Char>(line.size() + (prefix ? 1 : 0));
  if (bytes < 0) return -1;
  ProfileNode* node = ProfileNode::Create(arena_);
  if (node == nullptr) return -2;
  node->type = ProfileValueType::Comment;
  if (node->comment.Set(arena_, nullptr, bytes) != 0) return -2;
  Char* text = reinterpret_cast<Char*>(node->comment.data());
  if (prefix) *text++ = static_cast<Char>(';');
  std::memcpy(text, line.data(), line.size() * sizeof(Char));
  ProfileNodeList& list = owner != nullptr ? owner->children : nodes_;
  if (list.Append(arena_, node) != 0) return -2;
  return owner != nullptr ? 0 : nodes_.count() - 1;
}

template <typename Char>
int BasicProfileDocument<Char>::AddEntryText(View line, int section) {
  ProfileNode* owner = GetNode(section);
  if (owner == nullptr || owner->type != ProfileValueType::Section) return -1;
  current_ = section;
  line = TrimBlanks(line);
  // Element counts and value sizes stay well inside int32.
  if (line.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 8)) return -1;
  EntryParts<Char> parts;
  if (!SplitEntryLine(line, parts)) return -1;

  ProfileNode* node = ProfileNode::Create(arena_);
  if (node == nullptr) return -2;
  if (node->name.Set(arena_, parts.key.data(), ByteLength<Char>(parts.key.size())) != 0) return -2;
  if (parts.hasComment &&
      node->comment.Set(arena_, parts.comment.data(), ByteLength<Char>(parts.comment.size())) != 0)
    return -2;
  int32_t count = parts.elements;
  if (StoreValue(arena_, *node, parts.value, count) != 0) return -2;
  node->count = count;
  if (owner->children.Append(arena_, node) != 0) return -2;
  return count;
}

template int BasicProfileDocument<char>::AddSectionLine(const char*);
template int BasicProfileDocument<char>::AddCommentLine(const char*, int);
template int BasicProfileDocument<char>::AddEntryLine(const char*, int);
template int BasicProfileDocument<char>::AddSectionText(View);
template int BasicProfileDocument<char>::AddCommentText(View, int);
template int BasicProfileDocument<char>::AddEntryText(View, int);
template int BasicProfileDocument<char16_t>::AddSectionLine(const char16_t*);
template int BasicProfileDocument<char16_t>::AddCommentLine(const char16_t*, int);
template int BasicProfileDocument<char16_t>::AddEntryLine(const char16_t*, int);
template int BasicProfileDocument<char16_t>::AddSectionText(View);
template int BasicProfileDocument<char16_t>::AddCommentText(View, int);
template int BasicProfileDocument<char16_t>::AddEntryText(View, int);

}  // namespace zet
