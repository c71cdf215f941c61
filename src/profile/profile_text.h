#pragma once
// Pieces of the profile text form shared by the reader and the writer.

#include <string>
#include <string_view>

#include "platform/ascii_text.h"
#include "profile/profile_document.h"

namespace zet::profile_text {

// The line without blanks and tabs at either end.
template <typename Char>
std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> line) {
  size_t begin = 0;
  size_t end = line.size();
  while (begin < end && IsSpaceOrTab(line[begin])) ++begin;
  while (end > begin && IsSpaceOrTab(line[end - 1])) --end;
  return line.substr(begin, end - begin);
}

// The written line of a node in the canonical layout, without its line end:
// a section header, a top-level comment line, or a section's child (entry or
// comment line). Replaces the content of line.
template <typename Char>
void BuildLine(const ProfileNode& node, std::basic_string<Char>& line);

}  // namespace zet::profile_text
