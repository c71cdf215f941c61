#include "update/tree_copy.h"

#include <algorithm>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"
#include "platform/ascii_text.h"
#include "platform/platform.h"
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
const char* SkipReason(const platform::DirEntry& e, const std::string& path) {
  if (NameHoldsSeparator(e.name)) return "name holds a path separator";
  if (e.isSpecial) return "not a regular file or folder; skipped";
  if (!e.isLink) return nullptr;
  if (e.isFolder) return "a link to a folder; not followed";
  if (!platform::IsInsideFolder(path, g_SourceRoot)) return "a link that leads out of the package; not copied";
  return nullptr;
}

}  // namespace

bool NameHoldsSeparator(const std::string& name) {
  return std::any_of(name.begin(), name.end(), platform::IsPathSeparator);
}

CopyOutcome CopyFileRecorded(const std::string& from, const std::string& to, bool overwrite) {
  const WriteResult result = RunWriter().CopyIn(from, to, overwrite);
  if (result.ok()) {
    g_RunReport.Copied();
    return CopyOutcome::Copied;
  }
  platform::PathKind target = RunWriter().KindOf(to);
  if (result.outcome == WriteOutcome::KeptExisting || (!overwrite && target == platform::PathKind::File)) {
    g_RunReport.KeptExisting();
    return CopyOutcome::KeptExisting;
  }
  if (target == platform::PathKind::Folder) {
    g_RunReport.Failure(to, "a folder of that name is in the way");
  } else if (target == platform::PathKind::File && !platform::CanWriteFile(to)) {
    g_RunReport.Failure(to, "is read-only; left as it was");
  } else if (platform::GetPathKind(from) != platform::PathKind::File) {
    g_RunReport.Failure(from, "cannot be read");
  } else {
    size_t cut = to.find_last_of('\\');
    if (cut != std::string::npos && cut > 0 && RunWriter().KindOf(to.substr(0, cut)) != platform::PathKind::Folder)
      g_RunReport.Failure(to, "its folder cannot be created");
    else
      g_RunReport.Failure(to, result.reason.empty() ? "cannot be written" : result.reason);
  }
  return CopyOutcome::Failed;
}

int CopyResourceTree(const std::string& parentPath, const std::string& folder, bool overwrite, bool counting) {
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
  bool atTop = true;
  int result = 0;

  while (!pending.empty()) {
    const std::string current = std::move(pending.back());
    pending.pop_back();
    // One folder's listing at a time: what the walk holds does not grow
    // with the tree.
    const bool listed = platform::ListFolder(current, entries);
    if (atTop && (!listed || entries.empty())) result = -1;
    atTop = false;
    if (!listed) {
      if (!counting) g_RunReport.Failure(current, "folder cannot be read");
      continue;
    }

    const std::string relative = current.size() > sourceRootLength ? current.substr(sourceRootLength) : "";
    subfolders.clear();
    for (const platform::DirEntry& e : entries) {
      if (RunStopRequested()) return result;
      const std::string path = current + "\\" + e.name;
      const char* skipped = SkipReason(e, path);
      if (skipped != nullptr) {
        if (!counting) g_RunReport.Failure(path, skipped);
        continue;
      }
      if (const char* reason = RefusedName(e.name)) {
        if (!counting) g_RunReport.Failure(current + "\\" + e.name, reason);
        continue;
      }
      const std::string lower = LowerAscii(e.name);
      if (e.isFolder) {
        if (lower != "parallels" && lower != "categories") subfolders.push_back(path);
        continue;
      }
      if (e.size == 0 || lower == "sounds.txt" || platform::IsOwnTemporaryName(e.name)) continue;

      g_SourceFile = current + "\\" + e.name;
      g_TargetDir = g_TargetRoot + relative;
      g_TargetFile = g_TargetDir + "\\" + e.name;
      CountUnit(counting);
      if (counting) continue;

      bool inArchive = !overwrite && PakContains(g_PakHandle, g_TargetFile.substr(g_TargetRoot.size() + 1));
      StepProgress();
      if (inArchive) {
        LeftToArchive(g_TargetFile);
        continue;
      }
      if (g_TargetDir != madeDir) {
        targetFolders.Ensure(g_TargetDir);
        madeDir = g_TargetDir;
      }
      CopyFileRecorded(g_SourceFile, g_TargetFile, overwrite);
    }
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
      platform::FolderIdentity id;
      if (targetInside && platform::GetFolderIdentity(*it, id) && id == targetFolder) continue;
      pending.push_back(std::move(*it));
    }
  }
  return result;
}

}  // namespace zet
