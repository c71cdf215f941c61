#include "update/tree_copy.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"
#include "platform/ascii_text.h"
#include "platform/platform.h"
#include "update/copy_pool.h"
#include "update/refusals.h"
#include "update/run_state.h"
#include "update/update_run.h"

namespace zet {

namespace {

// The target folders known to stand, so that each is created (or found)
// once: a missing folder is made after its parent, one level at a time. The
// walk goes depth first, so the folders known are those on the way to the
// last one made: every prefix of it that ends a folder name.
class TargetFolders {
 public:
  void Reset(const std::string& root) {
    root_ = root;
    last_ = root;
  }
  void Ensure(const std::string& folder) {
    if (Known(folder)) return;
    size_t cut = folder.find_last_of('\\');
    if (cut == std::string::npos || cut == 0 || cut < root_.size()) {
      RunWriter().MakeFolders(folder);
    } else {
      Ensure(folder.substr(0, cut));
      RunWriter().MakeFolder(folder);
    }
    last_ = folder;
  }

 private:
  bool Known(const std::string& folder) const {
    return last_.compare(0, folder.size(), folder) == 0 &&
           (last_.size() == folder.size() || last_[folder.size()] == '\\');
  }
  std::string root_;
  std::string last_;
};

// Why an entry of the package is not walked or copied; null when it is.
// A stranger's package may hold links that loop or lead anywhere on the
// disk, and pipes or devices that would stall a read.
const char* SkipReason(const platform::DirEntry& e, const std::string& folder) {
  if (NameHoldsSeparator(e.name)) return "name holds a path separator";
  if (e.isSpecial) return "not a regular file or folder; skipped";
  if (!e.isLink) return nullptr;
  if (e.isFolder) return "a link to a folder; not followed";
  if (!platform::IsInsideFolder(folder + "\\" + e.name, g_SourceRoot))
    return "a link that leads out of the package; not copied";
  return nullptr;
}

// The counting pass's listings, in the order it walked the folders, kept
// for the working pass while they fit in the budget; the working pass walks
// the same folders in the same order and lists again those not kept. A
// listing is kept packed, an entry a few bytes beside its name, so that the
// budget holds the listings of most packages whole.
class KeptListings {
 public:
  void Clear() {
    kept_.clear();
    kept_.shrink_to_fit();
    next_ = 0;
    bytes_ = 0;
    full_ = false;
  }
  void Keep(const std::string& folder, const std::vector<platform::DirEntry>& entries) {
    if (full_) return;
    std::string packed;
    for (const platform::DirEntry& e : entries) {
      packed += static_cast<char>((e.isFolder ? kFolder : 0) | (e.isLink ? kLink : 0) | (e.isSpecial ? kSpecial : 0));
      for (uint64_t size = e.size;; size >>= 7) {  // seven bits a byte, the last without its top bit
        packed += static_cast<char>((size & 0x7F) | (size > 0x7F ? 0x80 : 0));
        if (size <= 0x7F) break;
      }
      packed.append(e.name.c_str(), e.name.size() + 1);
    }
    // Only a first part of the walk is kept, so that the rest is found in order.
    const size_t bytes = sizeof(Listing) + folder.capacity() + packed.capacity();
    full_ = bytes_ + bytes > kListingBudget;
    if (full_) return;
    bytes_ += bytes;
    kept_.push_back({folder, std::move(packed)});
  }
  bool Take(const std::string& folder, std::vector<platform::DirEntry>& entries) {
    if (next_ == kept_.size() || kept_[next_].folder != folder) return false;
    entries.clear();
    const std::string packed = std::move(kept_[next_++].packed);
    for (size_t at = 0; at < packed.size();) {
      platform::DirEntry& e = entries.emplace_back();
      const char flags = packed[at++];
      e.isFolder = (flags & kFolder) != 0;
      e.isLink = (flags & kLink) != 0;
      e.isSpecial = (flags & kSpecial) != 0;
      for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(packed[at++]);
        e.size |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) break;
      }
      e.name = packed.c_str() + at;
      at += e.name.size() + 1;
    }
    return true;
  }

 private:
  static constexpr char kFolder = 1, kLink = 2, kSpecial = 4;
  struct Listing {
    std::string folder;
    std::string packed;
  };
  std::vector<Listing> kept_;
  size_t next_ = 0;
  size_t bytes_ = 0;
  bool full_ = false;
};

KeptListings g_listings;

}  // namespace

bool NameHoldsSeparator(const std::string& name) {
  return std::any_of(name.begin(), name.end(), platform::IsPathSeparator);
}

int g_CopyWorkers = 0;

CopyResult CopyFileUnrecorded(const std::string& from, const std::string& to, bool overwrite) {
  const WriteResult result = RunWriter().CopyIn(from, to, overwrite);
  if (result.ok()) return {CopyOutcome::Copied, {}, {}};
  const platform::PathKind target = RunWriter().KindOf(to);
  if (result.outcome == WriteOutcome::KeptExisting || (!overwrite && target == platform::PathKind::File))
    return {CopyOutcome::KeptExisting, {}, {}};
  if (target == platform::PathKind::Folder) return {CopyOutcome::Failed, to, "a folder of that name is in the way"};
  if (target == platform::PathKind::File && !platform::CanWriteFile(to))
    return {CopyOutcome::Failed, to, "is read-only; left as it was"};
  if (platform::GetPathKind(from) != platform::PathKind::File) return {CopyOutcome::Failed, from, "cannot be read"};
  size_t cut = to.find_last_of('\\');
  if (cut != std::string::npos && cut > 0 && RunWriter().KindOf(to.substr(0, cut)) != platform::PathKind::Folder)
    return {CopyOutcome::Failed, to, "its folder cannot be created"};
  return {CopyOutcome::Failed, to, result.reason.empty() ? "cannot be written" : result.reason};
}

