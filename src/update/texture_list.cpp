#include "update/texture_list.h"

#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"

namespace zet {

namespace {

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

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

}  // namespace

TextureList::TextureList(std::string path) : path_(std::move(path)) { loaded_ = LoadList(); }

std::string TextureList::Normalize(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    while (i < n && IsWhite(bytes[i])) ++i;
    if (i == n) break;
    size_t start = i;
    while (i < n && !IsWhite(bytes[i])) ++i;
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
  if (!platform::ReadWholeFile(path_, bytes)) return false;
  LoadFromText(bytes);
  return true;
}

void TextureList::LoadFromText(std::string_view bytes) {
  text_ = Normalize(bytes);
  loaded_ = true;
  Invalidate();
}

bool TextureList::SaveList() {
  if (!loaded_) return false;
  return platform::WriteFileReplacing(path_, text_, true);
}

void TextureList::BuildIndex() {
  if (indexed_) return;
  index_.clear();
  balanced_ = true;
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
      open.push_back({i, refs.size()});
    } else if (c == '}') {
      if (open.empty()) {
        balanced_ = false;
        continue;
      }
      Open o = open.back();
      open.pop_back();
      for (size_t r = o.firstRef; r < refs.size(); ++r)
        if (refs[r].open == o.at) refs[r].close = i;
    } else if (c == 'i' && t.compare(i, 3, "id(") == 0 && (i == 0 || IsWhite(t[i - 1]) || t[i - 1] == '{')) {
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
    if (it->open != npos && it->close != npos) return &*it;
  }
  return nullptr;
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
  std::string b;
  if (!GetBlock(id, b)) return false;
  TextureRecord rec;
  size_t p = 0;
  size_t end = npos;

  size_t name = b.find("name(");
  if (name != npos) {
    rec.name = UpToCloseTab(b, name + 5, end);
    p = end != npos ? end : name;
  }

  auto flag = [&](const char* attribute, size_t from, uint8_t& value) {
    size_t at = b.find(attribute, from);
    value = at != npos;
    if (at != npos) p = at;
  };
  flag("automipmap()", 0, rec.automipmap);
  flag("billboarding()", p, rec.billboarding);
  flag("repeat_s()", p, rec.repeat_s);
  flag("repeat_t()", p, rec.repeat_t);

  // The value is the three characters after "opacity(", as 0.5 or 0.7.
  auto opacityAt = [&](size_t at) {
    std::string digits = b.substr(at + 8, 3);
    return static_cast<float>(std::strtod(digits.c_str(), nullptr));
  };
  size_t at = b.find("opacity(", p);
  if (at != npos) {
    rec.opacity = opacityAt(at);
    p = at;
  } else if ((at = b.find("opacity(", 10)) != npos) {
    rec.opacity = opacityAt(at);
  }

  auto digitAfter = [&](size_t at, size_t length) {
    return static_cast<int16_t>(std::atoi(b.substr(at + length, 1).c_str()));
  };
  at = b.find("magfilter(", p);
  if (at != npos) {
    rec.magfilter = digitAfter(at, 10);
    p = at;
  }
  size_t q = p;
  at = b.find("minfilter(", p);
  if (at != npos) {
    rec.minfilter = digitAfter(at, 10);
    q = at;
  }

  rec.id = id;
  if (b.find("MipMapLevel", q) != npos) {
    for (int level = 0; level < 8; ++level) {
      size_t n = b.find("name(", p);
      if (n == npos) break;
      rec.mipLevelNames[level] = UpToCloseTab(b, n + 5, end);
      ++rec.mipLevelCount;
      if (end == npos) break;
      p = end;
    }
  }
  record = std::move(rec);
  return true;
}

bool TextureList::RemoveTexture(int32_t id) {
  const IdRef* r = Find(id);
  if (r == nullptr || r->open == npos || r->close == npos) return false;
  // From the start of the word that opens the block ("Textur{").
  size_t start = r->open;
  while (start > 0 && !IsWhite(text_[start - 1]) && text_[start - 1] != '{' && text_[start - 1] != '}') --start;
  size_t close = r->close;
  text_.erase(start, close + 1 - start);
  text_ = Normalize(text_);
  Invalidate();
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
  // Each block goes after the block of the highest lower id the list held
  // before: blocks inserted before it with a lower id have the same anchor
  // and stand in front of it, in ascending order.
  struct Insert {
    size_t at;
    size_t order;
  };
  std::vector<Insert> inserts;
  inserts.reserve(blocks.size());
  for (size_t k = 0; k < blocks.size(); ++k) inserts.push_back({FindInsertPos(blocks[k].first), k});
  std::stable_sort(inserts.begin(), inserts.end(), [](const Insert& a, const Insert& b) { return a.at < b.at; });

  std::string merged;
  size_t total = text_.size();
  for (const auto& b : blocks) total += b.second.size();
  merged.reserve(total);
  size_t from = 0;
  for (const Insert& ins : inserts) {
    merged.append(text_, from, ins.at - from);
    merged += blocks[ins.order].second;
    from = ins.at;
  }
  merged.append(text_, from, npos);
  text_ = Normalize(merged);
  Invalidate();
}

}  // namespace zet
