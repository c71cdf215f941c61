#include "fileio/pak_archive.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "fileio/file_slots.h"
#include "platform/ascii_text.h"
#include "platform/platform.h"

namespace zet {

namespace {

enum EntryState { kEntryFree = 0, kEntryLocated = 1, kEntryLoaded = 2 };

constexpr uint32_t kPakChunkSize = 65536;
// Entries of the table read at a time.
constexpr size_t kPakTablePiece = 512;

struct PakFileSlot {
  PakEntry entry;
  uint32_t position = 0;  // bytes of the entry read so far
  int archive = 0;
  int64_t entryIndex = 0;
  char* cursor = nullptr;  // located: where the next ReadPakFile stores
  std::string text;        // loaded: the decoded bytes, owned
  int state = kEntryFree;
};

struct PakArchive {
  bool inUse = false;  // the header held the signature
  char header[kPakHeaderSize] = {};
  platform::Stream stream;      // file mode: open from OpenPak to ClosePak
  int64_t filePosition = -1;    // where the stream stands; -1: seek first
  int64_t fileLength = 0;       // of the archive file at open
  std::string path;
  int flags = 0;
  bool whole = false;
  std::string image;            // whole-archive mode: the complete file
  // The entry table as it is used: per entry its data offset and size and
  // where its name lies in names. A stored entry takes 136 bytes, most of
  // them zeros; kept so, the table of a large archive would be several
  // times the memory (and the time to fill it).
  struct Entry {
    uint32_t offset;
    uint32_t size;
    uint32_t nameStart;
    uint8_t nameLength;  // at most 128
  };
  std::vector<Entry> entries;
  std::string names;
  int64_t count = 0;
  // The lookup index. Entries of one name form a group: byName holds the
  // entry indices group after group, ascending within a group, and group g
  // is byName[groupStart[g], groupStart[g + 1]). slots is a table of open
  // addressing over the names (a power of two, at most half full): a
  // name's hash and its group number + 1, 0 for a free slot.
  std::vector<uint32_t> byName;
  std::vector<uint32_t> groupStart;
  std::vector<std::pair<uint32_t, uint32_t>> slots;
  int64_t cursor = -1;  // index of the entry found last
  PakFileSlot cachedHandle;  // text mode: the entry decoded last
  std::string cachedData;
};

PakArchive g_PakArchives[kPakSlotCount];
PakFileSlot g_PakFileSlots[kPakSlotCount];

uint32_t ReadLe32(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint32_t>(u[0]) | static_cast<uint32_t>(u[1]) << 8 | static_cast<uint32_t>(u[2]) << 16 |
         static_cast<uint32_t>(u[3]) << 24;
}

std::string_view EntryName(const PakArchive& a, int64_t i) {
  const PakArchive::Entry& e = a.entries[static_cast<size_t>(i)];
  return std::string_view(a.names.data() + e.nameStart, e.nameLength);
}

PakEntry EntryAt(const PakArchive& a, int64_t i) {
  PakEntry entry;
  entry.offset = a.entries[static_cast<size_t>(i)].offset;
  entry.size = a.entries[static_cast<size_t>(i)].size;
  entry.name = std::string(EntryName(a, i));
  return entry;
}

void ClearEntrySlot(PakFileSlot& s) { s = PakFileSlot(); }

void ClearArchive(PakArchive& a) {
  a.stream.Close();
  a.inUse = false;
  std::memset(a.header, 0, sizeof a.header);
  a.filePosition = -1;
  a.fileLength = 0;
  a.path.clear();
  a.flags = 0;
  a.whole = false;
  std::string().swap(a.image);
  std::vector<PakArchive::Entry>().swap(a.entries);
  std::string().swap(a.names);
  a.count = 0;
  std::vector<uint32_t>().swap(a.byName);
  std::vector<uint32_t>().swap(a.groupStart);
  decltype(a.slots)().swap(a.slots);
  a.cursor = -1;
  a.cachedHandle = PakFileSlot();
  std::string().swap(a.cachedData);
}

// The header is an archive's when it carries the signature; count is its N.
bool ParseHeader(const char* header, size_t available, int64_t& count) {
  if (available < kPakHeaderSize || std::memcmp(header, kPakSignature, sizeof kPakSignature) != 0) return false;
  count = ReadLe32(header + kPakCountOffset);
  return true;
}

uint32_t NameHash(std::string_view name) { return static_cast<uint32_t>(std::hash<std::string_view>()(name)); }

// The slot of the name in the index: the one that holds its group, else the
// free one where it would go. first(g) is the first entry index of group g.
template <typename FirstOfGroup>
size_t IndexSlotOf(const PakArchive& a, std::string_view name, uint32_t hash, FirstOfGroup first) {
  const size_t mask = a.slots.size() - 1;
  for (size_t at = hash & mask;; at = (at + 1) & mask) {
    const auto& [slotHash, group] = a.slots[at];
    if (group == 0 || (slotHash == hash && EntryName(a, first(group - 1)) == name)) return at;
  }
}

// Takes n stored entries of the table into the archive's entries; false
// when their names pass what the entries can point into (4 GB).
bool AddEntries(PakArchive& a, const char* table, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a.names.size() > UINT32_MAX - kPakNameSize) return false;
    const char* e = table + i * kPakEntrySize;
    const char* name = e + kPakNameOffset;
    const void* zero = std::memchr(name, 0, kPakNameSize);
    const size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - name) : kPakNameSize;
    a.entries.push_back({ReadLe32(e + kPakEntryOffsetField), ReadLe32(e + kPakEntrySizeField),
                         static_cast<uint32_t>(a.names.size()), static_cast<uint8_t>(length)});
    a.names.append(name, length);
  }
  return true;
}

