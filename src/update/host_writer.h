#pragma once
// The one way a run changes the host's tree: make a folder, copy a file in,
// replace a file's bytes. The disk does it; a preview only records what
// would happen; the journal (a layer up) records each change, with the bytes
// it replaces, before the disk makes it. Paths are the program's own, below
// the host's root folder; a path outside it is refused.
//
// CopyIn may be called from several threads at once.

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zet {

enum class ChangeKind {
  FolderCreated,
  FileCreated,   // a file where there was none
  FileReplaced,  // a copy over a host file (overwrite)
  FileMerged,    // a host file rewritten with merged content
  KeptExisting,  // a copy left undone: the host has the file
  LeftToArchive, // a copy left undone: the package's archive holds the file
  Failed,
};

enum class WriteOutcome {
  Created,
  Replaced,
  KeptExisting,
  LeftOut,  // the package's file is empty: nothing to copy (EmptySource::LeftOut)
  Failed,
};

// What a copy does with a package file it finds empty: the tree's walk
// leaves empty files out, and finds out which they are by opening them.
enum class EmptySource { Copied, LeftOut };

struct WriteResult {
  WriteOutcome outcome = WriteOutcome::Failed;
  std::string reason;  // why it failed, as the run reports it
  bool ok() const { return outcome == WriteOutcome::Created || outcome == WriteOutcome::Replaced; }
};

// The bytes a write of text in text mode puts on disk: each LF as CR LF.
std::string OnDiskBytes(const std::string& bytes, bool text);

// True when from is an empty file that empty leaves out.
bool LeftOutEmpty(const std::string& from, EmptySource empty);

// Why the folder of the host file at path is not there to copy into.
std::string WhyNoFolderFor(const std::string& path);

class HostWriter {
 public:
  explicit HostWriter(std::string root);
  virtual ~HostWriter() = default;
  HostWriter(const HostWriter&) = delete;
  HostWriter& operator=(const HostWriter&) = delete;

  const std::string& root() const { return root_; }

  // Creates one folder whose parent stands; false when it stands already or
  // cannot be made.
  virtual bool MakeFolder(const std::string& path) = 0;

  // Copies a package's file to path, keeping its time. Without overwrite an
  // existing file stays (KeptExisting). An empty file that empty leaves out
  // is LeftOut, whatever stands at path.
  virtual WriteResult CopyIn(const std::string& from, const std::string& path, bool overwrite,
                             EmptySource empty = EmptySource::Copied) = 0;

  // Puts bytes (text: LF written as CR LF) in the file's place whole, or
  // leaves the file as it was. summary says in a few words what a merge
  // added, for the preview.
  virtual WriteResult ReplaceBytes(const std::string& path, const std::string& bytes, bool text,
                                   const std::string& summary = {}) = 0;

  // What stands at path after the changes made so far, and its bytes: what
  // a later step of the same run reads. A host file read so is not
  // replaced where another program writes it before the run does.
  virtual platform::PathKind KindOf(const std::string& path);
  virtual bool ReadBack(const std::string& path, std::string& bytes);

  // The run has made its last change; called before its view hears of its
  // end, which may wait on the user.
  virtual void RunDone(bool /*stopped*/) {}

  // Makes every missing folder of path below the root, one level at a time
  // through MakeFolder; true when the folder stands afterwards.
  bool MakeFolders(const std::string& path);

  // path relative to the root; false when path is not below it or leads out
  // of it with a ".." component.
  bool Relative(const std::string& path, std::string& relative) const;

 protected:
  // The platform::FileVersion of the file at path when ReadBack last read
  // it, which a write of it then takes: empty when none read it since.
  std::string TakeVersionRead(const std::string& path);

 private:
  std::string root_;
  std::string foldedRoot_;  // as compared for sameness
  std::mutex versionsMutex_;
  std::map<std::string, std::string> versionsRead_;  // path -> version
};

// Changes the disk, as a run without preview or journal does.
class DiskWriter : public HostWriter {
 public:
  using HostWriter::HostWriter;
  bool MakeFolder(const std::string& path) override;
  WriteResult CopyIn(const std::string& from, const std::string& path, bool overwrite,
                     EmptySource empty = EmptySource::Copied) override;
  // The same, with a watcher of the copy (see platform::CopyFileKeepingTime).
  WriteResult CopyIn(const std::string& from, const std::string& path, bool overwrite, EmptySource empty,
                     platform::CopyWatcher* watcher);
  WriteResult ReplaceBytes(const std::string& path, const std::string& bytes, bool text,
                           const std::string& summary) override;
};

// One change a preview would make, in run order.
struct PreviewChange {
  ChangeKind kind;
  std::string path;  // relative to the root, program separators
  std::string note;  // a merge's summary, a failure's reason
  // For merges (and files a merge creates): the file's bytes before (empty
  // when new) and after, as they would be on disk.
  std::string oldBytes;
  std::string newBytes;
};

// Writes nothing; records each change and answers later reads of the same
// run as if the changes had been made.
class PreviewWriter : public HostWriter {
 public:
  using HostWriter::HostWriter;
  platform::PathKind KindOf(const std::string& path) override;
  bool ReadBack(const std::string& path, std::string& bytes) override;
  bool MakeFolder(const std::string& path) override;
  WriteResult CopyIn(const std::string& from, const std::string& path, bool overwrite,
                     EmptySource empty = EmptySource::Copied) override;
  WriteResult ReplaceBytes(const std::string& path, const std::string& bytes, bool text,
                           const std::string& summary) override;

  // A change the run decides without writing (a file left to the archive).
  void Note(ChangeKind kind, const std::string& path, const std::string& note = {});

  // A failure the run reports, at a path as shown (relative to the root
  // where it is below it). It takes the place of the failure this writer
  // recorded last when no change came in between: the run's words for a
  // failure are the ones shown.
  void NoteFailure(const std::string& shownPath, const std::string& reason);

  std::vector<PreviewChange> changes() const;

 private:
  struct Pending {
    bool folder = false;
    std::string source;  // a copied file: where its bytes come from
    std::string bytes;   // a written file: its bytes
  };
  WriteResult Add(ChangeKind kind, const std::string& path, std::string note);
  // Under mutex_.
  platform::PathKind Kind(const std::string& path) const;

  mutable std::mutex mutex_;
  std::vector<PreviewChange> changes_;
  std::map<std::string, Pending> pending_;  // by path folded for comparison
  bool lastFailureOwn_ = false;              // the last change is a failure this writer found
};

// A preview line: marker, path (native separators), what happens.
//   + Modelle\Loks\BR218.mdl            new file
std::string PreviewLine(const PreviewChange& change);

}  // namespace zet
