#pragma once
// One texture list of the Parallels folder (Texturen.txt, Bodentexturen.txt):
// the file's bytes as they stand, and their normalized text, which every
// lookup works on.
//
// A list is an outer block "Basis{ ... }" holding one block per texture:
//   Textur{ id(7) name(Gras) automipmap() opacity(0.5) magfilter(1) ... }
// The text is kept as words joined the way the host writes them: a word that
// ends with ")" or "{" is followed by a tab, one that ends with "}" by a line
// end and two tabs, any other word is joined to the next one directly (so
// "name(Gras Wiese)" becomes "name(GrasWiese)"). Blocks move between lists as
// text; they are never rebuilt from their attributes.
//
// Ids are found only as attributes: "id(" at the start of a word (or right
// after a "{"), followed by a positive decimal number and ")". An "id(3)"
// inside a name is not an id.
//
// The host reads a list word by word, so its layout is free, and a person
// may have laid it out by hand: a change keeps every byte of the file and
// adds the new block on lines of its own, indented like its neighbouring
// block (see InsertTextures).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "update/host_writer.h"

namespace zet {

struct TextureRecord {
  int32_t id = 0;
  std::string name;
  std::string mipLevelNames[8];  // levels 1 to 8
  uint8_t automipmap = 0;
  uint8_t billboarding = 0;
  uint8_t repeat_s = 0;
  uint8_t repeat_t = 0;
  int16_t magfilter = 0;
  int16_t minfilter = 0;
  int16_t mipLevelCount = 0;
  float opacity = 2.0f;
};

// The file in the Parallels folder that a texture's name in a list names,
// as the list spells it (code-page text, '\\' between folders), extension
// (".dds", ".bmp") added; platform::NameFromCodePage gives the file's name.
std::string ListedTextureFile(std::string name, const char* extension);

class TextureList {
 public:
  static constexpr size_t npos = std::string::npos;

  // Loads the file at path; IsLoaded tells whether that worked.
  explicit TextureList(std::string path);
  // The same, reading the file as the run's writer sees it (a preview's
  // earlier changes included).
  TextureList(std::string path, HostWriter* reader);
  // Writes nothing: a list reaches its file only through SaveList.
  ~TextureList() = default;
  TextureList(const TextureList&) = delete;
  TextureList& operator=(const TextureList&) = delete;

  bool IsLoaded() const { return loaded_; }
  const std::string& Path() const { return path_; }
  const std::string& Text() const { return text_; }
  // The bytes that SaveList writes: the file's own, with the changes made.
  const std::string& Bytes() const { return bytes_; }

  // Reads the file and replaces the text; false (text unchanged) when the
  // file cannot be read or is larger than kMergedFileLimit. The last word
  // counts even without white space after it.
  bool LoadList();
  // Replaces the list with bytes, as if a file holding them had been loaded.
  void LoadFromText(std::string_view bytes);
  // Writes the bytes to the file as they are. The file is replaced only once
  // all of them are written; a list that never loaded is not written at
  // all. False when nothing was written.
  bool SaveList();
  // The same through the run's writer; summary says what was added.
  // why: the writer's reason when it fails.
  bool SaveList(HostWriter& writer, const std::string& summary = {}, std::string* why = nullptr);

  // The highest id the list holds; 0 when it holds none.
  int32_t GetMaxId();
  // The ids the list holds, ascending, each once.
  std::vector<int32_t> GetIds();
  // True when the list holds a complete block for the id.
  bool HasTexture(int32_t id);
  // False when a "}" closes nothing or a "{" is never closed.
  bool IsBalanced();
  // The blocks of the outer block that carry no id (none, or none from 1 to
  // 2147483647), each as its first words: the host reads them as no
  // texture.
  std::vector<std::string> BlocksWithoutId();
  // True when the text holds no word at all (an empty or blank file).
  bool IsEmpty() const { return text_.empty(); }
  // True when the first word opens the outer block "Basis{".
  bool OpensWithBasis() const { return text_.compare(0, 6, "Basis{") == 0; }
  // True for 8-bit text (no zero byte, so no UTF-16) that opens with "Basis{".
  bool IsTextureList() const { return bytes_.find('\0') == npos && OpensWithBasis(); }
  // The index of the "{" of the whole block that stands for the id (each
  // id of a block that carries several gives the same); npos when the id
  // has no whole block.
  size_t BlockOf(int32_t id);

  // The "}" that closes the first "{" at or after position, counting nested
  // braces; npos when there is no "{" there or it is never closed.
  size_t FindBlockEnd(size_t position) const;
  // The block of the id as "\n\tTextur{...}"; false when there is none.
  bool GetBlock(int32_t id, std::string& block);
  // Fills record from the block of the id; false (record untouched) when
  // there is none.
  bool ParseTexture(int32_t id, TextureRecord& record);
  // Takes the block of the id out of the text, and the lines it stood on
  // when it had them to itself; false when there is none.
  bool RemoveTexture(int32_t id);
  // Where the block of the id belongs: just after the block of the highest
  // lower id that the list holds, else just after the first "{" (index 0
  // when the text has none).
  size_t FindInsertPos(int32_t id);
  // Replaces the block of the id by block (as GetBlock gives it), or inserts
  // it where it belongs. False when block is empty.
  bool SetTexture(int32_t id, const std::string& block);
  // Inserts blocks of ids the list lacks, given in ascending id order, each
  // where SetTexture would put it when called for them one after another.
  // One pass over the text, however many blocks. Each block goes on lines
  // of its own, with its own words in their order, laid out as the block
  // it follows (or, at the start of the list, the block it precedes): one
  // line, or one word a line with that block's indentation. The line ends
  // are the file's own. A list without blocks gets one word a line,
  // tab-indented, as the host's own lists have it.
  void InsertTextures(const std::vector<std::pair<int32_t, std::string>>& blocks);

  // The normalized form of bytes (see the top of this file).
  static std::string Normalize(std::string_view bytes);

 private:
  // The id attribute that stands for its id: the first one in a whole
  // block, else the first one.
  struct IdRef {
    int32_t id;
    size_t at;     // index of "id("
    size_t open;   // index of the "{" of the innermost block around it, or npos
    size_t close;  // index of the "}" that closes that block, or npos
  };

  void Invalidate() { indexed_ = false; }
  void BuildIndex();
  const IdRef* Find(int32_t id);
  // The ref whose block closes inside the outer block and whose id is the
  // highest below id.
  const IdRef* FindAnchor(int32_t id);
  // True when the ref's block is a whole block inside the outer block.
  bool InsideOuter(const IdRef& r) const;
  size_t AfterFirstOpen() const;
  // The start of the word that holds the "{" at open.
  size_t WordStart(size_t open) const;
  // Puts new bytes in place and normalizes them.
  void SetBytes(std::string bytes);

  std::string path_;
  HostWriter* reader_ = nullptr;
  std::string bytes_;
  std::string text_;
  bool loaded_ = false;

  bool indexed_ = false;
  bool balanced_ = true;
  size_t outerOpen_ = npos, outerClose_ = npos;  // the outer block's braces
  std::vector<std::pair<size_t, size_t>> idless_;  // braces of blocks without an id
  std::vector<IdRef> index_;  // ascending by id
};

}  // namespace zet
