#include "host/undo.h"

#include <set>

#include "platform/ascii_text.h"
#include "platform/file_state.h"
#include "platform/platform.h"
#include "update/texture_list.h"

namespace zet {

namespace {

std::string Join(const std::string& a, const std::string& b) {
  if (b.empty()) return a;
  return platform::IsPathSeparator(a.back()) ? a + b : a + "\\" + b;
}

std::string ParentOf(const std::string& relative) {
  const size_t cut = relative.find_last_of('\\');
  return cut == std::string::npos ? std::string() : relative.substr(0, cut);
}

bool Below(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '\\';
}

// A journal is files in a folder that others may reach: undo goes no
// further than the host and the run's own folder, whatever a manifest says.
// True for a path of plain names below the host (no root, drive, "." or
// "..", with either separator, as Windows takes both).
bool InsideTheHost(const std::string& relative) {
  if (relative.empty()) return false;
  for (size_t at = 0; at <= relative.size();) {
    size_t end = at;
    while (end < relative.size() && relative[end] != '\\' && relative[end] != '/') ++end;
    const std::string name = relative.substr(at, end - at);
    if (name.empty() || name == "." || name == ".." || name.find(':') != std::string::npos) return false;
    at = end + 1;
  }
  return true;
}

// True for old bytes where the journal keeps them: "old\" and a number.
bool KeptByTheRun(const std::string& oldBytes) {
  static constexpr char kPrefix[] = "old\\";
  constexpr size_t n = sizeof kPrefix - 1;
  return oldBytes.size() > n && oldBytes.compare(0, n, kPrefix) == 0 &&
         oldBytes.find_first_not_of("0123456789", n) == std::string::npos;
}

// Puts the old bytes kept at from back at path, in one step, with their
// time and permission bits. Through a link the file it names gets them.
bool Restore(const std::string& from, const std::string& path, uint32_t mode) {
  // The copy replaces the file only once it is complete, and through a
  // link it replaces the file the link names.
  bool ok = platform::CopyFileKeepingTime(from, path, false);
  if (!ok) {
    // A full disk (as a run that filled it leaves it) has no room for a
    // copy; the journal keeps the old file itself as a second name where
    // it can, and that file can take the place again without room.
    const std::string real = platform::IsLink(path) ? platform::RealPath(path) : path;
    const std::string temporary = real.empty() ? std::string() : platform::TemporaryPathBeside(real);
    ok = !temporary.empty() && platform::RemoveFile(temporary) && platform::MakeHardLink(from, temporary) &&
         platform::MoveFileReplacing(temporary, real);
    if (!ok && !temporary.empty()) platform::RemoveFile(temporary);
  }
  // Permission bits alone: never set-user-id or set-group-id from a journal.
  return ok && (mode == 0 || platform::SetFileMode(path, mode & 01777));
}

class Undoer {
 public:
  Undoer(const std::string& target, UndoResult& result) : target_(target), result_(result) {
    for (const JournalEntry& e : result.run.entries)
      if (e.kind == ChangeKind::FileCreated) created_.insert(e.path);
  }

