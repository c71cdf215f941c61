#pragma once
// The copy of the package's resource tree into the host's: every file of
// g_SourceRoot goes to the same relative place below g_TargetRoot, except
// empty files, every "sounds.txt", the folders "parallels" and "categories"
// (left to the list merges) and, unless overwrite is set, the files that the
// package's archive lists.

#include <string>

namespace zet {

// Walks folder (below parentPath, or the absolute folder itself when
// parentPath is empty) files first, then each subfolder in listing order.
// Counting only counts the files it would handle; the working pass steps the
// progress bar once for each of them and copies. 0 when the folder was
// walked; -1 when it could not be listed or holds nothing.
int CopyResourceTree(const std::string& parentPath, const std::string& folder, bool overwrite, bool counting);

// True for a name from a listing that would not stay one name in a path:
// a file system that allows a backslash in names (POSIX) could otherwise
// lead a copy out of the target tree.
bool NameHoldsSeparator(const std::string& name);

enum class CopyOutcome { Copied, KeptExisting, Failed };

// Copies one file into the host's tree, keeping its time. Without overwrite
// an existing target stays as it is. Records the outcome in g_RunReport.
CopyOutcome CopyFileRecorded(const std::string& from, const std::string& to, bool overwrite);

}  // namespace zet
