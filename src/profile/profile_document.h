#pragma once
// A profile in memory: the typed key/value text file of the language file,
// the host's index files, category files and user categories.
//
// A document holds sections of entries and comment lines, in file order.
// Names are not unique and compare byte for byte (case matters). Lookups
// leave state behind, and callers walk documents by it: FindSection sets the
// current section, FindEntry moves the section's cursor. A missing section
// or key is no error: reads then yield an empty text or zeros.
//
// The character mode is the document's type: ProfileDocument works on 8-bit
// text (the system code page; bytes are stored and compared as they are),
// WideProfileDocument on UTF-16 (UTF-16LE in files). Every name, key,
// comment and text argument is of the document's character type.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zet {

// The type of a node. Code 7 is not used. Sections, comment lines and
// entries without a recognised value are "structural"; the others hold
// value data laid out as count elements of the type's element size.
enum class ProfileValueType : int32_t {
  None = 0,     // entry without a recognised value
  Comment = 1,  // comment line (or a line of blanks)
  Section = 2,
  String = 3,   // text: chars (8-bit) or UTF-16 units (wide)
  Int = 4,      // int32 list
  HexInt = 5,   // int32 list, written in hex
  Float = 6,    // float32 list
  YesNo = 8,    // byte list, 0 or 1
  Bytes = 9,    // raw bytes
};

// Bytes of one element of a value of the type; 0 for structural types.
int ProfileElementSize(ProfileValueType type, int charSize);

// Results of node list growth (the system's standard result codes).
constexpr int32_t kProfileInvalidArg = static_cast<int32_t>(0x80070057u);
constexpr int32_t kProfileOutOfMemory = static_cast<int32_t>(0x8007000Eu);

// The memory of one document. Every node, name, comment, value and node
// list of a document lives in blocks of its arena, which the document frees
// all at once (Clear, destruction); nothing is freed one by one.
class ProfileArena {
 public:
  ProfileArena() = default;
  ProfileArena(const ProfileArena&) = delete;
  ProfileArena& operator=(const ProfileArena&) = delete;

  // bytes of memory aligned to 8; null when memory ran out.
  void* Allocate(size_t bytes);
  // Frees every block.
  void Release();

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  size_t left_ = 0;
  size_t blockSize_ = 0;
};

// One block holding a name, comment or value. Its size is the largest byte
// length ever stored (-1 before the first store); every store leaves at
// least two zero bytes after the data, so a stored text is terminated in
// either character mode.
class ProfileBuffer {
 public:
  // Stores length bytes (zeros when bytes is null). -1 for a negative
  // length, -2 when memory ran out; 0 otherwise.
  int Set(ProfileArena& arena, const void* bytes, int32_t length);

  // Null before the first store.
  const char* data() const { return data_; }
  char* data() { return data_; }
  int32_t size() const { return size_; }

 private:
  char* data_ = nullptr;
  int32_t size_ = -1;
};

class ProfileNode;

// The children of a section, or a document's top-level nodes, in order.
// Grows to 16 slots first, then by doubling.
class ProfileNodeList {
 public:
  int32_t count() const { return count_; }
  int32_t capacity() const { return capacity_; }
  ProfileNode* operator[](int32_t i) const { return items_[i]; }

  // Makes room for n nodes; n = 0 empties the list and drops its slots.
  // 0, kProfileInvalidArg (n < 0) or kProfileOutOfMemory (list unchanged).
  int32_t Grow(ProfileArena& arena, int32_t n);
  // Appends the node; the result is that of Grow.
  int32_t Append(ProfileArena& arena, ProfileNode* node);

 private:
  ProfileNode** items_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

// A section, an entry or a comment line, told apart by its type. Comment
// nodes have no name; their comment holds the whole line. Names are stored
// without terminator in their counted byte length. Nodes belong to their
// document: read them freely, change them through the document only.
class ProfileNode {
 public:
  // A fresh node in the arena (type None, no name, cursor -1); null when
  // memory ran out.
  static ProfileNode* Create(ProfileArena& arena);

