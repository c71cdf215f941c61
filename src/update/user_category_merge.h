#pragma once
// The merge of the package's user categories (Categories\User.ini) into the
// host's. Each section is one user category named "User_<number>_<name>":
// the package's categories are appended under numbers that count on from
// the host's last section, with their text entries.

#include "profile/profile_document.h"

namespace zet {

// Appends the package's user categories to the host's file; a host without
// the file gets a copy of the package's, and its file is written only when
// a category was appended. Runs in the working pass only and counts
// nothing. A package without Categories\User.ini has nothing to merge; a
// merge that fails is recorded in the run report.
void MergeUserCategories();

// The merge over loaded documents. A package category whose name and text
// entries equal those of a host category is not appended again. Returns
// the number of categories appended.
int MergeUserCategoryDocuments(const ProfileDocument& package, ProfileDocument& host);

}  // namespace zet
