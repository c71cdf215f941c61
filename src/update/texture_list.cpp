#include "update/texture_list.h"

#include <algorithm>
#include <cstdlib>

#include "platform/ascii_text.h"
#include "platform/platform.h"
#include "update/refusals.h"

namespace zet {

namespace {

// A positive decimal number written without sign or leading zero that fits
// 32 bits, followed by ")": the id of an "id(" attribute whose digits start
// at from. 0 when the text there is no such number.
int32_t ReadIdDigits(const std::string& text, size_t from) {
  int64_t value = 0;
  size_t i = from;
  if (i >= text.size() || text[i] < '1' || text[i] > '9') return 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) return 0;
    ++i;
  }
  if (i >= text.size() || text[i] != ')') return 0;
  return static_cast<int32_t>(value);
}

// The text from from up to the next ")\t" and the position of that ")\t";
// without one, the rest of the text and npos.
std::string UpToCloseTab(const std::string& block, size_t from, size_t& end) {
  end = block.find(")\t", from);
  return block.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// The length of a UTF-8 byte-order mark the bytes begin with: no word of
// the list, and kept where it is.
size_t MarkLength(std::string_view bytes) { return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; }

// Normalized positions as positions in the bytes they were made from: a
// character of a word maps to itself, the white space written after a word
// to the end of that word, a position past the text to the end of the last
// word. One pass over the bytes for all of them.
void MapToBytes(const std::string& bytes, std::vector<size_t>& positions) {
  std::vector<size_t> order(positions.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return positions[a] < positions[b]; });
  size_t k = 0, normalized = 0, i = MarkLength(bytes), lastEnd = 0;
  const size_t n = bytes.size();
  while (k < order.size()) {
    while (i < n && IsAsciiSpace(bytes[i])) ++i;
    if (i == n) break;
    const size_t start = i;
    while (i < n && !IsAsciiSpace(bytes[i])) ++i;
    lastEnd = i;
    const size_t length = i - start;
    const char last = bytes[i - 1];
    const size_t gap = last == ')' || last == '{' ? 1 : last == '}' ? 3 : 0;
    for (; k < order.size() && positions[order[k]] < normalized + length + gap; ++k) {
      const size_t p = positions[order[k]];
      positions[order[k]] = p < normalized + length ? start + (p - normalized) : i;
    }
    normalized += length + gap;
  }
  for (; k < order.size(); ++k) positions[order[k]] = lastEnd;
}

// What ends a line of the file: LF, or CR in a file of CR line ends alone.
char BreakOf(const std::string& bytes) {
  return bytes.find('\n') == std::string::npos && bytes.find('\r') != std::string::npos ? '\r' : '\n';
}

size_t LineStart(const std::string& bytes, size_t at, char brk) {
  size_t cut = at == 0 ? std::string::npos : bytes.rfind(brk, at - 1);
  return cut == std::string::npos ? 0 : cut + 1;
}

// The blanks a line begins with.
std::string IndentOfLine(const std::string& bytes, size_t at, char brk) {
  size_t from = LineStart(bytes, at, brk), to = from;
  while (to < bytes.size() && IsSpaceOrTab(bytes[to])) ++to;
  return bytes.substr(from, to - from);
}

// Where the line of at ends when nothing but blanks stands after at: the
// index just past its break (the size of bytes at the end); npos otherwise.
size_t RestOfLineBlank(const std::string& bytes, size_t at, char brk) {
  while (at < bytes.size() && (IsSpaceOrTab(bytes[at]) || (bytes[at] == '\r' && brk == '\n'))) ++at;
  if (at == bytes.size()) return at;
  return bytes[at] == brk ? at + 1 : std::string::npos;
}

// The file's own line end: that of its first line, CR alone where no line
// ends in LF; CR LF, as the host writes, for a file of one line.
std::string LineEndOf(const std::string& bytes) {
  if (BreakOf(bytes) == '\r') return "\r";
  size_t lf = bytes.find('\n');
  if (lf == std::string::npos) return "\r\n";
  return lf > 0 && bytes[lf - 1] == '\r' ? "\r\n" : "\n";
}

// How a block is laid out: on one line, or one word a line.
struct Layout {
  std::string indent = "\t";  // before the block's first word, and its last on a line of its own
  bool oneLine = false;
  std::string gap = " ";      // between the words of a one-line block
  std::string inner = "\t\t";  // before a word inside the block
  std::string step = "\t";    // one more level of nesting
};