  ProfileBuffer name;
  ProfileBuffer comment;  // beginning with its ';'; none when null
  ProfileValueType type = ProfileValueType::None;
  // The value data. An entry of type None keeps here the value text that
  // was not recognised, so that it is written back unchanged; it counts as
  // no value for every lookup.
  ProfileBuffer value;
  int32_t count = 0;
  int32_t cursor = -1;  // a section's current entry; -1 = none
  ProfileNodeList children;
};

template <typename Char>
class BasicProfileDocument {
 public:
  using Text = std::basic_string<Char>;
  using View = std::basic_string_view<Char>;
  static constexpr bool kWide = sizeof(Char) == 2;

  // (section name, node name or null for a comment line, node type, value
  // data or null, value block size in bytes or -1, document) -> non-zero to
  // go on, 0 to stop.
  using EntryCallback = std::function<int(const Char* section, const Char* name, int type, const void* value,
                                          int32_t size, BasicProfileDocument& document)>;

  BasicProfileDocument() = default;
  ~BasicProfileDocument() = default;  // the arena frees every node
  BasicProfileDocument(const BasicProfileDocument&) = delete;
  BasicProfileDocument& operator=(const BasicProfileDocument&) = delete;

  // ------------------------------------------------------------ text form

  // Reads a profile file and appends its content (the whole file when
  // length < 1). A given path is stored first; null reads the stored path.
  // 0; -1 when the file cannot be opened or read (the content is then
  // unchanged). Lines that cannot be read are dropped one by one.
  int Load(const char* path = nullptr, int64_t offset = 0, int64_t length = 0);
  int Load(const std::string& path, int64_t offset = 0, int64_t length = 0) {
    return Load(path.c_str(), offset, length);
  }
  // Appends the content of a profile text held in memory (the bytes a file
  // would hold), read exactly as Load reads a file. 0; -1 without bytes.
  int LoadBytes(std::string bytes);

  // Writes the whole document in the canonical layout. The file is first
  // written beside the target and replaces it only once complete, so a
  // failed save leaves the old file as it was. 0; -1 when the file cannot
  // be written.
  int Save(const char* path = nullptr);
  int Save(const std::string& path) { return Save(path.c_str()); }

  // The line operations of the reader. Lines are given without their line
  // end, with blanks and tabs removed at both ends.
  // A header "[name]": index of the new section; -1 malformed, -2 no memory.
  int AddSectionLine(const Char* line);
  // A comment line, at the top level (section -1) or in the section at that
  // index: the top-level index, or 0 in a section; -1 bad index, -2 no memory.
  int AddCommentLine(const Char* line, int section);
  // An entry line "key = value ;comment" into the section at that index:
  // the text length (String) or element count; -1 malformed or bad index,
  // -2 no memory.
  int AddEntryLine(const Char* line, int section);

  // The bytes Save writes: 8-bit lines (up to a zero byte) each ended by
  // CR LF, after a UTF-8 mark when the document has one; wide lines as
  // UTF-16LE after the mark FF FE, each ended by 0D 00 0A 00.
  std::string SaveBytes() const;

  // The path of the last Load or Save that named one; "" before that.
  const std::string& GetPath() const { return path_; }

  // True when the file that started this document began with a UTF-8
  // byte-order mark (8-bit documents); Save writes it back.
  bool HasUtf8Mark() const { return utf8Mark_; }
  // Whether Save writes that mark; a document rebuilt after Clear keeps the
  // form of its file by this.
  void SetUtf8Mark(bool mark) { utf8Mark_ = mark; }

  // Deletes every node and frees their memory; no current section.
  void Clear();

  // -------------------------------------------------------------- sections

  // Name given: the first top-level node of that name becomes current; its
  // index, or -1 (and no current section) when there is none. Null: the
  // current section, or -1.
  int FindSection(const Char* name);
  // Top-level nodes, comment lines before headers included.
  int GetSectionCount() const { return nodes_.count(); }
  // Selects a top-level node; the index, or -1 (no change) when out of range.
  int SetCurrentSection(int index);
  int GetCurrentSection() const { return current_; }
  // The current top-level node's name; "" without one, null for a comment.
  const Char* GetCurrentSectionName() const;
  // Finds the section (null: the current one) or appends a new one of that
  // name; it becomes current. Null when neither is possible.
  ProfileNode* GetOrAddSection(const Char* name);
  // The top-level node at index, or null.
  ProfileNode* GetNode(int index) const;

  // --------------------------------------------------------------- entries

