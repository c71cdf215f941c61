#pragma once
// Pieces of the profile text form shared by the reader and the writer.

#include <string>
#include <string_view>

#include "profile/profile_document.h"

namespace zet::profile_text {

// The line without blanks and tabs at either end.
template <typename Char>
std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> line) {
  size_t begin = 0;
  size_t end = line.size();
  while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) ++begin;
  while (end > begin && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
  return line.substr(begin, end - begin);
}

// The written line of a node in the canonical layout, without its line end:
// a section header, a top-level comment line, or a section's child (entry or
// comment line). Replaces the content of line.
template <typename Char>
void BuildLine(const ProfileNode& node, std::basic_string<Char>& line);

}  // namespace zet::profile_text
