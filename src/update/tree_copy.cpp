#include "update/tree_copy.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>
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
  // True when this call made the folder itself (it did not stand before).
  bool Ensure(const std::string& folder) {
    if (Known(folder)) return false;
    size_t cut = folder.find_last_of('\\');
    bool made = false;
    if (cut == std::string::npos || cut == 0 || cut < root_.size()) {
      RunWriter().MakeFolders(folder);
    } else {
      Ensure(folder.substr(0, cut));
      made = RunWriter().MakeFolder(folder);
    }
    last_ = folder;
    return made;
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

// The counting pass's listings, kept for the working pass while they fit in
// the budget; the working pass lists again the folders not kept. A listing
// is kept packed, an entry a few bytes beside its name, so that the budget
// holds the listings of most packages whole. Both counting threads keep.
class KeptListings {
 public:
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    kept_.clear();
    kept_.rehash(0);
    bytes_ = 0;
    full_ = false;
  }
  void Keep(const std::string& folder, const std::vector<platform::DirEntry>& entries) {
    if (full_) return;  // a tree beyond the budget: the rest is listed again, not packed for nothing
    std::string packed;
    for (const platform::DirEntry& e : entries) {
      packed += static_cast<char>((e.isFolder ? kFolder : 0) | (e.isLink ? kLink : 0) | (e.isSpecial ? kSpecial : 0) |
                                  (e.sizeUnknown ? kSizeUnknown : 0));
      for (uint64_t size = e.size;; size >>= 7) {  // seven bits a byte, the last without its top bit
        packed += static_cast<char>((size & 0x7F) | (size > 0x7F ? 0x80 : 0));
        if (size <= 0x7F) break;
      }
      packed.append(e.name.c_str(), e.name.size() + 1);
    }
    const size_t bytes = kEntryBytes + folder.capacity() + packed.capacity();
    std::lock_guard<std::mutex> lock(mutex_);
    full_ = full_ || bytes_ + bytes > kListingBudget;
    if (!full_ && kept_.emplace(folder, std::move(packed)).second) bytes_ += bytes;
  }
  bool Take(const std::string& folder, std::vector<platform::DirEntry>& entries) {
    std::string packed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = kept_.find(folder);
      if (it == kept_.end()) return false;
      packed = std::move(it->second);
      kept_.erase(it);
    }
    entries.clear();
    for (size_t at = 0; at < packed.size();) {
      platform::DirEntry& e = entries.emplace_back();
      const char flags = packed[at++];
      e.isFolder = (flags & kFolder) != 0;
      e.isLink = (flags & kLink) != 0;
      e.isSpecial = (flags & kSpecial) != 0;
      e.sizeUnknown = (flags & kSizeUnknown) != 0;
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
  static constexpr char kFolder = 1, kLink = 2, kSpecial = 4, kSizeUnknown = 8;
  // A kept listing's own cost beside its bytes: the map's node and bucket.
  static constexpr size_t kEntryBytes = 2 * sizeof(std::string) + 4 * sizeof(void*);
  std::mutex mutex_;
  std::unordered_map<std::string, std::string> kept_;  // folder -> packed listing
  size_t bytes_ = 0;
  std::atomic<bool> full_{false};  // a listing did not fit: none is kept after it
};

KeptListings g_listings;

// True for an entry of folder that is an empty file, looked at where the
// listing did not tell its size.
bool IsEmptyEntry(const platform::DirEntry& e, const std::string& folder) {
  return e.sizeUnknown ? platform::IsEmptyFile(folder + "\\" + e.name) : !e.isFolder && e.size == 0;
}

// The names a folder's entries take, folded as the host's tree compares
// them: the first file or folder of a name takes it, and one whose name an
// earlier entry has in other letter case is not copied (Windows holds one).
// An empty file, never copied, takes no name; a file whose size the listing
// did not tell is looked at only when a later entry asks for its name.
class TakenNames {
 public:
  void Clear() { taken_.clear(); }
  // True when e (of the entries of folder, which stay in place) takes its name.
  bool Take(const platform::DirEntry& e, const std::string& folder) {
    auto [it, fresh] = taken_.emplace(platform::FoldedName(e.name), &e);
    if (fresh) return true;
    if (!IsEmptyEntry(*it->second, folder)) return false;
    it->second = &e;
    return true;
  }

 private:
  std::unordered_map<std::string, const platform::DirEntry*> taken_;
};

// What the walk does with an entry of a folder of the package.
enum class Role {
  Skip,      // refused: a failure of the working pass, with the reason
  Walk,      // a folder to walk
  Handle,    // a file to copy, leave to the archive, or leave out when empty: a unit of progress
  PassOver,  // left to the list merges, or nothing to copy
};
Role RoleOf(const platform::DirEntry& e, const std::string& folder, const char*& skipped) {
  skipped = SkipReason(e, folder);
  if (skipped == nullptr) skipped = RefusedName(e.name);
  if (skipped != nullptr) return Role::Skip;
  const auto listsFolderName = [&e] {
    return EqualsIgnoringCase(e.name, "parallels") || EqualsIgnoringCase(e.name, "categories");
  };
  if (e.isFolder) return listsFolderName() ? Role::PassOver : Role::Walk;
  // The package's own Categories and Parallels are the merges': a file in
  // their place is no resource, and in the host it would stand where the
  // folder belongs, so that no later package's lists could be merged.
  if (folder.size() == g_SourceRoot.size() && listsFolderName()) {
    skipped = "not a folder; its lists are not merged";
    return Role::Skip;
  }
  if (EqualsIgnoringCase(e.name, "sounds.txt") || platform::IsOwnTemporaryName(e.name))
    return Role::PassOver;
  return Role::Handle;
}

// Folders of the package that are not walked. A target folder inside the
// source tree: the copy would otherwise walk into what it has just written
// (told apart by what the folders are, not by their spelling). And where
// the package lies in the target, the package's folder of the package's
// own place there: its files would be copied onto themselves.
class TargetInSource {
 public:
  explicit TargetInSource(const std::string& top)
      : inside_(platform::IsInsideFolder(g_TargetRoot, top) && platform::GetFolderIdentity(g_TargetRoot, target_)) {
    if (!platform::IsInsideFolder(top, g_TargetRoot)) return;
    const std::string source = platform::RealPath(top), target = platform::RealPath(g_TargetRoot);
    if (source.size() > target.size() + 1 && target.size() > 0) packageAt_ = Folded(source.substr(target.size() + 1));
  }
  bool Is(const std::string& folder) const { return IsTarget(folder) || IsThePackage(folder); }
  bool IsThePackage(const std::string& folder) const {
    return !packageAt_.empty() && folder.size() > g_SourceRoot.size() + 1 &&
           Folded(folder.substr(g_SourceRoot.size() + 1)) == packageAt_;
  }

 private:
  bool IsTarget(const std::string& folder) const {
    platform::FolderIdentity id;
    return inside_ && platform::GetFolderIdentity(folder, id) && id == target_;
  }
  // A relative path with one kind of separator, in the host's letter case.
  static std::string Folded(std::string path) {
    for (char& c : path)
      if (platform::IsPathSeparator(c)) c = '\\';
    return platform::FoldedName(path);
  }

  platform::FolderIdentity target_;
  bool inside_;
  std::string packageAt_;  // the package's place below the target; empty when it lies elsewhere
};

// The counting pass: counts the files the working pass will handle and
// keeps the folders' listings for it. The count does not depend on the
// order the folders are listed in, and listing them is most of the work, so
// where copies run on several threads two threads list, taking folders from
// one stack. Only the caller's thread tells the view (CountUnit).
class CountingWalk {
 public:
  explicit CountingWalk(const std::string& top) : skip_(top) { pending_.push_back(top); }
  void Run(bool twoThreads) {
    std::thread helper;
    if (twoThreads) {
      try {
        helper = std::thread([this] { Walk(false); });
      } catch (const std::system_error&) {
        // No second thread to be had: one lists alone.
      }
    }
    try {
      Walk(true);
    } catch (...) {
      Abandon();
      if (helper.joinable()) helper.join();
      throw;
    }
    if (helper.joinable()) helper.join();
    if (helperFailed_) throw std::bad_alloc();  // reported by the run, as on this thread
    TellHelpersUnits();
  }

 private:
  // Takes folders until none is left and no thread holds one whose
  // subfolders are still to come.
  void Walk(bool tells) {
    std::vector<platform::DirEntry> entries;
    std::vector<std::string> subfolders;
    TakenNames names;
    for (;;) {
      std::string folder;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !pending_.empty() || busy_ == 0; });
        if (pending_.empty() || RunStopRequested()) return;
        folder = std::move(pending_.back());
        pending_.pop_back();
        ++busy_;
      }
      int units = 0;
      try {
        subfolders.clear();
        if (platform::ListFolder(folder, entries, false)) {
          const char* skipped = nullptr;
          // Only a listing with a subfolder needs the names: a subfolder whose
          // name an earlier entry has in other letter case is not walked.
          const bool folders =
              std::any_of(entries.begin(), entries.end(), [](const platform::DirEntry& e) { return e.isFolder; });
          names.Clear();
          for (const platform::DirEntry& e : entries) {
            const Role role = RoleOf(e, folder, skipped);
            const bool first = !folders || role == Role::Skip || role == Role::PassOver || names.Take(e, folder);
            if (role == Role::Handle) ++units;
            if (role == Role::Walk && first) subfolders.push_back(folder + "\\" + e.name);
          }
          g_listings.Keep(folder, entries);
        }
        subfolders.erase(std::remove_if(subfolders.begin(), subfolders.end(),
                                        [this](const std::string& f) { return skip_.Is(f); }),
                         subfolders.end());
        std::lock_guard<std::mutex> lock(mutex_);
        // The first subfolder last, to be taken next: the listings kept first
        // are those the working pass needs first.
        pending_.insert(pending_.end(), std::make_move_iterator(subfolders.rbegin()),
                        std::make_move_iterator(subfolders.rend()));
        --busy_;
      } catch (const std::bad_alloc&) {
        Abandon(true);
        if (tells) throw;
        helperFailed_ = true;
        return;
      }
      changed_.notify_all();
      if (!tells) {
        helpersUnits_ += units;
        continue;
      }
      for (; units > 0; --units) CountUnit(true);
      TellHelpersUnits();
    }
  }
  // Ends the walk of both threads; busy: this thread held a folder.
  void Abandon(bool busy = false) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pending_.clear();
      if (busy) --busy_;
    }
    changed_.notify_all();
  }
  void TellHelpersUnits() {
    for (int units = helpersUnits_.exchange(0); units > 0; --units) CountUnit(true);
  }

  const TargetInSource skip_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> pending_;  // folders still to list
  int busy_ = 0;                      // threads listing a folder
  std::atomic<int> helpersUnits_{0};  // counted by the second thread, not yet told
  bool helperFailed_ = false;         // the second thread ran out of memory
};

}  // namespace

