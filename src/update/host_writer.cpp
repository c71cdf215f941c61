#include "update/host_writer.h"

#include <utility>

#include "update/refusals.h"
#include "update/run_state.h"

namespace zet {

namespace {

bool IsSeparator(char c) { return platform::IsPathSeparator(c); }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A path as compared for sameness: letter case and separator kind folded,
// no separator at the end.
std::string Folded(const std::string& path) {
  std::string s;
  s.reserve(path.size());
  for (char c : path) s += IsSeparator(c) ? '\\' : UpperAscii(c);
  while (s.size() > 1 && s.back() == '\\') s.pop_back();
  return s;
}

// A path of the preview's pending changes, folded as the host's file
// system folds names: letters of any script.
std::string PendingKey(const std::string& path) { return platform::FoldedName(Folded(path)); }

std::string ParentOf(const std::string& path) {
  size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  while (cut > 1 && IsSeparator(path[cut - 1])) --cut;
  return path.substr(0, cut);
}

WriteResult Result(WriteOutcome outcome, std::string reason = {}) { return {outcome, std::move(reason)}; }

const char kOutside[] = "outside the host's folder";
// A link of the host's that leads nowhere (to a drive not there, say) is the
// user's: writing would put a file in its place or where it points.
const char kLinkToNothing[] = "a link that leads nowhere; left as it was";
// A host file another program wrote after the merge read it: replacing it
// would lose what that program wrote.
const char kChangedMeanwhile[] = "changed by another program while the run merged it; left as it was";
// A link of the host's into the package: writing through it would change
// the package, and what the run copies from it next.
const char kLinkIntoThePackage[] = "a link into the package; left as it was";
bool IsLinkIntoThePackage(const std::string& path) {
  return !g_SourceRoot.empty() && platform::IsLink(path) && platform::IsInsideFolder(path, g_SourceRoot);
}

// The folder, or the nearest folder above it that stands on disk (the
// folders a preview would make, or a run could not, are not there).
std::string StandingFolder(std::string folder) {
  while (!folder.empty() && platform::GetPathKind(folder) == platform::PathKind::None) {
    const std::string parent = ParentOf(folder);
    if (parent == folder) break;
    folder = parent;
  }
  return folder;
}

// True when the run could make a name in folder, or in the folder it
// stands in on disk when a preview's own folders lead to it.
bool CanMakeBelow(const std::string& folder) { return platform::CanMakeIn(StandingFolder(folder)); }

// Why nothing can be made in folder, or in the folder it stands in on disk.
std::string WhyNothingMadeIn(const std::string& folder) { return platform::WhyNothingIsMadeIn(StandingFolder(folder)); }

// The folder a write of path puts its temporary file in: a host link there
// stays a link, and is written through, beside the file it names.
std::string FolderWrittenIn(const std::string& path) {
  const std::string real = platform::IsLink(path) ? platform::RealPath(path) : std::string();
  return ParentOf(real.empty() ? path : real);
}

// True when the disk of the host file at path has no room for bytes more.
bool NoRoomFor(const std::string& path, uint64_t bytes) {
  return platform::NoRoomIn(StandingFolder(ParentOf(path)), bytes);
}

constexpr char kDiskFull[] = "cannot be written: the disk is full";

// Why a copy to path failed or was left undone, from what stands at the
// source, the target and the target's folder.
WriteResult CopyNotMade(const std::string& path, bool overwrite, platform::PathKind target, bool sourceIsFile,
                        platform::PathKind folder, bool noRoom) {
  if (!overwrite && target == platform::PathKind::File) return Result(WriteOutcome::KeptExisting);
  if (target == platform::PathKind::Folder) return Result(WriteOutcome::Failed, "a folder of that name is in the way");
  if (!sourceIsFile) return Result(WriteOutcome::Failed, "cannot be read");
  if (noRoom) return Result(WriteOutcome::Failed, kDiskFull);
  if (folder != platform::PathKind::Folder) return Result(WriteOutcome::Failed, WhyNoFolderFor(path));
  return Result(WriteOutcome::Failed, "cannot be written" + WhyNothingMadeIn(ParentOf(path)));
}

}  // namespace

bool LeftOutEmpty(const std::string& from, EmptySource empty) {
  return empty == EmptySource::LeftOut && platform::IsEmptyFile(from);
}

std::string WhyNoFolderFor(const std::string& path) {
  // A link of the host's that leads nowhere, in the place of the folder or
  // of one above it, is the user's (see kLinkToNothing).
  for (std::string folder = ParentOf(path); !folder.empty(); folder = ParentOf(folder)) {
    if (platform::IsLinkToNothing(folder)) return "its folder is a link that leads nowhere; left as it was";
    const platform::PathKind kind = platform::GetPathKind(folder);
    if (kind == platform::PathKind::File) return "its folder cannot be created: a file of that name is in the way";
    if (kind != platform::PathKind::None || ParentOf(folder) == folder) break;
  }
  return "its folder cannot be created" + WhyNothingMadeIn(ParentOf(path));
}

std::string OnDiskBytes(const std::string& bytes, bool text) {
  if (!text) return bytes;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  for (char c : bytes) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

HostWriter::HostWriter(std::string root) : root_(std::move(root)) {
  while (root_.size() > 1 && IsSeparator(root_.back())) root_.pop_back();
  foldedRoot_ = Folded(root_);
}

bool HostWriter::Relative(const std::string& path, std::string& relative) const {
  // path begins with the root, letter case and separator kind folded.
  const std::string& root = foldedRoot_;
  if (path.size() < root.size()) return false;
  for (size_t i = 0; i < root.size(); ++i)
    if ((IsSeparator(path[i]) ? '\\' : UpperAscii(path[i])) != root[i]) return false;
  if (path.size() > root.size() && !IsSeparator(path[root.size()]) && root.back() != '\\') return false;
  size_t start = root.size();
  while (start < path.size() && IsSeparator(path[start])) ++start;
  relative = path.substr(start);
  while (!relative.empty() && IsSeparator(relative.back())) relative.pop_back();
  // No component may lead back up.
  for (size_t at = 0; at <= relative.size();) {
    size_t end = at;
    while (end < relative.size() && !IsSeparator(relative[end])) ++end;
    if (end - at == 2 && relative[at] == '.' && relative[at + 1] == '.') return false;
    at = end + 1;
  }
  return true;
}

platform::PathKind HostWriter::KindOf(const std::string& path) { return platform::GetPathKind(path); }

bool HostWriter::ReadBack(const std::string& path, std::string& bytes) {
  // Taken before the bytes: a write while they are read shows as well.
  std::string version = platform::FileVersion(path);
  {
    std::lock_guard<std::mutex> lock(versionsMutex_);
    versionsRead_[path] = std::move(version);
  }
  return platform::ReadWholeFile(path, bytes);
}

std::string HostWriter::TakeVersionRead(const std::string& path) {
  std::lock_guard<std::mutex> lock(versionsMutex_);
  auto it = versionsRead_.find(path);
  if (it == versionsRead_.end()) return {};
  std::string version = std::move(it->second);
  versionsRead_.erase(it);
  return version;
}

bool HostWriter::MakeFolders(const std::string& path) {
  std::string relative;
  if (!Relative(path, relative)) return false;
  if (KindOf(path) == platform::PathKind::Folder) return true;
  std::string folder = root_;
  for (size_t at = 0; at < relative.size();) {
    size_t end = at;
    while (end < relative.size() && !IsSeparator(relative[end])) ++end;
    if (end > at) {
      folder += '\\';
      folder.append(relative, at, end - at);
      if (KindOf(folder) == platform::PathKind::None) MakeFolder(folder);
    }
    at = end + 1;
  }
  return KindOf(path) == platform::PathKind::Folder;
}

// ------------------------------------------------------------------ disk

bool DiskWriter::MakeFolder(const std::string& path) {
  std::string relative;
  return Relative(path, relative) && !relative.empty() && platform::CreateFolder(path);
}

WriteResult DiskWriter::CopyIn(const std::string& from, const std::string& path, bool overwrite, EmptySource empty) {
  return CopyIn(from, path, overwrite, empty, nullptr);
}

WriteResult DiskWriter::CopyIn(const std::string& from, const std::string& path, bool overwrite, EmptySource empty,
                               platform::CopyWatcher* watcher) {
  std::string relative;
  if (!Relative(path, relative) || relative.empty()) return Result(WriteOutcome::Failed, kOutside);
  // A copy that may replace looks at the source before the host's file; one
  // that may not finds it empty as it opens it.
  if (overwrite && LeftOutEmpty(from, empty)) return Result(WriteOutcome::LeftOut);
  // Without overwrite no name that stands is replaced, such a link's
  // neither: it is told apart once the copy has failed.
  if (overwrite && platform::IsLinkToNothing(path)) return Result(WriteOutcome::Failed, kLinkToNothing);
  if (overwrite && IsLinkIntoThePackage(path)) return Result(WriteOutcome::Failed, kLinkIntoThePackage);
  const platform::PathKind before = overwrite ? platform::GetPathKind(path) : platform::PathKind::None;
  bool emptySource = false;
  if (platform::CopyFileKeepingTime(from, path, !overwrite, watcher,
                                    empty == EmptySource::LeftOut ? &emptySource : nullptr))
    return Result(before == platform::PathKind::File ? WriteOutcome::Replaced : WriteOutcome::Created);
  if (emptySource) return Result(WriteOutcome::LeftOut);
  const bool noRoom = platform::LastFailureWasNoRoom();
  if (platform::IsLinkToNothing(path)) return Result(WriteOutcome::Failed, kLinkToNothing);
  uint64_t length = 0;
  platform::GetFileLength(from, length);
  return CopyNotMade(path, overwrite, platform::GetPathKind(path), platform::CanReadFile(from),
                     platform::GetPathKind(ParentOf(path)), noRoom || NoRoomFor(path, length));
}

WriteResult DiskWriter::ReplaceBytes(const std::string& path, const std::string& bytes, bool text,
                                     const std::string&) {
  std::string relative;
  if (!Relative(path, relative) || relative.empty()) return Result(WriteOutcome::Failed, kOutside);
  if (platform::IsLinkToNothing(path)) return Result(WriteOutcome::Failed, kLinkToNothing);
  if (IsLinkIntoThePackage(path)) return Result(WriteOutcome::Failed, kLinkIntoThePackage);
  const platform::PathKind before = platform::GetPathKind(path);
  if (before == platform::PathKind::Folder) return Result(WriteOutcome::Failed, "a folder of that name is in the way");
  const std::string onDisk = OnDiskBytes(bytes, text);
  const std::string read = before == platform::PathKind::File ? TakeVersionRead(path) : std::string();
  if (!platform::WriteFileReplacing(path, onDisk, false, read.empty() ? nullptr : &read)) {
    if (!read.empty() && platform::FileVersion(path) != read)
      return Result(WriteOutcome::Failed, kChangedMeanwhile);
    if (platform::LastFailureWasNoRoom() || NoRoomFor(path, onDisk.size()))
      return Result(WriteOutcome::Failed, std::string(kDiskFull) + "; left as it was");
    return Result(WriteOutcome::Failed, before == platform::PathKind::File && !platform::CanWriteFile(path)
                                            ? platform::WhyNotWritable(path)
                                            : "cannot be written; left as it was");
  }
  return Result(before == platform::PathKind::File ? WriteOutcome::Replaced : WriteOutcome::Created);
}

// --------------------------------------------------------------- preview

platform::PathKind PreviewWriter::Kind(const std::string& path) const {
  auto it = pending_.find(PendingKey(path));
  if (it != pending_.end()) return it->second.folder ? platform::PathKind::Folder : platform::PathKind::File;
  return platform::GetPathKind(path);
}

platform::PathKind PreviewWriter::KindOf(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  return Kind(path);
}

bool PreviewWriter::ReadBack(const std::string& path, std::string& bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = pending_.find(PendingKey(path));
  if (it == pending_.end() || it->second.folder) {
    lock.unlock();
    return HostWriter::ReadBack(path, bytes);
  }
  if (it->second.source.empty()) {
    bytes = it->second.bytes;
    return true;
  }
  const std::string source = it->second.source;
  lock.unlock();
  return platform::ReadWholeFile(source, bytes);
}

WriteResult PreviewWriter::Add(ChangeKind kind, const std::string& path, std::string note) {
  PreviewChange change{kind, {}, std::move(note), {}, {}};
  // The host's spelling of the folders and file it has (on Linux a package
  // may spell them in other letters): the names the run writes.
  std::string spelled = platform::NativePath(path);
  for (char& c : spelled)
    if (IsSeparator(c)) c = '\\';
  if (!Relative(spelled, change.path)) Relative(path, change.path);
  changes_.push_back(std::move(change));
  lastFailureOwn_ = kind == ChangeKind::Failed;
  switch (kind) {
    case ChangeKind::FolderCreated:
    case ChangeKind::FileCreated: return Result(WriteOutcome::Created);
    case ChangeKind::FileReplaced:
    case ChangeKind::FileMerged: return Result(WriteOutcome::Replaced);
    case ChangeKind::Failed: return Result(WriteOutcome::Failed, changes_.back().note);
    default: return Result(WriteOutcome::KeptExisting);
  }
}

bool PreviewWriter::MakeFolder(const std::string& path) {
  std::string relative;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Relative(path, relative) || relative.empty() || Kind(path) != platform::PathKind::None ||
      Kind(ParentOf(path)) != platform::PathKind::Folder || !CanMakeBelow(ParentOf(path)) ||
      platform::IsLinkToNothing(path))
    return false;
  pending_[PendingKey(path)].folder = true;
  Add(ChangeKind::FolderCreated, path, {});
  return true;
}

WriteResult PreviewWriter::CopyIn(const std::string& from, const std::string& path, bool overwrite,
                                  EmptySource empty) {
  if (LeftOutEmpty(from, empty)) return Result(WriteOutcome::LeftOut);
  std::string relative;
  // A package file a link puts outside the package is never read by the
  // run (where the listing cannot tell a link, as under Wine, the copy
  // finds out); the run's caller says why.
  const bool sourceIsFile = platform::CanReadFile(from) && !LeadsOutOfThePackage(from);
  const bool toNothing = platform::IsLinkToNothing(path), intoThePackage = overwrite && IsLinkIntoThePackage(path);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Relative(path, relative) || relative.empty()) return Add(ChangeKind::Failed, path, kOutside);
  if (toNothing) return Add(ChangeKind::Failed, path, kLinkToNothing);
  if (intoThePackage) return Add(ChangeKind::Failed, path, kLinkIntoThePackage);
  const platform::PathKind target = Kind(path), folder = Kind(ParentOf(path));
  const std::string key = PendingKey(path);
  const bool possible = sourceIsFile && folder == platform::PathKind::Folder && CanMakeBelow(FolderWrittenIn(path));
  if (target == platform::PathKind::None && possible) {
    pending_[key] = Pending{false, from, {}};
    return Add(ChangeKind::FileCreated, path, {});
  }
  if (target == platform::PathKind::File && overwrite && possible) {
    if (pending_.count(key) == 0 && !platform::CanWriteFile(path))
      return Add(ChangeKind::Failed, path, platform::WhyNotWritable(path));
    pending_[key] = Pending{false, from, {}};
    return Add(ChangeKind::FileReplaced, path, {});
  }
  WriteResult result = CopyNotMade(path, overwrite, target, sourceIsFile, folder, false);
  return Add(result.outcome == WriteOutcome::KeptExisting ? ChangeKind::KeptExisting : ChangeKind::Failed, path,
             result.reason);
}

