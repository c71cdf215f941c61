#pragma once
// The merge of a category folder's index file (Index.ini, section
// "TreeOrder").

#include <cstdint>
#include <string>
#include <vector>

#include "profile/profile_document.h"

namespace zet {

// One node of an index tree: the names of its ancestors and its own,
// joined by "|", and its depth (0 at the top).
struct TreeEntry {
  std::string fullPath;
  int32_t depth = 0;
};

// Merges the package's index file of the category folder into the host's.
// 0 when done, -1 when the package folder has no Index.ini.
int MergeIndexFile(const std::string& folder, bool counting);

// Reads the tree of section "TreeOrder" into table (emptied first): the
// number of entries stored, 0 to 100.
int ReadTreeOrder(ProfileDocument& document, std::vector<TreeEntry>& table);

}  // namespace zet
