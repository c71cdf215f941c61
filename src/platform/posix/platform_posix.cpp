// POSIX backend. Windows resolves names without regard to letter case, and a
// resource tree copied from Windows has CATEGORIES, Parallels and Index.ini in
// whatever case its makers used; so each path component that does not exist
// as spelled is looked up in its folder ignoring case.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <linux/openat2.h>
#include <locale.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>
#include <wctype.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/platform.h"
#include "platform/platform_common.h"
#include "platform/posix/name_notes.h"
#include "platform/spinning_mutex.h"

namespace zet::platform {

namespace {

bool Stat(const std::string& native, struct stat& st) { return ::stat(native.c_str(), &st) == 0; }

// Folders whose names were looked up ignoring case, with the names they
// hold, most recently used first. While a run holds its host (a sweep
// lives, see detail::SweepGeneration), nobody else changes the names in the
// host's folders, and this process tells the cache of every name it makes
// or removes: a folder read during the run is then not read again, and
// copying many files into one folder reads it once. Otherwise a folder is
// read again whenever its time stamps differ from those seen when it was
// read, or were too fresh then to rule out a change in the same clock tick.
class FolderNameCache {
 public:
  // The name in folder dir that equals name ignoring case; empty when none.
  // known: the folder's stat when the caller has just taken it. A folder
  // is read without holding the cache, so that other threads' lookups go on.
  std::string Find(const std::string& dir, const std::string& name, const struct stat* known = nullptr) {
    const std::string upper = FoldedName(name);
    bool stamped = false;  // known outside a run: current if its time stamps are
    Reading reading{dir};
    {
      std::lock_guard<SpinningMutex> lock(mutex_);
      reading_.push_back(&reading);
      Entry* e = Lookup(dir);
      if (e != nullptr && Trusted(*e)) {
        reading_.pop_back();
        return Answer(*e, upper);
      }
      stamped = e != nullptr && e->valid && !e->freshStamp;
    }
    struct stat st;
    if (stamped && known == nullptr) stamped = Stat(dir.empty() ? "." : dir, st);
    if (stamped) {
      std::lock_guard<SpinningMutex> lock(mutex_);
      Entry* e = Lookup(dir);
      if (e != nullptr && e->valid && !e->freshStamp && SameStamp(known != nullptr ? *known : st, e->stamp)) {
        reading_.erase(std::find(reading_.begin(), reading_.end(), &reading));
        return Answer(*e, upper);
      }
    }
    Entry fresh;
    fresh.dir = dir;
    Read(fresh);
    std::lock_guard<SpinningMutex> lock(mutex_);
    reading_.erase(std::find(reading_.begin(), reading_.end(), &reading));
    // Told of a change in the folder while reading it: the names may miss
    // it, so they are read again at the next look.
    if (reading.changed) fresh.valid = false;
    Entry* e = Install(dir, fresh.stamp);
    *e = std::move(fresh);
    return Answer(*e, upper);
  }

  // Answers from a folder read during this run, without a look at the disk:
  // true with the name as on disk, or with an empty one when the folder
  // holds no such name. False when the cache cannot say: the folder is not
  // known from this run, or holds several spellings of the name (then the
  // one spelled exactly is meant).
  bool FindKnown(const std::string& dir, const std::string& name, std::string& actual) {
    const std::string upper = FoldedName(name);
    std::lock_guard<SpinningMutex> lock(mutex_);
    Entry* e = Lookup(dir);
    if (e == nullptr || !Trusted(*e)) return false;
    auto it = e->names.find(upper);
    if (it == e->names.end()) {
      actual.clear();
      return true;
    }
    if (it->second.second != 1) return false;
    actual = it->second.first;
    return true;
  }

  // This process made the folder dir during a run (st: its stat): it is
  // known empty, without reading it.
  void FolderMade(const std::string& dir, const struct stat& st) {
    std::lock_guard<SpinningMutex> lock(mutex_);
    Entry* e = Install(dir, st);
    e->valid = true;
    e->run = detail::SweepGeneration();
    e->freshStamp = true;
  }

  // This process made name in dir, or removed it from there.
  void Made(const std::string& dir, const std::string& name) { Changed(dir, name, true); }
  void Gone(const std::string& dir, const std::string& name) { Changed(dir, name, false); }

 private:
  // The folders kept, most recently used first: enough for the folders a
  // walk has made ahead of its copy threads, and a bound on the names they
  // hold together, beside the folder in use, so that memory stays flat.
  static constexpr size_t kCapacity = 96, kNameBudget = 1 << 15;
  struct Entry {
    std::string dir;
    bool valid = false;
    uint64_t run = 0;  // the sweep it was read in; 0: outside a run
    struct stat stamp {};
    bool freshStamp = false;
    // Upper-cased name -> the name as on disk (of names equal but for case,
    // the first one seen) and how many such names the folder holds.
    std::unordered_map<std::string, std::pair<std::string, int>> names;
  };

  Entry* Lookup(const std::string& dir) {
    auto found = index_.find(dir);
    if (found == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    return &entries_.front();
  }

  // The entry for folder dir (st: its stat), emptied for new names. One
  // entry a folder: changes are told by one spelling of it, so entries of
  // other spellings are read again.
  Entry* Install(const std::string& dir, const struct stat& st) {
    for (Entry& other : entries_)
      if (other.dir != dir && other.stamp.st_ino == st.st_ino && other.stamp.st_dev == st.st_dev) other.valid = false;
    Entry* e = Lookup(dir);
    if (e == nullptr) {
      size_t names = 0;
      for (const Entry& other : entries_) names += other.names.size();
      while (entries_.size() > 1 && (entries_.size() >= kCapacity || names > kNameBudget)) {
        names -= entries_.back().names.size();
        index_.erase(entries_.back().dir);
        entries_.pop_back();
      }
      entries_.emplace_front();
      index_[dir] = entries_.begin();
      e = &entries_.front();
    }
    *e = Entry{};
    e->dir = dir;
    e->stamp = st;
    return e;
  }

  static bool Trusted(const Entry& e) { return e.valid && e.run != 0 && e.run == detail::SweepGeneration(); }

  // The entry spelled dir learns the change. A change it cannot follow
  // exactly (a second spelling of a name) has it read again. A name made
  // was first looked up under the spelling it is told by; a name removed
  // may have been found under another spelling of its folder, so an entry
  // of another spelling that holds the name is read again too.
  void Changed(const std::string& dir, const std::string& name, bool made) {
    const std::string upper = FoldedName(name);
    std::lock_guard<SpinningMutex> lock(mutex_);
    for (Reading* r : reading_)
      if (!made || r->dir == dir) r->changed = true;
    auto learn = [&](Entry& e) {
      if (!e.valid) return;
      auto it = e.names.find(upper);
      const bool known = it != e.names.end(), alone = known && it->second.second == 1 && it->second.first == name;
      if (e.dir != dir || !Trusted(e)) {
        if (e.dir == dir || known) e.valid = false;
      } else if (made) {
        if (!known)
          e.names.emplace(upper, std::make_pair(name, 1));
        else if (!alone)
          e.valid = false;
      } else if (alone) {
        e.names.erase(it);
      } else if (known) {
        e.valid = false;
      }
    };
    if (made) {
      if (Entry* e = Lookup(dir)) learn(*e);
      return;
    }
    for (Entry& e : entries_) learn(e);
  }

  static bool SameStamp(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && SameTime(a.st_mtim, b.st_mtim) && SameTime(a.st_ctim, b.st_ctim);
  }

  static std::string Answer(const Entry& e, const std::string& upper) {
    auto it = e.names.find(upper);
    return it == e.names.end() ? std::string() : it->second.first;
  }

  static bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
  }

