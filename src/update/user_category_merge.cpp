#include "update/user_category_merge.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "update/catalogue.h"
#include "update/refusals.h"
#include "update/run_state.h"

namespace zet {

namespace {

constexpr char kUserFile[] = "\\Categories\\User.ini";
constexpr std::string_view kPrefix = "User_";
// "User_", three digits and "_": where the name of a category starts.
constexpr size_t kNameStart = 9;

// The category's name in a section name: what follows "User_", the number
// and its "_"; for a name not of that form, what follows its ninth
// character ("" when there is nothing).
std::string_view NamePart(std::string_view section) {
  if (section.substr(0, kPrefix.size()) == kPrefix) {
    size_t i = kPrefix.size();
    if (i < section.size() && (section[i] == '-' || section[i] == '+')) ++i;  // a sign, as a number may have
    const size_t digits = i;
    while (i < section.size() && section[i] >= '0' && section[i] <= '9') ++i;
    if (i > digits && i < section.size() && section[i] == '_') return section.substr(i + 1);
  }
  return section.size() > kNameStart ? section.substr(kNameStart) : std::string_view();
}

// One user category: its name and its text entries, each key once with
// the value it ends up with, in the order the keys first appear.
struct Category {
  std::string name;
  std::vector<std::pair<std::string, std::string>> texts;
  std::unordered_map<std::string, size_t> keys;

  void Set(std::string_view key, std::string_view text) {
    auto [it, added] = keys.emplace(std::string(key), texts.size());
    if (added)
      texts.emplace_back(std::string(key), std::string(text));
    else
      texts[it->second].second = std::string(text);
  }
};

// What makes two categories the same: the name and the text entries,
// whatever their order.
std::string Signature(std::string_view name, std::vector<std::pair<std::string, std::string>> texts) {
  std::sort(texts.begin(), texts.end());
  std::string s(name);
  for (const auto& [key, text] : texts) {
    s += '\0';
    s += key;
    s += '\0';
    s += text;
  }
  return s;
}

bool IsText(const ProfileNode* entry) { return HoldsValue(entry) && entry->type == ProfileValueType::String; }

// The package's categories in file order. A category begins at a section
// holding a text entry whose name differs from that of the category before;
// sections without a text entry take no part.
std::vector<Category> ReadCategories(const ProfileDocument& package) {
  std::vector<Category> categories;
  for (int i = 0; i < package.GetSectionCount(); ++i) {
    const ProfileNode* section = package.GetNode(i);
    for (int32_t c = 0; c < section->children.count(); ++c) {
      const ProfileNode* entry = section->children[c];
      if (!IsText(entry)) continue;
      if (categories.empty() || categories.back().name != NodeName(section)) {
        categories.emplace_back();
        categories.back().name = std::string(NodeName(section));
      }
      categories.back().Set(NodeName(entry), ValueText(entry));
    }
  }
  return categories;
}

}  // namespace

int MergeUserCategoryDocuments(const ProfileDocument& package, ProfileDocument& host) {
  std::unordered_set<std::string> known;
  for (int i = 0; i < host.GetSectionCount(); ++i) {
    const ProfileNode* section = host.GetNode(i);
    std::vector<std::pair<std::string, std::string>> texts;
    for (int32_t c = 0; c < section->children.count(); ++c)
      if (IsText(section->children[c]))
        texts.emplace_back(NodeName(section->children[c]), ValueText(section->children[c]));
    if (!texts.empty()) known.insert(Signature(NamePart(NodeName(section)), std::move(texts)));
  }

  // The number after "User_" in the host's last section name, or a higher
  // one of its other categories (a last section of another kind would
  // start the count again, and give numbers the host has already).
  int64_t counter = 0;
  const std::string_view last = NodeName(host.GetNode(host.GetSectionCount() - 1));
  if (last.size() > kPrefix.size()) counter = LeadingNumber(last.substr(kPrefix.size()));
  for (int i = 0; i < host.GetSectionCount(); ++i) {
    const std::string_view name = NodeName(host.GetNode(i));
    if (name.size() > kPrefix.size() && EqualsIgnoringCase(name.substr(0, kPrefix.size()), kPrefix))
      counter = std::max(counter, LeadingNumber(name.substr(kPrefix.size())));
  }
  // Numbers below 1 are no sequence: the package's categories count from 1.
  counter = std::max<int64_t>(counter, 0);

  int appended = 0;
  SectionNames names(host);
  for (const Category& category : ReadCategories(package)) {
    const std::string_view name = NamePart(category.name);
    if (!known.insert(Signature(name, category.texts)).second) continue;
    std::string section;
    do {
      section = std::string(kPrefix) + ZeroPadded(++counter, 3) + "_" + std::string(name);
    } while (names.Holds(section));
    if (host.GetOrAddSection(section.c_str()) == nullptr) continue;
    names.Add(section);
    for (const auto& [key, text] : category.texts) host.SetString(nullptr, key.c_str(), text.c_str());
    ++appended;
  }
  return appended;
}

void MergeUserCategories() {
  const std::string packagePath = g_SourceRoot + kUserFile;
  // (The tree copy lists the package's Categories when that is a link.)
  if (IsLinkToFolder(g_SourceRoot + "\\Categories") || platform::GetPathKind(packagePath) == platform::PathKind::None)
    return;
  ListOtherSpellings(packagePath);
  const std::string hostPath = g_TargetRoot + kUserFile;
  WithinMemory(hostPath, [&] {
    ProfileDocument package, host;
    CatalogueLoad load = LoadPackageCatalogueFile(package, packagePath);
    if (load != CatalogueLoad::Loaded) return CatalogueLoadFailure(packagePath, load, "user category file", false);
    if (HostKindOf(hostPath) == platform::PathKind::None) {
      CopyCatalogueFile(packagePath, hostPath, false);
      return;
    }
    CatalogueLoad lossy = CatalogueLoad::Loaded;
    load = LoadCatalogueFile(host, hostPath, &lossy);
    if (load != CatalogueLoad::Loaded) return CatalogueLoadFailure(hostPath, load, "user category file", true);
    // Nothing new: the host's file keeps its bytes.
    const int added = MergeUserCategoryDocuments(package, host);
    if (added > 0 && lossy != CatalogueLoad::Loaded)
      return CatalogueLoadFailure(hostPath, lossy, "user category file", true);
    if (added > 0) SaveCatalogueFile(host, hostPath, CountText(added, "category added", "categories added"));
  });
}

}  // namespace zet
