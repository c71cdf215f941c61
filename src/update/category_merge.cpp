#include "update/category_merge.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "fileio/file_slots.h"
#include "platform/ascii_text.h"
#include "platform/platform.h"
#include "update/catalogue.h"
#include "update/index_merge.h"
#include "update/refusals.h"
#include "update/run_state.h"
#include "update/update_run.h"
#include "update/tree_copy.h"

namespace zet {

const char* const kCategoryFolders[10] = {
    "\\Categories\\Filters",
    "\\Categories\\Goods",
    "\\Categories\\Landscape_elements",
    "\\Categories\\Rolling_stock",
    "\\Categories\\Signals",
    "\\Categories\\Static_structures",
    "\\Categories\\Track_objects_street",
    "\\Categories\\Track_objects_track",
    "\\Categories\\Track_objects_tram",
    "\\Categories\\Track_objects_waterway",
};

namespace {

constexpr std::string_view kFilterSection = "FilterSection";
constexpr std::string_view kFilterString = "FilterString";
constexpr std::string_view kFilterValue = "FilterValue";

std::string ScanPathKey(int n) { return "ScanPath" + std::to_string(n); }

// The first four value bytes of an entry as an int32, bytes beyond the
// value reading as zero: how a number list, and anything else, reads as
// one number.
int32_t FirstNumber(const ProfileNode* entry) {
  if (!HoldsValue(entry)) return 0;
  const size_t bytes = static_cast<size_t>(std::max(entry->count, 0)) *
                       static_cast<size_t>(ProfileElementSize(entry->type, 1));
  int32_t number = 0;
  std::memcpy(&number, entry->value.data(), std::min({sizeof number, bytes, static_cast<size_t>(entry->value.size())}));
  return number;
}

// What identifies a category entry: the first entry of each filter key.
struct Filters {
  std::string_view section;
  std::string_view string;
  int32_t value = 0;
};

Filters ReadFilters(const ProfileNode* section) {
  Filters f;
  bool seenSection = false, seenString = false, seenValue = false;
  for (int32_t c = 0; c < section->children.count(); ++c) {
    const ProfileNode* entry = section->children[c];
    const std::string_view name = NodeName(entry);
    if (!seenSection && name == kFilterSection) {
      seenSection = true;
      f.section = ValueText(entry);
    } else if (!seenString && name == kFilterString) {
      seenString = true;
      f.string = ValueText(entry);
    } else if (!seenValue && name == kFilterValue) {
      seenValue = true;
      f.value = FirstNumber(entry);
    }
  }
  return f;
}

// The host's filter keys by value, so that finding a package entry in the
// host costs one lookup however many sections the host has. A section's
// keys never change once noted: entries are only added to new sections.
class HostFilters {
 public:
  explicit HostFilters(const ProfileDocument& host) {
    for (int i = 0; i < host.GetSectionCount(); ++i) Note(host, i);
  }

  void Note(const ProfileDocument& host, int index) {
    const ProfileNode* section = host.GetNode(index);
    if (section == nullptr || section->type != ProfileValueType::Section) return;
    const Filters f = ReadFilters(section);
    // The first section holding a text is the one found, as a search from
    // the first section finds it.
    if (!f.section.empty() && !sections_.emplace(std::string(f.section), index).second)
      later_[std::string(f.section)].push_back(index);
    if (!f.string.empty()) strings_.emplace(f.string);
    if (f.value > 0) values_.insert(f.value);
  }

  int SectionOf(std::string_view text) const {
    auto it = sections_.find(std::string(text));
    return it == sections_.end() ? -1 : it->second;
  }
  // The host's other sections with the same text, after the first.
  const std::vector<int>& LaterSectionsOf(std::string_view text) const {
    static const std::vector<int> kNone;
    auto it = later_.find(std::string(text));
    return it == later_.end() ? kNone : it->second;
  }
  bool HasString(std::string_view text) const { return strings_.count(std::string(text)) != 0; }
  bool HasValue(int32_t value) const { return values_.count(value) != 0; }

