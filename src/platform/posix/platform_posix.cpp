// POSIX backend. Windows resolves names without regard to letter case, and a
// resource tree copied from Windows has CATEGORIES, Parallels and Index.ini in
// whatever case its makers used; so each path component that does not exist
// as spelled is looked up in its folder ignoring case.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_common.h"

namespace zet::platform {

namespace {

std::string UpperAscii(const std::string& s) {
  std::string u = s;
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return u;
}

bool Stat(const std::string& native, struct stat& st) { return ::stat(native.c_str(), &st) == 0; }

// Folders whose names were looked up ignoring case, with the names they
// hold, most recently used first. A folder's entry is good while the
// folder's change time is the one seen when it was read; what this process
// creates is added to it, so copying many files into one folder does not
// read the folder again for each file.
class FolderNameCache {
 public:
  // The name in folder dir that equals name ignoring case; empty when none.
  // known: the folder's stat when the caller has just taken it.
  std::string Find(const std::string& dir, const std::string& name, const struct stat* known = nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    struct stat st;
    if (known != nullptr)
      st = *known;
    else if (!Stat(dir.empty() ? "." : dir, st))
      return {};
    Entry* e = Lookup(dir);
    if (e != nullptr && e->ownChange && e->stampValid && e->ino == st.st_ino && !SameStamp(*e, st)) {
      // Changed by what this process created there since the last look:
      // the names are current already.
      SetStamp(*e, st);
    }
    if (e != nullptr) e->ownChange = false;
    if (e == nullptr || !SameStamp(*e, st)) {
      if (e == nullptr) {
        entries_.emplace_front();
        e = &entries_.front();
        e->dir = dir;
        if (entries_.size() > kCapacity) entries_.pop_back();
      }
      Read(*e, st);
    }
    auto it = e->names.find(UpperAscii(name));
    return it == e->names.end() ? std::string() : it->second;
  }

  // This process created name in dir: keep the cached folder current.
  // The folder is not looked at again here: the next Find takes the change
  // of its time stamp for this one (copying many files into one folder
  // costs no extra look per file).
  void Created(const std::string& dir, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& e : entries_) {
      if (e.dir != dir) continue;
      e.names.emplace(UpperAscii(name), name);
      e.ownChange = true;
      return;
    }
  }

 private:
  static constexpr size_t kCapacity = 32;
  struct Entry {
    std::string dir;
    bool stampValid = false;
    bool ownChange = false;  // this process created names here since the stamp
    struct timespec mtime {};
    struct timespec ctime {};
    ino_t ino = 0;
    std::unordered_map<std::string, std::string> names;  // upper-cased -> as on disk
  };

  Entry* Lookup(const std::string& dir) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->dir == dir) {
        if (it != entries_.begin()) entries_.splice(entries_.begin(), entries_, it);
        return &entries_.front();
      }
    }
    return nullptr;
  }

  static bool SameStamp(const Entry& e, const struct stat& st) {
    return e.stampValid && e.ino == st.st_ino && e.mtime.tv_sec == st.st_mtim.tv_sec &&
           e.mtime.tv_nsec == st.st_mtim.tv_nsec && e.ctime.tv_sec == st.st_ctim.tv_sec &&
           e.ctime.tv_nsec == st.st_ctim.tv_nsec;
  }
  static void SetStamp(Entry& e, const struct stat& st) {
    e.stampValid = true;
    e.ino = st.st_ino;
    e.mtime = st.st_mtim;
    e.ctime = st.st_ctim;
  }

  static void Read(Entry& e, const struct stat& st) {
    e.names.clear();
    e.stampValid = false;
    DIR* d = ::opendir(e.dir.empty() ? "." : e.dir.c_str());
    if (d == nullptr) return;
    while (struct dirent* ent = ::readdir(d)) {
      std::string n = ent->d_name;
      if (n == "." || n == "..") continue;
      // Of names equal but for case, the first one read stands.
      e.names.emplace(UpperAscii(n), n);
    }
    ::closedir(d);
    SetStamp(e, st);
  }

  std::mutex mutex_;
  std::list<Entry> entries_;
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

