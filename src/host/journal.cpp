#include "host/journal.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <deque>
#include <functional>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "fileio/file_slots.h"
#include "platform/file_state.h"
#include "platform/platform.h"

namespace zet {

namespace {

constexpr char kManifest[] = "manifest.txt";
constexpr char kOldFolder[] = "old";
constexpr char kLiveLock[] = "live.lock";
constexpr char kOlderRunsDropped[] = "older-runs-dropped";
constexpr char kMagic[] = "zetveltran-journal 1";
constexpr size_t kRunNameLength = 8;

std::string Join(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  return platform::IsPathSeparator(a.back()) ? a + b : a + "\\" + b;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return upper(x) == upper(y); });
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// ------------------------------------------------------------------ text

constexpr char kHexDigits[] = "0123456789abcdef";

// Appends text to out with control bytes, '%' and nothing else as %XX: a
// path stays readable and stays one field of its line.
void AppendEscaped(std::string& out, const std::string& text) {
  static constexpr char kUpper[] = "0123456789ABCDEF";
  size_t plain = 0;  // start of the characters not yet appended
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != 0x7F && c != '%') continue;
    out.append(text, plain, i - plain);
    const char hex[3] = {'%', kUpper[c >> 4], kUpper[c & 15]};
    out.append(hex, 3);
    plain = i + 1;
  }
  out.append(text, plain, std::string::npos);
}

std::string Escaped(const std::string& text) {
  std::string out;
  AppendEscaped(out, text);
  return out;
}

std::string Unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

void AppendHex16(std::string& out, uint64_t value) {
  char text[16];
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = kHexDigits[value & 15];
  out.append(text, 16);
}

std::string Hex16(uint64_t value) {
  std::string out;
  AppendHex16(out, value);
  return out;
}

// Days since 1970-01-01 of a date and back (the proleptic Gregorian
// calendar), so that times are written and read in UTC on every system.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

// ISO 8601 in UTC: 2026-12-07T02:15:00Z
std::string IsoTime(int64_t seconds) {
  int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) rest += 86400, --days;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ", static_cast<long long>(y), m, d,
                static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
  return text;
}

int64_t ParseIsoTime(const std::string& text) {
  long long y = 0;
  unsigned m = 0, d = 0, hh = 0, mm = 0, ss = 0;
  if (std::sscanf(text.c_str(), "%lld-%u-%uT%u:%u:%u", &y, &m, &d, &hh, &mm, &ss) != 6) return 0;
  return DaysFromCivil(y, m, d) * 86400 + hh * 3600 + mm * 60 + ss;
}

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

const char* KindName(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::FolderCreated: return "folder-created";
    case ChangeKind::FileCreated: return "file-created";
    case ChangeKind::FileReplaced: return "file-replaced";
    case ChangeKind::FileMerged: return "file-merged";
    default: return "";
  }
}

// The kinds of change a manifest records.
constexpr ChangeKind kRecordedKinds[] = {ChangeKind::FolderCreated, ChangeKind::FileCreated, ChangeKind::FileReplaced,
                                         ChangeKind::FileMerged};

bool KindFromName(const std::string& name, ChangeKind& kind) {
  for (ChangeKind k : kRecordedKinds)
    if (name == KindName(k)) {
      kind = k;
      return true;
    }
  return false;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  for (;;) {
    size_t tab = line.find('\t', at);
    fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
    if (tab == std::string::npos) return fields;
    at = tab + 1;
  }
}

// The value of key=value among the fields after the path.
std::string Field(const std::vector<std::string>& fields, const char* key) {
  const std::string prefix = std::string(key) + "=";
  for (size_t i = 2; i < fields.size(); ++i)
    if (fields[i].compare(0, prefix.size(), prefix) == 0) return fields[i].substr(prefix.size());
  return {};
}

uint64_t Number(const std::string& text, int base) { return std::strtoull(text.c_str(), nullptr, base); }

