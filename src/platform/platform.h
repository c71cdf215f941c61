#pragma once
// The operating-system boundary. Everything the core asks of the system goes
// through here; nothing above this layer includes a system header.
//
// Paths inside the program use the backslash as separator, as on Windows.
// The POSIX backend turns them into '/' only at this boundary and resolves
// every component without regard to letter case, as Windows does: an existing
// folder MODELS/loks is what Models\Loks names, and a new component is
// created as spelled. A path is absolute when it begins with "/" on POSIX and
// when it has a drive ("X:") or begins with "\\" on Windows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zet::platform {

// ---------------------------------------------------------------- paths

// The longest path of a file the system's programs take: on Windows 259
// characters (the host, and this program's file calls, reach no further);
// no limit of the program's own on POSIX.
#ifdef _WIN32
constexpr size_t kLongestPath = 259;
#else
constexpr size_t kLongestPath = SIZE_MAX;
#endif

// True for a separator of folder names: the backslash everywhere, and also
// '/' on POSIX, where roots given by the user are written with it.
inline bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\';
#else
  return c == '\\' || c == '/';
#endif
}

// True when the path is absolute on this platform (see above).
bool IsAbsolutePath(const std::string& path);

// A folder given as a command-line argument, relative to the current folder
// or absolute, made absolute: "." components dropped, ".." as the system
// resolves it. On Windows either separator, a separator at the end and the
// long-path prefix give one spelling too.
std::string AbsolutePath(const std::string& path);

// The path as the operating system must see it: on POSIX with '/' and each
// existing component in the letter case it has on disk; unchanged on Windows.
std::string NativePath(const std::string& path);

// A name as the host's file system compares names: in upper case. On
// POSIX, where names are UTF-8, the letters of every script fold, as
// Windows' and Wine's lookups fold them (bytes that are no UTF-8 stay as
// they are); on Windows the letters of the system's code page.
std::string FoldedName(std::string_view name);

// A path as a user is shown it: NativePath with a '?' for each control
// character, which a terminal would act on; a stranger's file name could
// otherwise write lines of its own or move the cursor.
std::string ShownPath(const std::string& path);
// The same for a text that holds no path of the disk, only names.
std::string ShownText(std::string text);

// ---------------------------------------------------------------- queries

// True when this process may make names in the existing folder: false on a
// read-only file system or without write access. Windows tells only by
// trying: always true there.
bool CanMakeIn(const std::string& folder);
// Why no name can be made or removed in the existing folder, as words to
// follow a colon (": the file system is read-only"); empty where the system
// tells no cause (always on Windows).
std::string WhyNothingChangesIn(const std::string& folder);
// The same for a name to be made, where a full disk is a cause too
// (": the disk is full").
std::string WhyNothingIsMadeIn(const std::string& folder);

// True when the file has a hole (a range the file system stores no data for,
// read as zeros) within length bytes from offset. Always false where the
// system cannot tell (Windows).
bool HoleWithin(const std::string& path, uint64_t offset, uint64_t length);

// Where the file's first hole begins (its length when it has none; the
// largest number where the system cannot tell, Windows); true when data
// follows that hole, which a file written from its start to its end never has.
bool FirstHole(const std::string& path, uint64_t& offset);

// True when the system has bytes of memory to give this process without
// taking it from others: Linux's own estimate of what is available; true
// where there is none (Windows, whose allocations fail where memory ends,
// rather than a process being killed).
bool MemoryFor(uint64_t bytes);

// True when the disk that holds the existing folder has no room for a file
// of bytes more (or, on POSIX, for no file at all): why a write failed.
bool NoRoomIn(const std::string& folder, uint64_t bytes);

// True when the last failed call of this thread found no room on its disk
// (or the user's quota spent). Asked at once after the call: the room a
// failed copy took is given back when its rest is removed.
bool LastFailureWasNoRoom();

// True when path names a regular file this process may open for reading
// (a pipe or a device is never opened to find out).
bool CanReadFile(const std::string& path);

// True for a link that leads nowhere (POSIX; false on Windows, whose
// lookups see the link itself).
bool IsLinkToNothing(const std::string& path);

