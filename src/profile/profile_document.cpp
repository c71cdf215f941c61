// The profile document in memory: nodes, lookups with their cursors, values.
// The text form (Load, Save and the line operations) is in profile_text.cpp.

#include "profile/profile_document.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <type_traits>

namespace zet {

namespace {

// Zero bytes kept after the data of every block: two terminate a text in
// either mode; two more keep a 16-bit read of an odd-sized block inside it.
constexpr size_t kBlockTail = 4;

// Documents with this many top-level nodes look sections up by an index.
constexpr int kIndexedSections = 16;

// What a missing entry reads as: "" in either mode, and zeros.
alignas(16) const char kZeroValue[16] = {};

bool IsValueType(ProfileValueType type) {
  switch (type) {
    case ProfileValueType::String:
    case ProfileValueType::Int:
    case ProfileValueType::HexInt:
    case ProfileValueType::Float:
    case ProfileValueType::YesNo:
    case ProfileValueType::Bytes:
      return true;
    default:
      return false;
  }
}

template <typename Char>
size_t TextLength(const Char* text) {
  return std::char_traits<Char>::length(text);
}

// Byte-exact, case-sensitive; a node without a name never matches.
bool NameEquals(const ProfileBuffer& name, const void* text, size_t byteLength) {
  return name.data() != nullptr && static_cast<size_t>(name.size()) == byteLength &&
         std::memcmp(name.data(), text, byteLength) == 0;
}

template <typename Char>
bool TextEquals(const Char* a, const Char* b) {
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

}  // namespace

int ProfileElementSize(ProfileValueType type, int charSize) {
  switch (type) {
    case ProfileValueType::String: return charSize;
    case ProfileValueType::Int:
    case ProfileValueType::HexInt:
    case ProfileValueType::Float: return 4;
    case ProfileValueType::YesNo:
    case ProfileValueType::Bytes: return 1;
    default: return 0;
  }
}

// ------------------------------------------------------------- ProfileArena

void* ProfileArena::Allocate(size_t bytes) {
  // Nodes hold pointers and values hold 4-byte elements: 8 serves both.
  constexpr size_t kAlign = 8;
  constexpr size_t kFirstBlock = 4096;
  constexpr size_t kLargestBlock = 1 << 20;
  if (bytes > std::numeric_limits<size_t>::max() / 2) return nullptr;
  bytes = (bytes + kAlign - 1) & ~(kAlign - 1);
  if (bytes <= left_) {
    char* p = next_;
    next_ += bytes;
    left_ -= bytes;
    return p;
  }
  // Blocks grow with the document; a large request gets a block of its own
  // and the current block stays in use.
  const bool own = bytes > kLargestBlock / 4;
  size_t size = bytes;
  if (!own) {
    blockSize_ = blockSize_ == 0 ? kFirstBlock : std::min(blockSize_ * 2, kLargestBlock);
    size = std::max(blockSize_, bytes);
  }
  std::unique_ptr<char[]> block(new (std::nothrow) char[size]);
  if (!block) return nullptr;
  char* p = block.get();
  try {
    blocks_.push_back(std::move(block));
  } catch (const std::exception&) {
    return nullptr;
  }
  if (!own) {
    next_ = p + bytes;
    left_ = size - bytes;
  }
  return p;
}

void ProfileArena::Release() {
  std::vector<std::unique_ptr<char[]>>().swap(blocks_);
  next_ = nullptr;
  left_ = 0;
  blockSize_ = 0;
}

// ------------------------------------------------------------ ProfileBuffer

int ProfileBuffer::Set(ProfileArena& arena, const void* bytes, int32_t length) {
  if (length < 0) return -1;
  const size_t n = static_cast<size_t>(length);
  if (size_ < length) {
    char* block = static_cast<char*>(arena.Allocate(n + kBlockTail));
    if (block == nullptr) return -2;
    data_ = block;
    size_ = length;
  }
  if (bytes != nullptr)
    std::memmove(data_, bytes, n);
  else
    std::memset(data_, 0, n);
  // Clear what an earlier, longer value left behind, and the tail.
  std::memset(data_ + n, 0, static_cast<size_t>(size_) - n + kBlockTail);
  return 0;
}

// ---------------------------------------------------------- ProfileNodeList

int32_t ProfileNodeList::Grow(ProfileArena& arena, int32_t n) {
  if (n < 0) return kProfileInvalidArg;
  if (n == 0) {
    items_ = nullptr;
    count_ = 0;
    capacity_ = 0;
    return 0;
  }
  if (capacity_ < n) {
    int64_t grown = capacity_ == 0 ? 16 : int64_t{capacity_} * 2;
    grown = std::min<int64_t>(std::max<int64_t>(grown, n), std::numeric_limits<int32_t>::max());
    auto** items = static_cast<ProfileNode**>(arena.Allocate(static_cast<size_t>(grown) * sizeof(ProfileNode*)));
    if (items == nullptr) return kProfileOutOfMemory;
    if (count_ > 0) std::memcpy(items, items_, static_cast<size_t>(count_) * sizeof(ProfileNode*));
    items_ = items;
    capacity_ = static_cast<int32_t>(grown);
  }
  return 0;
}

int32_t ProfileNodeList::Append(ProfileArena& arena, ProfileNode* node) {
  if (count_ == std::numeric_limits<int32_t>::max()) return kProfileOutOfMemory;
  int32_t result = Grow(arena, count_ + 1);
  if (result != 0) return result;
  items_[count_++] = node;
  return 0;
}

// -------------------------------------------------------------- ProfileNode

ProfileNode* ProfileNode::Create(ProfileArena& arena) {
  static_assert(std::is_trivially_destructible_v<ProfileNode>, "the arena frees nodes without destroying them");
  void* memory = arena.Allocate(sizeof(ProfileNode));
  return memory == nullptr ? nullptr : new (memory) ProfileNode;
}

// ----------------------------------------------------- BasicProfileDocument

template <typename Char>
void BasicProfileDocument<Char>::Clear() {
  nodes_.Grow(arena_, 0);
  sectionIndex_.clear();
  indexed_ = false;
  arena_.Release();
  current_ = -1;
  utf8Mark_ = false;
}

template <typename Char>
ProfileNode* BasicProfileDocument<Char>::GetNode(int index) const {
  return index >= 0 && index < nodes_.count() ? nodes_[index] : nullptr;
}

template <typename Char>
ProfileNode* BasicProfileDocument<Char>::CurrentSectionNode() const {
  return GetNode(current_);
}

template <typename Char>
void BasicProfileDocument<Char>::NoteSection(int index) {
  if (!indexed_) return;
  const ProfileBuffer& name = nodes_[index]->name;
  try {
    sectionIndex_.emplace(std::string_view(name.data(), static_cast<size_t>(name.size())), index);
  } catch (const std::exception&) {
    sectionIndex_.clear();  // without memory for the index, lookups scan
    indexed_ = false;
  }
}

template <typename Char>
int BasicProfileDocument<Char>::FindSection(const Char* name) {
  if (name == nullptr) return GetNode(current_) != nullptr ? current_ : -1;
  const size_t bytes = TextLength(name) * sizeof(Char);
  if (!indexed_ && nodes_.count() >= kIndexedSections) {
    indexed_ = true;
    for (int i = 0; i < nodes_.count() && indexed_; ++i)
      if (nodes_[i]->name.data() != nullptr) NoteSection(i);
  }
  if (indexed_) {
    auto it = sectionIndex_.find(std::string_view(reinterpret_cast<const char*>(name), bytes));
    current_ = it == sectionIndex_.end() ? -1 : it->second;
    return current_;
  }
  for (int i = 0; i < nodes_.count(); ++i) {
    if (NameEquals(nodes_[i]->name, name, bytes)) {
      current_ = i;
      return i;
    }
  }
  current_ = -1;
  return -1;
}

template <typename Char>
int BasicProfileDocument<Char>::SetCurrentSection(int index) {
  if (GetNode(index) == nullptr) return -1;
  current_ = index;
  return index;
}

template <typename Char>
const Char* BasicProfileDocument<Char>::GetCurrentSectionName() const {
  const ProfileNode* node = CurrentSectionNode();
  if (node == nullptr) return reinterpret_cast<const Char*>(kZeroValue);
  return reinterpret_cast<const Char*>(node->name.data());
}

template <typename Char>
ProfileNode* BasicProfileDocument<Char>::GetOrAddSection(const Char* name) {
  if (name == nullptr) {
    ProfileNode* node = CurrentSectionNode();
    return node != nullptr && node->type == ProfileValueType::Section ? node : nullptr;
  }
  int index = FindSection(name);
  if (index >= 0) return nodes_[index];
  size_t bytes = TextLength(name) * sizeof(Char);
  if (bytes > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return nullptr;
  ProfileNode* node = ProfileNode::Create(arena_);
  if (node == nullptr || node->name.Set(arena_, name, static_cast<int32_t>(bytes)) != 0) return nullptr;
  node->type = ProfileValueType::Section;
  if (nodes_.Append(arena_, node) != 0) return nullptr;
  current_ = nodes_.count() - 1;
  NoteSection(current_);
  return node;
}

template <typename Char>
ProfileNode* BasicProfileDocument<Char>::FindEntry(ProfileNode* section, const Char* key) {
  if (section == nullptr) return nullptr;
  ProfileNodeList& children = section->children;
  int n = children.count();
  if (key == nullptr) return section->cursor >= 0 && section->cursor < n ? children[section->cursor] : nullptr;
  size_t bytes = TextLength(key) * sizeof(Char);
  int start = section->cursor >= 0 && section->cursor < n ? section->cursor : n;
  for (int i = start; i < n; ++i) {
    if (NameEquals(children[i]->name, key, bytes)) {
      section->cursor = i;
      return children[i];
    }
  }
  for (int i = 0; i < start; ++i) {
    if (NameEquals(children[i]->name, key, bytes)) {
      section->cursor = i;
      return children[i];
    }
  }
  section->cursor = -1;
  return nullptr;
}

template <typename Char>
ProfileNode* BasicProfileDocument<Char>::LocateEntry(const Char* section, const Char* key) {
  int index = FindSection(section);
  return index < 0 ? nullptr : FindEntry(nodes_[index], key);
}

template <typename Char>
int BasicProfileDocument<Char>::GetEntryType(const Char* section, const Char* key) {
  const ProfileNode* entry = LocateEntry(section, key);
  return entry == nullptr ? -1 : static_cast<int>(entry->type);
}

template <typename Char>
const Char* BasicProfileDocument<Char>::GetCurrentEntryName(const Char* section) {
  const Char* none = reinterpret_cast<const Char*>(kZeroValue);
  int index = FindSection(section);
  if (index < 0) return none;
  const ProfileNode* entry = FindEntry(nodes_[index], nullptr);
  if (entry == nullptr) return none;
  return reinterpret_cast<const Char*>(entry->name.data());
}

template <typename Char>
int BasicProfileDocument<Char>::SelectEntry(const Char* section, const Char* key) {
  int index = FindSection(section);
  if (index < 0) return 0;
  if (key != nullptr) return FindEntry(nodes_[index], key) != nullptr ? 1 : 0;
  nodes_[index]->cursor = 0;
  return 1;
}

template <typename Char>
int BasicProfileDocument<Char>::NextEntry(const Char* section, int step, int filter) {
  int index = FindSection(section);
  if (index < 0) return -1;
  ProfileNode* node = nodes_[index];
  const int n = node->children.count();
  auto passes = [&](int i) {
    ProfileValueType type = node->children[i]->type;
    return static_cast<int>(type) > 2 && (filter < 0 || filter == static_cast<int>(type));
  };
  auto inside = [&](int64_t i) { return i >= 0 && i < n; };
  if (step == 0) return inside(node->cursor) && passes(node->cursor) ? 0 : -1;
  int64_t cursor = node->cursor;
  for (;;) {
    cursor += step;
    if (!inside(cursor)) {
      // Past either end the cursor rests just outside, so that a walk in
      // the other direction starts again at the edge.
      node->cursor = cursor < 0 ? -1 : n;
      return -1;
    }
    if (passes(static_cast<int>(cursor))) {
      node->cursor = static_cast<int>(cursor);
      return 0;
    }
  }
}

template <typename Char>
ProfileNode* BasicProfileDocument<Char>::GetOrAddEntry(ProfileNode* section, const Char* key) {
  if (section == nullptr || key == nullptr || section->type != ProfileValueType::Section) return nullptr;
  if (ProfileNode* entry = FindEntry(section, key)) return entry;
  size_t bytes = TextLength(key) * sizeof(Char);
  if (bytes > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return nullptr;
  ProfileNode* node = ProfileNode::Create(arena_);
  if (node == nullptr || node->name.Set(arena_, key, static_cast<int32_t>(bytes)) != 0) return nullptr;
  if (section->children.Append(arena_, node) != 0) return nullptr;
  section->cursor = section->children.count() - 1;
  return node;
}

template <typename Char>
const void* BasicProfileDocument<Char>::GetValue(const Char* section, const Char* key, void* destination,
                                                 int maxCount, int elementSize) {
  const ProfileNode* entry = LocateEntry(section, key);
  const bool present = entry != nullptr && IsValueType(entry->type) && entry->value.data() != nullptr;
  if (destination != nullptr) {
    const size_t size = static_cast<size_t>(elementSize < 0 ? -int64_t{elementSize} : elementSize);
    int64_t n = present ? std::max(entry->count, 0) : 0;
    if (maxCount > 0 && maxCount < n) n = maxCount;
    const size_t bytes = static_cast<size_t>(n) * size;
    char* out = static_cast<char*>(destination);
    size_t copied = present ? std::min(bytes, static_cast<size_t>(entry->value.size())) : 0;
    if (copied > 0) std::memcpy(out, entry->value.data(), copied);
    std::memset(out + copied, 0, bytes - copied);
    if (elementSize < 0) std::memset(out + bytes, 0, size);
  }
  return present ? static_cast<const void*>(entry->value.data()) : kZeroValue;
}

template <typename Char>
const Char* BasicProfileDocument<Char>::GetString(const Char* section, const Char* key, Char* destination,
                                                  int maxLength) {
  return static_cast<const Char*>(GetValue(section, key, destination, maxLength, -static_cast<int>(sizeof(Char))));
}

template <typename Char>
const int32_t* BasicProfileDocument<Char>::GetInts(const Char* section, const Char* key, int32_t* destination,
                                                   int maxCount) {
  return static_cast<const int32_t*>(GetValue(section, key, destination, maxCount, 4));
}

template <typename Char>
int BasicProfileDocument<Char>::SetTypedValue(const Char* section, const Char* key, ProfileValueType type,
                                              const void* bytes, int32_t byteLength, int32_t count) {
  ProfileNode* node = GetOrAddSection(section);
  if (node == nullptr) return -2;
  ProfileNode* entry = GetOrAddEntry(node, key);
  if (entry == nullptr) return -3;
  if (entry->value.Set(arena_, bytes, byteLength) != 0) return -2;
  entry->type = type;
  entry->count = count;
  return 0;
}

template <typename Char>
int BasicProfileDocument<Char>::SetString(const Char* section, const Char* key, const Char* text) {
  if (text == nullptr) return -1;
  size_t length = TextLength(text) + 1;  // with the terminator
  if (length * sizeof(Char) > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return -1;
  return SetTypedValue(section, key, ProfileValueType::String, text, static_cast<int32_t>(length * sizeof(Char)),
                       static_cast<int32_t>(length));
}

template <typename Char>
int BasicProfileDocument<Char>::SetInts(const Char* section, const Char* key, const int32_t* values, int count) {
  if (values == nullptr || count <= 0 || count > std::numeric_limits<int32_t>::max() / 4) return -1;
  return SetTypedValue(section, key, ProfileValueType::Int, values, count * 4, count);
}

template <typename Char>
int BasicProfileDocument<Char>::SetValue(const Char* section, const Char* key, ProfileValueType type,
                                         const void* elements, int count) {
  if (!IsValueType(type) || count < 0 || (elements == nullptr && count > 0)) return -1;
  const int size = ProfileElementSize(type, sizeof(Char));
  if (count > std::numeric_limits<int32_t>::max() / size) return -1;
  return SetTypedValue(section, key, type, elements, count * size, count);
}

template <typename Char>
template <typename Fn>
void BasicProfileDocument<Char>::ForSectionsInRange(const Char* section, Fn&& fn) {
  if (section != nullptr && *section != 0) {
    int index = FindSection(section);
    if (index >= 0) fn(index);
    return;
  }
  // Indices, not iterators: a callback may add to the document.
  for (int i = 0; i < nodes_.count(); ++i)
    if (!fn(i)) return;
}

template <typename Char>
bool BasicProfileDocument<Char>::FindValue(const Char* text, Text* section, Text* key, bool stringsOnly) {
  if (text == nullptr) return false;
  const Char* sectionName = section != nullptr && !section->empty() ? section->c_str() : nullptr;
  const Char* keyName = key != nullptr && !key->empty() ? key->c_str() : nullptr;
  auto matches = [&](const ProfileNode* entry) {
    if (entry == nullptr || !IsValueType(entry->type) || entry->value.data() == nullptr) return false;
    if (stringsOnly && entry->type != ProfileValueType::String) return false;
    return TextEquals(reinterpret_cast<const Char*>(entry->value.data()), text);
  };
  bool found = false;
  ForSectionsInRange(sectionName, [&](int index) {
    ProfileNode* node = nodes_[index];
    const ProfileNode* hit = nullptr;
    if (keyName != nullptr) {
      const ProfileNode* entry = FindEntry(node, keyName);
      if (matches(entry)) hit = entry;
    } else {
      for (int c = 0; c < node->children.count() && hit == nullptr; ++c)
        if (matches(node->children[c])) hit = node->children[c];
    }
    if (hit == nullptr) return true;
    if (section != nullptr)
      section->assign(reinterpret_cast<const Char*>(node->name.data()), node->name.size() / sizeof(Char));
    if (key != nullptr)
      key->assign(reinterpret_cast<const Char*>(hit->name.data()), hit->name.size() / sizeof(Char));
    current_ = index;
    found = true;
    return false;
  });
  return found;
}

template <typename Char>
int BasicProfileDocument<Char>::ForEachEntry(const EntryCallback& callback, const Char* section, const Char* key) {
  if (!callback) return -1;
  const Char* keyName = key != nullptr && *key != 0 ? key : nullptr;
  auto call = [&](ProfileNode* node, ProfileNode* entry) {
    const bool hasValue = IsValueType(entry->type) && entry->value.data() != nullptr;
    return callback(reinterpret_cast<const Char*>(node->name.data()),
                    reinterpret_cast<const Char*>(entry->name.data()), static_cast<int>(entry->type),
                    hasValue ? entry->value.data() : nullptr, hasValue ? entry->value.size() : -1, *this) != 0;
  };
  ForSectionsInRange(section, [&](int index) {
    if (index >= nodes_.count()) return false;
    if (keyName != nullptr) {
      ProfileNode* entry = FindEntry(nodes_[index], keyName);
      return entry == nullptr || call(nodes_[index], entry);
    }
    for (int c = 0; index < nodes_.count() && c < nodes_[index]->children.count(); ++c)
      if (!call(nodes_[index], nodes_[index]->children[c])) return false;
    return true;
  });
  return 0;
}

template class BasicProfileDocument<char>;
template class BasicProfileDocument<char16_t>;

}  // namespace zet