// Built in place: a run writes one for every file.
std::string EntryLine(const JournalEntry& e) {
  std::string line;
  line.reserve(e.path.size() + 64);
  line += KindName(e.kind);
  line += '\t';
  AppendEscaped(line, e.path);
  if (e.kind != ChangeKind::FolderCreated) {
    line += "\tsize=";
    line += std::to_string(e.written.size);
    line += "\txxh3=";
    AppendHex16(line, e.written.hash);
  }
  if (e.kind == ChangeKind::FileReplaced || e.kind == ChangeKind::FileMerged) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(e.mode));
    line += "\told-size=" + std::to_string(e.old.size) + "\told-xxh3=" + Hex16(e.old.hash) + "\tmode=" + mode +
            "\told-bytes=" + Escaped(e.oldBytes);
  }
  return line;
}

bool IsRunName(const std::string& name) {
  return name.size() == kRunNameLength && name.find_first_not_of("0123456789") == std::string::npos;
}

// The run folders of a host's journal, oldest first.
std::vector<std::string> RunNames(const std::string& hostFolder) {
  std::vector<platform::DirEntry> entries;
  std::vector<std::string> names;
  if (!platform::ListFolder(hostFolder, entries)) return names;
  // A link among them is no run of the journal's, wherever it leads: it is
  // neither read nor cleared through.
  for (const platform::DirEntry& e : entries)
    if (e.isFolder && !e.isLink && IsRunName(e.name)) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

// What a run's folder holds, judged by its manifest's first 64 KB.
enum class Held {
  // No run to undo: one refused or killed before its first change (no
  // manifest, a header cut short or whole and then nothing, or the zero
  // bytes of a killed run's unwritten rest).
  Nothing,
  // A run that recorded a change; a header longer than 64 KB counts as one.
  Run,
  // A manifest that is there and holds no run's header, or cannot be read
  // at all (a link, a folder, a pipe, no access): what its run changed is
  // not known.
  Damaged,
};

Held WhatFolderHolds(const std::string& folder) {
  const std::string manifest = Join(folder, kManifest);
  if (platform::IsLink(manifest)) return Held::Damaged;  // a journal reads its own files only
  if (platform::GetPathKind(manifest) == platform::PathKind::None) return Held::Nothing;
  platform::Stream in;
  if (!in.Open(manifest, "rb")) return Held::Damaged;
  std::string head(64 * 1024, '\0');
  head.resize(in.Read(&head[0], head.size()));
  if (head.compare(0, sizeof kMagic - 1, kMagic) != 0) {
    const std::string_view written(head.c_str());  // up to the unwritten rest
    const bool cutShort = std::string_view(kMagic).compare(0, written.size(), written) == 0 &&
                          head.find_first_not_of('\0', written.size()) == std::string::npos;
    return cutShort ? Held::Nothing : Held::Damaged;
  }
  size_t at = 0;
  for (size_t end; (end = head.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = head.substr(at, end - at);
    // Zero bytes to the end are the rest of a killed run; bytes after them
    // are lines a crash damaged, and a run whose changes are not known.
    if (line.find('\0') != std::string::npos)
      return head.find_first_not_of('\0', at + line.find('\0')) == std::string::npos ? Held::Nothing : Held::Damaged;
    ChangeKind kind;
    if (KindFromName(Fields(line)[0], kind)) return Held::Run;
  }
  return head.size() == 64 * 1024 && head.find('\0', at) == std::string::npos ? Held::Run : Held::Nothing;
}

// Removes a folder with everything in it. A link is removed as a name, never
// followed.
void RemoveTree(const std::string& path) {
  if (platform::IsLink(path)) {
    platform::RemoveFile(path);
    return;
  }
  std::vector<platform::DirEntry> entries;
  platform::ListFolder(path, entries);
  for (const platform::DirEntry& e : entries) {
    const std::string child = Join(path, e.name);
    if (!platform::RemoveFile(child) && e.isFolder) RemoveTree(child);
  }
  platform::RemoveEmptyFolder(path);
}

bool WriteAll(intptr_t handle, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const long n = platform::detail::RawWrite(handle, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Where the lines of a manifest end: a killed run leaves the rest of its
// last step unwritten (a hole, or zeros), and a line put after that would
// not be read. last: the byte before that place ('\n' at the start).
uint64_t WrittenEnd(const std::string& manifest, char& last) {
  last = '\n';
  uint64_t length = 0, hole = UINT64_MAX;
  if (!platform::GetFileLength(manifest, length)) return 0;
  platform::FirstHole(manifest, hole);
  uint64_t end = std::min(length, hole);
  platform::Stream in;
  if (!in.Open(manifest, "rb")) return end;
  // A step is 1 MB: more zeros than two are no step's, and a line is put
  // among them, where the reader finds it too.
  char buffer[1 << 12];
  for (uint64_t zeros = 0; end > 0 && zeros < (2u << 20);) {
    const uint64_t from = end > sizeof buffer ? end - sizeof buffer : 0;
    const size_t n = static_cast<size_t>(end - from);
    if (!in.Seek(static_cast<int64_t>(from), SEEK_SET) || in.Read(buffer, n) != n) break;
    size_t kept = n;
    while (kept > 0 && buffer[kept - 1] == '\0') --kept;
    if (kept > 0) {
      last = buffer[kept - 1];
      return from + kept;
    }
    end = from;
    zeros += n;
  }
  return end;
}

// A run's manifest open for writing; -1 when it cannot be, or is a link (a
// journal writes its own files only).
intptr_t OpenManifest(const std::string& manifest) {
  if (platform::IsLink(manifest)) return -1;
  return platform::detail::RawOpen(manifest, platform::detail::RawMode::ReadWrite);
}

bool AppendToManifest(const std::string& folder, const std::string& line) {
  const std::string manifest = Join(folder, kManifest);
  const intptr_t handle = OpenManifest(manifest);
  if (handle == -1) return false;
  char last;
  const uint64_t end = WrittenEnd(manifest, last);
  // A line the system did not take whole (a full disk) is ended first:
  // glued to it, the new line would not be read.
  bool ok = platform::detail::RawSeek(handle, static_cast<int64_t>(end), SEEK_SET) == static_cast<int64_t>(end) &&
            WriteAll(handle, (last == '\n' ? "" : "\n") + line + "\n") && platform::SyncHandle(handle);
  return platform::detail::RawClose(handle) && ok;
}

}  // namespace

bool LiesWithin(std::string path, const std::string& folder) {
  return LiesWithinReal(std::move(path), platform::RealPath(folder));
}

bool LiesWithinReal(std::string path, const std::string& outer) {
  // The nearest part of path that exists says where the rest will be.
  while (platform::GetPathKind(path) == platform::PathKind::None) {
    size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos || cut == 0) return false;
    path.resize(cut);
  }
  const std::string inner = platform::RealPath(path);
  if (outer.empty() || inner.size() < outer.size()) return false;
  if (platform::IsPathSeparator('/') ? inner.compare(0, outer.size(), outer) != 0
                                     : !EqualIgnoringCase(inner.substr(0, outer.size()), outer))
    return false;
  return inner.size() == outer.size() || platform::IsPathSeparator(inner[outer.size()]) ||
         platform::IsPathSeparator(outer.back());
}

// ------------------------------------------------------------- locations

std::string JournalRoot() {
  // A folder named with letters the code page lacks would come as another.
  for (const char* name : {"ZETVELTRAN_JOURNAL_DIR", "LOCALAPPDATA"})
    if (!platform::EnvironmentFitsCodePage(name)) return {};
  // Given relative, it lies below the current folder, made as any other.
  std::string root = Env("ZETVELTRAN_JOURNAL_DIR");
  if (!root.empty()) return platform::AbsolutePath(root);
  if (platform::IsPathSeparator('/')) {
    std::string state = Env("XDG_STATE_HOME");
    if (state.empty() || !platform::IsAbsolutePath(state)) {
      const std::string home = Env("HOME");
      if (home.empty()) return {};
      state = home + "/.local/state";
    }
    return state + "/zetveltran/journal";
  }
  const std::string local = Env("LOCALAPPDATA");
  return local.empty() ? std::string() : local + "\\ZetVeltran\\journal";
}

std::string HostJournalFolder(const std::string& root, const std::string& target) {
  std::string identity = platform::RealPath(target);
  if (identity.empty() || root.empty()) return {};
  if (!platform::IsPathSeparator('/')) {
    // Windows names a folder in any letter case, with either separator, with
    // or without a separator at its end and the "\\?\" of long paths.
    for (char& c : identity) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c == '/') c = '\\';
    }
    if (identity.compare(0, 4, "\\\\?\\") == 0) identity.erase(0, 4);
    while (identity.size() > 3 && identity.back() == '\\') identity.pop_back();
  }
  return Join(root, Hex16(DigestOf(identity).hash));
}