// True for a symbolic link, wherever it leads (POSIX; false on Windows).
bool IsLink(const std::string& path);

// True when what path names itself (a link, not what it leads to) was made
// or changed at seconds (since 1970) and nanoseconds or later: its change
// time, which no user sets. Always true where the system does not tell
// (Windows).
bool ChangedSince(const std::string& path, int64_t seconds, int64_t nanoseconds = 0);

// What changes with each write of the file at path (behind any link): its
// identity, length and modification time, as text to compare; empty when no
// file is there.
std::string FileVersion(const std::string& path);

// Now by the clock that stamps files' change times: seconds since 1970 and
// the nanoseconds of the second (0 where that clock tells none).
void FileClockNow(int64_t& seconds, int64_t& nanoseconds);

enum class PathKind { None, File, Folder };

// What the path names; None when nothing is there or it cannot be examined.
PathKind GetPathKind(const std::string& path);

// Length of the file in bytes; false when the path is not a readable file.
bool GetFileLength(const std::string& path, uint64_t& length);

// True for a regular file of no bytes, named without a link.
bool IsEmptyFile(const std::string& path);

// True when the path is an existing file that this process may write. A file
// marked read-only (the read-only attribute on Windows; no write permission
// bit at all on POSIX) is not writable, even for an administrator or root.
bool CanWriteFile(const std::string& path);

// Why an existing file the program cannot write (CanWriteFile false) is
// left as it was: read-only, no plain file (a pipe, a device), in use by
// another program (Windows), or no permission.
std::string WhyNotWritable(const std::string& path);

// True when what path names lies on a file system mounted read-only
// (POSIX; false on Windows, whose read-only media say so per file).
bool OnReadOnlyFileSystem(const std::string& path);

// The absolute path of what path names, with every link followed, as the
// system spells it (on Windows its long names in their own letter case);
// empty when nothing is there.
std::string RealPath(const std::string& path);

struct DirEntry {
  std::string name;
  bool isFolder = false;
  uint64_t size = 0;
  // A symbolic link (a junction or symbolic link on Windows); isFolder and
  // size then tell what it leads to.
  bool isLink = false;
  // Neither a file nor a folder: a pipe, a device, a socket, or a link that
  // leads nowhere. Nothing to copy, and never opened.
  bool isSpecial = false;
  // A regular file whose size was not looked up (size is then 0).
  bool sizeUnknown = false;
};

// The entries of a folder ("." and ".." left out) in the order NTFS gives:
// by name, ignoring letter case (names equal but for case: by their bytes).
// False when the folder cannot be read; entries is then empty. Without
// sizes, a regular file that the listing itself says is one (POSIX) is not
// looked at: its size is unknown, and a walk saves a look at each file.
bool ListFolder(const std::string& path, std::vector<DirEntry>& entries, bool sizes = true);

// What a folder is, whatever its spelling: device and inode on POSIX, the
// volume's serial number and the file index on Windows.
struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FolderIdentity& o) const { return volume == o.volume && index == o.index; }
  bool operator!=(const FolderIdentity& o) const { return !(*this == o); }
};

// False when path names no folder (links followed).
bool GetFolderIdentity(const std::string& path, FolderIdentity& identity);

// True when both paths name one existing folder, however spelled.
bool SameFolder(const std::string& a, const std::string& b);

// True when inner is outer itself or lies somewhere below it (links
// followed): what inner names exists, outer is an existing folder.
bool IsInsideFolder(const std::string& inner, const std::string& outer);

// ---------------------------------------------------------------- changes

// Creates one folder; false when it exists already, its parent is missing,
// or the system refuses.
bool CreateFolder(const std::string& path);