// Deeper nesting is not indented further, so that a block of many braces
// does not take room by the square of their count.
constexpr size_t kIndentLevels = 8;

// The layout of the block whose first word starts at word, with its "{" at
// open, its first inner word at inner (close when there is none) and its
// "}" at close, all positions in bytes.
Layout LayoutOf(const std::string& bytes, size_t word, size_t open, size_t inner, size_t close) {
  const char brk = BreakOf(bytes);
  Layout l;
  l.indent = IndentOfLine(bytes, word, brk);
  l.oneLine = bytes.find(brk, word) > close;
  if (l.oneLine) {
    size_t end = open + 1;
    while (end < inner && IsSpaceOrTab(bytes[end])) ++end;
    if (end == inner && end > open + 1) l.gap = bytes.substr(open + 1, end - open - 1);
    return l;
  }
  const bool innerOnItsLine = inner < close && bytes.find(brk, open) < inner;
  l.inner = innerOnItsLine ? IndentOfLine(bytes, inner, brk) : l.indent + "\t";
  if (l.inner.size() > l.indent.size() && l.inner.compare(0, l.indent.size(), l.indent) == 0)
    l.step = l.inner.substr(l.indent.size());
  return l;
}

// A block (its normalized words) laid out, without a line end after it.
std::string LayOut(const std::string& block, const Layout& l, const std::string& lineEnd) {
  std::vector<std::string_view> words;
  for (size_t i = 0; i < block.size();) {
    while (i < block.size() && IsAsciiSpace(block[i])) ++i;
    const size_t start = i;
    while (i < block.size() && !IsAsciiSpace(block[i])) ++i;
    if (i > start) words.emplace_back(block.data() + start, i - start);
  }
  std::string out = l.indent;
  size_t depth = 0;
  for (size_t w = 0; w < words.size(); ++w) {
    const std::string_view word = words[w];
    if (l.oneLine) {
      if (w > 0) out += l.gap;
      out += word;
      continue;
    }
    size_t closes = 0;
    while (closes < word.size() && word[closes] == '}') ++closes;
    const size_t level = std::min(depth - std::min(depth, closes), kIndentLevels);
    if (w > 0) {
      out += lineEnd;
      out += level == 0 ? l.indent : l.inner;
      for (size_t d = 1; d < level; ++d) out += l.step;
    }
    out += word;
    for (char c : word) {
      if (c == '{') ++depth;
      if (c == '}' && depth > 0) --depth;
    }
  }
  return out;
}

}  // namespace

std::string ListedTextureFile(std::string name, const char* extension) {
  for (char& c : name)
    if (c == '/') c = '\\';
  return name + extension;
}

TextureList::TextureList(std::string path) : path_(std::move(path)) { loaded_ = LoadList(); }

TextureList::TextureList(std::string path, HostWriter* reader) : path_(std::move(path)), reader_(reader) {
  loaded_ = LoadList();
}

std::string TextureList::Normalize(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  size_t i = MarkLength(bytes);
  const size_t n = bytes.size();
  while (i < n) {
    while (i < n && IsAsciiSpace(bytes[i])) ++i;
    if (i == n) break;
    size_t start = i;
    while (i < n && !IsAsciiSpace(bytes[i])) ++i;
    out.append(bytes.data() + start, i - start);
    char last = bytes[i - 1];
    if (last == ')' || last == '{')
      out += '\t';
    else if (last == '}')
      out += "\n\t\t";
  }
  return out;
}

bool TextureList::LoadList() {
  std::string bytes;
  if (IsTooBigToMerge(path_)) return false;
  if (!(reader_ != nullptr ? reader_->ReadBack(path_, bytes) : platform::ReadWholeFile(path_, bytes))) return false;
  SetBytes(std::move(bytes));
  loaded_ = true;
  return true;
}

void TextureList::LoadFromText(std::string_view bytes) {
  SetBytes(std::string(bytes));
  loaded_ = true;
}

void TextureList::SetBytes(std::string bytes) {
  bytes_ = std::move(bytes);
  text_ = Normalize(bytes_);
  Invalidate();
}

bool TextureList::SaveList() {
  if (!loaded_) return false;
  return platform::WriteFileReplacing(path_, bytes_, false);
}

