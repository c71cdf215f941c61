#pragma once
// The merge of a category folder's index file (Index.ini, section
// "TreeOrder").

#include <string>

namespace zet {

// Merges the package's index file of the category folder into the host's.
// 0 when done, -1 when the package folder has no Index.ini.
int MergeIndexFile(const std::string& folder, bool counting);

}  // namespace zet
