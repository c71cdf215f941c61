#pragma once
// What the catalogue merges (index trees, category files, user categories)
// share: reading a host's file without ever taking an unreadable one for an
// empty one, placing a package's file where the host has none, writing a
// merged file back, and reading the entries of a loaded document.

#include <cstdint>
#include <string>
#include <string_view>

#include "profile/profile_document.h"

namespace zet {

enum class CatalogueLoad {
  // The file's content is in the document. A file of no bytes, or of
  // nothing but blanks and line ends, leaves the document empty.
  Loaded,
  // The file is there but cannot be read (a folder, no access, a failed
  // read), or it holds text from which not one section can be read (a file
  // in another encoding, a damaged file). A merge leaves such a file alone.
  Unreadable,
};

// Loads the file into an empty document.
CatalogueLoad LoadCatalogueFile(ProfileDocument& document, const std::string& path);

// The host's path of a path below the package's root (g_SourceRoot): the
// same relative place below g_TargetRoot.
std::string HostPathOf(const std::string& packagePath);

// Copies a package's file to the host's path, creating the host's folders
// that are missing (an existing folder in another letter case is used as
// it is). Records the outcome in the run report; true when copied.
bool CopyCatalogueFile(const std::string& from, const std::string& to, bool overwrite);

// Writes a merged document to its file. Recorded as a merged list, or as a
// failure; a failed write leaves the file's old content. True when written.
bool SaveCatalogueFile(ProfileDocument& document, const std::string& path);

// Records a failure of the working pass; -1, for returning.
int CatalogueFailure(const std::string& path, const std::string& reason);

// ----------------------------------------------------------- loaded nodes

// True when the node is an entry holding value data (a text or a list).
bool HoldsValue(const ProfileNode* node);

// The node's name, "" when it has none.
std::string_view NodeName(const ProfileNode* node);

// The first entry of that name in a section, as a lookup from a fresh
// cursor finds it; null when there is none.
const ProfileNode* FirstEntry(const ProfileNode* section, std::string_view key);

// The value of an entry read as a text up to its first zero byte, as the
// document's lookups read any value; "" when there is no value.
std::string_view ValueText(const ProfileNode* entry);

// The number a text starts with, read as atoi reads it (leading blanks, a
// sign, decimal digits; 0 when there are none), held to +-10^15 so that
// counting on from it cannot overflow.
int64_t LeadingNumber(std::string_view text);

// The number with at least width digits, zeros in front (as "%.3d" writes
// it: -4 is "-004").
std::string ZeroPadded(int64_t number, int width);

}  // namespace zet
