#pragma once
// The merge of the category files (".inf") and index files of the ten
// category folders below Categories.
//
// A category file's sections after its first node are category entries,
// each named for what identifies it: a "FilterSection" text (such entries
// also take the package's scan folders), else a "FilterString" text, else a
// "FilterValue" number above 0. Entries the host lacks are added under new
// section names that count on from the host's last one; an entry without
// any of the three is never merged.

#include <string>
#include <vector>

#include "profile/profile_document.h"

namespace zet {

// The category folders, below the source and target roots, in the order
// they are merged.
extern const char* const kCategoryFolders[10];

// Scan folder keys ScanPath1 to ScanPath9.
constexpr int kScanPathCount = 9;

struct CategoryMergeResult {
  int sectionsAdded = 0;
  int scanPathsAdded = 0;
  // Scan folders of the package that found no free key in the host's entry:
  // "[section] folder".
  std::vector<std::string> scanPathsDropped;
};

// For each category folder: ScanInfFiles, then MergeIndexFile. What fails
// goes to the run's report.
void MergeCategories(bool counting);

// Counts every non-empty ".inf" file of the folder (a folder below
// g_SourceRoot), and in the working pass steps the progress bar for each and
// merges it into the host's file of the same name. A folder the package
// lacks (or that cannot be listed) has nothing to merge.
void ScanInfFiles(const std::string& folder, bool counting);

// Merges the package's category file into the host's. A host without the
// file gets a copy; a host file with fewer than two top-level nodes is
// replaced by the package's; a host file that cannot be read is left alone
// and reported. The host's file is written only when the merge added to it.
// A missing source has nothing to merge.
void MergeInfFile(const std::string& source, const std::string& target);

// The merge over loaded documents: the package's category entries (its
// first node left out) into the host document.
CategoryMergeResult MergeCategoryDocuments(const ProfileDocument& package, ProfileDocument& host);

}  // namespace zet
