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
#include <unordered_map>
#include <unordered_set>
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
    size_t header = 0;
    size_t lastContent = 0;  // last line of the block that is not blank
    std::vector<ValueLine> values;
  };

  void Index();
  const std::vector<size_t>* BlocksOf(const std::string& key) const;
  const ValueLine* LastValueLine(const std::vector<size_t>& blocks, const std::string& name) const;

  std::vector<std::string> lines_;  // each with its own line end, if any
  std::vector<Block> blocks_;
  std::unordered_map<std::string, std::vector<size_t>> blocksByKey_;  // folded path -> blocks
  std::unordered_set<std::string> keys_;  // folded paths of every key and its ancestors
};

}  // namespace zet