std::string JournalTimeText(int64_t seconds) {
  std::string iso = IsoTime(seconds);
  iso[10] = ' ';
  iso.pop_back();
  return iso + " UTC";
}

// --------------------------------------------------------------- reading

int RunRecord::Count(ChangeKind kind) const { return counts[static_cast<int>(kind)]; }

bool RunRecord::Undoable() const {
  auto changed = [this](ChangeKind kind) { return Count(kind) > 0; };
  return state != RunState::Undone && std::any_of(std::begin(kRecordedKinds), std::end(kRecordedKinds), changed);
}

bool ReadRun(const std::string& folder, RunRecord& run, bool withEntries) {
  std::string own = folder;  // folder may be run's own
  run = RunRecord();
  run.folder = std::move(own);
  const std::string manifest = Join(run.folder, kManifest);
  // Read in pieces, line by line: what a run holds does not grow with it.
  // A journal reads its own files only, never through a link.
  platform::Stream in;
  if (platform::IsLink(manifest) || !in.Open(manifest, "rb")) return false;
  // A run writes its manifest from the start on: a hole is the unwritten
  // rest of a killed one, read as zeros; data after a hole is no run's (a
  // manifest blown up to many GB of nothing is not read through).
  uint64_t unread = 0;
  if (platform::FirstHole(manifest, unread)) run.damaged = true;
  platform::FileState state;
  if (platform::GetFileState(manifest, state)) run.lastWritten = state.modifiedSeconds;
  struct Recent {
    std::string path;
    ChangeKind kind;
  };
  static constexpr size_t kRecentChanges = 4096;
  std::deque<Recent> recent;
  bool ended = false, stopped = false, undoing = false, undone = false, first = true;
  std::vector<char> buffer(1 << 16);
  std::string text;  // what is read and not yet taken as lines
  for (;;) {
    const size_t n = in.Read(buffer.data(), static_cast<size_t>(std::min<uint64_t>(buffer.size(), unread)));
    if (n == 0) break;
    unread -= n;
    text.append(buffer.data(), n);
    if (first) {
      if (text.size() < sizeof kMagic - 1) continue;
      if (text.compare(0, sizeof kMagic - 1, kMagic) != 0) return false;
      first = false;
    }
    size_t at = 0;
    for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      // A line the system did not take whole (a kill mid-write) is no line:
      // its end is missing, and zero bytes follow what there is of it.
      std::string_view line_view = std::string_view(text).substr(at, end - at);
      // (A crash of the system may leave zeros amid lines a run wrote whole:
      // what they said is lost, and the run is a damaged one.)
      const size_t zero = line_view.find_last_of('\0');
      if (zero != std::string_view::npos) {
        line_view.remove_prefix(zero + 1);
        run.damaged = true;
      }
      std::string line(line_view);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::vector<std::string> f = Fields(line);
      const std::string value = f.size() > 1 ? Unescaped(f[1]) : std::string();
      ChangeKind kind;
      if (f[0] == "target") {
        run.target = value;
      } else if (f[0] == "package") {
        run.package = value;
      } else if (f[0] == "version") {
        run.version = value;
      } else if (f[0] == "started") {
        run.started = ParseIsoTime(value);
        run.startedNanos = static_cast<int64_t>(Number(Field(f, "nanos"), 10));
      } else if (f[0] == "end") {
        ended = true;
        stopped = f.size() > 2 && f[2] == "stopped";
      } else if (f[0] == "undoing") {
        undoing = true;
      } else if (f[0] == "undone") {
        undone = true;
      } else if (f[0] == "failed") {
        // The change last recorded for the path, among the recent ones: a
        // change's failure follows it within the lines of the changes under
        // way beside it.
        const auto it = std::find_if(recent.rbegin(), recent.rend(), [&](const Recent& r) { return r.path == value; });
        if (it != recent.rend()) {
          --run.counts[static_cast<int>(it->kind)];
          recent.erase(std::next(it).base());
          const auto entry = std::find_if(run.entries.rbegin(), run.entries.rend(),
                                          [&](const JournalEntry& e) { return e.path == value; });
          if (entry != run.entries.rend()) run.entries.erase(std::next(entry).base());
        }
      } else if (KindFromName(f[0], kind) && !value.empty()) {
        ++run.counts[static_cast<int>(kind)];
        recent.push_back({value, kind});
        if (recent.size() > kRecentChanges) recent.pop_front();
        if (withEntries) {
          JournalEntry e;
          e.kind = kind;
          e.path = value;
          e.written = {Number(Field(f, "size"), 10), Number(Field(f, "xxh3"), 16)};
          e.old = {Number(Field(f, "old-size"), 10), Number(Field(f, "old-xxh3"), 16)};
          e.mode = static_cast<uint32_t>(Number(Field(f, "mode"), 8));
          e.oldBytes = Unescaped(Field(f, "old-bytes"));
          run.entries.push_back(std::move(e));
        }
      }
    }
    text.erase(0, at);
    // A kill leaves up to a step of zero bytes: no line is that long. A
    // line of other bytes that long was never written by a run: the
    // manifest is damaged, and what the line said is lost.
    if (text.size() > (1u << 20) && text.find('\n') == std::string::npos) {
      const size_t cut = text.size() - 4096;
      if (text.find_first_not_of('\0') < cut) run.damaged = true;
      text.erase(0, cut);
    }
  }
  if (first || in.ReadFailed()) return false;
  run.state = undone    ? RunState::Undone
              : undoing ? RunState::PartlyUndone
              : ended   ? (stopped ? RunState::Stopped : RunState::Completed)
                        : RunState::Interrupted;
  return true;
}