  static void Read(Entry& e) {
    const std::string dir = e.dir.empty() ? "." : e.dir;
    e.names.clear();
    e.valid = false;
    e.run = detail::SweepGeneration();
    if (!Stat(dir, e.stamp)) return;
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return;
    while (struct dirent* ent = ::readdir(d)) {
      if (std::strcmp(ent->d_name, ".") == 0 || std::strcmp(ent->d_name, "..") == 0) continue;
      auto [it, added] = e.names.try_emplace(FoldedName(ent->d_name), ent->d_name, 1);
      if (!added) ++it->second.second;
    }
    ::closedir(d);
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    e.freshStamp = now.tv_sec - e.stamp.st_mtim.tv_sec < 2;
    e.valid = true;
  }

  // A folder being read by a thread, and whether a change in it was told
  // meanwhile.
  struct Reading {
    const std::string& dir;
    bool changed = false;
  };

  SpinningMutex mutex_;
  std::list<Entry> entries_;
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;  // entries_ by dir
  std::vector<Reading*> reading_;
};

FolderNameCache& NameCache() {
  static FolderNameCache cache;
  return cache;
}

std::string Slashed(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

// The parent folder part and the last name of a native path.
void SplitNative(const std::string& native, std::string& dir, std::string& name) {
  size_t slash = native.find_last_of('/');
  if (slash == std::string::npos) {
    dir.clear();
    name = native;
  } else {
    dir = slash == 0 ? "/" : native.substr(0, slash);
    name = native.substr(slash + 1);
  }
}

std::string Join(const std::string& base, const std::string& name) {
  if (base.empty()) return name;
  if (base.back() == '/') return base + name;
  return base + "/" + name;
}

}  // namespace

std::string FoldedName(std::string_view name) {
  if (detail::IsAscii(name)) return UpperAscii(name);
  // Letters of the basic plane, as UTF-16 names fold a unit at a time; the
  // locale is the C library's own UTF-8 one (without it, A-Z alone).
  static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  std::string folded;
  folded.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    char32_t point = 0;
    const size_t length = detail::Utf8CharAt(name, i, point);
    const std::string_view character = name.substr(i, std::max<size_t>(length, 1));
    i += character.size();
    if (length == 1) {
      folded += UpperAscii(character[0]);
      continue;
    }
    if (length != 2 && length != 3) {  // no UTF-8, or beyond the basic plane: as it is
      folded += character;
      continue;
    }
    const auto upper = utf8 != static_cast<locale_t>(nullptr) ? static_cast<char32_t>(::towupper_l(point, utf8)) : point;
    // The upper case of a letter of the plane stays in it, and never
    // becomes ASCII (as the dotless i or the long s would): kept as it is.
    detail::AppendUtf8(folded, upper < 0x80 || upper > 0xFFFF || (upper >= 0xD800 && upper <= 0xDFFF) ? point : upper);
  }
  return folded;
}

void NoteCreated(const std::string& native) {
  std::string dir, name;
  SplitNative(native, dir, name);
  if (!name.empty()) NameCache().Made(dir, name);
}

void NoteRemoved(const std::string& native) {
  std::string dir, name;
  SplitNative(native, dir, name);
  if (!name.empty()) NameCache().Gone(dir, name);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

namespace {

// A name in a folder whose names are known and watched needs no look at
// the disk: most names asked for are of files about to be made in the
// folder that a copy is working in. True with the path in native when the
// cache knows the answer; missing tells that the folder holds no such name.
bool NativePathFromCache(const std::string& p, std::string& native, bool& missing) {
  const size_t lastSlash = p.find_last_of('/');
  if (lastSlash == std::string::npos || lastSlash == 0 || lastSlash + 1 >= p.size()) return false;
  std::string dir = p.substr(0, lastSlash), name = p.substr(lastSlash + 1), actual;
  if (name == "." || name == ".." || !NameCache().FindKnown(dir, name, actual)) return false;
  missing = actual.empty();
  native = actual.empty() || actual == name ? p : Join(dir, actual);
  return true;
}

// The longest prefix of p that exists as spelled, a folder, and its stat.
struct ExistingPrefix {
  std::string path;  // "" for a relative path with no such prefix, "/" for the root
  size_t rest = 0;   // where the names after it start in p
  bool statted = false;
  struct stat st;
};

ExistingPrefix LongestExistingPrefix(const std::string& p) {
  ExistingPrefix prefix;
  size_t start = p.size();
  for (;;) {
    size_t slash = start == 0 ? std::string::npos : p.find_last_of('/', start - 1);
    if (slash == std::string::npos) return prefix;
    if (slash == 0) {
      prefix.path = "/";
      prefix.rest = 1;
      return prefix;
    }
    std::string candidate = p.substr(0, slash);
    if (Stat(candidate, prefix.st)) {
      prefix.path = candidate;
      prefix.rest = slash + 1;
      prefix.statted = true;
      return prefix;
    }
    start = slash;
  }
}

// NativePath; missing is set when the name is known not to be there.
std::string NativePathOrMissing(const std::string& path, bool& missing) {
  missing = false;
  std::string p = Slashed(path);
  if (p.empty()) return p;
  std::string cached;
  if (NativePathFromCache(p, cached, missing)) return cached;
  struct stat st;
  if (::lstat(p.c_str(), &st) == 0) return p;

  ExistingPrefix prefix = LongestExistingPrefix(p);
  std::string resolved = prefix.path;

  // Resolve the rest name by name; from the first name that is not there in
  // any case, the path goes on as spelled.
  bool searching = true;
  size_t pos = prefix.rest;
  for (bool first = true;; first = false) {
    size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    std::string name = p.substr(pos, next - pos);
    if (!name.empty()) {
      std::string actual = name;
      if (searching && name != "." && name != "..") {
        // The first name after the prefix found is known to be missing as
        // spelled when it is the last one: the whole path was looked at.
        bool knownMissing = first && next == p.size() && prefix.statted;
        if (knownMissing || ::lstat(Join(resolved, name).c_str(), &st) != 0) {
          std::string found = NameCache().Find(resolved, name, first && prefix.statted ? &prefix.st : nullptr);
          if (found.empty()) {
            searching = false;
            missing = next == p.size();
          } else
            actual = found;
        }
      }
      resolved = Join(resolved, actual);
    }
    if (next == p.size()) break;
    pos = next + 1;
  }
  if (p.back() == '/' && (resolved.empty() || resolved.back() != '/')) resolved += '/';
  return resolved;
}

}  // namespace

std::string NativePath(const std::string& path) {
  bool missing;
  return NativePathOrMissing(path, missing);
}

bool IsLink(const std::string& path) {
  struct stat st;
  return !path.empty() && ::lstat(NativePath(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool ChangedSince(const std::string& path, int64_t seconds, int64_t nanoseconds) {
  struct stat st;
  return path.empty() || ::lstat(NativePath(path).c_str(), &st) != 0 || st.st_ctim.tv_sec > seconds ||
         (st.st_ctim.tv_sec == seconds && st.st_ctim.tv_nsec >= nanoseconds);
}

std::string FileVersion(const std::string& path) {
  struct stat st;
  if (path.empty() || !Stat(NativePath(path), st)) return {};
  return std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' + std::to_string(st.st_size) + ':' +
         std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
}

void FileClockNow(int64_t& seconds, int64_t& nanoseconds) {
  // The coarse clock is the one the system stamps files with: a link made
  // after this moment never reads as older than it.
  struct timespec now {};
#ifdef CLOCK_REALTIME_COARSE
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
#else
  ::clock_gettime(CLOCK_REALTIME, &now);
#endif
  seconds = now.tv_sec;
  nanoseconds = now.tv_nsec;
}

bool IsLinkToNothing(const std::string& path) {
  if (path.empty()) return false;
  const std::string native = NativePath(path);
  struct stat st;
  return ::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && !Stat(native, st);
}

PathKind GetPathKind(const std::string& path) {
  struct stat st;
  if (path.empty() || !Stat(NativePath(path), st)) return PathKind::None;
  if (S_ISDIR(st.st_mode)) return PathKind::Folder;
  return PathKind::File;
}

bool GetFileLength(const std::string& path, uint64_t& length) {
  struct stat st;
  if (path.empty() || !Stat(NativePath(path), st) || S_ISDIR(st.st_mode)) return false;
  length = static_cast<uint64_t>(st.st_size);
  return true;
}

bool IsEmptyFile(const std::string& path) {
  struct stat st;
  return !path.empty() && ::lstat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

bool CanWriteFile(const std::string& path) {
  if (path.empty()) return false;
  std::string native = NativePath(path);
  struct stat st;
  if (!Stat(native, st) || !S_ISREG(st.st_mode)) return false;
  // Root passes every access check; a file without any write bit is still
  // read-only by intent, as the read-only attribute is on Windows.
  return (st.st_mode & 0222) != 0 && ::access(native.c_str(), W_OK) == 0;
}

bool OnReadOnlyFileSystem(const std::string& path) {
  struct statvfs fs;
  return !path.empty() && ::statvfs(NativePath(path).c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0;
}

std::string WhyNotWritable(const std::string& path) {
  struct stat st;
  if (!Stat(NativePath(path), st)) return "is read-only; left as it was";
  if (OnReadOnlyFileSystem(path)) return "lies on a read-only file system; left as it was";
  if (!S_ISREG(st.st_mode)) return "is no plain file (a pipe or a device); left as it was";
  if ((st.st_mode & 0222) != 0) return "may not be written by this user; left as it was";
  return "is read-only; left as it was";
}

bool CanMakeIn(const std::string& folder) {
  return !folder.empty() && ::access(NativePath(folder).c_str(), W_OK | X_OK) == 0;
}

std::string WhyNothingChangesIn(const std::string& folder) {
  if (OnReadOnlyFileSystem(folder)) return ": the file system is read-only";
  if (!CanMakeIn(folder)) return ": this user may not write there";
  return {};
}

bool FirstHole(const std::string& path, uint64_t& offset) {
  offset = UINT64_MAX;
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const off_t hole = ::lseek(fd, 0, SEEK_HOLE);
  const bool dataAfter = hole >= 0 && ::lseek(fd, hole, SEEK_DATA) >= 0;
  ::close(fd);
  if (hole >= 0) offset = static_cast<uint64_t>(hole);
  return dataAfter;
}

bool HoleWithin(const std::string& path, uint64_t offset, uint64_t length) {
  if (length == 0) return false;
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const off_t hole = ::lseek(fd, static_cast<off_t>(offset), SEEK_HOLE);
  ::close(fd);
  return hole >= 0 && static_cast<uint64_t>(hole) < offset + length;
}

bool LastFailureWasNoRoom() { return errno == ENOSPC || errno == EDQUOT; }

bool MemoryFor(uint64_t bytes) {
  FILE* info = std::fopen("/proc/meminfo", "re");
  if (info == nullptr) return true;
  unsigned long long available = 0;
  char line[128];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, info) != nullptr)
    found = std::sscanf(line, "MemAvailable: %llu kB", &available) == 1;
  std::fclose(info);
  return !found || bytes / 1024 <= available;
}

bool NoRoomIn(const std::string& folder, uint64_t bytes) {
  struct statvfs fs;
  // A read-only file system may say it has no room; it is not full.
  if (folder.empty() || ::statvfs(NativePath(folder).c_str(), &fs) != 0 || (fs.f_flag & ST_RDONLY) != 0) return false;
  const uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  // A file takes whole blocks, and one more for its first.
  return free < bytes + fs.f_frsize || (fs.f_files != 0 && fs.f_favail == 0);
}

std::string RealPath(const std::string& path) {
  if (path.empty()) return {};
  char* resolved = ::realpath(NativePath(path).c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string result = resolved;
  std::free(resolved);
  return result;
}

bool ListFolder(const std::string& path, std::vector<DirEntry>& entries, bool sizes) {
  entries.clear();
  // A walk lists folders by the names its listings gave: spelled as on
  // disk, they need no lookup in any letter case.
  const std::string slashed = Slashed(path);
  DIR* d = ::opendir(slashed.empty() ? "." : slashed.c_str());
  if (d == nullptr && errno == ENOENT) {
    const std::string native = NativePath(path);
    d = ::opendir(native.empty() ? "." : native.c_str());
  }
  if (d == nullptr) return false;
  int fd = ::dirfd(d);
  bool looked = false;  // at an entry: the folder can be entered
  while (struct dirent* ent = ::readdir(d)) {
    if (std::strcmp(ent->d_name, ".") == 0 || std::strcmp(ent->d_name, "..") == 0) continue;
    DirEntry e;
    e.name = ent->d_name;
    // A folder needs no look of its own: the listing tells what it is, and
    // a walk has a tenth of its entries the less to look at. Without sizes
    // neither does a file, once a look has found the folder can be entered.
    if (ent->d_type == DT_DIR || (!sizes && looked && ent->d_type == DT_REG)) {
      e.isFolder = ent->d_type == DT_DIR;
      e.sizeUnknown = !e.isFolder;
      entries.push_back(std::move(e));
      continue;
    }
    struct stat st;
    if (::fstatat(fd, ent->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // gone since the listing
      // A folder that can be listed but not entered tells nothing of what
      // it holds: it cannot be read.
      ::closedir(d);
      entries.clear();
      return false;
    }
    looked = true;
    if (S_ISLNK(st.st_mode)) {
      e.isLink = true;
      if (::fstatat(fd, ent->d_name, &st, 0) != 0) st.st_mode = 0;  // leads nowhere
    }
    e.isFolder = S_ISDIR(st.st_mode);
    e.isSpecial = !e.isFolder && !S_ISREG(st.st_mode);
    e.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    entries.push_back(std::move(e));
  }
  ::closedir(d);
  detail::SortLikeNtfs(entries);
  return true;
}

bool CreateFolder(const std::string& path) {
  if (path.empty()) return false;
  std::string native = NativePath(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (::mkdir(native.c_str(), 0777) != 0) return false;
  NoteCreated(native);
  struct stat st;
  if (detail::SweepGeneration() != 0 && Stat(native, st)) {
    NameCache().FolderMade(native, st);
    detail::NoteFolderMade({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)});
  }
  return true;
}

namespace {

// A file as the system's calls name it: relative to an open folder, or by
// its whole path (dir AT_FDCWD).
struct At {
  int dir = AT_FDCWD;
  std::string name;
  bool beneath = false;  // opened without following a link out of dir
  bool noLinks = false;  // beneath, and through no link at all
};

// The folder that reads are confined to (see ConfinedReads), set before a
// run's threads start and cleared after they end: they read it unlocked.
struct Confinement {
  std::string spelled, native;  // the folder as given and as on disk
  std::string real;             // its real path, links resolved
  std::string exceptSpelled, exceptNative;  // a folder below it read freely (the host's)
  int fd = -1;
};
Confinement g_confinement;

// True when path is folder or lies below it, by their spelling.
bool SpelledBelow(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == '/' || folder.back() == '/');
}

// The path of native below the confined folder ("." for the folder itself);
// false when native lies elsewhere (the host's folder included) or nothing
// is confined.
bool ConfinedPart(const std::string& native, std::string& part) {
  if (g_confinement.fd < 0 || SpelledBelow(native, g_confinement.exceptSpelled) ||
      SpelledBelow(native, g_confinement.exceptNative))
    return false;
  for (const std::string* root : {&g_confinement.spelled, &g_confinement.native}) {
    if (!SpelledBelow(native, *root)) continue;
    if (native.size() == root->size()) {
      part = ".";
      return true;
    }
    part = native.substr(root->size() + (native[root->size()] == '/' ? 1 : 0));
    // A path that climbs out by its spelling is no path below the folder.
    const std::string framed = "/" + part + "/";
    return framed.find("/../") == std::string::npos;
  }
  return false;
}

// openat that follows no link out of dir (nor "..", nor an absolute path):
// -1 with EXDEV where the path would leave it, ELOOP for a link to a
// process's own files. ENOSYS where the kernel cannot.
int OpenBeneath(int dir, const std::string& path, int flags, uint64_t resolve = 0) {
  struct open_how how {};
  how.flags = static_cast<uint64_t>(flags);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS | resolve;
  return static_cast<int>(::syscall(SYS_openat2, dir, path.c_str(), &how, sizeof how));
}

}  // namespace

ConfinedReads::ConfinedReads(const std::string& folder, const std::string& except) {
  auto trimmed = [](std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  };
  g_confinement.spelled = trimmed(Slashed(folder));
  g_confinement.native = NativePath(g_confinement.spelled);
  g_confinement.real = RealPath(g_confinement.native);
  if (!except.empty()) {
    g_confinement.exceptSpelled = trimmed(Slashed(except));
    g_confinement.exceptNative = NativePath(g_confinement.exceptSpelled);
  }
  g_confinement.fd = ::open(g_confinement.native.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  // A kernel without openat2 leaves the reads as they were.
  if (g_confinement.fd < 0) return;
  const int probe = OpenBeneath(g_confinement.fd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (probe >= 0) {
    ::close(probe);
  } else if (errno == ENOSYS) {
    ::close(g_confinement.fd);
    g_confinement.fd = -1;
  }
}

ConfinedReads::~ConfinedReads() {
  if (g_confinement.fd >= 0) ::close(g_confinement.fd);
  g_confinement = Confinement();
}

namespace {

// A source path's place: below the confined folder, relative to it.
At Confined(const std::string& native) {
  std::string part;
  if (ConfinedPart(native, part)) return {g_confinement.fd, part, true};
  return {AT_FDCWD, native};
}

// The folders a thread copies from and into, kept open while a run holds
// its host (see detail::SweepGeneration): their files are then opened and
// named relative to them, without a walk of the whole path for each file.
class HeldFolders {
 public:
  enum Role { kSource, kTarget };
  ~HeldFolders() {
    for (Held& h : held_)
      if (h.fd >= 0) ::close(h.fd);
  }
  At Resolve(Role role, const std::string& native) {
    const uint64_t generation = detail::SweepGeneration();
    const size_t slash = native.find_last_of('/');
    auto whole = [&] { return role == kSource ? Confined(native) : At{AT_FDCWD, native}; };
    if (generation == 0 || slash == std::string::npos || slash == 0 || slash + 1 == native.size()) return whole();
    Held& h = held_[role];
    if (h.generation != generation || native.compare(0, slash, h.folder) != 0 || h.folder.size() != slash) {
      if (h.fd >= 0) ::close(h.fd);
      h.folder = native.substr(0, slash);
      std::string part;
      h.beneath = role == kSource && ConfinedPart(h.folder, part);
      h.fd = h.beneath ? OpenBeneath(g_confinement.fd, part, O_PATH | O_DIRECTORY | O_CLOEXEC)
                       : ::open(h.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      h.generation = h.fd >= 0 ? generation : 0;
    }
    if (h.fd < 0) return whole();
    return {h.fd, native.substr(slash + 1), h.beneath};
  }

 private:
  struct Held {
    std::string folder;
    int fd = -1;
    uint64_t generation = 0;
    bool beneath = false;  // a source folder below the confined one
  };
  Held held_[2];
};

thread_local HeldFolders t_held;

// Opens a file without waiting on a pipe or a device to get there; for
// reading only a regular file, for writing alone anything but a folder.
// With st, gives the open file's stat.
int OpenRegular(const At& at, int flags, struct stat* st = nullptr) {
  int fd = at.beneath ? OpenBeneath(at.dir, at.name, flags | O_NONBLOCK | O_CLOEXEC, at.noLinks ? RESOLVE_NO_SYMLINKS : 0)
                      : ::openat(at.dir, at.name.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  struct stat own;
  if (st == nullptr) st = &own;
  const bool reads = (flags & O_ACCMODE) != O_WRONLY;
  if (::fstat(fd, st) != 0 || S_ISDIR(st->st_mode) || (reads && !S_ISREG(st->st_mode))) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  // A regular file never blocks; anything else is used as it waits.
  if (!S_ISREG(st->st_mode)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int OpenRegular(const std::string& native, int flags, struct stat* st = nullptr) {
  return OpenRegular(At{AT_FDCWD, native}, flags, st);
}

// A source below the confined folder reached by a link that leads back into
// it from outside (an absolute link, or one that climbs above the folder
// first): opened by its real path below the folder, where no link may stand
// any more. -1 with EXDEV where it does not lie below the folder.
int OpenByRealPath(const std::string& native, struct stat* st) {
  std::string part;
  const std::string real = RealPath(native), &root = g_confinement.real;
  if (!ConfinedPart(native, part) || real.size() <= root.size() + 1 || !SpelledBelow(real, root)) {
    errno = EXDEV;
    return -1;
  }
  return OpenRegular({g_confinement.fd, real.substr(root.size() + 1), true, true}, O_RDONLY, st);
}

// The process's file mode mask, read before any thread can make a file.
const mode_t g_umask = [] {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}();

bool WriteAll(int out, const char* data, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(out, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

constexpr size_t kChunk = 1 << 20;

// This thread's buffer for copies through the process, made at first use.
char* CopyBuffer() {
  thread_local std::unique_ptr<char[]> buffer(new char[kChunk]);
  return buffer.get();
}

// Shows the watcher n zero bytes: a hole of a sparse file.
void ShowZeros(CopyWatcher* watcher, int64_t n) {
  if (watcher != nullptr && n > 0) watcher->Hole(static_cast<uint64_t>(n));
}

// Copies up to limit bytes (all when negative) from the files' positions,
// in the kernel where it can, through the process when a watcher is to see
// the bytes.
bool CopyRun(int in, int out, int64_t limit, bool useRange, CopyWatcher* watcher) {
  for (;;) {
    const size_t want = limit < 0 ? kChunk : static_cast<size_t>(std::min<int64_t>(limit, kChunk));
    if (want == 0) return true;
    if (!useRange || watcher != nullptr) break;
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, want, 0);
    if (n > 0) {
      if (limit > 0) limit -= n;
      continue;
    }
    if (n == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EPERM) return false;
    break;
  }
  char* buffer = CopyBuffer();
  for (;;) {
    const size_t want = limit < 0 ? kChunk : static_cast<size_t>(std::min<int64_t>(limit, kChunk));
    if (want == 0) return true;
    ssize_t n = ::read(in, buffer, want);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, buffer, static_cast<size_t>(n))) return false;
    if (watcher != nullptr) watcher->Bytes(buffer, static_cast<size_t>(n));
    if (limit > 0) limit -= n;
  }
}

// A file with fewer blocks than its length has holes: only its runs of data
// are copied, and the length set at the end, so the copy has the same holes.
bool CopyData(int in, int out, const struct stat& st, CopyWatcher* watcher) {
  // The length seen at the open: a file that grows meanwhile is copied as
  // it was then, without a last call to find its end.
  if (static_cast<int64_t>(st.st_blocks) * 512 >= static_cast<int64_t>(st.st_size))
    return CopyRun(in, out, st.st_size, true, watcher);
  off_t at = 0;
  while (at < st.st_size) {
    off_t data = ::lseek(in, at, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;  // nothing but a hole up to the end
      if (at != 0) return false;
      // The file system cannot tell: copy every byte.
      return ::lseek(in, 0, SEEK_SET) == 0 && CopyRun(in, out, -1, true, watcher);
    }
    off_t hole = ::lseek(in, data, SEEK_HOLE);
    if (hole < 0 || ::lseek(in, data, SEEK_SET) != data || ::lseek(out, data, SEEK_SET) != data) return false;
    ShowZeros(watcher, data - at);
    if (!CopyRun(in, out, hole - data, false, watcher)) return false;
    at = hole;
  }
  ShowZeros(watcher, st.st_size - at);
  return ::ftruncate(out, st.st_size) == 0;
}

// The bits a replaced file keeps: all but set-user-id and set-group-id,
// which the new bytes (a package's) never get.
mode_t KeptMode(mode_t mode) { return mode & 01777; }

// Gives the file open as fd the owner, group and permission bits of the
// file described by st; the owner and group only where the process may.
void KeepOwnerAndMode(int fd, const struct stat& st) {
  if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
  (void)::fchmod(fd, KeptMode(st.st_mode));
}

// The permission bits of a new file copied from one with the bits mode:
// the source's as far as the umask lets a new file have them, execute bits
// kept; never set-user-id or set-group-id from a package, and never less
// than readable by all and writable by the owner (a package's file of no
// bits, copied by root, would be a host file the host cannot read).
mode_t NewFileMode(mode_t mode) { return ((mode & 0777) | 0644) & ((0666 & ~g_umask) | 0111); }

// Writes the open source into the empty file open as out: its bytes, then
// its time stamps and the permission bits (and owner) the target is to
// have. created: the bits the file was made with.
bool Fill(int in, const struct stat& source, int out, const struct stat* replaced, mode_t created,
          CopyWatcher* watcher) {
  bool ok = CopyData(in, out, source, watcher);
  if (ok) {
    if (replaced != nullptr) {
      KeepOwnerAndMode(out, *replaced);
    } else if (NewFileMode(source.st_mode) != created) {
      (void)::fchmod(out, NewFileMode(source.st_mode));
    }
    struct timespec times[2] = {source.st_atim, source.st_mtim};
    ok = ::futimens(out, times) == 0;
  }
  return ok;
}

// A new file's bytes can go to a file without a name in the target's
// folder, which is given its name once whole: a killed copy leaves nothing
// behind, and the name is made once. Naming such a file takes a privilege
// or /proc; which of them this process has is found at the first use.
enum class LinkWay { Unknown, EmptyPath, Proc, None };
std::atomic<LinkWay> g_linkWay{LinkWay::Unknown};

bool LinkUnnamed(int fd, const At& to, LinkWay way) {
  if (way == LinkWay::EmptyPath) return ::linkat(fd, "", to.dir, to.name.c_str(), AT_EMPTY_PATH) == 0;
  char proc[40];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  return ::linkat(AT_FDCWD, proc, to.dir, to.name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Names the file without a name open as fd with a new temporary name in the
// folder nativeFolder (temporary); false when no name could be given.
bool LinkUnnamedAsTemporary(int fd, const std::string& nativeFolder, At& temporary) {
  for (int tries = 0; tries < 16; ++tries) {
    temporary = {AT_FDCWD, Join(nativeFolder, detail::NewTemporaryName())};
    if (LinkUnnamed(fd, temporary, g_linkWay)) return true;
    if (errno != EEXIST) break;
  }
  temporary = {};
  return false;
}

// The name of a new file in a folder open as dir, or, when dir is
// AT_FDCWD, its path in the folder spelled nativeFolder.
At NamedIn(int dir, const std::string& nativeFolder, const std::string& name) {
  return {dir, dir != AT_FDCWD || nativeFolder.empty() ? name : Join(nativeFolder, name)};
}

// Opens a file without a name in the folder (open as dir, else spelled
// nativeFolder) for writing; -1 where the file system or the process
// cannot make and name one.
int OpenUnnamed(int dir, const std::string& nativeFolder, mode_t mode) {
#ifdef O_TMPFILE
  if (g_linkWay == LinkWay::None) return -1;
  const char* folder = dir != AT_FDCWD || nativeFolder.empty() ? "." : nativeFolder.c_str();
  if (g_linkWay == LinkWay::Unknown) {
    // A first one, named as a temporary file would be named, and away: a
    // file without a name can be given one once only.
    const int fd = ::openat(dir, folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    const At probe = NamedIn(dir, nativeFolder, detail::NewTemporaryName());
    LinkWay found = LinkWay::None;
    for (LinkWay way : {LinkWay::EmptyPath, LinkWay::Proc}) {
      if (LinkUnnamed(fd, probe, way)) {
        ::unlinkat(probe.dir, probe.name.c_str(), 0);
        found = way;
        break;
      }
    }
    ::close(fd);
    g_linkWay = found;
    if (found == LinkWay::None) return -1;
  }
  return ::openat(dir, folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
#else
  (void)dir, (void)nativeFolder, (void)mode;
#endif
  return -1;
}

// Makes a temporary file (see TemporaryPathBeside) in the folder spelled as
// on disk, and open as dir unless that is AT_FDCWD, and returns it open for
// writing, named in temporary; -1 when none could be made. mode: its
// permission bits, less the umask's.
int MakeTemporaryIn(const std::string& nativeFolder, int dir, At& temporary, std::string& path,
                    mode_t mode = 0666) {
  static constexpr int kTries = 64;
  detail::SweepBeforeFirstTemporary(nativeFolder);
  for (int i = 0; i < kTries; ++i) {
    const std::string name = detail::NewTemporaryName();
    temporary = NamedIn(dir, nativeFolder, name);
    int fd = ::openat(dir, temporary.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      path = NamedIn(AT_FDCWD, nativeFolder, name).name;
      NoteCreated(path);
      return fd;
    }
    if (errno != EEXIST) break;
  }
  temporary.name.clear();
  return -1;
}

// The folder part of a native path; "" for a bare name.
std::string NativeFolderOf(const std::string& native) {
  const size_t slash = native.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : native.substr(0, slash);
}

// Gives the complete temporary file the target's name unless something
// stands there already.
bool RenameNoReplace(const At& from, const At& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(from.dir, from.name.c_str(), to.dir, to.name.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  if (::linkat(from.dir, from.name.c_str(), to.dir, to.name.c_str(), 0) != 0) return false;
  ::unlinkat(from.dir, from.name.c_str(), 0);
  return true;
}

}  // namespace

bool ReadFileBytes(const std::string& path, CopyWatcher& watcher) {
  struct stat st;
  const int fd = OpenRegular(NativePath(path), O_RDONLY, &st);
  if (fd < 0) return false;
  // The length seen at the open, as a copy takes it.
  const bool sparse = static_cast<int64_t>(st.st_blocks) * 512 < static_cast<int64_t>(st.st_size);
  char* buffer = CopyBuffer();
  bool ok = true;
  for (off_t at = 0; ok && at < st.st_size;) {
    off_t data = at, hole = st.st_size;
    if (sparse) {
      data = ::lseek(fd, at, SEEK_DATA);
      if (data < 0) data = errno == ENXIO ? st.st_size : at;  // holes to the end, or no telling: read
      const off_t next = data < st.st_size ? ::lseek(fd, data, SEEK_HOLE) : st.st_size;
      hole = next < 0 ? st.st_size : std::min<off_t>(next, st.st_size);
    }
    ShowZeros(&watcher, data - at);
    for (at = data; ok && at < hole;) {
      const ssize_t n = ::pread(fd, buffer, static_cast<size_t>(std::min<off_t>(hole - at, kChunk)), at);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) {
        watcher.Bytes(buffer, static_cast<size_t>(n));
        at += n;
      }
    }
  }
  ::close(fd);
  return ok;
}

bool CopyFileKeepingTime(const std::string& from, const std::string& to, bool failIfExists, CopyWatcher* watcher,
                         bool* emptyLeftOut) {
  errno = 0;  // a failure says its own reason (see LastFailureWasNoRoom)
  // A source named as it is spelled on disk needs no case lookup.
  struct stat source;
  const std::string spelled = Slashed(from);
  const At held = t_held.Resolve(HeldFolders::kSource, spelled);
  int in = OpenRegular(held, O_RDONLY, &source);
  // A link to another folder of the package leads out of the held folder only.
  if (in < 0 && errno == EXDEV && held.dir != g_confinement.fd) in = OpenRegular(Confined(spelled), O_RDONLY, &source);
  if (in < 0 && (errno == ENOENT || errno == ENOTDIR)) in = OpenRegular(Confined(NativePath(from)), O_RDONLY, &source);
  if (in < 0 && errno == EXDEV) in = OpenByRealPath(NativePath(from), &source);
  if (in < 0) {
    // An empty file is left out, also one that may not be read.
    const int error = errno;
    if (emptyLeftOut != nullptr) *emptyLeftOut = IsEmptyFile(from);
    errno = error;
    return false;
  }
  if (emptyLeftOut != nullptr && (*emptyLeftOut = source.st_size == 0)) {
    ::close(in);
    return false;
  }
  bool ok = true;
  std::string target;
  At temporary, placed;  // the temporary file, and the target's name for the rename
  std::string temporaryPath;  // the temporary file's whole path
  struct stat replaced;
  bool replacing = false;
  int out = -1;
  mode_t created = 0666 & ~g_umask;
  bool unnamed = false;  // out has no name yet (see OpenUnnamed)
  bool unnamedTemporary = false;  // out is to take a temporary name once whole
  std::string folder;             // the target's, native
  if (failIfExists) {
    // A name the watched folder does not hold needs no look at the disk; a
    // file made there meanwhile is still never replaced (see the rename).
    bool missing;
    target = NativePathOrMissing(to, missing);
    placed = t_held.Resolve(HeldFolders::kTarget, target);
    ok = missing ||
         (::fstatat(placed.dir, placed.name.c_str(), &replaced, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT);
    if (ok) {
      const mode_t mode = NewFileMode(source.st_mode);
      folder = NativeFolderOf(target);
      created = mode & ~g_umask;
      // What a killed run left in the folder goes, as before any temporary.
      detail::SweepBeforeFirstTemporary(folder);
      out = OpenUnnamed(placed.dir, folder, mode);
      unnamed = out >= 0;
      if (!unnamed) out = MakeTemporaryIn(folder, placed.dir, temporary, temporaryPath, mode);
    }
  } else {
    Replacement replacement;
    ok = PrepareReplacement(to, replacement);
    target = NativePath(replacement.target);
    placed = {AT_FDCWD, target};
    replacing = ok && ::stat(target.c_str(), &replaced) == 0;
    folder = NativeFolderOf(target);
    // The copy is made without a name where it can be, and takes a
    // temporary name only once whole and watched, just before the rename:
    // a run killed while it copies leaves nothing behind in the host's
    // folder, which the journal may not name yet.
    if (ok) {
      detail::SweepBeforeFirstTemporary(folder);
      out = OpenUnnamed(AT_FDCWD, folder, 0666);
    }
    unnamedTemporary = out >= 0;
    if (ok && !unnamedTemporary) {
      replacement.temporary = TemporaryPathBeside(replacement.target);
      temporary = {AT_FDCWD, NativePath(replacement.temporary)};
      temporaryPath = temporary.name;
      if (!replacement.temporary.empty())
        out = ::open(temporary.name.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    }
  }
  ok = ok && out >= 0 && (unnamed || unnamedTemporary || !temporary.name.empty());
  if (ok) {
    ok = Fill(in, source, out, replacing ? &replaced : nullptr, created, watcher);
    if (ok && watcher != nullptr) ok = watcher->Placing();
    if (unnamed) {
      // Named only when whole; a name that stands already is left alone.
      ok = ok && LinkUnnamed(out, placed, g_linkWay);
      if (::close(out) != 0 && ok) {
        ::unlinkat(placed.dir, placed.name.c_str(), 0);
        ok = false;
      }
    } else {
      const bool named = !unnamedTemporary || (ok && LinkUnnamedAsTemporary(out, folder, temporary));
      if (!named) ok = false;
      if (unnamedTemporary) temporaryPath = temporary.name;
      if (::close(out) != 0) ok = false;
      if (ok)
        ok = failIfExists ? RenameNoReplace(temporary, placed)
                          : ::renameat(temporary.dir, temporary.name.c_str(), placed.dir, placed.name.c_str()) == 0;
      if (!ok && named) ::unlinkat(temporary.dir, temporary.name.c_str(), 0);
      NoteRemoved(temporaryPath);
    }
  } else if (out >= 0) {
    ::close(out);
  }
  ::close(in);
  if (ok) NoteCreated(target);
  return ok;
}

bool MoveFileReplacing(const std::string& from, const std::string& to) {
  std::string target = NativePath(to);
  const std::string source = NativePath(from);
  if (::rename(source.c_str(), target.c_str()) != 0) return false;
  NoteRemoved(source);
  NoteCreated(target);
  return true;
}

bool RemoveFile(const std::string& path) {
  const std::string native = NativePath(path);
  if (::unlink(native.c_str()) != 0) return false;
  NoteRemoved(native);
  return true;
}

std::string TemporaryPathBeside(const std::string& path) {
  const std::string folder = detail::FolderOf(path);
  At temporary;
  std::string made;
  int fd = MakeTemporaryIn(folder.empty() ? folder : NativePath(folder), AT_FDCWD, temporary, made);
  if (fd < 0) return {};
  ::close(fd);
  // Named as the caller spelled the folder.
  const std::string name = temporary.name.substr(temporary.name.find_last_of('/') + 1);
  return folder.empty() ? name : folder + "\\" + name;
}

bool GetFolderIdentity(const std::string& path, FolderIdentity& identity) {
  struct stat st;
  if (path.empty() || !Stat(NativePath(path), st) || !S_ISDIR(st.st_mode)) return false;
  identity.volume = static_cast<uint64_t>(st.st_dev);
  identity.index = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool IsInsideFolder(const std::string& inner, const std::string& outer) {
  FolderIdentity top;
  if (!GetFolderIdentity(outer, top)) return false;
  // The real path has no links left, so its prefixes are the folders that
  // hold what inner names.
  std::string real = RealPath(inner);
  while (!real.empty()) {
    struct stat st;
    if (::stat(real.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_dev) == top.volume &&
        static_cast<uint64_t>(st.st_ino) == top.index)
      return true;
    if (real == "/") break;
    size_t slash = real.find_last_of('/');
    real = slash == 0 ? "/" : real.substr(0, slash);
  }
  return false;
}

std::string HostLockPath(const std::string& target) {
  std::string real = RealPath(target);
  struct stat st;
  if (real.empty() || real == "/" || !Stat(real, st) || !S_ISDIR(st.st_mode)) return {};
  std::string dir, name;
  SplitNative(real, dir, name);
  return Join(dir, "zetveltran-" + name + ".lock");
}

namespace {

// What a FileLock locks, the file's first byte for writing, taken (set) or
// asked for: a lock of the open file where the system has one, else of the
// process. The fcntl call's result.
int LockFirstByte(int fd, bool set, struct flock& region) {
  region = {};
  region.l_type = F_WRLCK;
  region.l_whence = SEEK_SET;
  region.l_start = 0;
  region.l_len = 1;
#ifdef F_OFD_SETLK
  const int done = ::fcntl(fd, set ? F_OFD_SETLK : F_OFD_GETLK, &region);
  if (done == 0 || errno != EINVAL) return done;
#endif
  return ::fcntl(fd, set ? F_SETLK : F_GETLK, &region);
}

}  // namespace

bool FileLock::HeldBySomeone(const std::string& path) {
  const int fd = OpenRegular(path, O_RDONLY | O_NOFOLLOW);
  if (fd < 0) return false;
  struct flock region;
  const int asked = LockFirstByte(fd, false, region);
  ::close(fd);
  return asked == 0 && region.l_type != F_UNLCK;
}

FileLock::Result FileLock::Take(const std::string& path, const std::string& folder) {
  Release();
  // Made writable by all, whoever makes it (root, say): the lock needs a file
  // opened for writing, and holds no bytes that anyone could change. Only
  // the file made here: one that stands may be another file's second name.
  int fd = OpenRegular(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW);
  if (fd >= 0)
    (void)::fchmod(fd, 0666);
  else if (errno == EEXIST)
    fd = OpenRegular(path, O_RDWR | O_NOFOLLOW);
  if (fd < 0) return Result::Failed;
  // A lock of the open file, not of the process: two takers in one process
  // exclude each other too, and closing another descriptor of the file
  // keeps it. The system's record locks are those Wine takes for Windows
  // programs: a run under Wine and one on Linux keep each other out.
  struct flock region;
  if (LockFirstByte(fd, true, region) != 0) {
    const bool busy = errno == EAGAIN || errno == EACCES;
    ::close(fd);
    return busy ? Result::Busy : Result::Failed;
  }
  handle_ = fd;
  // The lock file lies beside the folder as one path reaches it; a second
  // mount of the folder has another. A lock of the folder itself is one.
  // Where the folder's file system takes no such lock, the file's serves.
  if (!folder.empty()) {
    const int dir = ::open(NativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (dir >= 0 && ::flock(dir, LOCK_EX | LOCK_NB) == 0) {
      folder_ = dir;
    } else {
      const bool busy = dir >= 0 && errno == EWOULDBLOCK;
      if (dir >= 0) ::close(dir);
      if (busy) {
        Release();
        return Result::Busy;
      }
    }
  }
  return Result::Taken;
}

void FileLock::Release() {
  if (folder_ != -1) ::close(static_cast<int>(folder_));
  folder_ = -1;
  if (handle_ == -1) return;
  ::close(static_cast<int>(handle_));
  handle_ = -1;
}

namespace {
void (*g_onStop)() = nullptr;
volatile sig_atomic_t g_stopAsked = 0;

void OnStopSignal(int signal) {
  if (g_stopAsked) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  g_stopAsked = 1;
  if (g_onStop != nullptr) g_onStop();
}
}  // namespace

void CallOnStopRequest(void (*onStop)()) {
  g_onStop = onStop;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

bool RunsUnderWine() { return false; }

void UseOwnFileTable() { ::unshare(CLONE_FILES); }

std::string ArgumentOutsideCodePage() { return {}; }

bool EnvironmentFitsCodePage(const char*) { return true; }

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

namespace detail {

intptr_t RawOpen(const std::string& path, RawMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case RawMode::Read: flags |= O_RDONLY; break;
    case RawMode::ReadWrite: flags |= O_RDWR; break;
    case RawMode::WriteTruncate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case RawMode::WriteAppend: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
    case RawMode::ReadWriteTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case RawMode::ReadAppend: flags |= O_RDWR | O_CREAT | O_APPEND; break;
  }
  if (path.empty()) return -1;
  std::string native = NativePath(path);
  int fd = OpenRegular(native, flags);
  if (fd < 0) return -1;
  if (flags & O_CREAT) NoteCreated(native);
  return fd;
}

long RawRead(intptr_t handle, void* destination, size_t n) {
  for (;;) {
    ssize_t r = ::read(static_cast<int>(handle), destination, n);
    if (r < 0 && errno == EINTR) continue;
    return static_cast<long>(r);
  }
}

long RawWrite(intptr_t handle, const void* source, size_t n) {
  for (;;) {
    ssize_t w = ::write(static_cast<int>(handle), source, n);
    if (w < 0 && errno == EINTR) continue;
    return static_cast<long>(w);
  }
}

int64_t RawSeek(intptr_t handle, int64_t offset, int origin) {
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  return static_cast<int64_t>(::lseek(static_cast<int>(handle), static_cast<off_t>(offset), whence));
}

int64_t RawLength(intptr_t handle) {
  struct stat st;
  if (::fstat(static_cast<int>(handle), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool RawClose(intptr_t handle) { return ::close(static_cast<int>(handle)) == 0; }

bool CopyPermissionBits(const std::string& from, const std::string& to) {
  struct stat st;
  if (!Stat(NativePath(from), st)) return true;
  const std::string native = NativePath(to);
  if (::chown(native.c_str(), st.st_uid, st.st_gid) != 0) (void)::chown(native.c_str(), static_cast<uid_t>(-1), st.st_gid);
  return ::chmod(native.c_str(), KeptMode(st.st_mode)) == 0;
}

}  // namespace detail

}  // namespace zet::platform
