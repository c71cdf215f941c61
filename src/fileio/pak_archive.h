#pragma once
// The resource archive reader. A resource tree may keep part of its files
// packed in one archive ("resourcen.pak" beside the tree's folder). Archives
// open into ten process-wide archive slots, entries into ten entry slots;
// results and failure reports follow the file slot library (file_slots.h).
//
// Archive layout, little-endian:
//   0   4        "PAK" and a zero byte
//   4   4        entry count N
//   8   8        not interpreted
//   16  N x 136  entries: data offset (4), data size (4), name (128, zero-
//                terminated; a name that fills all 128 bytes is taken whole)
//   the entry data, anywhere, at the offsets the entries give
// Names are paths relative to the resource root with backslashes; lookups
// upper-case the request (a to z only) and compare byte for byte, so only
// names stored in upper case are found.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zet {

constexpr int kPakSlotCount = 10;
constexpr size_t kPakHeaderSize = 16;
constexpr size_t kPakCountOffset = 4;
constexpr size_t kPakEntrySize = 136;
constexpr size_t kPakEntryOffsetField = 0;
constexpr size_t kPakEntrySizeField = 4;
constexpr size_t kPakNameOffset = 8;
constexpr size_t kPakNameSize = 128;
constexpr char kPakSignature[4] = {'P', 'A', 'K', '\0'};

// Flags of OpenPak: the archive stays on disk and the entry table is read
// (binary, sequential, read-only), or the whole archive is read into memory.
constexpr int kPakFileFlags = 0x8020;
constexpr int kPakWholeArchive = -1;

// Text mode keeps the last decoded entry below this size for the next open.
constexpr uint32_t kPakTextCacheLimit = 0x4000;

struct PakEntry {
  uint32_t offset = 0;
  uint32_t size = 0;
  std::string name;
};

// The name upper-cased as lookups do it: a to z only, as the single-byte
// upper-casing of the default locale does.
std::string PakUpperCase(const std::string& name);

// The archive slot number; -4 when the file cannot be opened (or no slot
// is free), -1 when it is no archive or its entry table is cut short.
int OpenPak(const std::string& path, int flags);

// Reads the header and entry table of path into the free archive slot.
// Called by OpenPak; same results, and -6 for a slot that is not free.
int LoadPakFat(int archive, const std::string& path, int flags);

// Locates an entry; the entry slot number, -3 when the name is not listed,
// -6 for a bad archive slot or when all entry slots are taken.
// mode "" reports a missing name to the failure hook, "*" does not; a mode
// beginning with "t" loads the entry's text (see PakFileText).
int OpenPakFile(int archive, const std::string& name, const char* mode);

// True when the archive lists the name; false for an invalid or unopened
// archive slot (a negative code kept as a handle, say).
bool PakContains(int archive, const std::string& name);

// Reads count bytes of a located entry. A non-null destination becomes the
// cursor; a null one continues where the last read ended. 0; -1 read
// failed, -2 seek failed, -6 bad slot, -7 at or past the entry's end (also
// for a count that would pass it), -9 no destination.
int ReadPakFile(int entrySlot, void* destination, uint32_t count);

// Reads the entry (at most maximum bytes when maximum > 0) into
// destination, resized to fit. The byte count; with returnOpen the entry
// slot, pointed at destination for ReadPakFile(slot, nullptr, n); -1, -3,
// -5, -9.
int64_t LoadPakEntry(int archive, const std::string& name, std::string& destination, uint32_t maximum,
                     bool returnOpen);

// 0; -6 for a number out of range.
int ClosePakFile(int entrySlot);

// Closes the archive and every entry slot opened on it. 0; -5 when the
// file could not be closed (the slot is freed all the same), -6.
int ClosePak(int archive);

// The decoded text of an entry opened in text mode; null for any other slot.
const std::string* PakFileText(int entrySlot);

// The number of entries of an open archive, -6 for a bad slot.
int64_t PakEntryCount(int archive);
// Entry index of an open archive; false when there is no such entry.
bool GetPakEntry(int archive, int64_t index, PakEntry& entry);

// Closes every archive and entry slot. For tests.
void ResetPakSlots();

}  // namespace zet
