#pragma once
// Pieces both backends share.

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace zet::platform::detail {

// Sorts entries as NTFS lists a folder: by name with a to z taken as A to Z,
// names equal that way by their bytes.
void SortLikeNtfs(std::vector<DirEntry>& entries);

// The UTF-8 character that begins at text[at]: its length in bytes, with
// its code point in point; 0 when the bytes there are no UTF-8 (a stray or
// cut sequence, an overlong form, a surrogate).
size_t Utf8CharAt(std::string_view text, size_t at, char32_t& point);

// True when every byte of text is ASCII.
bool IsAscii(std::string_view text);

// Appends the code point (of the basic plane) in UTF-8.
void AppendUtf8(std::string& out, char32_t point);

}  // namespace zet::platform::detail