// The whole table of count entries into the archive's entries; false, with
// none kept, when their memory cannot be had.
bool TakeEntries(PakArchive& a, const char* table, size_t count) {
  bool ok = false;
  try {
    a.entries.reserve(count);
    ok = AddEntries(a, table, count);
  } catch (const std::bad_alloc&) {
  }
  if (!ok) {
    std::vector<PakArchive::Entry>().swap(a.entries);
    std::string().swap(a.names);
  }
  return ok;
}

// Makes the entries searchable: the lookup index. Its memory is a few
// words an entry, and nothing is allocated an entry at a time.
void IndexTable(PakArchive& a) {
  const size_t count = static_cast<size_t>(a.count);
  size_t slotCount = 16;
  while (slotCount < 2 * count) slotCount *= 2;
  a.slots.assign(slotCount, {0u, 0u});
  // Each entry's group, each group's first entry and size, in table order.
  std::vector<uint32_t> groupOf(count), firstEntry, sizes;
  auto first = [&firstEntry](uint32_t group) { return firstEntry[group]; };
  for (size_t i = 0; i < count; ++i) {
    const std::string_view name = EntryName(a, static_cast<int64_t>(i));
    const uint32_t hash = NameHash(name);
    auto& [slotHash, group] = a.slots[IndexSlotOf(a, name, hash, first)];
    if (group == 0) {
      slotHash = hash;
      group = static_cast<uint32_t>(firstEntry.size()) + 1;
      firstEntry.push_back(static_cast<uint32_t>(i));
      sizes.push_back(0);
    }
    groupOf[i] = group - 1;
    ++sizes[group - 1];
  }
  a.groupStart.resize(sizes.size() + 1);
  a.groupStart[0] = 0;
  for (size_t g = 0; g < sizes.size(); ++g) a.groupStart[g + 1] = a.groupStart[g] + sizes[g];
  std::vector<uint32_t> next(a.groupStart.begin(), a.groupStart.end() - 1);
  a.byName.resize(count);
  for (size_t i = 0; i < count; ++i) a.byName[next[groupOf[i]]++] = static_cast<uint32_t>(i);
}

