#pragma once
// The language table and the built-in string table.
//
// Every text the user sees comes from the language file "zetveltran.lng"
// (a profile, read as 8-bit text), addressed by a section named after the
// dialog and a key named after the control or message. The program installs
// the table once at start-up; the user-interface thread and the update
// worker both read it, one lookup at a time.
//
// The built-in string table holds the texts compiled into the program by
// string id (on Windows: its string-table resources). At start-up
// ApplyLangStringTable replaces each text that names a key of section
// "DLG_STANDARD_MESSAGE" by that key's translation.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "profile/profile_document.h"

namespace zet {

// The language file's name, looked for in the current folder.
inline constexpr char kLangFileName[] = "zetveltran.lng";

// Longest text a lookup returns, in bytes; longer texts are cut.
inline constexpr size_t kLangTextMax = 511;

// String id of the About entry of the main dialog's system menu.
inline constexpr uint16_t kAboutBoxStringId = 101;

// --------------------------------------------------------- language table

// Installs the language table; null removes it. The table is kept here
// until it is replaced or removed.
void SetLangTable(std::unique_ptr<ProfileDocument> table);

// Loads a new table from the file and installs it: Load's result, 0 or -1.
// A table that cannot be loaded is not installed.
int LoadLangTable(const char* path = kLangFileName);

// The text of the key in the section: "" when the table, the section, the
// key or a text value is missing (an unquoted value is no text). The result
// lives in a buffer of the calling thread that its next lookup overwrites;
// copy it before looking up a second text.
const char* GetLangText(const char* section, const char* key);

// The same text as a copy of its own.
std::string GetLangString(const char* section, const char* key);

// The sections every program reads: the main dialog's texts (which the
// console program shares), and the messages of the start-up checks, whose
// keys the built-in string table names.
constexpr char kMainDialogSection[] = "DLG_VELTRAN";
constexpr char kMessageSection[] = "DLG_STANDARD_MESSAGE";

// ---------------------------------------------------- built-in string table

using StringTable = std::map<uint16_t, std::u16string>;

// Replaces the whole built-in table (strings of length 0 are left out).
void SetBuiltinStrings(StringTable strings);

// Back to the program's own table: string 101, "IDS_ABOUTBOX" followed by
// 263 blanks (room for a translation of up to 275 characters).
void ResetBuiltinStrings();

// The string of that id; "" when there is none.
std::u16string GetBuiltinString(uint16_t id);

// Replaces each built-in string whose text (converted to 8-bit and trimmed)
// is a key with a non-empty text in section "DLG_STANDARD_MESSAGE" by that
// text, cut to the built-in string's length. Without a translation a string
// keeps its text.
void ApplyLangStringTable();

}  // namespace zet
