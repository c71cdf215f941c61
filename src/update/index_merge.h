#pragma once
// The merge of a category folder's index file (Index.ini). Its section
// "TreeOrder" lists the folder's sub-categories as a tree in display order,
// under the keys File00, File01, ...: "CDIn" opens the children of the node
// named just before it, "CDOut" closes them, any other value names a node.
// "CDIn" that follows no node opens an anonymous level whose "CDOut"
// changes nothing.

#include <cstdint>
#include <string>
#include <vector>

#include "profile/profile_document.h"

namespace zet {

// Keys read from a tree (File00 to File99); a tree holds at most this many
// entries.
constexpr int kTreeTableSize = 100;
// A list that needs this many keys or more is not written: the host reads
// no further than File99.
constexpr int kTreeKeyLimit = 100;

struct TreeEntry {
  // The names of the node's named ancestors and of the node itself. Names
  // are kept whole, a "|" in one included.
  std::vector<std::string> path;
  // 0 at the top, one more per named level; follows the file's CDIn and
  // CDOut without clamping, so unbalanced input can make it negative.
  int32_t depth = 0;

  // The names joined with "|".
  std::string FullPath() const;
};

using TreeTable = std::vector<TreeEntry>;

// Reads the tree of the document's (first) "TreeOrder" section into table
// (which is emptied first): keys from File00 on, up to the first one missing
// or empty, at most File99; a key given twice is read from its first entry.
// Returns the number of entries stored.
int ReadTreeOrder(ProfileDocument& document, TreeTable& table);

// True when every value the tree reader reads from the document is a text
// (an entry of another type there would be read as its raw bytes, and a
// rewrite would lose it).
bool TreeOrderIsText(ProfileDocument& document);

// Adds every entry of the package's tree that the host's lacks (up to 100
// entries), orders the result name by name, each node followed by its
// children, and replaces the host document's whole content with it. Returns
// the number of entries added; with none the host document stays as it is,
// and so it does when the list would need kTreeKeyLimit keys or more: the
// result is then -1; or -2 where the host's tree names one path twice (a
// name twice below one parent), which written back would be regrouped.
int MergeTreeOrder(ProfileDocument& package, ProfileDocument& host);

// Merges the package's index file of the category folder (a folder below
// g_SourceRoot) into the host's. Counts one unit in both passes; only the
// working pass reads or writes; the host's file is written only when the
// package adds to its tree, and a host without an index file gets a copy of
// the package's. A package folder without Index.ini has nothing to merge; a
// merge that fails is recorded in the run report.
void MergeIndexFile(const std::string& folder, bool counting);

}  // namespace zet
