#pragma once
// The merge of the category files (".inf") and index files of the ten
// category folders below Categories.

#include <string>

namespace zet {

// For each category folder: ScanInfFiles, then MergeIndexFile. Returns 0.
int MergeCategories(bool counting);

// Counts (and in the working pass merges) every ".inf" file of the folder.
// 0, or -1 when the folder cannot be listed or holds no ".inf" file.
int ScanInfFiles(const std::string& folder, bool counting);

// Merges the package's category file into the host's. 0, or -1 when the
// source file does not exist.
int MergeInfFile(const std::string& source, const std::string& target);

}  // namespace zet