bool NameHoldsSeparator(const std::string& name) {
  return std::any_of(name.begin(), name.end(), platform::IsPathSeparator);
}

std::string NameAsListed(std::string name) {
  std::replace_if(name.begin(), name.end(), platform::IsPathSeparator, '?');
  return name;
}

int g_CopyWorkers = 0;

CopyResult CopyFileUnrecorded(const std::string& from, const std::string& to, bool overwrite, EmptySource empty) {
  const WriteResult result = RunWriter().CopyIn(from, to, overwrite, empty);
  if (result.ok()) return {CopyOutcome::Copied, {}, {}};
  // An empty file is left out whatever else the copy would have found.
  if (result.outcome == WriteOutcome::LeftOut ||
      (result.outcome == WriteOutcome::Failed && LeftOutEmpty(from, empty)))
    return {CopyOutcome::LeftOut, {}, {}};
  const platform::PathKind target = RunWriter().KindOf(to);
  if (result.outcome == WriteOutcome::KeptExisting || (!overwrite && target == platform::PathKind::File))
    return {CopyOutcome::KeptExisting, {}, {}};
  if (target == platform::PathKind::Folder) return {CopyOutcome::Failed, to, "a folder of that name is in the way"};
  if (target == platform::PathKind::File && !platform::CanWriteFile(to))
    return {CopyOutcome::Failed, to, platform::WhyNotWritable(to)};
  if (!platform::CanReadFile(from))
    return {CopyOutcome::Failed, from,
            platform::GetPathKind(from) == platform::PathKind::None ? "is not in the package" : "cannot be read"};
  // Made a link after the walk looked at it.
  if (LeadsOutOfThePackage(from)) return {CopyOutcome::Failed, from, "a link that leads out of the package; not copied"};
  size_t cut = to.find_last_of('\\');
  if (cut != std::string::npos && cut > 0 && RunWriter().KindOf(to.substr(0, cut)) != platform::PathKind::Folder)
    return {CopyOutcome::Failed, to, WhyNoFolderFor(to)};
  return {CopyOutcome::Failed, to, result.reason.empty() ? "cannot be written" : result.reason};
}