  // Searches from the section's cursor to the end, then from the start up
  // to the cursor; the cursor moves to the match (-1 when there is none).
  // Null key: the entry at the cursor.
  ProfileNode* FindEntry(ProfileNode* section, const Char* key);
  // The entry's type; -1 when the section or entry is missing.
  int GetEntryType(const Char* section, const Char* key);
  // The name at the section's cursor; "" when there is none, null for a
  // comment line.
  const Char* GetCurrentEntryName(const Char* section);
  // Key given: 1 and the cursor on the entry, or 0. Null: cursor to the
  // first child, 1. 0 when the section is missing.
  int SelectEntry(const Char* section, const Char* key);
  // Moves the cursor by step until it stands on a value entry of the type
  // (any type when filter < 0): 0; or -1 once it leaves the section.
  int NextEntry(const Char* section, int step, int filter);
  // Finds the entry or appends a new one (type None); the cursor moves to
  // it. Null when the section or key is null.
  ProfileNode* GetOrAddEntry(ProfileNode* section, const Char* key);

  // ---------------------------------------------------------------- values

  // The stored value of the entry, or a shared value that is always zero
  // (an empty text, 0) when the entry or its value is missing. With a
  // destination, copies the entry's count elements (at most maxCount when
  // above 0) of elementSize bytes; a negative elementSize reads a text of
  // |elementSize|-byte characters and adds a terminator. The destination
  // must hold that many elements (plus the terminator). A missing entry
  // fills them with zeros.
  const void* GetValue(const Char* section, const Char* key, void* destination, int maxCount, int elementSize);
  const Char* GetString(const Char* section, const Char* key, Char* destination = nullptr, int maxLength = 0);
  const int32_t* GetInts(const Char* section, const Char* key, int32_t* destination = nullptr, int maxCount = 0);

  // Setters create the section and entry as needed; an existing entry keeps
  // its place and comment. The section stays current, the cursor on the
  // entry. 0; -1 bad value; -2 no section; -3 no entry.
  int SetString(const Char* section, const Char* key, const Char* text);
  int SetInts(const Char* section, const Char* key, const int32_t* values, int count);
  // Any value type, count elements of its element size (for a String:
  // characters, stored as given). Copies an entry whole from one document
  // to another.
  int SetValue(const Char* section, const Char* key, ProfileValueType type, const void* elements, int count);

  // Finds the first entry whose value, read as a terminated text, equals
  // text. A non-empty *section limits the search to that section, a
  // non-empty *key to entries of that name; stringsOnly skips entries that
  // are not texts. On a match the names are written to the buffers that
  // are given, the section becomes current, and the result is true.
  bool FindValue(const Char* text, Text* section, Text* key, bool stringsOnly);

  // Calls back for every node (a non-empty section or key limits the walk),
  // in file order, until the callback returns 0. -1 for no callback, else 0.
  int ForEachEntry(const EntryCallback& callback, const Char* section = nullptr, const Char* key = nullptr);

 private:
  ProfileNode* CurrentSectionNode() const;
  ProfileNode* LocateEntry(const Char* section, const Char* key);
  int SetTypedValue(const Char* section, const Char* key, ProfileValueType type, const void* bytes,
                    int32_t byteLength, int32_t count);
  template <typename Fn>
  void ForSectionsInRange(const Char* section, Fn&& fn);
  int AddSectionText(View line);
  int AddCommentText(View line, int section);
  int AddEntryText(View line, int section);
  void ReadLines(int slot);
  void NoteSection(int index);

  // Section names (their bytes) to the first index that carries each: built
  // at the first lookup by name in a document of many sections, then kept
  // up to date as sections are appended (sections are never removed or
  // renamed), so that lookups stay fast while a merge adds sections.
  std::unordered_map<std::string_view, int> sectionIndex_;
  bool indexed_ = false;

  std::string path_;
  ProfileArena arena_;
  ProfileNodeList nodes_;
  int current_ = -1;
  bool utf8Mark_ = false;
};

using ProfileDocument = BasicProfileDocument<char>;
using WideProfileDocument = BasicProfileDocument<char16_t>;

extern template class BasicProfileDocument<char>;
extern template class BasicProfileDocument<char16_t>;

}  // namespace zet
