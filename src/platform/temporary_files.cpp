// The program's temporary files: their names, and the clearing of those that
// a killed run left behind.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <utility>

#include "platform/platform.h"
#include "platform/spinning_mutex.h"

namespace zet::platform {

namespace {

constexpr char kPrefix[] = "~zvt";
constexpr char kSuffix[] = ".tmp";
constexpr size_t kHexDigits = 8;

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// The folders swept since the sweep began, by identity: two spellings of a
// folder are swept once, and never after this run has made a file there.
struct SweepState {
  SpinningMutex mutex;  // asked for by every copy thread with every file
  std::set<std::pair<uint64_t, uint64_t>> swept;
  uint64_t begun = 0;               // sweeps begun, under mutex
  std::atomic<uint64_t> live{0};    // the number of the sweep that lives, 0 when none
};

// The folder, as spelled (by its hash), that this thread last saw swept,
// and in which sweep: a copy into one folder after another asks for each
// folder once. Plain values only: a thread's own objects with destructors
// are not safe at thread exit in every C++ runtime the program is built
// with.
struct LastSwept {
  uint64_t sweep;
  size_t folder;
};
thread_local LastSwept t_lastSwept = {0, 0};

SweepState& Sweep() {
  static SweepState state;
  return state;
}

}  // namespace

bool IsOwnTemporaryName(const std::string& name) {
  // Exactly as NewTemporaryName spells them: a user's file of a look-alike
  // name in other letters is not the program's to remove.
  const size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
  if (name.size() != prefix + kHexDigits + suffix) return false;
  if (name.compare(0, prefix, kPrefix) != 0 || name.compare(prefix + kHexDigits, suffix, kSuffix) != 0) return false;
  for (size_t i = prefix; i < prefix + kHexDigits; ++i)
    if (!IsLowerHex(name[i])) return false;
  return true;
}

namespace {

// Removes the program's temporary files in folder for which stale holds.
template <class Stale>
void RemoveOwnTemporariesIf(const std::string& folder, Stale stale) {
  std::vector<DirEntry> entries;
  if (!ListFolder(folder, entries)) return;
  for (const DirEntry& e : entries)
    if (!e.isFolder && !e.isLink && !e.isSpecial && IsOwnTemporaryName(e.name) && stale(folder + "\\" + e.name))
      RemoveFile(folder + "\\" + e.name);
}

}  // namespace

void RemoveOwnTemporaries(const std::string& folder) {
  RemoveOwnTemporariesIf(folder, [](const std::string&) { return true; });
}

void RemoveStaleOwnTemporaries(const std::string& folder, int64_t seconds) {
  int64_t now = 0, nanoseconds = 0;
  FileClockNow(now, nanoseconds);
  RemoveOwnTemporariesIf(folder, [&](const std::string& path) { return !ChangedSince(path, now - seconds); });
}

TemporarySweep::TemporarySweep() {
  std::lock_guard<SpinningMutex> lock(Sweep().mutex);
  Sweep().swept.clear();
  Sweep().live = ++Sweep().begun;
}

TemporarySweep::~TemporarySweep() {
  std::lock_guard<SpinningMutex> lock(Sweep().mutex);
  Sweep().swept.clear();
  Sweep().live = 0;
}

namespace detail {

std::string NewTemporaryName() {
  // Random per process, then a counter through a mixing step: names of two
  // processes, or of one process's many files, do not follow each other.
  static std::atomic<uint64_t> state{[] {
    std::random_device device;
    return (static_cast<uint64_t>(device()) << 32) ^ device() ^
           static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }()};
  uint64_t z = state.fetch_add(0x9E3779B97F4A7C15ull) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  char name[32];
  std::snprintf(name, sizeof name, "%s%08x%s", kPrefix, static_cast<unsigned>(z), kSuffix);
  return name;
}

void SweepBeforeFirstTemporary(const std::string& folder) {
  SweepState& state = Sweep();
  const uint64_t sweep = state.live.load();
  const size_t folderHash = std::hash<std::string>()(folder);
  if (sweep == 0 || (t_lastSwept.sweep == sweep && t_lastSwept.folder == folderHash)) return;
  std::lock_guard<SpinningMutex> lock(state.mutex);
  if (state.live != sweep) return;  // it ended meanwhile
  FolderIdentity id;
  if (!GetFolderIdentity(folder.empty() ? "." : folder, id)) return;
  t_lastSwept = {sweep, folderHash};
  if (!state.swept.insert({id.volume, id.index}).second) return;
  RemoveOwnTemporaries(folder.empty() ? "." : folder);
}

void NoteFolderMade(const FolderIdentity& id) {
  SweepState& state = Sweep();
  std::lock_guard<SpinningMutex> lock(state.mutex);
  if (state.live != 0) state.swept.insert({id.volume, id.index});
}

uint64_t SweepGeneration() { return Sweep().live.load(); }

std::string FolderOf(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsPathSeparator(path[i - 1])) return path.substr(0, i - 1 == 0 ? 1 : i - 1);
  return {};
}

}  // namespace detail

}  // namespace zet::platform