  void File(const JournalEntry& e) {
    if (!InsideTheHost(e.path)) return Keep(e.path, kNotInTheHost);
    const std::string path = Join(target_, e.path);
    if (!ReachedAsAtTheRun(e.path)) return Keep(e.path, kOutOfTheHost);
    // No run writes such a path; the program cannot look at it.
    if (path.size() > platform::kLongestPath) return Keep(e.path, "its path is longer than Windows programs take; left alone");
    touched_.insert(ParentOf(e.path));
    const platform::PathKind kind = platform::GetPathKind(path);
    FileDigest present;
    const bool readable = kind == platform::PathKind::File && DigestFile(path, present);
    // A file that cannot be read now (another program holds it) is not one
    // changed since: a later undo looks again.
    if (kind == platform::PathKind::File && !readable) return Unfinished(e.path, "cannot be read now");
    if (e.kind == ChangeKind::FileCreated) {
      if (kind == platform::PathKind::None) return;  // never made, or gone since
      if (!readable || present != e.written) return KeepChanged(e.path);
      // A texture list the user changed since is kept, and names the files
      // the run added for it: they stay with it.
      if (NamedByAKeptList(e.path)) return Keep(e.path, "a texture list changed since the run names it");
      if (!platform::RemoveFile(path))
        return Unfinished(e.path, "cannot be removed" + platform::WhyNothingChangesIn(ParentOf(path)));
      ++result_.filesRemoved;
      return;
    }
    // The change was never made; a file replaced by the same bytes had its
    // time and mode changed, and gets them back below.
    if (readable && present == e.old && e.old != e.written) return;
    if (kind == platform::PathKind::None) {
      // A file the run made is gone as undo leaves it (an undo that did not
      // end took it): nothing to give back.
      if (created_.count(e.path) != 0) return;
      return Keep(e.path, "removed since the run");
    }
    if (!readable || present != e.written) return KeepChanged(e.path);
    // The old bytes as the run kept them, or none: a file put in their place
    // since (or a link to one) is no file of the host's.
    const std::string kept = Join(result_.run.folder, e.oldBytes);
    FileDigest old;
    if (!KeptByTheRun(e.oldBytes) || platform::IsLink(kept) || !DigestFile(kept, old) || old != e.old)
      return Keep(e.path, "its old bytes are not in the journal");
    if (!Restore(kept, path, e.mode))
      return Unfinished(e.path, platform::NoRoomIn(ParentOf(path), old.size)
                                    ? "its old bytes cannot be put back now: the disk is full"
                                    : "its old bytes cannot be put back now" + platform::WhyNothingChangesIn(ParentOf(path)));
    ++result_.filesRestored;
  }

  // The temporary files a killed copy or save left in the folders the run
  // wrote in.
  void Temporaries() {
    for (const std::string& folder : touched_) {
      if (!ReachedAsAtTheRun(folder)) continue;
      std::vector<platform::DirEntry> entries;
      platform::ListFolder(Join(target_, folder), entries);
      for (const platform::DirEntry& entry : entries)
        if (!entry.isFolder && !entry.isLink && !entry.isSpecial && platform::IsOwnTemporaryName(entry.name) &&
            platform::RemoveFile(Join(Join(target_, folder), entry.name)))
          ++result_.temporariesRemoved;
    }
  }

  void Folder(const JournalEntry& e) {
    if (!InsideTheHost(e.path)) return Keep(e.path, kNotInTheHost);
    const std::string path = Join(target_, e.path);
    if (platform::GetPathKind(path) != platform::PathKind::Folder) return;
    if (platform::IsLink(path) || !ReachedAsAtTheRun(e.path)) return Keep(e.path, kOutOfTheHost);
    if (platform::RemoveEmptyFolder(path)) {
      ++result_.foldersRemoved;
      return;
    }
    std::vector<platform::DirEntry> entries;
    if (platform::ListFolder(path, entries) && entries.empty())
      return Unfinished(e.path, "cannot be removed now" + platform::WhyNothingChangesIn(ParentOf(path)));
    // A folder that holds a file listed already is not listed again.
    for (const UndoKept& k : result_.kept)
      if (Below(k.path, e.path)) return;
    Keep(e.path, "holds files added since the run");
  }

  void NoteFolder(const JournalEntry& e) {
    if (!InsideTheHost(e.path)) return;
    touched_.insert(e.path);
    touched_.insert(ParentOf(e.path));
  }

 private:
  static constexpr char kNotInTheHost[] = "not a path in the host; left alone";
  static constexpr char kOutOfTheHost[] = "reached through a link put in since the run, which leads out of the host; left alone";