WriteResult PreviewWriter::ReplaceBytes(const std::string& path, const std::string& bytes, bool text,
                                        const std::string& summary) {
  std::string relative, old;
  const bool existed = KindOf(path) == platform::PathKind::File;
  if (existed && !ReadBack(path, old)) old.clear();
  const bool toNothing = platform::IsLinkToNothing(path), intoThePackage = IsLinkIntoThePackage(path);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Relative(path, relative) || relative.empty()) return Add(ChangeKind::Failed, path, kOutside);
  if (toNothing) return Add(ChangeKind::Failed, path, kLinkToNothing);
  if (intoThePackage) return Add(ChangeKind::Failed, path, kLinkIntoThePackage);
  const platform::PathKind target = Kind(path);
  if (target == platform::PathKind::Folder) return Add(ChangeKind::Failed, path, "a folder of that name is in the way");
  const std::string key = PendingKey(path);
  const bool pendingFile = pending_.count(key) != 0;
  if (target == platform::PathKind::File && !pendingFile && !platform::CanWriteFile(path))
    return Add(ChangeKind::Failed, path, platform::WhyNotWritable(path));
  if (Kind(ParentOf(path)) != platform::PathKind::Folder ||
      !CanMakeBelow(FolderWrittenIn(path)))
    return Add(ChangeKind::Failed, path, "cannot be written; left as it was");
  std::string written = OnDiskBytes(bytes, text);
  WriteResult result = Add(existed ? ChangeKind::FileMerged : ChangeKind::FileCreated, path, summary);
  changes_.back().oldBytes = std::move(old);
  changes_.back().newBytes = written;
  pending_[key] = Pending{false, {}, std::move(written)};
  return result;
}