// The index of the entry named exactly so: the first at or after the
// cursor, else the first of all, as a scan from the cursor to the end and
// then from the start would find it. -1 when none.
int64_t FindEntry(const PakArchive& a, std::string_view name) {
  if (a.slots.empty()) return -1;
  auto first = [&a](uint32_t group) { return a.byName[a.groupStart[group]]; };
  const uint32_t group = a.slots[IndexSlotOf(a, name, NameHash(name), first)].second;
  if (group == 0) return -1;
  auto begin = a.byName.begin() + a.groupStart[group - 1];
  auto end = a.byName.begin() + a.groupStart[group];
  int64_t from = a.cursor < 0 || a.cursor >= a.count ? 0 : a.cursor;
  auto at = std::lower_bound(begin, end, static_cast<uint32_t>(from));
  return at != end ? *at : *begin;
}

// Upper-cases and folds doubled separators, in one pass from the start: a
// doubled one becomes single, a tripled one double.
std::string LookupName(const std::string& name) {
  std::string s = PakUpperCase(name);
  auto doubled = [&s](size_t i, char c) { return i + 1 < s.size() && s[i] == c && s[i + 1] == c; };
  for (size_t i = 0; i < s.size(); ++i) {
    if (doubled(i, '/')) s.erase(i, 1);
    if (doubled(i, '\\')) s.erase(i, 1);
  }
  return s;
}

// An entry whose data would lie past the archive's end is never given
// memory: its size comes from the file, not from what the file holds.
bool EntryInsideFile(const PakArchive& a, const PakEntry& e) {
  return static_cast<int64_t>(e.offset) + e.size <= a.fileLength;
}

int FreeEntrySlot() {
  for (int i = 0; i < kPakSlotCount; ++i)
    if (g_PakFileSlots[i].state == kEntryFree) return i;
  return -1;
}

bool ValidArchive(int archive) { return archive >= 0 && archive < kPakSlotCount && g_PakArchives[archive].inUse; }

// Each stored byte is the running sum (mod 256) of the text so far, started
// at the low byte of the size.
void DecodeText(std::string& bytes) {
  auto prev = static_cast<unsigned char>(bytes.size() & 0xFF);
  for (char& c : bytes) {
    auto stored = static_cast<unsigned char>(c);
    c = static_cast<char>(static_cast<unsigned char>(stored - prev));
    prev = stored;
  }
}

// Sizes destination for total bytes of the located entry in slot and
// points the slot's cursor at it. 0, or the code of the failure.
int StartEntryRead(int slot, std::string& destination, uint32_t total) {
  const PakFileSlot& s = g_PakFileSlots[slot];
  if (!EntryInsideFile(g_PakArchives[s.archive], s.entry)) {
    FailureHook(kReadFailed, s.entry.name, "ReadPakFile");
    return kReadFailed;
  }
  try {
    destination.resize(total);
  } catch (const std::bad_alloc&) {
    return kReadFailed;
  }
  if (total > 0 && ReadPakFile(slot, destination.data(), 0) != 0) return kReadFailed;
  if (ProgressHook(g_PakFileSlots[slot].entry.name, 0, total)) return kAborted;
  return 0;
}

// Reads the total bytes in chunks, telling the progress hook.
int ReadEntryChunks(int slot, uint32_t total) {
  for (uint32_t remaining = total; remaining > 0;) {
    uint32_t chunk = std::min(kPakChunkSize, remaining);
    if (ReadPakFile(slot, nullptr, chunk) != 0) return kReadFailed;
    remaining -= chunk;
    if (ProgressHook(g_PakFileSlots[slot].entry.name, total - remaining, total)) return kAborted;
  }
  return 0;
}

// Text mode of OpenPakFile on the prepared slot. The slot number, -3, or
// kStartOver when the failure hook asked for the open to start over: a
// value no slot number or failure code can take.
constexpr int kStartOver = INT_MIN;