  // True when relative lies in the host, or where it lay when the run wrote
  // it: a link on the way that leads out of the host (a folder moved to
  // another disk, say) and stood before the run is the host's own; one put
  // in since (a stranger's swap) makes undo change nothing through it.
  bool ReachedAsAtTheRun(const std::string& relative) const {
    const std::string path = Join(target_, relative);
    if (LiesWithinReal(path, realTarget_)) return true;
    bool linked = false;
    for (size_t cut = 0; cut != std::string::npos;) {
      cut = relative.find('\\', cut + 1);
      const std::string part = Join(target_, relative.substr(0, cut));
      if (!platform::IsLink(part)) continue;
      if (platform::ChangedSince(part, result_.run.started, result_.run.startedNanos)) return false;
      linked = true;
    }
    return linked;
  }
  // One line for a path and its reason, however many changes of the run
  // it stands for.
  void Keep(const std::string& path, const std::string& reason) {
    if (keptOnce_.insert(path + '\n' + reason).second) result_.kept.push_back({path, reason});
  }
  void KeepChanged(const std::string& path) {
    Keep(path, "changed since the run");
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    if (EqualsIgnoringCase(name, "Texturen.txt")) NoteTextures(path, ".dds");
    if (EqualsIgnoringCase(name, "Bodentexturen.txt")) NoteTextures(path, ".bmp");
  }
  // The texture files the kept list at path names, as the merge names them
  // (the list is undone before the files the run copied for it).
  void NoteTextures(const std::string& path, const char* extension) {
    TextureList list(Join(target_, path));
    if (!list.IsLoaded()) return;
    const std::string folder = ParentOf(path);
    for (int32_t id : list.GetIds()) {
      TextureRecord texture;
      if (!list.ParseTexture(id, texture) || texture.name.empty()) continue;
      const std::string name = platform::NameFromCodePage(ListedTextureFile(texture.name, extension));
      namedTextures_.insert(platform::FoldedName(folder.empty() ? name : Join(folder, name)));
    }
  }
  bool NamedByAKeptList(const std::string& path) const {
    return namedTextures_.count(platform::FoldedName(path)) != 0;
  }
  // Kept for now: a later undo tries again.
  void Unfinished(const std::string& path, const std::string& reason) {
    Keep(path, reason);
    result_.unfinished = true;
  }

  const std::string& target_;
  const std::string realTarget_ = platform::RealPath(target_);
  UndoResult& result_;
  std::set<std::string> touched_;
  std::set<std::string> created_;  // files the run made
  std::set<std::string> keptOnce_;
  std::set<std::string> namedTextures_;  // folded paths the kept texture lists name
};

}  // namespace


UndoResult UndoLatestRun(const std::string& root, const std::string& target,
                         const std::function<bool()>& stopRequested) {
  UndoResult result;
  if (!FindRunToUndo(root, target, result.run)) return result;
  // What such a run changed is not known: a run before it taken back could
  // undo what the later one built on.
  if (result.run.unreadable) {
    result.status = 1;
    result.kept.push_back({result.run.folder, "the run's journal cannot be read; neither it nor a run before it is undone"});
    return result;
  }
  if (!ReadRun(result.run.folder, result.run, true)) return result;
  if (!CanMarkRun(result.run.folder)) {
    result.journalUnwritable = true;
    return result;
  }
  // An undo killed from here on leaves the run partly undone, and says so.
  MarkUndoStarted(result.run.folder);

  // Backwards: a file the run created and then merged into is first given
  // its first bytes back, then removed; a folder goes after what is in it.
  Undoer undoer(target, result);
  const std::vector<JournalEntry>& entries = result.run.entries;
  const auto stopped = [&] {
    if (!stopRequested || !stopRequested()) return false;
    result.unfinished = true;
    result.kept.push_back({result.run.folder, "the undo was stopped; the next undo goes on with it"});
    result.status = 1;
    return true;
  };
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (stopped()) return result;
    if (it->kind == ChangeKind::FolderCreated)
      undoer.NoteFolder(*it);
    else
      undoer.File(*it);
  }
  undoer.Temporaries();
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (it->kind != ChangeKind::FolderCreated) continue;
    if (stopped()) return result;
    undoer.Folder(*it);
  }

  if (result.run.damaged)
    result.kept.push_back({result.run.folder, "the run's manifest holds a line no run writes; what it said is not undone"});
  if (!result.unfinished && !MarkRunUndone(result.run.folder))
    result.kept.push_back({result.run.folder, "the journal cannot mark the run as undone"});
  result.status = result.kept.empty() ? 0 : 1;
  return result;
}

}  // namespace zet