std::vector<RunRecord> ListRuns(const std::string& root, const std::string& target) {
  std::vector<RunRecord> runs;
  const std::string hostFolder = HostJournalFolder(root, target);
  if (hostFolder.empty()) return runs;
  std::vector<std::string> names = RunNames(hostFolder);
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    RunRecord run;
    const bool read = ReadRun(Join(hostFolder, *it), run);
    // One that cannot be read, or shows no change where its manifest holds
    // damaged lines, is listed as damaged, so that undo goes no further
    // back than it.
    if ((!read || (run.state != RunState::Undone && !run.Undoable())) && WhatFolderHolds(run.folder) == Held::Damaged) {
      run.unreadable = true;
      run.started = run.lastWritten;
    }
    if (read || run.unreadable) runs.push_back(std::move(run));
  }
  return runs;
}

bool FindRunToUndo(const std::string& root, const std::string& target, RunRecord& run) {
  for (RunRecord& candidate : ListRuns(root, target)) {
    if (!candidate.unreadable && !candidate.Undoable()) continue;
    run = std::move(candidate);
    return true;
  }
  return false;
}

bool FindInterruptedRun(const std::string& root, const std::string& target, RunRecord& run) {
  // Only the newest run is read: every run starts with this look, and the
  // older runs' manifests are as long as their packages.
  const std::string hostFolder = HostJournalFolder(root, target);
  if (hostFolder.empty()) return false;
  const std::vector<std::string> names = RunNames(hostFolder);
  for (auto it = names.rbegin(); it != names.rend(); ++it)
    if (ReadRun(Join(hostFolder, *it), run))
      return (run.state == RunState::Interrupted || run.state == RunState::PartlyUndone) && run.Undoable();
  return false;
}