bool TextureList::SaveList(HostWriter& writer, const std::string& summary, std::string* why) {
  if (!loaded_) return false;
  const WriteResult written = writer.ReplaceBytes(path_, bytes_, false, summary);
  if (why != nullptr) *why = written.reason;
  return written.ok();
}

size_t TextureList::BlockOf(int32_t id) {
  const IdRef* r = Find(id);
  return r != nullptr && r->close != npos ? r->open : npos;
}

void TextureList::BuildIndex() {
  if (indexed_) return;
  index_.clear();
  idless_.clear();
  balanced_ = true;
  outerOpen_ = outerClose_ = npos;
  struct Open {
    size_t at;
    size_t firstRef;  // refs recorded from here on may belong to this block
  };
  std::vector<Open> open;
  std::vector<IdRef> refs;
  const std::string& t = text_;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (c == '{') {
      if (outerOpen_ == npos) outerOpen_ = i;
      open.push_back({i, refs.size()});
    } else if (c == '}') {
      if (open.empty()) {
        balanced_ = false;
        continue;
      }
      Open o = open.back();
      open.pop_back();
      if (o.at == outerOpen_) outerClose_ = i;
      // A block of the outer block with no id in it, nor in a block of its own.
      if (open.size() == 1 && open[0].at == outerOpen_ && refs.size() == o.firstRef) idless_.emplace_back(o.at, i);
      for (size_t r = o.firstRef; r < refs.size(); ++r)
        if (refs[r].open == o.at) refs[r].close = i;
    } else if (c == 'i' && t.compare(i, 3, "id(") == 0 && (i == 0 || IsAsciiSpace(t[i - 1]) || t[i - 1] == '{')) {
      int32_t id = ReadIdDigits(t, i + 3);
      if (id > 0) refs.push_back({id, i, open.empty() ? npos : open.back().at, npos});
    }
  }
  if (!open.empty()) balanced_ = false;
  // The first attribute of each id that stands in a whole block stands for
  // it; without one, its first attribute (which has no block).
  std::stable_sort(refs.begin(), refs.end(), [](const IdRef& a, const IdRef& b) { return a.id < b.id; });
  for (const IdRef& r : refs) {
    if (index_.empty() || index_.back().id != r.id) {
      index_.push_back(r);
    } else if (index_.back().close == npos && r.open != npos && r.close != npos) {
      index_.back() = r;
    }
  }
  indexed_ = true;
}

const TextureList::IdRef* TextureList::Find(int32_t id) {
  BuildIndex();
  auto it = std::lower_bound(index_.begin(), index_.end(), id,
                             [](const IdRef& r, int32_t v) { return r.id < v; });
  if (it == index_.end() || it->id != id) return nullptr;
  return &*it;
}

const TextureList::IdRef* TextureList::FindAnchor(int32_t id) {
  BuildIndex();
  auto it = std::lower_bound(index_.begin(), index_.end(), id,
                             [](const IdRef& r, int32_t v) { return r.id < v; });
  while (it != index_.begin()) {
    --it;
    if (InsideOuter(*it)) return &*it;
  }
  return nullptr;
}

bool TextureList::InsideOuter(const IdRef& r) const {
  return r.open != npos && r.close != npos && r.open > outerOpen_ && r.close < outerClose_;
}

std::vector<std::string> TextureList::BlocksWithoutId() {
  BuildIndex();
  std::vector<std::string> blocks;
  for (const auto& [open, close] : idless_) {
    const size_t start = WordStart(open);
    std::string head = text_.substr(start, std::min<size_t>(close + 1 - start, 48));
    for (char& c : head)
      if (IsAsciiSpace(c)) c = ' ';
    blocks.push_back(std::move(head));
  }
  return blocks;
}

size_t TextureList::AfterFirstOpen() const {
  size_t brace = text_.find('{');
  return brace == npos ? 0 : brace + 1;
}

int32_t TextureList::GetMaxId() {
  BuildIndex();
  return index_.empty() ? 0 : index_.back().id;
}

std::vector<int32_t> TextureList::GetIds() {
  BuildIndex();
  std::vector<int32_t> ids;
  ids.reserve(index_.size());
  for (const IdRef& r : index_) ids.push_back(r.id);
  return ids;
}

bool TextureList::HasTexture(int32_t id) {
  const IdRef* r = Find(id);
  return r != nullptr && r->open != npos && r->close != npos;
}