int OpenText(int archive, int slot, const std::string& name) {
  PakArchive& a = g_PakArchives[archive];
  PakFileSlot& s = g_PakFileSlots[slot];
  std::string upper = PakUpperCase(name);
  if (a.cachedHandle.state == kEntryLoaded && a.cachedHandle.entry.name == upper) {
    s = a.cachedHandle;
    s.text = a.cachedData;
    return slot;
  }
  int64_t index = FindEntry(a, LookupName(upper));
  if (index < 0 || a.entries[static_cast<size_t>(index)].size < 1) {
    ClearEntrySlot(s);
    FailureHook(kOpenFailed, name, "OpenPakFile");
    return kOpenFailed;
  }
  a.cursor = index;
  s.entry = EntryAt(a, index);
  s.entryIndex = index;
  std::string bytes;
  if (StartEntryRead(slot, bytes, s.entry.size) != 0 || ReadEntryChunks(slot, s.entry.size) != 0) {
    ClearEntrySlot(s);
    return FailureHook(kOpenFailed, upper, "OpenPakFile") ? kStartOver : kOpenFailed;
  }
  DecodeText(bytes);
  s.entry.name = upper;
  s.position = 0;
  s.cursor = nullptr;
  s.state = kEntryLoaded;
  s.text = std::move(bytes);
  if (s.entry.size < kPakTextCacheLimit) {
    a.cachedHandle = s;
    a.cachedHandle.text.clear();
    a.cachedData = s.text;
  }
  return slot;
}

// Whole-archive mode: the file into memory, checked as LoadPakFat checks.
int LoadWholeArchive(int archive, const std::string& path) {
  PakArchive& a = g_PakArchives[archive];
  for (;;) {
    const int64_t length = LoadFile(path, a.image, 0, false);
    int64_t count = 0;
    int code = 0;
    if (length < 1) {
      code = kArchiveOpenFailed;
    } else if (!ParseHeader(a.image.data(), a.image.size(), count) ||
               count > (length - static_cast<int64_t>(kPakHeaderSize)) / static_cast<int64_t>(kPakEntrySize) ||
               platform::HoleWithin(path, kPakHeaderSize, static_cast<uint64_t>(count) * kPakEntrySize)) {
      code = kReadFailed;
    } else if (!TakeEntries(a, a.image.data() + kPakHeaderSize, static_cast<size_t>(count))) {
      code = kReadFailed;
    }
    if (code == 0) {
      std::memcpy(a.header, a.image.data(), kPakHeaderSize);
      a.count = count;
      a.fileLength = length;
      a.path = path;
      a.whole = true;
      a.inUse = true;
      IndexTable(a);
      return archive;
    }
    std::string().swap(a.image);
    if (!FailureHook(code, path, "OpenPak")) return code;
  }
}

}  // namespace

std::string PakUpperCase(const std::string& name) {
  return UpperAscii(name);
}

int OpenPak(const std::string& path, int flags) {
  int archive;
  for (;;) {
    archive = -1;
    for (int i = 0; i < kPakSlotCount && archive < 0; ++i)
      if (!g_PakArchives[i].inUse) archive = i;
    if (archive >= 0) break;
    if (!FailureHook(kArchiveOpenFailed, path, "OpenPak")) return kArchiveOpenFailed;
  }
  ClearArchive(g_PakArchives[archive]);
  if (flags != kPakWholeArchive) return LoadPakFat(archive, path, flags);
  g_PakArchives[archive].flags = kPakFileFlags;
  return LoadWholeArchive(archive, path);
}