bool CanMarkRun(const std::string& folder) {
  const intptr_t handle = OpenManifest(Join(folder, kManifest));
  return handle != -1 && platform::detail::RawClose(handle);
}

bool MarkUndoStarted(const std::string& folder) { return AppendToManifest(folder, "undoing\t" + IsoTime(Now())); }

bool MarkRunUndone(const std::string& folder) { return AppendToManifest(folder, "undone\t" + IsoTime(Now())); }

bool OlderRunsDropped(const std::string& root, const std::string& target) {
  const std::string hostFolder = HostJournalFolder(root, target);
  return !hostFolder.empty() && platform::GetPathKind(Join(hostFolder, kOlderRunsDropped)) == platform::PathKind::File;
}

bool RunUnderWay(const std::string& folder) {
  return platform::FileLock::HeldBySomeone(platform::NativePath(Join(folder, kLiveLock)));
}

// --------------------------------------------------------------- writing

Journal::~Journal() { Close(); }

void Journal::Close() {
  std::lock_guard<platform::SpinningMutex> lock(mutex_);
  manifest_.Close();
  live_.Release();
}

namespace {

// The nearest folder on the way to folder that stands (its path may hold
// either separator, as the environment gave it).
std::string NearestStanding(std::string folder) {
  while (platform::GetPathKind(folder) == platform::PathKind::None) {
    const size_t cut = folder.find_last_of("\\/");
    if (cut == std::string::npos || cut == 0) break;
    folder.resize(cut);
  }
  return folder;
}

// Why the journal cannot be written in folder, with the cause the system
// tells where it tells one (the cause lies with the nearest folder that stands).
std::string NotWrittenIn(const std::string& folder) {
  return "the run journal cannot be written in " + platform::NativePath(folder) +
         platform::WhyNothingIsMadeIn(NearestStanding(folder));
}

}  // namespace