// Copies a file, keeping its modification time. The bytes go to a
// temporary file beside the target, which takes the target's name only once
// complete and stamped, so no name ever holds part of a copy. With
// failIfExists an existing target is left alone and the result is false.
// Without it an existing target is replaced as a rewrite replaces it (see
// BeginReplacement): a read-only file stays, a link stays a link, and the
// file keeps its permission bits, and on POSIX its owner and group where
// the process may set them. Only a regular file is read, and holes of a
// sparse file stay holes where the file system keeps them.
//
// A watcher sees the copy's bytes and is asked, once the copy is whole
// under its temporary name, whether it may take the target's name: a
// journal records the copy in between, so that no copy stands in place
// unrecorded.
class CopyWatcher {
 public:
  virtual ~CopyWatcher() = default;
  // The copy's bytes in order; a hole of a sparse file comes as Hole.
  virtual void Bytes(const char* data, size_t n) = 0;
  // A hole of n bytes, which reads as zeros: those zeros unless a watcher
  // takes a hole as such (a hole of many GB then costs no time).
  virtual void Hole(uint64_t n);
  // False leaves the target as it was; the temporary file goes.
  virtual bool Placing() = 0;
};
// With emptyLeftOut an empty source is not copied: the call returns false
// and sets *emptyLeftOut (else it clears it).
bool CopyFileKeepingTime(const std::string& from, const std::string& to, bool failIfExists,
                         CopyWatcher* watcher = nullptr, bool* emptyLeftOut = nullptr);

// Shows watcher the bytes of the regular file at path in order, each hole
// of a sparse file as zeros that are not read from the disk (a file of
// many GB and little data takes the time of its data); false when it is no
// regular file or a read fails.
bool ReadFileBytes(const std::string& path, CopyWatcher& watcher);

// Renames from over to, replacing an existing file in one step.
bool MoveFileReplacing(const std::string& from, const std::string& to);

// Deletes a file; false when it cannot be deleted.
bool RemoveFile(const std::string& path);

// Makes an empty file of a fresh temporary name in the folder of path, for
// writing a file beside path before it takes path's name, and returns its
// path; empty when none could be made. The name is the program's own,
// "~zvt", eight hex digits and ".tmp", whatever the length of path's name,
// and only a bounded number of names is tried.
std::string TemporaryPathBeside(const std::string& path);

// True for a name of the program's temporary files (see above).
bool IsOwnTemporaryName(const std::string& name);

// Removes the program's temporary files that a run killed part way left in
// the folder. Only files named as the program names them are touched.
void RemoveOwnTemporaries(const std::string& folder);
// The same for a folder that no run's lock guards, where another process of
// the program may be writing one now: only those unchanged for seconds.
void RemoveStaleOwnTemporaries(const std::string& folder, int64_t seconds);

// While one lives (a run holding its host's lock), the first temporary file
// made in a folder is preceded by RemoveOwnTemporaries on that folder: a run
// clears what an earlier killed run left in the folders it writes.
class TemporarySweep {
 public:
  TemporarySweep();
  ~TemporarySweep();
  TemporarySweep(const TemporarySweep&) = delete;
  TemporarySweep& operator=(const TemporarySweep&) = delete;
};

// While one lives (a run), a copy whose source lies below folder (the
// package) reads only where the source's path leads to within folder: a
// link that a stranger puts in place of a file or folder after the walk
// looked at it cannot take the copy outside. Paths below except (the host,
// which may lie inside the package) are read as they lead. On Linux;
// elsewhere, and on a kernel without the means, the walk's look at the
// links is all there is.
class ConfinedReads {
 public:
  explicit ConfinedReads(const std::string& folder, const std::string& except = {});
  ~ConfinedReads();
  ConfinedReads(const ConfinedReads&) = delete;
  ConfinedReads& operator=(const ConfinedReads&) = delete;
};

// ---------------------------------------------------------------- rewrites

// A file the program rewrites holds either its old bytes or all of the new
// ones: the new bytes go to a temporary file beside it, which takes its place
// only once it is complete.
struct Replacement {
  std::string target;     // the file to replace (behind any link)
  std::string temporary;  // where the new bytes are written first
};

// Prepares the rewrite of path. False, and nothing to write, when a
// read-only file or a folder stands there: those stay as they are, as they
// would for an open for writing. Through a link the file it names is the
// target, so the link stays a link.
bool BeginReplacement(const std::string& path, Replacement& replacement);
// The same without the temporary file: its checks and the target alone.
bool PrepareReplacement(const std::string& path, Replacement& replacement);

