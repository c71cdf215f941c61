#include "update/index_merge.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/ascii_text.h"
#include "platform/platform.h"
#include "update/catalogue.h"
#include "update/run_state.h"

namespace zet {

namespace {

constexpr char kTreeSection[] = "TreeOrder";
constexpr char kOpen[] = "CDIn";
constexpr char kClose[] = "CDOut";
constexpr char kIndexFile[] = "Index.ini";

std::string TreeKey(int n) {
  char key[16];
  std::snprintf(key, sizeof key, "File%.2d", n);
  return key;
}

// The first entry of each key File00 to File99 in the section, found in one
// pass over it: what FirstEntry gives for each key.
std::vector<const ProfileNode*> TreeKeyEntries(const ProfileNode* section) {
  std::vector<const ProfileNode*> entries(kTreeTableSize, nullptr);
  if (section == nullptr) return entries;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (int32_t c = 0; c < section->children.count(); ++c) {
    const ProfileNode* child = section->children[c];
    const std::string_view name = NodeName(child);
    if (name.size() != 6 || name.compare(0, 4, "File") != 0 || !digit(name[4]) || !digit(name[5])) continue;
    const ProfileNode*& first = entries[(name[4] - '0') * 10 + (name[5] - '0')];
    if (first == nullptr) first = child;
  }
  return entries;
}

// A level mark in other letter case ("cdin"), which the tree reads as a name.
bool LevelMarkInOtherCase(std::string_view value) {
  return (EqualsIgnoringCase(value, kOpen) && value != kOpen) || (EqualsIgnoringCase(value, kClose) && value != kClose);
}

// True when a comment node holds nothing but blanks (a blank line).
bool BlankComment(const ProfileNode* node) {
  if (node->comment.data() == nullptr) return true;
  const std::string_view text(node->comment.data());
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// True when writing the tree back keeps all the host's index file says:
// comment lines ahead of the list, and one tree section of the keys
// File00, File01, ... in a row, each a text without a comment. Any other
// section, key or comment, a key twice or beyond a gap would be lost.
bool KeptWholeByTheMerge(const ProfileDocument& host) {
  bool tree = false;
  for (int i = 0; i < host.GetSectionCount(); ++i) {
    const ProfileNode* node = host.GetNode(i);
    if (node->type == ProfileValueType::Comment) continue;
    if (node->type != ProfileValueType::Section || NodeName(node) != kTreeSection || tree) return false;
    tree = true;
    int next = 0;
    for (int32_t c = 0; c < node->children.count(); ++c) {
      const ProfileNode* entry = node->children[c];
      if (entry->type == ProfileValueType::Comment) {
        if (!BlankComment(entry)) return false;
        continue;
      }
      if (NodeName(entry) != TreeKey(next++) || entry->type != ProfileValueType::String || ValueText(entry).empty() ||
          entry->comment.data() != nullptr)
        return false;
      if (LevelMarkInOtherCase(ValueText(entry))) return false;
    }
  }
  return true;
}

// True when no level mark of a tree stands in other letter case: read as
// a name, it would go into the host's file as one, which no later merge
// could write back (see KeptWholeByTheMerge).
bool LevelMarksAsWritten(ProfileDocument& document) {
  for (const ProfileNode* key : TreeKeyEntries(document.GetNode(document.FindSection(kTreeSection))))
    if (LevelMarkInOtherCase(ValueText(key))) return false;
  return true;
}

}  // namespace

std::string TreeEntry::FullPath() const {
  std::string full;
  for (size_t i = 0; i < path.size(); ++i) {
    if (i > 0) full += '|';
    full += path[i];
  }
  return full;
}

int ReadTreeOrder(ProfileDocument& document, TreeTable& table) {
  table.clear();
  std::vector<std::string> parent;
  std::string pending;  // the node read last, until a CDIn or CDOut
  bool hasPending = false;
  int32_t depth = 0;
  int anonymous = 0;  // open levels that follow no node
  // Each key is its first entry in the section, whatever an earlier lookup
  // left behind: a file that repeats a key reads the same every time.
  const std::vector<const ProfileNode*> keys =
      TreeKeyEntries(document.GetNode(document.FindSection(kTreeSection)));
  for (int n = 0; n < kTreeTableSize; ++n) {
    const std::string_view value = ValueText(keys[n]);
    if (value.empty()) break;
    if (value == kOpen) {
      if (!hasPending) {
        ++anonymous;
      } else {
        parent.push_back(std::move(pending));
        ++depth;
      }
    } else if (value == kClose) {
      // A close with no level open closes nothing: the entries after it
      // stay at the top, where writing the tree back puts them.
      if (anonymous > 0) {
        --anonymous;
      } else if (!parent.empty()) {
        parent.pop_back();
        --depth;
      }
    } else {
      pending = value;
      TreeEntry entry;
      entry.path = parent;
      entry.path.push_back(pending);
      entry.depth = depth;
      table.push_back(std::move(entry));
      hasPending = true;
      continue;
    }
    pending.clear();
    hasPending = false;
  }
  return static_cast<int>(table.size());
}

bool TreeOrderIsText(ProfileDocument& document) {
  const std::vector<const ProfileNode*> keys =
      TreeKeyEntries(document.GetNode(document.FindSection(kTreeSection)));
  for (int n = 0; n < kTreeTableSize; ++n) {
    const ProfileNode* entry = keys[n];
    if (entry == nullptr) return true;
    if (entry->type == ProfileValueType::String) {
      if (ValueText(entry).empty()) return true;
      continue;
    }
    // An entry of no recognised value keeps its text for writing back.
    const bool holdsText = entry->value.data() != nullptr && entry->value.data()[0] != 0;
    if (HoldsValue(entry) || holdsText) return false;
    return true;
  }
  return true;
}

int MergeTreeOrder(ProfileDocument& package, ProfileDocument& host) {
  TreeTable offered, tree;
  ReadTreeOrder(package, offered);
  ReadTreeOrder(host, tree);
  const size_t own = tree.size();
  std::set<std::vector<std::string>> paths;
  bool twice = false;  // a name twice below one parent
  for (const TreeEntry& entry : tree) twice = !paths.insert(entry.path).second || twice;
  for (TreeEntry& entry : offered) {
    if (paths.count(entry.path) != 0) continue;
    // A full table: the host reads no more keys, so an entry it lacks
    // cannot be given to it.
    if (tree.size() >= static_cast<size_t>(kTreeTableSize)) return -1;
    paths.insert(entry.path);
    tree.push_back(std::move(entry));
  }
  if (tree.size() == own) return 0;
  if (twice) return -2;
  // Name by name, bytes unsigned: a node's children follow it before any
  // sibling whose name merely begins with the node's name.
  std::stable_sort(tree.begin(), tree.end(), [](const TreeEntry& a, const TreeEntry& b) { return a.path < b.path; });

  std::vector<std::string> keys;
  for (size_t i = 0; i < tree.size(); ++i) {
    keys.push_back(tree[i].path.back());
    const int64_t depth = tree[i].depth;
    const int64_t next = i + 1 < tree.size() ? tree[i + 1].depth : 0;
    if (next > depth) keys.push_back(kOpen);
    for (int64_t level = next; level < depth && keys.size() < static_cast<size_t>(kTreeKeyLimit); ++level)
      keys.push_back(kClose);
    if (keys.size() >= static_cast<size_t>(kTreeKeyLimit)) return -1;
  }
  // The file's own form stays: its byte-order mark and its comment lines
  // outside sections (a header, say), ahead of the list.
  std::vector<std::string> comments;
  for (int i = 0; i < host.GetSectionCount(); ++i) {
    const ProfileNode* node = host.GetNode(i);
    if (node->type == ProfileValueType::Comment && node->comment.data() != nullptr)
      comments.emplace_back(node->comment.data());
  }
  const bool mark = host.HasUtf8Mark();
  host.Clear();
  host.SetUtf8Mark(mark);
  for (const std::string& comment : comments) host.AddCommentLine(comment.c_str(), -1);
  for (size_t k = 0; k < keys.size(); ++k) host.SetString(kTreeSection, TreeKey(static_cast<int>(k)).c_str(), keys[k].c_str());
  return static_cast<int>(tree.size() - own);
}

void MergeIndexFile(const std::string& folder, bool counting) {
  CountUnit(counting);
  if (counting) return;
  const std::string packagePath = folder + "\\" + kIndexFile;
  if (platform::GetPathKind(packagePath) == platform::PathKind::None) return;
  ListOtherSpellings(packagePath);
  const std::string hostPath = HostPathOf(packagePath);
  WithinMemory(hostPath, [&] {
    ProfileDocument package, host;
    CatalogueLoad load = LoadPackageCatalogueFile(package, packagePath);
    if (load == CatalogueLoad::Loaded && !LevelMarksAsWritten(package)) load = CatalogueLoad::LosesLines;
    if (load != CatalogueLoad::Loaded || !TreeOrderIsText(package))
      return CatalogueLoadFailure(packagePath, load, "index file", false);
    if (HostKindOf(hostPath) == platform::PathKind::None) {
      CopyCatalogueFile(packagePath, hostPath, false);
      return;
    }
    CatalogueLoad lossy = CatalogueLoad::Loaded;
    load = LoadCatalogueFile(host, hostPath, &lossy);
    if (load != CatalogueLoad::Loaded || !TreeOrderIsText(host))
      return CatalogueLoadFailure(hostPath, load, "index file", true);
    if (lossy == CatalogueLoad::Loaded && !KeptWholeByTheMerge(host)) lossy = CatalogueLoad::LosesLines;
    const int added = MergeTreeOrder(package, host);
    if (added == -1) return CatalogueFailure(hostPath, "the merged tree needs more than 99 keys; left as it is");
    if (added == -2) lossy = CatalogueLoad::LosesLines;
    if (added != 0 && lossy != CatalogueLoad::Loaded) return CatalogueLoadFailure(hostPath, lossy, "index file", true);
    // Nothing new: the host's file keeps its bytes.
    if (added > 0) SaveCatalogueFile(host, hostPath, CountText(added, "entry added", "entries added"));
  });
}

}  // namespace zet