std::string Journal::Refusal(const JournalStart& start) {
  if (start.root.empty()) return "no folder for the run journal: the system names no place for program state";
  const std::string hostFolder = HostJournalFolder(start.root, start.target);
  if (hostFolder.empty()) return "the host folder cannot be found: " + start.target;
  if (LiesWithin(start.root, start.target)) return "the run journal would lie in the host's folder: " + start.root;
  if (!start.package.empty() && LiesWithin(start.root, start.package))
    return "the run journal would lie in the package's folder, and be installed from there: " + start.root;
  // The nearest folder on the way that stands takes the rest.
  const std::string standing = NearestStanding(hostFolder);
  if (platform::GetPathKind(standing) != platform::PathKind::Folder || !platform::CanMakeIn(standing))
    return NotWrittenIn(standing);
  return {};
}

bool Journal::Begin(const JournalStart& start, std::string& error) {
  Close();
  linkOldBytes_ = start.linkOldBytes;
  error = Refusal(start);
  if (!error.empty()) return false;
  const std::string hostFolder = HostJournalFolder(start.root, start.target);
  MakePath(hostFolder);
  // The next number; a name taken meanwhile is passed over.
  const std::vector<std::string> names = RunNames(hostFolder);
  unsigned long next = names.empty() ? 1 : std::strtoul(names.back().c_str(), nullptr, 10) + 1;
  folder_.clear();
  for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt, ++next) {
    char name[16];
    std::snprintf(name, sizeof name, "%08lu", next % 100000000UL);
    if (platform::CreateFolder(Join(hostFolder, name))) folder_ = Join(hostFolder, name);
  }
  if (folder_.empty() || !platform::CreateFolder(Join(folder_, kOldFolder))) {
    error = NotWrittenIn(hostFolder);
    Abandon();
    return false;
  }
  const bool opened = manifest_.Open(Join(folder_, kManifest));
  const std::string target = platform::RealPath(start.target);
  int64_t seconds = 0, nanoseconds = 0;
  platform::FileClockNow(seconds, nanoseconds);
  const std::string header = std::string(kMagic) + "\ntarget\t" + Escaped(target) + "\npackage\t" +
                             Escaped(start.package) + "\nstarted\t" + IsoTime(seconds) +
                             "\tnanos=" + std::to_string(nanoseconds) + "\nversion\t" + Escaped(start.version) + "\n";
  if (!opened || !manifest_.Append(header)) {
    error = NotWrittenIn(folder_);
    Abandon();
    return false;
  }
  live_.Take(platform::NativePath(Join(folder_, kLiveLock)));
  lastSync_ = std::chrono::steady_clock::now();
  linesSinceSync_ = 0;
  PruneRuns(hostFolder, false);
  return true;
}

