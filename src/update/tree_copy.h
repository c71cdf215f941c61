#pragma once
// The copy of the package's resource tree into the host's: every file of
// g_SourceRoot goes to the same relative place below g_TargetRoot, except
// empty files, every "sounds.txt", the folders "parallels" and "categories"
// (left to the list merges) and, unless overwrite is set, the files that the
// package's archive lists.

#include <cstddef>
#include <string>

#include "update/host_writer.h"

namespace zet {

// Walks folder (below parentPath, or the absolute folder itself when
// parentPath is empty) files first, then each subfolder in listing order.
// Counting only counts the files it would handle, and keeps the folders'
// listings for the working pass while they fit in kListingBudget bytes; the
// working pass steps the progress bar once for each file and copies it; a
// folder that cannot be read is a failure in the run report.
constexpr size_t kListingBudget = size_t{1} << 20;
void CopyResourceTree(const std::string& parentPath, const std::string& folder, bool overwrite, bool counting);

// True for a name from a listing that would not stay one name in a path:
// a file system that allows a backslash in names (POSIX) could otherwise
// lead a copy out of the target tree.
bool NameHoldsSeparator(const std::string& name);

// The name as a failure names it: a separator in it shown as "?", which
// would otherwise read as a folder's end (and matches it in a shell).
std::string NameAsListed(std::string name);

enum class CopyOutcome { Copied, KeptExisting, LeftToArchive, LeftOut, Failed };

// What became of one file of the package; a failure names its path and why.
struct CopyResult {
  CopyOutcome outcome = CopyOutcome::Failed;
  std::string path;
  std::string reason;
};

// Copies one file into the host's tree, keeping its time. Without overwrite
// an existing target stays as it is; an empty file that empty leaves out is
// LeftOut, which the report does not count. Safe on several threads at
// once; the outcome is only returned.
CopyResult CopyFileUnrecorded(const std::string& from, const std::string& to, bool overwrite,
                              EmptySource empty = EmptySource::Copied);
// Puts an outcome in g_RunReport.
void RecordCopy(const CopyResult& result);
// Both: copies and records.
CopyOutcome CopyFileRecorded(const std::string& from, const std::string& to, bool overwrite);

// The threads that copy the tree's files: 0 for one per core (at least
// two), 1 for copies on the walk's own thread.
extern int g_CopyWorkers;

}  // namespace zet