bool TextureList::IsBalanced() {
  BuildIndex();
  return balanced_;
}

size_t TextureList::FindBlockEnd(size_t position) const {
  size_t brace = text_.find('{', position);
  if (brace == npos) return npos;
  size_t depth = 0;
  for (size_t i = brace; i < text_.size(); ++i) {
    if (text_[i] == '{') {
      ++depth;
    } else if (text_[i] == '}') {
      if (--depth == 0) return i;
    }
  }
  return npos;
}

bool TextureList::GetBlock(int32_t id, std::string& block) {
  const IdRef* r = Find(id);
  if (r == nullptr || r->open == npos || r->close == npos) return false;
  block = "\n\tTextur";
  block.append(text_, r->open, r->close - r->open);
  block += '}';
  return true;
}

bool TextureList::ParseTexture(int32_t id, TextureRecord& record) {
  std::string block;
  if (!GetBlock(id, block)) return false;
  constexpr std::string_view kName = "name(", kOpacity = "opacity(", kMagFilter = "magfilter(",
                             kMinFilter = "minfilter(";
  // A fallback search for the opacity starts 10 characters into the block,
  // past its head "\n\tTextur{".
  constexpr size_t kPastBlockHead = 10;
  TextureRecord rec;
  // The attributes are looked for in their usual order: each search starts
  // where the last attribute found stands.
  size_t cursor = 0;
  size_t end = npos;

  size_t name = block.find(kName);
  if (name != npos) {
    rec.name = UpToCloseTab(block, name + kName.size(), end);
    cursor = end != npos ? end : name;
  }

  auto flag = [&](const char* attribute, size_t from, uint8_t& value) {
    size_t at = block.find(attribute, from);
    value = at != npos;
    if (at != npos) cursor = at;
  };
  flag("automipmap()", 0, rec.automipmap);
  flag("billboarding()", cursor, rec.billboarding);
  flag("repeat_s()", cursor, rec.repeat_s);
  flag("repeat_t()", cursor, rec.repeat_t);

  // The value is the three characters after "opacity(", as 0.5 or 0.7.
  auto opacityAt = [&](size_t at) {
    std::string digits = block.substr(at + kOpacity.size(), 3);
    return static_cast<float>(std::strtod(digits.c_str(), nullptr));
  };
  size_t at = block.find(kOpacity, cursor);
  if (at != npos) {
    rec.opacity = opacityAt(at);
    cursor = at;
  } else if ((at = block.find(kOpacity, kPastBlockHead)) != npos) {
    rec.opacity = opacityAt(at);
  }

  auto digitAfter = [&](size_t at, std::string_view attribute) {
    return static_cast<int16_t>(std::atoi(block.substr(at + attribute.size(), 1).c_str()));
  };
  at = block.find(kMagFilter, cursor);
  if (at != npos) {
    rec.magfilter = digitAfter(at, kMagFilter);
    cursor = at;
  }
  // The mip levels count only after the last filter; their names are
  // searched from the cursor before it.
  size_t mipLevelsFrom = cursor;
  at = block.find(kMinFilter, cursor);
  if (at != npos) {
    rec.minfilter = digitAfter(at, kMinFilter);
    mipLevelsFrom = at;
  }

  rec.id = id;
  if (block.find("MipMapLevel", mipLevelsFrom) != npos) {
    for (int level = 0; level < 8; ++level) {
      size_t n = block.find(kName, cursor);
      if (n == npos) break;
      rec.mipLevelNames[level] = UpToCloseTab(block, n + kName.size(), end);
      ++rec.mipLevelCount;
      if (end == npos) break;
      cursor = end;
    }
  }
  record = std::move(rec);
  return true;
}

size_t TextureList::WordStart(size_t open) const {
  size_t start = open;
  while (start > 0 && !IsAsciiSpace(text_[start - 1]) && text_[start - 1] != '{' && text_[start - 1] != '}') --start;
  return start;
}

bool TextureList::RemoveTexture(int32_t id) {
  const IdRef* r = Find(id);
  if (r == nullptr || r->open == npos || r->close == npos) return false;
  // From the start of the word that opens the block ("Textur{").
  std::vector<size_t> at{WordStart(r->open), r->close};
  MapToBytes(bytes_, at);
  size_t from = at[0], to = at[1] + 1;
  const char brk = BreakOf(bytes_);
  const size_t lineStart = LineStart(bytes_, from, brk);
  const size_t lineEnd = RestOfLineBlank(bytes_, to, brk);
  if (lineEnd != npos && bytes_.find_first_not_of(" \t", lineStart) >= from) {
    from = lineStart;
    to = lineEnd;
  }
  std::string bytes = bytes_;
  bytes.erase(from, to - from);
  SetBytes(std::move(bytes));
  return true;
}