// With written true, puts the complete temporary file in the target's place,
// keeping the permission bits of the file it replaces. Whenever the result is
// false (also with written false) the temporary file is removed and the
// target keeps its old bytes. With expected, a target whose FileVersion is
// another by then (a program wrote it meanwhile) is not replaced either.
bool FinishReplacement(const Replacement& replacement, bool written, const std::string* expected = nullptr);

// Rewrites path with bytes that way; text mode turns each LF into CR LF.
bool WriteFileReplacing(const std::string& path, const std::string& bytes, bool text,
                        const std::string* expected = nullptr);

// Every byte of the file at path, as it is. False when it cannot be opened or
// a read fails: bytes then holds nothing worth writing back.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// ---------------------------------------------------------------- host lock

// A lock on a file that the system gives up when the process ends, however
// it ends: a record lock (fcntl) on POSIX, LockFileEx on Windows. Wine
// carries one over to the other, so a console program on Linux and the
// dialog program under Wine see each other's locks.
class FileLock {
 public:
  enum class Result { Taken, Busy, Failed };
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Creates the file when missing (empty; it is never removed) and locks
  // it without waiting. Busy when another process holds it; Failed when
  // the file cannot be made or opened. With folder, that folder is locked
  // too, as the folder it is (POSIX): reached by another path, a bind
  // mount, it is Busy as well.
  Result Take(const std::string& path, const std::string& folder = {});
  void Release();
  // True when a process holds the lock of the file at path; false where no
  // file stands there. Asked without taking it, so that reading the file
  // suffices (POSIX).
  static bool HeldBySomeone(const std::string& path);
  bool held() const { return handle_ != -1; }

 private:
  intptr_t handle_ = -1, folder_ = -1;
};

// The lock file of a run on the host folder target: "zetveltran-NAME.lock"
// in the parent folder of target's real path, NAME being the folder's name
// as it stands on disk; so two spellings of one folder give one lock file,
// and the host's tree gains no file. Empty when target names no folder.
std::string HostLockPath(const std::string& target);

// ---------------------------------------------------------------- stop

// Asks onStop to be called when the user asks the process to stop (Ctrl-C
// or SIGTERM on POSIX; a console control event on Windows). onStop must do
// no more than set a flag. A second request ends the process as the
// system's default would.
void CallOnStopRequest(void (*onStop)());

// ---------------------------------------------------------------- code page

// 8-bit text of the system code page to UTF-16 and back. Windows converts
// with the system's ANSI code page; POSIX uses Windows-1252, the code page
// of the host's Western installations. A character without an 8-bit form
// becomes '?'.
std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);

// Names in lists and archives are code-page text; POSIX names are UTF-8.
// NameFromCodePage gives a listed name as the file system spells it (text
// that is UTF-8 already stays: a list written on Linux may hold it), and
// CodePageFromName a file system name as the code page spells it (empty
// when a letter has no place in the code page: no archive names such a
// file; text that is no UTF-8 stays). Windows spells both alike: the same
// text.
std::string NameFromCodePage(std::string_view text);
std::string CodePageFromName(std::string name);  // by value: most names come back as they are

// ---------------------------------------------------------------- process

// The full path of the running program, in the program's own spelling
// (see above); empty when the system does not tell.
std::string ExecutablePath();

// On Windows the program speaks the system's code page. A name in a listing
// with letters the code page lacks is given with '?' for them (never a
// look-alike letter, which could name another file; no Windows name holds
// a '?'). The first of the program's arguments that holds such letters, or
// "" when none does (always "" elsewhere), and whether an environment
// variable's value fits (always true elsewhere).
std::string ArgumentOutsideCodePage();
bool EnvironmentFitsCodePage(const char* name);

// True for the Windows build running under Wine, whose server takes the
// file calls of all threads one at a time; false on Windows and POSIX.
bool RunsUnderWine();