void NoteCreated(const std::string& native) {
  std::string dir, name;
  SplitNative(native, dir, name);
  if (!name.empty()) NameCache().Created(dir, name);
}

}  // namespace

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string NativePath(const std::string& path) {
  std::string p = Slashed(path);
  if (p.empty()) return p;
  struct stat st;
  if (::lstat(p.c_str(), &st) == 0) return p;

  // Start from the longest prefix that exists as spelled.
  size_t start = p.size();
  std::string resolved;
  struct stat prefixStat;
  bool prefixStatted = false;
  for (;;) {
    size_t slash = start == 0 ? std::string::npos : p.find_last_of('/', start - 1);
    if (slash == std::string::npos) {
      resolved.clear();
      start = 0;
      break;
    }
    if (slash == 0) {
      resolved = "/";
      start = 1;
      break;
    }
    std::string prefix = p.substr(0, slash);
    if (Stat(prefix, prefixStat)) {
      resolved = prefix;
      start = slash + 1;
      prefixStatted = true;
      break;
    }
    start = slash;
  }

  // Resolve the rest name by name; from the first name that is not there in
  // any case, the path goes on as spelled.
  bool searching = true;
  size_t pos = start;
  for (bool first = true;; first = false) {
    size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    std::string name = p.substr(pos, next - pos);
    if (!name.empty()) {
      std::string actual = name;
      if (searching && name != "." && name != "..") {
        // The first name after the prefix found is known to be missing as
        // spelled when it is the last one: the whole path was looked at.
        bool knownMissing = first && next == p.size() && prefixStatted;
        if (knownMissing || ::lstat(Join(resolved, name).c_str(), &st) != 0) {
          std::string found = NameCache().Find(resolved, name, first && prefixStatted ? &prefixStat : nullptr);
          if (found.empty())
            searching = false;
          else
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

bool CanWriteFile(const std::string& path) {
  if (path.empty()) return false;
  std::string native = NativePath(path);
  struct stat st;
  if (!Stat(native, st) || !S_ISREG(st.st_mode)) return false;
  // Root passes every access check; a file without any write bit is still
  // read-only by intent, as the read-only attribute is on Windows.
  return (st.st_mode & 0222) != 0 && ::access(native.c_str(), W_OK) == 0;
}

std::string RealPath(const std::string& path) {
  if (path.empty()) return {};
  char* resolved = ::realpath(NativePath(path).c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string result = resolved;
  std::free(resolved);
  return result;
}

bool ListFolder(const std::string& path, std::vector<DirEntry>& entries) {
  entries.clear();
  std::string native = NativePath(path);
  DIR* d = ::opendir(native.empty() ? "." : native.c_str());
  if (d == nullptr) return false;
  int fd = ::dirfd(d);
  while (struct dirent* ent = ::readdir(d)) {
    if (std::strcmp(ent->d_name, ".") == 0 || std::strcmp(ent->d_name, "..") == 0) continue;
    DirEntry e;
    e.name = ent->d_name;
    struct stat st;
    if (::fstatat(fd, ent->d_name, &st, 0) == 0) {
      e.isFolder = S_ISDIR(st.st_mode);
      e.size = e.isFolder ? 0 : static_cast<uint64_t>(st.st_size);
    } else if (::fstatat(fd, ent->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      e.size = 0;  // a dangling link: listed, but nothing to copy
    } else {
      continue;
    }
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
  return true;
}

namespace {

bool CopyData(int in, int out) {
  static constexpr size_t kChunk = 1 << 20;
  bool useRange = true;
  for (;;) {
    if (useRange) {
      ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
      if (n > 0) continue;
      if (n == 0) return true;
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EPERM)
        return false;
      useRange = false;
    }
    std::vector<char> buffer(kChunk);
    for (;;) {
      ssize_t n = ::read(in, buffer.data(), buffer.size());
      if (n == 0) return true;
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      ssize_t done = 0;
      while (done < n) {
        ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
        if (w < 0) {
          if (errno == EINTR) continue;
          return false;
        }
        done += w;
      }
    }
  }
}

// Copies the open source into a new file at native (which must not exist).
bool CopyInto(int in, const struct stat& st, const std::string& native) {
  int out = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) return false;
  bool ok = CopyData(in, out);
  if (ok) {
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
  }
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(native.c_str());
  return ok;
}

}  // namespace

bool CopyFileKeepingTime(const std::string& from, const std::string& to, bool failIfExists) {
  // A source named as it is spelled on disk needs no case lookup.
  int in = ::open(Slashed(from).c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0 && (errno == ENOENT || errno == ENOTDIR)) in = ::open(NativePath(from).c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  std::string target = NativePath(to);
  struct stat st;
  bool ok = ::fstat(in, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    if (failIfExists) {
      ok = CopyInto(in, st, target);
    } else {
      struct stat tst;
      if (Stat(target, tst) && S_ISDIR(tst.st_mode)) {
        ok = false;
      } else {
        std::string temp = NativePath(TemporaryPathBeside(to));
        ok = CopyInto(in, st, temp);
        if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
          ::unlink(temp.c_str());
          ok = false;
        }
      }
    }
  }
  ::close(in);
  if (ok) NoteCreated(target);
  return ok;
}

bool MoveFileReplacing(const std::string& from, const std::string& to) {
  std::string target = NativePath(to);
  if (::rename(NativePath(from).c_str(), target.c_str()) != 0) return false;
  NoteCreated(target);
  return true;
}

bool RemoveFile(const std::string& path) { return ::unlink(NativePath(path).c_str()) == 0; }

std::string TemporaryPathBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    std::string candidate =
        path + ".~zv" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
    struct stat st;
    if (::lstat(NativePath(candidate).c_str(), &st) != 0) return candidate;
  }
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
  int fd = ::open(native.c_str(), flags, 0666);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return -1;
  }
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

}  // namespace detail

}  // namespace zet::platform