void PreviewWriter::Note(ChangeKind kind, const std::string& path, const std::string& note) {
  std::lock_guard<std::mutex> lock(mutex_);
  Add(kind, path, note);
}

void PreviewWriter::NoteFailure(const std::string& shownPath, const std::string& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!lastFailureOwn_) changes_.push_back({ChangeKind::Failed, {}, {}, {}, {}});
  changes_.back().path = shownPath;
  changes_.back().note = reason;
  lastFailureOwn_ = false;
}

std::vector<PreviewChange> PreviewWriter::changes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return changes_;
}

std::string PreviewLine(const PreviewChange& change) {
  static constexpr size_t kPathColumn = 34;
  const char* mark = "+";
  std::string what;
  switch (change.kind) {
    case ChangeKind::FolderCreated: what = "new folder"; break;
    case ChangeKind::FileCreated: what = "new file"; break;
    case ChangeKind::FileReplaced: mark = ">"; what = "replaced (overwrite)"; break;
    case ChangeKind::FileMerged: mark = "~"; what = change.note.empty() ? "merged" : "merged: " + change.note; break;
    case ChangeKind::KeptExisting: mark = "."; what = "kept, the host has it"; break;
    case ChangeKind::LeftToArchive: mark = "="; what = "left to the archive"; break;
    case ChangeKind::Failed: mark = "!"; what = "would fail: " + change.note; break;
  }
  // Separators as the user's system writes them.
  const char separator = platform::IsPathSeparator('/') ? '/' : '\\';
  std::string path = platform::ShownText(change.path);
  for (char& c : path)
    if (c == '\\') c = separator;
  if (change.kind == ChangeKind::FolderCreated) path += separator;
  std::string line = std::string(mark) + " " + path;
  // At least two blanks after the path, so that a script finds its end.
  line += std::string(path.size() + 2 <= kPathColumn ? kPathColumn - path.size() : 2, ' ');
  return line + what;
}

}  // namespace zet
