#pragma once
// The difference of two versions of a text file, by lines, in the unified
// format: a "---"/"+++" head naming the file, then hunks "@@ -a,n +b,m @@"
// with up to three lines of context. Line ends (LF or CR LF) are not shown.

#include <string>

namespace zet {

// Empty when the texts hold the same lines.
std::string UnifiedDiff(const std::string& before, const std::string& after, const std::string& name);

}  // namespace zet