 private:
  std::unordered_map<std::string, int> sections_;
  std::unordered_map<std::string, std::vector<int>> later_;
  std::unordered_set<std::string> strings_;
  std::unordered_set<int32_t> values_;
};

class CategoryMerger {
 public:
  CategoryMerger(ProfileDocument& host, CategoryMergeResult& result)
      : host_(host), filters_(host), names_(host), headerAlone_(SectionsIn(host) == 1), result_(result) {}

  void Merge(const ProfileNode* section) {
    const Filters f = ReadFilters(section);
    if (!f.section.empty()) {
      const int found = filters_.SectionOf(f.section);
      if (found >= 0)
        MergeScanPaths(section, found, filters_.LaterSectionsOf(f.section));
      else
        Add(section, true);
    } else if (!f.string.empty()) {
      if (!filters_.HasString(f.string)) Add(section, false);
    } else if (f.value > 0) {
      if (!filters_.HasValue(f.value)) Add(section, false);
    }
  }

 private:
  // A folder's code-page text in upper case, every letter as the file
  // system folds it.
  static std::string Folded(std::string_view folder) {
    return platform::FoldedName(platform::NameFromCodePage(folder));
  }

  // The folded texts of a host section's scan folder keys; "" for a free key.
  void ReadScanPaths(int index, std::string (&have)[kScanPathCount]) const {
    const ProfileNode* section = host_.GetNode(index);
    for (int j = 0; j < kScanPathCount; ++j) {
      const ProfileNode* entry = FirstEntry(section, ScanPathKey(j + 1));
      // An entry without a recognised value keeps its text: the key is taken.
      if (entry != nullptr && entry->value.data() != nullptr) have[j] = Folded(entry->value.data());
    }
  }

  // New scan folders of the package's entry take the lowest empty keys of
  // the host's; a folder the host lists already, in any letter case, is
  // not added again, nor one that a later host section of the same
  // "FilterSection" lists (as a package's file taken whole may have it,
  // the run after would add it to the first).
  void MergeScanPaths(const ProfileNode* from, int into, const std::vector<int>& alike) {
    const ProfileNode* section = host_.GetNode(into);
    std::string have[kScanPathCount];  // upper case; "" for a free key
    ReadScanPaths(into, have);
    std::set<std::string> elsewhere;
    for (int other : alike) {
      std::string theirs[kScanPathCount];
      ReadScanPaths(other, theirs);
      elsewhere.insert(std::begin(theirs), std::end(theirs));
    }
    for (int j = 1; j <= kScanPathCount; ++j) {
      const std::string folder(ValueText(FirstEntry(from, ScanPathKey(j))));
      if (folder.empty()) continue;
      const std::string upper = Folded(folder);
      if (std::find(std::begin(have), std::end(have), upper) != std::end(have) || elsewhere.count(upper) != 0)
        continue;
      auto free = std::find(std::begin(have), std::end(have), std::string());
      if (free == std::end(have)) {
        result_.scanPathsDropped.push_back("[" + std::string(NodeName(section)) + "] " + folder);
        continue;
      }
      host_.SetCurrentSection(into);
      if (host_.SetString(nullptr, ScanPathKey(static_cast<int>(free - std::begin(have)) + 1).c_str(),
                          folder.c_str()) != 0)
        continue;
      *free = upper;
      ++result_.scanPathsAdded;
    }
  }

  // Adds the package's entry as a new section, every value entry whole; of
  // a key given twice the first, which Windows reads (and a later run
  // compares), not the last.
  void Add(const ProfileNode* from, bool twoDigits) {
    const std::string name = NewSectionName(twoDigits, NodeName(from));
    int index = -1;
    std::set<std::string_view> keys;
    for (int32_t c = 0; c < from->children.count(); ++c) {
      const ProfileNode* entry = from->children[c];
      if (!HoldsValue(entry) || !keys.insert(NodeName(entry)).second) continue;
      if (index < 0) {
        if (host_.GetOrAddSection(name.c_str()) == nullptr) return;
        index = host_.GetCurrentSection();
        names_.Add(name);
        headerAlone_ = false;
      }
      const int size = ProfileElementSize(entry->type, 1);
      const int count = std::min(entry->count, entry->value.size() / size);
      host_.SetCurrentSection(index);
      host_.SetValue(nullptr, entry->name.data(), entry->type, entry->value.data(), count);
    }
    if (index < 0) return;
    filters_.Note(host_, index);
    ++result_.sectionsAdded;
  }