void RecordCopy(const CopyResult& result) {
  switch (result.outcome) {
    case CopyOutcome::Copied: g_RunReport.Copied(); break;
    case CopyOutcome::KeptExisting: g_RunReport.KeptExisting(); break;
    case CopyOutcome::LeftToArchive: LeftToArchive(result.path); break;
    case CopyOutcome::Failed: g_RunReport.Failure(result.path, result.reason); break;
  }
}

CopyOutcome CopyFileRecorded(const std::string& from, const std::string& to, bool overwrite) {
  const CopyResult result = CopyFileUnrecorded(from, to, overwrite);
  RecordCopy(result);
  return result.outcome;
}

void CopyResourceTree(const std::string& parentPath, const std::string& folder, bool overwrite, bool counting) {
  const std::string top = parentPath.empty() ? folder : parentPath + "\\" + folder;
  // A target folder inside the source tree is not walked: the copy would
  // otherwise walk into what it has just written. Folders are told apart by
  // what they are, not by how they are spelled.
  platform::FolderIdentity targetFolder;
  const bool targetInside =
      platform::IsInsideFolder(g_TargetRoot, top) && platform::GetFolderIdentity(g_TargetRoot, targetFolder);
  const size_t sourceRootLength = g_SourceRoot.size();

  std::vector<std::string> pending{top};  // folders still to walk, the next one last
  std::vector<platform::DirEntry> entries;
  std::vector<std::string> subfolders;
  std::string madeDir;  // the target folder made (or found) for the last copy
  TargetFolders targetFolders;
  targetFolders.Reset(g_TargetRoot);
  if (counting) g_listings.Clear();
  CopyPool pool(counting ? 1 : g_CopyWorkers == 0 ? CopyPool::DefaultWorkers() : g_CopyWorkers);
  // The names of the folder in hand, folded as the host's tree compares
  // them: two that meet in one target are copied one after the other.
  std::unordered_set<std::string> names;

  while (!pending.empty()) {
    const std::string current = std::move(pending.back());
    pending.pop_back();
    // One folder's listing at a time, or the one the counting pass kept:
    // what the walk holds is bounded, whatever the tree's size.
    const bool listed = (!counting && g_listings.Take(current, entries)) || platform::ListFolder(current, entries);
    if (!listed) {
      if (!counting) pool.Note({CopyOutcome::Failed, current, "folder cannot be read"});
      continue;
    }

    const std::string targetDir =
        g_TargetRoot + (current.size() > sourceRootLength ? current.substr(sourceRootLength) : "");
    subfolders.clear();
    names.clear();
    bool namesMeet = false;
    for (const platform::DirEntry& e : entries) {
      if (RunStopRequested()) {
        pool.Finish();
        return;
      }
      const char* skipped = SkipReason(e, current);
      if (skipped == nullptr) skipped = RefusedName(e.name);
      if (skipped != nullptr) {
        if (!counting) pool.Note({CopyOutcome::Failed, current + "\\" + e.name, skipped});
        continue;
      }
      if (e.isFolder) {
        if (!EqualsIgnoringCase(e.name, "parallels") && !EqualsIgnoringCase(e.name, "categories")) {
          subfolders.push_back(current + "\\" + e.name);
          // A file of the same name is copied before the folder is made.
          if (!counting && !names.insert(LowerAscii(e.name)).second) namesMeet = true;
        }
        continue;
      }
      if (e.size == 0 || EqualsIgnoringCase(e.name, "sounds.txt") || platform::IsOwnTemporaryName(e.name)) continue;
      CountUnit(counting);
      if (counting) continue;

      g_SourceFile = current + "\\" + e.name;
      g_TargetDir = targetDir;
      g_TargetFile = g_TargetDir + "\\" + e.name;

      bool inArchive = !overwrite && PakContains(g_PakHandle, g_TargetFile.substr(g_TargetRoot.size() + 1));
      StepProgress();
      if (inArchive) {
        pool.Note({CopyOutcome::LeftToArchive, g_TargetFile, {}});
        continue;
      }
      if (g_TargetDir != madeDir) {
        targetFolders.Ensure(g_TargetDir);
        madeDir = g_TargetDir;
      }
      if (!names.insert(LowerAscii(e.name)).second) {
        namesMeet = true;
        pool.Finish();
      }
      pool.Copy(g_SourceFile, g_TargetFile, overwrite);
    }
    if (counting) g_listings.Keep(current, entries);
    if (namesMeet) pool.Finish();
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
      platform::FolderIdentity id;
      if (targetInside && platform::GetFolderIdentity(*it, id) && id == targetFolder) continue;
      pending.push_back(std::move(*it));
    }
  }
  pool.Finish();
  if (!counting) g_listings.Clear();
}

}  // namespace zet