int LoadPakFat(int archive, const std::string& path, int flags) {
  if (archive < 0 || archive >= kPakSlotCount || g_PakArchives[archive].inUse) {
    FailureHook(kBadSlot, path, "LoadPakFat");
    return kBadSlot;
  }
  PakArchive& a = g_PakArchives[archive];
  ClearArchive(a);
  for (;;) {
    while (!a.stream.Open(path, "rb"))
      if (!FailureHook(kArchiveOpenFailed, path, "LoadPakFat")) return kArchiveOpenFailed;
    char header[kPakHeaderSize];
    int64_t count = 0;
    size_t got = a.stream.Read(header, sizeof header);
    if (!ParseHeader(header, got, count)) {
      a.stream.Close();
      if (!FailureHook(kArchiveOpenFailed, path, "LoadPakFat")) return kReadFailed;
      continue;
    }
    // The table must fit in the file before anything is allocated for it,
    // and be there: a table of holes (zeros the disk does not hold) would
    // take the memory of a table of that size from an archive of a few KB.
    int64_t tableBytes = count * static_cast<int64_t>(kPakEntrySize);
    int64_t length = a.stream.Length();
    bool ok = length >= 0 && tableBytes <= length - static_cast<int64_t>(kPakHeaderSize) &&
              !platform::HoleWithin(path, kPakHeaderSize, static_cast<uint64_t>(tableBytes));
    // Read in pieces, each taken into the entries at once.
    try {
      if (ok) a.entries.reserve(static_cast<size_t>(count));
      std::vector<char> piece(kPakTablePiece * kPakEntrySize);
      for (size_t done = 0; ok && done < static_cast<size_t>(count); done += kPakTablePiece) {
        const size_t n = std::min(kPakTablePiece, static_cast<size_t>(count) - done);
        ok = a.stream.Read(piece.data(), n * kPakEntrySize) == n * kPakEntrySize;
        ok = ok && AddEntries(a, piece.data(), n);
      }
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    if (!ok) {
      std::vector<PakArchive::Entry>().swap(a.entries);
      std::string().swap(a.names);
      a.stream.Close();
      if (!FailureHook(kReadFailed, path, "OpenPak")) return kReadFailed;
      continue;
    }
    std::memcpy(a.header, header, kPakHeaderSize);
    a.count = count;
    a.fileLength = length;
    a.path = path;
    a.flags = flags;
    a.filePosition = -1;
    a.inUse = true;
    IndexTable(a);
    return archive;
  }
}

int OpenPakFile(int archive, const std::string& name, const char* mode) {
  if (mode == nullptr) mode = "";
  for (;;) {
    int slot = ValidArchive(archive) ? FreeEntrySlot() : -1;
    if (slot < 0) {
      FailureHook(kBadSlot, name, "OpenPakFile");
      return kBadSlot;
    }
    PakFileSlot& s = g_PakFileSlots[slot];
    ClearEntrySlot(s);
    s.archive = archive;
    s.state = kEntryLocated;
    if (mode[0] == 't') {
      int result = OpenText(archive, slot, name);
      if (result != kStartOver) return result;
      continue;
    }
    PakArchive& a = g_PakArchives[archive];
    int64_t index = FindEntry(a, LookupName(name));
    if (index >= 0) {
      s.entry = EntryAt(a, index);
      s.entryIndex = index;
      a.cursor = index;
      return slot;
    }
    ClearEntrySlot(s);
    if (std::strcmp(mode, "*") == 0) return kOpenFailed;
    if (!FailureHook(kOpenFailed, name, "OpenPakFile")) return kOpenFailed;
  }
}

bool PakContains(int archive, const std::string& name) {
  if (!ValidArchive(archive)) return false;
  // Answers as a quiet open of the entry, closed at once, would: without a
  // free entry slot that open fails.
  if (FreeEntrySlot() < 0) {
    FailureHook(kBadSlot, name, "OpenPakFile");
    return false;
  }
  PakArchive& a = g_PakArchives[archive];
  const int64_t index = FindEntry(a, LookupName(name));
  if (index < 0) return false;
  // An entry whose data lies past the end of a cut archive holds nothing
  // the host could read: the file is not left to it.
  const PakArchive::Entry& e = a.entries[static_cast<size_t>(index)];
  if (static_cast<int64_t>(e.offset) + e.size > a.fileLength) return false;
  a.cursor = index;  // as opening the entry would
  return true;
}

int ReadPakFile(int entrySlot, void* destination, uint32_t count) {
  if (entrySlot < 0 || entrySlot >= kPakSlotCount) {
    FailureHook(kBadSlot, "", "ReadPakFile");
    return kBadSlot;
  }
  PakFileSlot& s = g_PakFileSlots[entrySlot];
  if (!ValidArchive(s.archive) || s.state != kEntryLocated) {
    FailureHook(kBadSlot, s.entry.name, "ReadPakFile");
    return kBadSlot;
  }
  PakArchive& a = g_PakArchives[s.archive];
  if (s.position >= s.entry.size) {
    FailureHook(kReadPastEnd, s.entry.name, "ReadPakFile");
    return kReadPastEnd;
  }
  if (destination != nullptr) s.cursor = static_cast<char*>(destination);
  if (count == 0) return 0;
  if (s.cursor == nullptr) {
    FailureHook(kAborted, s.entry.name, "ReadPakFile ADRESS ERROR");
    return kAborted;
  }
  // Never past the entry's end, whatever the caller asks.
  if (count > s.entry.size - s.position) {
    FailureHook(kReadPastEnd, s.entry.name, "ReadPakFile");
    return kReadPastEnd;
  }
  for (;;) {
    int64_t at = static_cast<int64_t>(s.entry.offset) + s.position;
    if (a.whole) {
      // An entry that points outside the image reads as a short read.
      if (at + count > static_cast<int64_t>(a.image.size())) {
        FailureHook(kReadFailed, s.entry.name, "ReadPakFile");
        return kReadFailed;
      }
      std::memcpy(s.cursor, a.image.data() + at, count);
    } else {
      if (a.filePosition != at) {
        while (!a.stream.Seek(at, 0)) {
          a.filePosition = -1;
          if (!FailureHook(kSeekFailed, s.entry.name, "ReadPakFile")) return kSeekFailed;
        }
        a.filePosition = at;
      }
      if (a.stream.Read(s.cursor, count) != count) {
        a.filePosition = -1;
        if (!FailureHook(kReadFailed, s.entry.name, "ReadPakFile")) return kReadFailed;
        continue;
      }
    }
    a.filePosition = at + count;
    s.cursor += count;
    s.position += count;
    return 0;
  }
}

int64_t LoadPakEntry(int archive, const std::string& name, std::string& destination, uint32_t maximum,
                     bool returnOpen) {
  int slot = OpenPakFile(archive, name, "");
  if (slot < 0) return kOpenFailed;
  uint32_t total = g_PakFileSlots[slot].entry.size;
  if (maximum > 0 && maximum < total) total = maximum;
  int code = StartEntryRead(slot, destination, total);
  if (code == 0 && returnOpen) return slot;  // the caller reads on with ReadPakFile
  if (code == 0) code = ReadEntryChunks(slot, total);
  if (code != 0) {
    ClosePakFile(slot);
    return code;
  }
  if (ClosePakFile(slot) != 0) return kCloseFailed;
  return total;
}

int ClosePakFile(int entrySlot) {
  if (entrySlot < 0 || entrySlot >= kPakSlotCount) {
    FailureHook(kBadSlot, "", "ClosePakFile");
    return kBadSlot;
  }
  ClearEntrySlot(g_PakFileSlots[entrySlot]);
  return 0;
}

int ClosePak(int archive) {
  if (archive < 0 || archive >= kPakSlotCount) {
    FailureHook(kBadSlot, "", "ClosePak");
    return kBadSlot;
  }
  PakArchive& a = g_PakArchives[archive];
  if (!a.inUse) return kBadSlot;
  for (PakFileSlot& s : g_PakFileSlots)
    if (s.state != kEntryFree && s.archive == archive) ClearEntrySlot(s);
  bool closed = a.stream.Close();
  ClearArchive(a);
  return closed ? 0 : kCloseFailed;
}

const std::string* PakFileText(int entrySlot) {
  if (entrySlot < 0 || entrySlot >= kPakSlotCount || g_PakFileSlots[entrySlot].state != kEntryLoaded) return nullptr;
  return &g_PakFileSlots[entrySlot].text;
}

int64_t PakEntryCount(int archive) { return ValidArchive(archive) ? g_PakArchives[archive].count : kBadSlot; }

bool GetPakEntry(int archive, int64_t index, PakEntry& entry) {
  if (!ValidArchive(archive) || index < 0 || index >= g_PakArchives[archive].count) return false;
  entry = EntryAt(g_PakArchives[archive], index);
  return true;
}

void ResetPakSlots() {
  for (PakFileSlot& s : g_PakFileSlots) ClearEntrySlot(s);
  for (PakArchive& a : g_PakArchives) ClearArchive(a);
}

}  // namespace zet