  // The host's last section name with its closing number counted on:
  // three digits (Shunting007 -> Shunting008), or for entries found by
  // "FilterSection" two digits when the last three characters hold no
  // positive number (Shunting_05 -> Shunting_06). A name the host holds
  // already is passed over, so no entry of the host is ever written into.
  // A host file of its header alone has no entry to count on from: the
  // entry keeps the package's name, counted on where the host holds it.
  std::string NewSectionName(bool twoDigits, std::string_view own) {
    const bool headerAlone = headerAlone_ && !own.empty();
    if (headerAlone && !names_.Holds(own)) return std::string(own);
    const std::string last(headerAlone ? own : NodeName(host_.GetNode(host_.GetSectionCount() - 1)));
    const size_t length = last.size();
    size_t digits = std::min<size_t>(length, 3);
    int64_t number = LeadingNumber(std::string_view(last).substr(length - digits));
    int width = 3;
    if (twoDigits && length > 2 && number <= 0) {
      digits = width = 2;
      number = LeadingNumber(std::string_view(last).substr(length - digits));
    }
    const std::string prefix = last.substr(0, length - digits);
    std::string name;
    do {
      name = prefix + ZeroPadded(++number, width);
    } while (names_.Holds(name));
    return name;
  }

  ProfileDocument& host_;
  HostFilters filters_;
  SectionNames names_;
  bool headerAlone_;  // the host holds no section but its header
  CategoryMergeResult& result_;
};

bool IsInfName(const std::string& name) {
  if (name.size() < 4) return false;
  return UpperAscii(std::string_view(name).substr(name.size() - 4)) == ".INF";
}

}  // namespace

CategoryMergeResult MergeCategoryDocuments(const ProfileDocument& package, ProfileDocument& host) {
  CategoryMergeResult result;
  CategoryMerger merger(host, result);
  // The first node is the file's own header, never an entry.
  for (int i = 1; i < package.GetSectionCount(); ++i) {
    const ProfileNode* node = package.GetNode(i);
    if (node->type == ProfileValueType::Section) merger.Merge(node);
  }
  return result;
}

void MergeInfFile(const std::string& source, const std::string& target) {
  if (platform::GetPathKind(source) != platform::PathKind::File) return;
  WithinMemory(target, [&] {
    ProfileDocument package, host;
    std::string packageBytes, hostBytes;
    CatalogueLoad load = LoadPackageCatalogueFile(package, source, &packageBytes);
    if (load != CatalogueLoad::Loaded) return CatalogueLoadFailure(source, load, "category file", false);
    if (HostKindOf(target) == platform::PathKind::None) {
      CopyCatalogueFile(source, target, true);
      return;
    }
    // Comment lines alone (or nothing) bring nothing, and would be added
    // again on every run.
    if (!HasSection(package)) return;
    CatalogueLoad lossy = CatalogueLoad::Loaded;
    load = LoadCatalogueFile(host, target, &lossy, &hostBytes);
    if (load != CatalogueLoad::Loaded) return CatalogueLoadFailure(target, load, "category file", true);
    // Whatever follows writes the host's file.
    const auto refuseWrite = [&] { CatalogueLoadFailure(target, lossy, "category file", true); };
    // Nothing at all (blanks hold no line a write could lose): the
    // package's file serves as it is. Comment lines alone: the package's
    // file serves, below them.
    if (SectionsIn(host) == 0) {
      const int entries = SectionsIn(package) - 1;  // its first section is its header
      const std::string summary = entries > 0 ? CountText(entries, "category added", "categories added") : "";
      if (host.GetSectionCount() == 0) {
        SaveCatalogueBytes(packageBytes, target, summary);
        return;
      }
      if (lossy != CatalogueLoad::Loaded) return refuseWrite();
      if (host.LoadBytes(packageBytes) == 0) SaveCatalogueFile(host, target, summary);
      return;
    }

    const CategoryMergeResult result = MergeCategoryDocuments(package, host);
    for (const std::string& dropped : result.scanPathsDropped)
      CatalogueFailure(target + " " + dropped, "all nine ScanPath keys are taken; scan folder not added");
    // Nothing new: the host's file keeps its bytes. So does a host file
    // that holds the package's bytes (an earlier run copied it): a package
    // file whose entries merge into each other would change it on every
    // run after its first.
    if ((result.sectionsAdded == 0 && result.scanPathsAdded == 0) || hostBytes == packageBytes) return;
    if (lossy != CatalogueLoad::Loaded) return refuseWrite();
    std::string summary;
    if (result.sectionsAdded > 0) summary = CountText(result.sectionsAdded, "category added", "categories added");
    if (result.scanPathsAdded > 0)
      summary += (summary.empty() ? "" : ", ") + CountText(result.scanPathsAdded, "scan folder added", "scan folders added");
    SaveCatalogueFile(host, target, summary);
  });
}

void ScanInfFiles(const std::string& folder, bool counting) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListFolder(folder, entries)) {
    // One that is there and cannot be read is no folder without files.
    if (counting) return;
    const platform::PathKind kind = platform::GetPathKind(folder);
    if (kind == platform::PathKind::Folder)
      CatalogueFailure(folder, "folder cannot be read");
    else if (kind == platform::PathKind::File || platform::IsLinkToNothing(folder))
      CatalogueFailure(folder, "not a folder; its category files are not merged");
    return;
  }
  const std::string targetFolder = HostPathOf(folder);
  bool targetMade = false;
  std::set<std::string> names;  // folded: the host's one file for each
  for (const platform::DirEntry& e : entries) {
    if (!IsInfName(e.name)) continue;
    // What only looks like a category file is said to be skipped, as the
    // tree copy says it; an empty file holds nothing to merge.
    if (e.isFolder || e.isSpecial) {
      if (!counting)
        CatalogueFailure(folder + "\\" + e.name, e.isFolder ? "a folder, not a category file; skipped"
                                                             : "not a regular file or folder; skipped");
      continue;
    }
    if (e.size == 0) continue;
    const char* refused = NameHoldsSeparator(e.name) ? "name holds a path separator" : RefusedName(e.name);
    if (refused == nullptr && !names.insert(platform::FoldedName(e.name)).second)
      refused = kNotMergedNameTwice;
    if (refused != nullptr) {
      if (!counting) CatalogueFailure(folder + "\\" + NameAsListed(e.name), refused);
      continue;
    }
    g_SourceFile = folder + "\\" + e.name;
    g_TargetDir = targetFolder;
    g_TargetFile = targetFolder + "\\" + e.name;
    CountUnit(counting);
    if (counting) continue;
    // A stop takes effect after the file in hand, as in the copy.
    if (RunStopRequested()) return;
    StepProgress();
    if (!targetMade) {
      RunWriter().MakeFolders(targetFolder);
      targetMade = true;
    }
    const std::string source = g_SourceFile, target = g_TargetFile;
    MergeInfFile(source, target);
  }
}

void MergeCategories(bool counting) {
  // (The tree copy lists the package's Categories when that is a link.)
  if (IsLinkToFolder(g_SourceRoot + "\\Categories")) return;
  if (!counting) ListOtherSpellings(g_SourceRoot + "\\Categories");
  for (const char* folder : kCategoryFolders) {
    if (!counting && RunStopRequested()) return;
    const std::string path = g_SourceRoot + folder;
    if (IsLinkToFolder(path)) {
      if (!counting) CatalogueFailure(path, "a link to a folder; not followed");
      continue;
    }
    if (!counting) ListOtherSpellings(path);
    ScanInfFiles(path, counting);
    if (!counting && RunStopRequested()) return;
    MergeIndexFile(path, counting);
  }
}

}  // namespace zet
