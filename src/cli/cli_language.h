#pragma once
// The console program's language table: the file given with --lang, else
// zetveltran.lng in the current folder, else beside the program, else in
// ../share/zetveltran beside the program's folder (where an install puts
// it), else the built-in English texts.

#include <initializer_list>
#include <string>

namespace zet::cli {

// False, with the reason in error, only when a file named with --lang
// cannot be loaded.
bool LoadCliLanguage(const std::string& namedFile, std::string& error);

// The text of a key of a section; the built-in English text when the
// language file has none. On POSIX systems in UTF-8, for the terminal.
std::string Text(const char* section, const char* key);
// Of the dialog's section "DLG_VELTRAN".
std::string Text(const char* key);
// Of section "DLG_STANDARD_MESSAGE": the start-up checks' messages.
std::string MessageText(const char* key);
// Of section "CLI": the console program's own summary and messages, with
// %1, %2, ... replaced by the values given.
std::string ConsoleText(const char* key, std::initializer_list<std::string> values = {});

// Columns a text takes in the terminal: its characters, not its bytes.
size_t DisplayWidth(const std::string& text);
// The text cut to at most columns columns, counted as DisplayWidth counts.
std::string FitWidth(const std::string& text, size_t columns);

}  // namespace zet::cli
