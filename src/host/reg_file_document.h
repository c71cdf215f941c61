#pragma once
// One registry file in the text form Wine keeps a prefix's registry in
// (system.reg, user.reg):
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to REGISTRY\\Machine
//   #arch=win64
//
//   [Software\\Classes\\Software\\Brankor\\KORA] 1796583917
//   #time=1dd85b4bb81243a
//   "ResBase"="C:\\ZET\\RESOURCEN"
//   "Path"=str(2):"%ProgramFiles%\\ZET"
//   "List"=str(7):"one\0two\0"
//   "VERSION"=dword:00040000
//   "Raw"=hex(7):6f,00,6e,00,65,00,00,00,00,00
//
// Binary data (hex: and hex(N):) goes on over lines that end with a
// backslash, the next one indented.
// Key paths and quoted texts use backslash escapes (\\, \", \], \n, \xHHHH
// for a UTF-16 unit, \NNN octal). Key and value names compare without regard
// to letter case (ASCII and Latin-1 letters). The document keeps the file as
// its lines and changes only the lines of the value it sets, so every other
// byte of the file survives a write.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zet {

// A value as the registry holds it: text values as UTF-16LE units with
// their terminator, numbers as four little-endian bytes.
struct RegFileValue {
  uint32_t type = 0;
  std::string bytes;
};

// UTF-16LE bytes (an odd last byte ignored) as UTF-8; an unpaired surrogate
// becomes U+FFFD.
std::string Utf16LeToUtf8(const std::string& bytes);

class RegFileDocument {
 public:
  // Takes the bytes of a file. Lines that cannot be understood are kept as
  // they are and ignored.
  void Parse(std::string text);
  // The bytes of the file, as parsed and changed.
  std::string Text() const;
  // True when text is Text().
  bool Holds(const std::string& text) const;

  // True when the key (components separated by '\') has a block of its own
  // or below it. The empty path is the file's root and always exists.
  bool HasKey(const std::string& key) const;

  // The value name ("" for the default value) of the key. Of several lines
  // for one name the last understood one counts, as when Wine loads the
  // file. False when there is none, or its line cannot be understood.
  bool FindValue(const std::string& key, const std::string& name, RegFileValue& out) const;

  // Sets name to a REG_DWORD: the value's last line for that name is
  // replaced, or a line is added at the end of the key's last block. False
  // when the key has no block of its own.
  bool SetDword(const std::string& key, const std::string& name, uint32_t value);

 private:
  struct ValueLine {
    std::string name;  // folded for comparison
    size_t first = 0;  // first and last line of the value
    size_t last = 0;
  };
  struct Block {
    size_t header = 0;  // the key's line
    size_t end = 0;     // the line after the block
  };

  void Index();
  std::string_view Line(size_t i) const;
  std::vector<ValueLine> ValuesOf(const Block& block) const;
  std::vector<size_t> BlocksOf(const std::string& key) const;
  bool LastValueLine(const std::vector<size_t>& blocks, const std::string& name, ValueLine& out) const;

  std::string text_;
  std::vector<size_t> lineStarts_;  // where each line starts (with its line end), and the text's end
  std::vector<Block> blocks_;
  std::vector<std::pair<std::string, size_t>> keys_;  // folded path and block, sorted
};

}  // namespace zet
