#pragma once
// The console program's language table: the file given with --lang, else
// zetveltran.lng in the current folder, else beside the program, else the
// built-in English texts.

#include <string>

namespace zet::cli {

// False, with the reason in error, only when a file named with --lang
// cannot be loaded.
bool LoadCliLanguage(const std::string& namedFile, std::string& error);

// The text of a key of a section; the built-in English text when the
// language file has none.
std::string Text(const char* section, const char* key);
// Of the dialog's section "DLG_VELTRAN".
std::string Text(const char* key);
// Of section "DLG_STANDARD_MESSAGE": the start-up checks' messages.
std::string MessageText(const char* key);

}  // namespace zet::cli