// Gives the calling thread a table of open files of its own, a copy of the
// process's: what it opens and closes from then on takes no lock the other
// threads share, nor counts of each use of an open file. Descriptors it had
// stay valid; those other threads open later are not its own. For a worker
// that opens and closes all its files itself; nothing on Windows.
void UseOwnFileTable();

// True when the process's standard error goes to a terminal (a console
// window on Windows), where a progress display can redraw its line.
bool StandardErrorIsTerminal();

// ---------------------------------------------------------------- streams

// A buffered file stream on a system handle. Modes are fopen's: "r", "w",
// "a", each with an optional "+", "b" (binary) or "t" (text). In text mode a
// write turns each LF into CR LF and a read turns CR LF into LF, on every
// platform, so a file written on Linux is the file Windows would write.
class Stream {
 public:
  Stream() = default;
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  bool Open(const std::string& path, const char* mode);
  bool IsOpen() const { return handle_ != kNoHandle; }

  // Bytes read (after text translation); fewer than n at the end of the file
  // or on an error.
  size_t Read(void* destination, size_t n);
  // True when all n bytes were taken (text translation included).
  bool Write(const void* source, size_t n);
  bool Write(const std::string& text) { return Write(text.data(), text.size()); }
  // origin: 0 start, 1 current, 2 end. Binary positions.
  bool Seek(int64_t offset, int origin);
  int64_t Tell();
  // Length of the file now (pending writes included); -1 on error.
  int64_t Length();
  // Flushes and closes; false when a pending write or the close failed.
  bool Close();
  // True once a write has failed since Open.
  bool WriteFailed() const { return writeFailed_; }
  // True once a read has failed since Open (a short read alone may be the end).
  bool ReadFailed() const { return readFailed_; }
  // The system descriptor (file descriptor, or handle value on Windows).
  intptr_t Descriptor() const { return handle_; }

 private:
  static constexpr intptr_t kNoHandle = -1;
  bool FillBuffer();
  bool FlushWrites();
  bool DropReadAhead();

  intptr_t handle_ = kNoHandle;
  bool text_ = false;
  bool canRead_ = false;
  bool canWrite_ = false;
  bool append_ = false;
  bool writeFailed_ = false;
  bool readFailed_ = false;
  std::vector<char> buffer_;
  size_t begin_ = 0;   // read buffer: next byte
  size_t end_ = 0;     // read buffer: end of data
  bool writing_ = false;  // buffer holds pending writes (begin_..end_ unused)
  bool pendingCR_ = false;  // text read: a CR was the last byte of a fill
};

}  // namespace zet::platform

namespace zet::platform::detail {

// The raw operations each backend supplies for Stream.
enum class RawMode { Read, ReadWrite, WriteTruncate, WriteAppend, ReadWriteTruncate, ReadAppend };
// -1 on failure. Only a regular file is opened, and the look at what the
// path names never waits (a pipe or a device does not stall the caller).
intptr_t RawOpen(const std::string& path, RawMode mode);
long RawRead(intptr_t handle, void* destination, size_t n);  // -1 on error
long RawWrite(intptr_t handle, const void* source, size_t n);  // -1 on error
int64_t RawSeek(intptr_t handle, int64_t offset, int origin);  // -1 on error
int64_t RawLength(intptr_t handle);
bool RawClose(intptr_t handle);

// Gives the file at to the permission bits of the file at from, and on
// POSIX its owner and group where the process may set them; true when there
// was nothing to give.
bool CopyPermissionBits(const std::string& from, const std::string& to);

// A fresh name of the program's temporary pattern.
std::string NewTemporaryName();

// Called by TemporaryPathBeside before it makes a file in folder.
void SweepBeforeFirstTemporary(const std::string& folder);

// Called by CreateFolder for the folder it made while a sweep lives: it
// holds nothing an earlier run left, and is not read for it.
void NoteFolderMade(const FolderIdentity& folder);

// Nonzero while a TemporarySweep lives, and different for each: what a
// thread keeps of the folders a run works in holds while it is the same.
uint64_t SweepGeneration();

// The folder part of a path in the program's spelling ("" for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace zet::platform::detail
