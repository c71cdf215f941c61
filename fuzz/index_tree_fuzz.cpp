// Index trees, category files and user categories from any bytes: the input
// is a package file and a host file separated by the first zero byte, both
// loaded as profiles. The tree reader must stay within its table, and for
// well-formed trees a merge must write a list that reads back as the merged
// tree, children after their parent, to which a second merge adds nothing. The category and user category merges run over the same documents.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fileio/file_slots.h"
#include "fuzz_file.h"
#include "update/category_merge.h"
#include "update/index_merge.h"
#include "update/user_category_merge.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "index_tree_fuzz: %s\n%s", what, detail.c_str());
  std::abort();
}

std::string Show(const char* title, const zet::TreeTable& table) {
  std::string s = std::string(title) + ":\n";
  for (const zet::TreeEntry& e : table) s += "  " + e.FullPath() + " @" + std::to_string(e.depth) + "\n";
  return s;
}

const std::string& SecondPath() {
  static const zet::fuzz::ScratchFile file;
  return file.path();
}

void LoadBoth(const uint8_t* data, size_t size, zet::ProfileDocument& package, zet::ProfileDocument& host) {
  const auto* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t first = split == nullptr ? size : static_cast<size_t>(split - data);
  package.Load(zet::fuzz::WriteScratch(data, first));
  const size_t rest = split == nullptr ? 0 : size - first - 1;
  const std::string& path = SecondPath();
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) Fail("cannot write the scratch file");
    if (rest > 0) std::fwrite(data + first + 1, 1, rest, f);
    std::fclose(f);
  }
  host.Load(path);
}

// Each entry's path is its parent's path and one name, its depth the
// number of its ancestors; every parent stands before its children.
bool WellFormed(const zet::TreeTable& table) {
  for (const zet::TreeEntry& e : table)
    if (e.path.empty() || e.depth != static_cast<int32_t>(e.path.size()) - 1) return false;
  return true;
}

void CheckTable(const zet::TreeTable& table, int count) {
  if (count != static_cast<int>(table.size()) || count > zet::kTreeTableSize) Fail("table size");
  for (const zet::TreeEntry& e : table)
    if (e.path.empty() || e.path.back().empty()) Fail("an entry without a name");
}

void CheckTree(zet::ProfileDocument& package, zet::ProfileDocument& host) {
  zet::TreeTable offered, before;
  CheckTable(offered, zet::ReadTreeOrder(package, offered));
  CheckTable(before, zet::ReadTreeOrder(host, before));
  const int added = zet::MergeTreeOrder(package, host);
  if (added <= 0) return;

  zet::TreeTable after;
  CheckTable(after, zet::ReadTreeOrder(host, after));
  if (!WellFormed(offered) || !WellFormed(before)) return;
  for (size_t i = 1; i < after.size(); ++i)
    if (after[i].path < after[i - 1].path) Fail("the written tree is out of order");
  for (const zet::TreeTable* t : {&offered, &before})
    for (const zet::TreeEntry& e : *t) {
      bool found = false;
      for (const zet::TreeEntry& a : after) found = found || (a.path == e.path && a.depth == e.depth);
      if (!found && after.size() < static_cast<size_t>(zet::kTreeTableSize))
        Fail("an entry went missing", Show("package", offered) + Show("host", before) + Show("merged", after));
    }
  if (zet::MergeTreeOrder(package, host) != 0) Fail("a second merge adds again");
  zet::TreeTable again;
  zet::ReadTreeOrder(host, again);
  if (again.size() != after.size()) Fail("a second merge changed the tree");
  for (size_t i = 0; i < again.size(); ++i)
    if (again[i].path != after[i].path || again[i].depth != after[i].depth) Fail("a second merge changed the tree");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    zet::ProfileDocument package, host;
    LoadBoth(data, size, package, host);
    CheckTree(package, host);
  }
  {
    zet::ProfileDocument package, host;
    LoadBoth(data, size, package, host);
    const int sections = host.GetSectionCount();
    const zet::CategoryMergeResult r = zet::MergeCategoryDocuments(package, host);
    if (host.GetSectionCount() != sections + r.sectionsAdded) Fail("sections added and counted differ");
    const int afterCategories = host.GetSectionCount();
    zet::MergeUserCategoryDocuments(package, host);
    if (host.GetSectionCount() < afterCategories) Fail("the user category merge lost a section");
  }
  zet::ResetFileSlots();
  return 0;
}
