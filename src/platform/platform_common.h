#pragma once
// Pieces both backends share.

#include <vector>

#include "platform/platform.h"

namespace zet::platform::detail {

// Sorts entries as NTFS lists a folder: by name with a to z taken as A to Z,
// names equal that way by their bytes.
void SortLikeNtfs(std::vector<DirEntry>& entries);

}  // namespace zet::platform::detail
