#pragma once
// The run journal: for every run on a host, a folder outside the host's tree
// with a readable manifest of each change the run made, and the old bytes
// of each host file it replaced, so that the run can be taken back.
//
// Each manifest line is handed to the system (one write, no buffer in the
// process) before its change is made, and a file's old bytes are in the
// journal before the file is replaced: a run killed at any instant leaves a
// journal that undoes it. The manifest goes to the disk itself at bounded
// intervals and at the end of the run.
//
//   <root>/<host>/<run>/manifest.txt      <host>: hash of the target's real path
//   <root>/<host>/<run>/old/000001        <run>: 00000001, 00000002, ...

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/file_hash.h"
#include "platform/file_state.h"
#include "platform/spinning_mutex.h"
#include "update/host_writer.h"

namespace zet {

// The journal's root folder: ZETVELTRAN_JOURNAL_DIR when set, else
// %LOCALAPPDATA%\ZetVeltran\journal on Windows and
// $XDG_STATE_HOME/zetveltran/journal (by default ~/.local/state/...)
// elsewhere. Empty when the system names no such place.
std::string JournalRoot();

// The folder holding the runs on the host whose resource folder is target;
// empty when target does not exist.
std::string HostJournalFolder(const std::string& root, const std::string& target);

// PartlyUndone: an undo began and did not end (killed, or a change it
// could not take back for now); the next undo goes on with it.
enum class RunState { Completed, Stopped, Interrupted, PartlyUndone, Undone };

// One change of a run, as the manifest holds it.
struct JournalEntry {
  ChangeKind kind = ChangeKind::FileCreated;  // folder or file created, file replaced or merged
  std::string path;      // relative to the target, program separators
  FileDigest written;    // a file's bytes as the run wrote them
  FileDigest old;        // a replaced or merged file's bytes before
  uint32_t mode = 0;     // its permission bits before (POSIX)
  std::string oldBytes;  // where its old bytes are, relative to the run's folder
};

struct RunRecord {
  std::string folder;  // the run's folder in the journal
  std::string target;
  std::string package;
  std::string version;
  int64_t started = 0;      // seconds since 1970, UTC
  int64_t startedNanos = 0;  // and the nanoseconds of that second, by the clock of files' change times
  int64_t lastWritten = 0;  // when the manifest was last written to
  RunState state = RunState::Interrupted;
  // The changes made or under way when the run ended, in run order, when
  // read with them (see ReadRun); those that failed are left out.
  std::vector<JournalEntry> entries;
  bool damaged = false;  // a line too long for any run's was passed over
  // A manifest that holds bytes but no run's header (a damaged one): known
  // only by its folder and the time it was last written.
  bool unreadable = false;
  int counts[static_cast<int>(ChangeKind::Failed) + 1] = {};  // of the changes by kind

  int Count(ChangeKind kind) const;
  // Not undone, and with a change to take back (one killed before its
  // first change has none).
  bool Undoable() const;
};

// Reads a run's manifest, with its changes when withEntries (else only
// their counts, in memory that does not grow with the run); false when
// there is none or it is not one.
bool ReadRun(const std::string& folder, RunRecord& run, bool withEntries = false);

// The runs on a host, newest first, without their changes.
std::vector<RunRecord> ListRuns(const std::string& root, const std::string& target);

// The run an undo takes up, without its changes: the newest not undone
// that has a change to take back, or a newer one whose journal cannot be
// read (unreadable), past which no undo goes. False when there is none.
bool FindRunToUndo(const std::string& root, const std::string& target, RunRecord& run);

// The host's newest run, when it ended without its end mark and has not been
// undone, or an undo of it did not end; and has a change to take back.
bool FindInterruptedRun(const std::string& root, const std::string& target, RunRecord& run);

// Marks a run as being taken back, and as taken back: undo then takes the
// run before it.
// True when the run's manifest in folder may be written: its undo can be noted.
bool CanMarkRun(const std::string& folder);
bool MarkUndoStarted(const std::string& folder);
bool MarkRunUndone(const std::string& folder);

// True while the run of that journal folder goes on: its process holds the
// run's own lock, which a killed run gives up with its process (a preview
// or an undo that holds the host's lock holds none).
bool RunUnderWay(const std::string& folder);

// True when the journal of the host no longer holds runs that were not
// undone: older than those it keeps.
bool OlderRunsDropped(const std::string& root, const std::string& target);

// "2026-12-07 02:15:00 UTC"
std::string JournalTimeText(int64_t seconds);

// True when path, which need not exist yet, is folder or lies below it,
// links followed as the system follows them.
bool LiesWithin(std::string path, const std::string& folder);
// The same for a folder given by its real path (platform::RealPath), which
// a caller asking many times looks up once.
bool LiesWithinReal(std::string path, const std::string& outer);

struct JournalStart {
  std::string root;     // JournalRoot()
  std::string target;   // the host's resource folder
  std::string package;  // the package's resource folder
  std::string version;  // the program's
  // Keep old bytes as a second name of the replaced file where the journal
  // and the host share a volume; a copy otherwise.
  bool linkOldBytes = true;
};

class Journal {
 public:
  static constexpr int kRunsKept = 10;
  // The manifest goes to the disk after this many lines or this much time.
  static constexpr int kSyncLines = 1000;
  static constexpr std::chrono::seconds kSyncInterval{2};