// The oldest runs beyond the number kept go, this one counted once it
// holds a change (a run that changes nothing pushes no run out), and so do
// folders that hold no run (one refused or killed before its manifest's
// first line, which comes before any change).
void Journal::PruneRuns(const std::string& hostFolder, bool countThisRun) {
  std::vector<std::string> runs;
  for (const std::string& name : RunNames(hostFolder)) {
    const std::string folder = Join(hostFolder, name);
    if (folder == folder_) {
      if (countThisRun) runs.push_back(folder);
    } else if (WhatFolderHolds(folder) != Held::Nothing) {
      runs.push_back(folder);  // a damaged one too: it goes as its age says
    } else {
      RemoveTree(folder);
    }
  }
  for (size_t i = 0; i + kRunsKept < runs.size(); ++i) {
    // What a run not undone changed stays, and no undo reaches it any more:
    // the host's folder notes that, for undo to say.
    RunRecord run;
    if (!ReadRun(runs[i], run) || run.state != RunState::Undone)
      platform::WriteFileReplacing(Join(hostFolder, kOlderRunsDropped), "runs older than those kept were dropped\n", false);
    RemoveTree(runs[i]);
  }
}

// A run that could not begin leaves nothing in the journal.
void Journal::Abandon() {
  Close();
  if (!folder_.empty()) RemoveTree(folder_);
  folder_.clear();
}

bool Journal::AppendLine(std::string line, bool last) {
  line += '\n';
  std::lock_guard<platform::SpinningMutex> lock(mutex_);
  if (removed_ || !manifest_.Append(line, last)) return false;
  if (++linesSinceSync_ >= kSyncLines || std::chrono::steady_clock::now() - lastSync_ >= kSyncInterval)
    SyncLocked();
  return true;
}

void Journal::SyncLocked() {
  // Old bytes first: the manifest on the disk must not name bytes that are not.
  for (const std::string& copy : unsyncedCopies_) {
    const intptr_t h = platform::detail::RawOpen(copy, platform::detail::RawMode::Read);
    if (h == -1) continue;
    platform::SyncHandle(h);
    platform::detail::RawClose(h);
  }
  unsyncedCopies_.clear();
  if (linked_) platform::SyncFolder(Join(folder_, kOldFolder));
  linked_ = false;
  manifest_.Sync();
  // The journal's folder removed under the run: the changes after this
  // could not be taken back, so none is made.
  removed_ = removed_ || manifest_.Removed();
  linesSinceSync_ = 0;
  lastSync_ = std::chrono::steady_clock::now();
}

bool Journal::Record(const JournalEntry& entry) {
  if (!AppendLine(EntryLine(entry))) return false;
  changes_.fetch_add(1, std::memory_order_relaxed);
  return true;
}

bool Journal::RecordFailed(const std::string& path) {
  if (!AppendLine("failed\t" + Escaped(path))) return false;
  changes_.fetch_sub(1, std::memory_order_relaxed);
  return true;
}

bool Journal::KeepOldBytes(const std::string& hostPath, std::string& where) {
  if (folder_.empty()) return false;
  char name[16];
  std::snprintf(name, sizeof name, "%06u", oldCount_.fetch_add(1) + 1);
  where = std::string(kOldFolder) + "\\" + name;
  const std::string path = Join(folder_, where);
  // A second name keeps the old bytes for free: a replacement puts a new
  // file in the name's place and leaves the old file as it is.
  if (linkOldBytes_ && platform::MakeHardLink(hostPath, path)) {
    std::lock_guard<platform::SpinningMutex> lock(mutex_);
    linked_ = true;
    return true;
  }
  if (!platform::CopyFileKeepingTime(hostPath, path, true)) return false;
  std::lock_guard<platform::SpinningMutex> lock(mutex_);
  unsyncedCopies_.push_back(path);
  return true;
}

bool Journal::Finish(bool stopped) {
  if (finished_ != 0) return finished_ > 0;
  finished_ = 1;
  if (changes_ <= 0) {
    Abandon();
    return true;
  }
  // The end mark finds room where the changes filled the disk, as the marks
  // of an undo do later (the log keeps it, see AppendLog).
  bool ok = AppendLine("end\t" + IsoTime(Now()) + (stopped ? "\tstopped" : ""), true);
  {
    std::lock_guard<platform::SpinningMutex> lock(mutex_);
    if (manifest_.is_open()) SyncLocked();
  }
  platform::SyncFolder(folder_);
  Close();
  const size_t cut = folder_.find_last_of("\\/");
  if (cut != std::string::npos) PruneRuns(folder_.substr(0, cut), true);
  if (!ok) finished_ = -1;
  return ok;
}