void RecordCopy(const CopyResult& result) {
  switch (result.outcome) {
    case CopyOutcome::Copied: g_RunReport.Copied(); break;
    case CopyOutcome::KeptExisting: g_RunReport.KeptExisting(); break;
    case CopyOutcome::LeftToArchive: LeftToArchive(result.path); break;
    case CopyOutcome::LeftOut: break;
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
  const int workers = g_CopyWorkers == 0 ? CopyPool::DefaultWorkers() : g_CopyWorkers;
  if (counting) {
    g_listings.Clear();
    CountingWalk(top).Run(workers > 1);
    return;
  }

  const TargetInSource skip(top);
  const size_t sourceRootLength = g_SourceRoot.size();
  std::vector<std::string> pending{top};  // folders still to walk, the next one last
  std::vector<platform::DirEntry> entries;
  std::vector<std::string> subfolders;
  std::vector<platform::DirEntry> unread;  // a listing only looked at
  std::string madeDir;  // the target folder made (or found) for the last copy
  TargetFolders targetFolders;
  targetFolders.Reset(g_TargetRoot);
  CopyPool pool(workers);
  TakenNames names;  // of the folder in hand

  while (!pending.empty()) {
    const std::string current = std::move(pending.back());
    pending.pop_back();
    // One folder's listing at a time, or the one the counting pass kept:
    // what the walk holds is bounded, whatever the tree's size.
    if (!g_listings.Take(current, entries) && !platform::ListFolder(current, entries, false)) {
      pool.Note({CopyOutcome::Failed, current, "folder cannot be read"});
      continue;
    }

    const std::string targetDir =
        g_TargetRoot + (current.size() > sourceRootLength ? current.substr(sourceRootLength) : "");
    bool packageFolder = false;  // the host's folder lies in the package (see below)
    subfolders.clear();
    names.Clear();
    for (const platform::DirEntry& e : entries) {
      if (RunStopRequested()) {
        pool.Finish();
        g_listings.Clear();
        return;
      }
      const char* skipped = nullptr;
      const Role role = RoleOf(e, current, skipped);
      if (role == Role::Skip) pool.Note({CopyOutcome::Failed, current + "\\" + NameAsListed(e.name), skipped});
      if (role == Role::Walk) {
        if (names.Take(e, current))
          subfolders.push_back(current + "\\" + e.name);
        else
          pool.Note({CopyOutcome::Failed, current + "\\" + e.name, kNotCopiedNameTwice});
      }
      // The package's own Parallels and Categories go to the merges, which
      // would find nothing in a folder they cannot read, and say nothing.
      if (role == Role::PassOver && e.isFolder && current.size() == sourceRootLength &&
          !platform::ListFolder(current + "\\" + e.name, unread))
        pool.Note({CopyOutcome::Failed, current + "\\" + e.name, "folder cannot be read"});
      if (role != Role::Handle) continue;
      CountUnit(false);

      g_SourceFile = current + "\\" + e.name;
      g_TargetDir = targetDir;
      g_TargetFile = g_TargetDir + "\\" + e.name;

      // Two names of the package that the host's tree takes for one: the
      // first in the listing's order is copied, as Windows would hold it.
      const bool nameTaken = !names.Take(e, current);
      // The archive names files in the code page.
      const bool inArchive =
          !overwrite && !nameTaken &&
          PakContains(g_PakHandle, platform::CodePageFromName(g_TargetFile.substr(g_TargetRoot.size() + 1)));
      StepProgress();
      // An empty file is left out. Where the listing did not tell the size,
      // the copy finds that out as it opens the file; the outcomes known
      // without a copy ask first.
      if (!e.sizeUnknown && e.size == 0) continue;
      const auto leftOut = [&] { return IsEmptyEntry(e, current); };
      if (nameTaken) {
        if (!leftOut()) pool.Note({CopyOutcome::Failed, g_SourceFile, kNotCopiedNameTwice});
        continue;
      }
      if (g_TargetFile.size() > platform::kLongestPath || g_SourceFile.size() > platform::kLongestPath) {
        if (!leftOut())
          pool.Note({CopyOutcome::Failed, g_TargetFile.size() > platform::kLongestPath ? g_TargetFile : g_SourceFile,
                     kPathTooLong});
        continue;
      }
      if (inArchive) {
        if (!leftOut()) pool.Note({CopyOutcome::LeftToArchive, g_TargetFile, {}});
        continue;
      }
      if (g_TargetDir != madeDir) {
        if (leftOut()) continue;  // a folder is made for a file to copy
        // A host folder that stood before the run and that a link puts in
        // the package: copies into it would change the package's files.
        packageFolder = !targetFolders.Ensure(g_TargetDir) && current.size() > sourceRootLength &&
                        platform::IsInsideFolder(g_TargetDir, top);
        madeDir = g_TargetDir;
      }
      if (packageFolder) {
        if (!leftOut()) pool.Note({CopyOutcome::Failed, g_TargetFile, "the host's folder lies in the package (a link); not copied into it"});
        continue;
      }
      pool.Copy(g_SourceFile, g_TargetFile, overwrite);
    }
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
      if (skip.IsThePackage(*it))
        pool.Note({CopyOutcome::Failed, *it, "the package's own place in the target; not copied onto itself"});
      else if (!skip.Is(*it))
        pending.push_back(std::move(*it));
  }
  pool.Finish();
  g_listings.Clear();
}

}  // namespace zet