  Journal() = default;
  // Without Finish the run stays without end mark: interrupted.
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Opens a new run's folder and manifest and prunes the host's runs to the
  // newest kRunsKept. false with a message when the journal cannot be kept;
  // the journal then holds nothing of this run.
  bool Begin(const JournalStart& start, std::string& error);
  // Why Begin would refuse start, found without making anything (for a
  // preview, which ends as the run would); empty when nothing is in the way.
  static std::string Refusal(const JournalStart& start);
  const std::string& folder() const { return folder_; }
  bool active() const { return manifest_.is_open(); }

  // Thread-safe. Each returns once the line is with the system.
  bool Record(const JournalEntry& entry);
  // The change last recorded for path was not made.
  bool RecordFailed(const std::string& path);
  // Keeps the present bytes of the host file at hostPath in the run's folder
  // and tells where (relative to the run's folder).
  bool KeepOldBytes(const std::string& hostPath, std::string& where);

  // The end mark (stopped: the user stopped the run before its end), and
  // everything to the disk. A run that recorded no change leaves nothing in
  // the journal: it would push a run that can be taken back out of it. Once
  // only: a second call gives the first one's result.
  bool Finish(bool stopped = false);

 private:
  bool AppendLine(std::string line, bool last = false);  // last: the end mark
  void SyncLocked();
  void Close();
  void PruneRuns(const std::string& hostFolder, bool countThisRun);
  void Abandon();

  std::string folder_;
  bool linkOldBytes_ = true;
  platform::AppendLog manifest_;
  platform::FileLock live_;  // see RunUnderWay
  platform::SpinningMutex mutex_;  // every copy thread records every file
  std::atomic<unsigned> oldCount_{0};
  std::atomic<int> changes_{0};        // recorded, less those that failed
  bool removed_ = false;               // the manifest lost its name: nothing more is recorded
  int finished_ = 0;                   // 1 finished, -1 finished without its end mark
  int linesSinceSync_ = 0;
  std::chrono::steady_clock::time_point lastSync_;
  std::vector<std::string> unsyncedCopies_;
  bool linked_ = false;
};

// Makes each change through the disk after recording it in the journal. A
// change the journal cannot record (or whose old bytes it cannot keep) is
// not made: it fails.
class JournalWriter : public HostWriter {
 public:
  JournalWriter(Journal& journal, const std::string& root) : HostWriter(root), journal_(journal), disk_(root) {}
  bool MakeFolder(const std::string& path) override;
  // Read by the disk's writer, which then writes only what nobody changed.
  bool ReadBack(const std::string& path, std::string& bytes) override { return disk_.ReadBack(path, bytes); }
  WriteResult CopyIn(const std::string& from, const std::string& path, bool overwrite,
                     EmptySource empty = EmptySource::Copied) override;
  WriteResult ReplaceBytes(const std::string& path, const std::string& bytes, bool text,
                           const std::string& summary) override;
  // The journal's end mark as soon as the work is done: a program killed
  // while its end message waits on the user leaves a completed run.
  void RunDone(bool stopped) override { journal_.Finish(stopped); }

 private:
  // Records the replacement of the file at path by bytes of digest written.
  bool RecordReplacement(ChangeKind kind, const std::string& path, const std::string& relative,
                         const FileDigest& written);
  WriteResult Unrecorded() const;

  Journal& journal_;
  DiskWriter disk_;
};

}  // namespace zet
