#pragma once
// The merge of the package's user categories (Categories\User.ini) into the
// host's.

namespace zet {

// Appends the package's user categories to the host's file. 0, or -1 when
// the package has no Categories\User.ini.
int MergeUserCategories();

}  // namespace zet