size_t TextureList::FindInsertPos(int32_t id) {
  if (id > 1) {
    if (const IdRef* anchor = FindAnchor(id)) return anchor->close + 1;
  }
  return AfterFirstOpen();
}

bool TextureList::SetTexture(int32_t id, const std::string& block) {
  if (block.empty()) return false;
  RemoveTexture(id);
  InsertTextures({{id, block}});
  return true;
}

void TextureList::InsertTextures(const std::vector<std::pair<int32_t, std::string>>& blocks) {
  if (blocks.empty()) return;
  BuildIndex();
  // Each block goes after the block of the highest lower id the list held
  // before: blocks inserted before it with a lower id have the same anchor
  // and stand in front of it, in ascending order.
  struct Insert {
    size_t at;
    size_t order;
    const IdRef* anchor;
  };
  std::vector<Insert> inserts;
  inserts.reserve(blocks.size());
  for (size_t k = 0; k < blocks.size(); ++k) {
    const IdRef* anchor = blocks[k].first > 1 ? FindAnchor(blocks[k].first) : nullptr;
    inserts.push_back({anchor != nullptr ? anchor->close + 1 : AfterFirstOpen(), k, anchor});
  }
  std::stable_sort(inserts.begin(), inserts.end(), [](const Insert& a, const Insert& b) { return a.at < b.at; });

  // Blocks without an anchor are laid out as the list's first block.
  const IdRef* first = nullptr;
  for (const IdRef& r : index_)
    if (InsideOuter(r) && (first == nullptr || r.open < first->open)) first = &r;

  // Per place: where it is in the bytes, and where the neighbour's words are.
  struct Place {
    size_t begin, end;  // the inserts that go there
    const IdRef* neighbour;
  };
  std::vector<Place> places;
  std::vector<size_t> at;  // per place: the place, then the neighbour's word, "{", first inner word, "}"
  for (size_t b = 0; b < inserts.size();) {
    size_t e = b;
    while (e < inserts.size() && inserts[e].at == inserts[b].at) ++e;
    const IdRef* n = inserts[b].anchor != nullptr ? inserts[b].anchor : first;
    places.push_back({b, e, n});
    at.push_back(inserts[b].at);
    if (n != nullptr) {
      size_t inner = n->open + 1;
      while (inner < n->close && IsAsciiSpace(text_[inner])) ++inner;
      for (size_t p : {WordStart(n->open), n->open, inner, n->close}) at.push_back(p);
    }
    b = e;
  }
  MapToBytes(bytes_, at);

  const std::string lineEnd = LineEndOf(bytes_);
  const char brk = BreakOf(bytes_);
  std::string merged;
  size_t total = bytes_.size();
  for (const auto& b : blocks) total += 2 * b.second.size();
  merged.reserve(total);
  size_t from = 0, next = 0;
  for (const Place& place : places) {
    const size_t where = at[next++];
    Layout layout;
    if (place.neighbour != nullptr) {
      layout = LayoutOf(bytes_, at[next], at[next + 1], at[next + 2], at[next + 3]);
      next += 4;
    }
    // After the rest of the line when it is blank; else the line is broken
    // here and goes on after the new lines.
    const size_t lineEnds = RestOfLineBlank(bytes_, where, brk);
    const bool ownLines = lineEnds != npos && lineEnds > where && bytes_[lineEnds - 1] == brk;
    const size_t cut = std::max(from, ownLines ? lineEnds : where);
    merged.append(bytes_, from, cut - from);
    for (size_t k = place.begin; k < place.end; ++k) {
      if (!ownLines) merged += lineEnd;
      merged += LayOut(blocks[inserts[k].order].second, layout, lineEnd);
      if (ownLines) merged += lineEnd;
    }
    if (!ownLines && cut < bytes_.size()) merged += lineEnd;
    from = cut;
  }
  merged.append(bytes_, from, npos);
  SetBytes(std::move(merged));
}

}  // namespace zet