// ---------------------------------------------------------- the writer

WriteResult JournalWriter::Unrecorded() const {
  return {WriteOutcome::Failed, "the run journal cannot record it; left as it was"};
}

bool JournalWriter::MakeFolder(const std::string& path) {
  std::string relative;
  if (!Relative(path, relative) || relative.empty() || platform::GetPathKind(path) != platform::PathKind::None)
    return false;
  JournalEntry entry;
  entry.kind = ChangeKind::FolderCreated;
  entry.path = relative;
  if (!journal_.Record(entry)) return false;
  if (disk_.MakeFolder(path)) return true;
  journal_.RecordFailed(relative);
  return false;
}

bool JournalWriter::RecordReplacement(ChangeKind kind, const std::string& path, const std::string& relative,
                                      const FileDigest& written) {
  JournalEntry entry;
  entry.kind = kind;
  entry.path = relative;
  entry.written = written;
  if (kind != ChangeKind::FileCreated) {
    platform::FileState state;
    if (!journal_.KeepOldBytes(path, entry.oldBytes) ||
        !DigestFile(Join(journal_.folder(), entry.oldBytes), entry.old) || !platform::GetFileState(path, state))
      return false;
    entry.mode = state.mode;
  }
  return journal_.Record(entry);
}

namespace {

// Records a copy once its bytes are whole under the temporary name, before
// they take the file's place: the digest is of the bytes written, and the
// source is read once, by the copy, as the copy reads it.
class CopyRecorder : public platform::CopyWatcher {
 public:
  explicit CopyRecorder(std::function<bool(const FileDigest&)> record) : record_(std::move(record)) {}
  void Bytes(const char* data, size_t n) override { digest_.Add(data, n); }
  void Hole(uint64_t n) override { digest_.AddHole(n); }
  bool Placing() override {
    recorded_ = record_(digest_.Digest());
    refused_ = !recorded_;
    return recorded_;
  }
  bool recorded() const { return recorded_; }
  bool refused() const { return refused_; }

 private:
  std::function<bool(const FileDigest&)> record_;
  DigestBuilder digest_;
  bool recorded_ = false, refused_ = false;
};

}  // namespace

WriteResult JournalWriter::CopyIn(const std::string& from, const std::string& path, bool overwrite,
                                  EmptySource empty) {
  std::string relative;
  if (!Relative(path, relative) || relative.empty()) return disk_.CopyIn(from, path, overwrite, empty);
  // Without overwrite a file the host has stays, unrecorded, as the disk
  // finds it; nothing else is asked of the disk first.
  // What the disk refuses or leaves out never reaches the recording, which
  // comes once the copy is whole.
  const bool replacing = overwrite && platform::GetPathKind(path) != platform::PathKind::None;
  CopyRecorder recorder([&](const FileDigest& written) {
    return RecordReplacement(replacing ? ChangeKind::FileReplaced : ChangeKind::FileCreated, path, relative, written);
  });
  WriteResult result = disk_.CopyIn(from, path, replacing, empty, &recorder);
  if (recorder.refused()) return Unrecorded();
  if (!result.ok() && recorder.recorded()) journal_.RecordFailed(relative);
  return result;
}

WriteResult JournalWriter::ReplaceBytes(const std::string& path, const std::string& bytes, bool text,
                                        const std::string&) {
  std::string relative;
  const platform::PathKind before = platform::GetPathKind(path);
  if (!Relative(path, relative) || relative.empty() || before == platform::PathKind::Folder ||
      (before == platform::PathKind::File && !platform::CanWriteFile(path)))
    return disk_.ReplaceBytes(path, bytes, text, {});
  const std::string onDisk = OnDiskBytes(bytes, text);
  const bool replacing = before == platform::PathKind::File;
  if (!RecordReplacement(replacing ? ChangeKind::FileMerged : ChangeKind::FileCreated, path, relative,
                         DigestOf(onDisk)))
    return Unrecorded();
  WriteResult result = disk_.ReplaceBytes(path, onDisk, false, {});
  if (!result.ok()) journal_.RecordFailed(relative);
  return result;
}

}  // namespace zet
