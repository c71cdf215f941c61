#include "fileio/file_slots.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/platform.h"

namespace zet {

namespace {

enum SlotState { kFree = 0, kStreamed = 1, kImage = 2 };

struct FileSlot {
  platform::Stream stream;  // kStreamed
  int state = kFree;
  std::string name;         // the path given at open
  int64_t length = 0;       // file length at open, or image length
  // kImage: read position, in bytes for the narrow readers and in 16-bit
  // units for the wide ones (one field for both, as callers expect).
  uint64_t position = 0;
  char* cursor = nullptr;   // kStreamed: where the next ReadFile stores
  std::string image;        // kImage: the bytes, owned
};

FileSlot g_FileSlots[kFileSlotCount];
FailureHookFn g_FailureHook;
ProgressHookFn g_ProgressHook;

constexpr int64_t kChunkSize = 65536;

void ClearSlot(FileSlot& s) {
  s.stream.Close();
  s.state = kFree;
  s.name.clear();
  s.length = 0;
  s.position = 0;
  s.cursor = nullptr;
  std::string().swap(s.image);
}

int FindFreeSlot() {
  for (int i = 0; i < kFileSlotCount; ++i)
    if (g_FileSlots[i].state == kFree) return i;
  return -1;
}

// The slot, or null after reporting -6. notOpenOperation names the failure
// of a free slot when it differs from the operation.
FileSlot* ValidSlot(int slot, const char* operation, const char* notOpenOperation = nullptr) {
  if (slot < 0 || slot >= kFileSlotCount) {
    FailureHook(kBadSlot, "", operation);
    return nullptr;
  }
  FileSlot& s = g_FileSlots[slot];
  if (s.state == kFree) {
    FailureHook(kBadSlot, s.name, notOpenOperation ? notOpenOperation : operation);
    return nullptr;
  }
  return &s;
}

FileSlot* StreamedSlot(int slot, const char* operation) {
  FileSlot* s = ValidSlot(slot, operation);
  if (s != nullptr && s->state != kStreamed) {
    FailureHook(kBadSlot, s->name, operation);
    return nullptr;
  }
  return s;
}

FileSlot* ImageSlot(int slot) {
  if (slot < 0 || slot >= kFileSlotCount || g_FileSlots[slot].state != kImage) return nullptr;
  return &g_FileSlots[slot];
}

// A unit of the image and a delimiter compare as signed values, so that
// delimiters given as char match the same bytes on every platform.
inline int NarrowUnit(const std::string& image, uint64_t i) { return static_cast<signed char>(image[i]); }
inline int WideUnit(const std::string& image, uint64_t i) {
  unsigned lo = static_cast<unsigned char>(image[2 * i]);
  unsigned hi = static_cast<unsigned char>(image[2 * i + 1]);
  return static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
}

struct Delimiters {
  int d[4];
  Delimiters(char d1, char d2, char d3, char d4)
      : d{static_cast<signed char>(d1), static_cast<signed char>(d2), static_cast<signed char>(d3),
          static_cast<signed char>(d4)} {}
  bool Has(int c) const { return c == d[0] || c == d[1] || c == d[2] || c == d[3]; }
};

// Skip delimiters, collect the token, skip the delimiters after it. Returns
// the token's bounds in units; the slot's position moves past it all.
template <typename UnitAt>
void ScanToken(FileSlot& s, uint64_t units, int max, const Delimiters& delims, UnitAt unitAt, uint64_t& begin,
               uint64_t& end) {
  uint64_t pos = s.position;
  while (pos < units && delims.Has(unitAt(s.image, pos))) ++pos;
  begin = pos;
  uint64_t limit = max > 0 ? std::min<uint64_t>(units, pos + static_cast<uint64_t>(max)) : units;
  while (pos < limit && !delims.Has(unitAt(s.image, pos))) ++pos;
  end = pos;
  while (pos < units && delims.Has(unitAt(s.image, pos))) ++pos;
  s.position = pos;
}

// The same scan over 8-bit units without a length limit, a run of bytes at
// a time: the image is a std::string, so a zero byte ends it, and strspn and
// strcspn stop at zero bytes inside it too. A zero byte is a delimiter when
// one of the delimiters is 0; otherwise the scan goes on behind it.
void ScanNarrowToken(FileSlot& s, const Delimiters& delims, uint64_t& begin, uint64_t& end) {
  const char* image = s.image.c_str();
  const size_t size = s.image.size();
  char set[5] = {};
  size_t n = 0;
  bool zeroDelimits = false;
  for (int d : delims.d) {
    if (d == 0)
      zeroDelimits = true;
    else if (std::memchr(set, d, n) == nullptr)
      set[n++] = static_cast<char>(d);
  }
  auto skipDelimiters = [&](size_t pos) {
    for (;;) {
      pos += std::strspn(image + pos, set);
      if (pos >= size || image[pos] != '\0' || !zeroDelimits) return pos;
      ++pos;
    }
  };
  size_t pos = skipDelimiters(static_cast<size_t>(std::min<uint64_t>(s.position, size)));
  begin = pos;
  for (;;) {
    pos += std::strcspn(image + pos, set);
    if (pos >= size || image[pos] != '\0' || zeroDelimits) break;
    ++pos;
  }
  end = pos;
  s.position = skipDelimiters(pos);
}

std::string FormatText(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[512];
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

// ---------------------------------------------------------------- ReadText

const TextTarget kNoTarget;

void StoreInteger(const TextTarget& t, long long value, bool hex) {
  auto clampTo = [](long long v, long long lo, long long hi) { return std::min(std::max(v, lo), hi); };
  switch (t.kind()) {
    case TextTarget::Kind::Int:
      // A hexadecimal word is a bit pattern ("FFFFFFFF" is -1).
      *static_cast<int*>(t.get()) = hex ? static_cast<int>(static_cast<unsigned>(value))
                                        : static_cast<int>(clampTo(value, INT_MIN, INT_MAX));
      break;
    case TextTarget::Kind::UInt:
      *static_cast<unsigned*>(t.get()) = static_cast<unsigned>(value);
      break;
    case TextTarget::Kind::Long:
      *static_cast<long*>(t.get()) = hex ? static_cast<long>(static_cast<unsigned long>(value))
                                         : static_cast<long>(clampTo(value, LONG_MIN, LONG_MAX));
      break;
    case TextTarget::Kind::ULong:
      *static_cast<unsigned long*>(t.get()) = static_cast<unsigned long>(value);
      break;
    case TextTarget::Kind::Float:
      *static_cast<float*>(t.get()) = static_cast<float>(value);
      break;
    case TextTarget::Kind::Double:
      *static_cast<double*>(t.get()) = static_cast<double>(value);
      break;
    default:
      break;
  }
}

// Parses the word as scanf's %d, %x or %f would; a word that does not parse
// leaves the target alone.
void StoreNumber(const TextTarget& t, const std::string& word, char conversion) {
  const char* p = word.c_str();  // a zero byte ends the word, as in a C buffer
  char* end = nullptr;
  if (conversion == 'f') {
    double v = std::strtod(p, &end);
    if (end == p) return;
    if (t.kind() == TextTarget::Kind::Float) *static_cast<float*>(t.get()) = static_cast<float>(v);
    if (t.kind() == TextTarget::Kind::Double) *static_cast<double*>(t.get()) = v;
    return;
  }
  if (conversion == 'x') {
    unsigned long long v = std::strtoull(p, &end, 16);
    if (end == p) return;
    StoreInteger(t, static_cast<long long>(v), true);
    return;
  }
  long long v = std::strtoll(p, &end, 10);
  if (end == p) return;
  StoreInteger(t, v, false);
}

}  // namespace

// ------------------------------------------------------------------- hooks

void SetFailureHook(FailureHookFn hook) { g_FailureHook = std::move(hook); }
void SetProgressHook(ProgressHookFn hook) { g_ProgressHook = std::move(hook); }

bool FailureHook(int code, const std::string& name, const std::string& operation) {
  return g_FailureHook ? g_FailureHook(code, name, operation) : false;
}

bool ProgressHook(const std::string& name, int64_t done, int64_t total) {
  return g_ProgressHook ? g_ProgressHook(name, done, total) : false;
}

void ResetFileSlots() {
  for (FileSlot& s : g_FileSlots) ClearSlot(s);
  g_FailureHook = nullptr;
  g_ProgressHook = nullptr;
}

int FileSlotState(int slot) {
  if (slot < 0 || slot >= kFileSlotCount) return kBadSlot;
  return g_FileSlots[slot].state;
}

// ------------------------------------------------------------------- slots

int OpenFile(const std::string& path, const char* mode) {
  if (mode != nullptr && mode[0] == 't') return OpenFileRegion(path, 0, 0);
  int slot;
  while ((slot = FindFreeSlot()) < 0)
    if (!FailureHook(kOpenFailed, path, "OpenFile")) return kOpenFailed;
  FileSlot& s = g_FileSlots[slot];
  while (!s.stream.Open(path, mode))
    if (!FailureHook(kOpenFailed, path, "OpenFile")) return kOpenFailed;
  s.state = kStreamed;
  s.name = path;
  s.length = std::max<int64_t>(0, s.stream.Length());
  s.position = 0;
  s.cursor = nullptr;
  return slot;
}

int OpenFileRegion(const std::string& path, int64_t offset, int64_t length) {
  if (length < 1) {
    length = LenFile(path);
    offset = 0;
    if (length < 1) return kOpenFailed;
  }
  int slot = OpenFile(path, "rb");
  if (slot < 0) return kOpenFailed;
  FileSlot& s = g_FileSlots[slot];
  // The region must lie inside the file before anything is allocated for it.
  bool ok = offset >= 0 && offset <= s.length && length <= s.length - offset &&
            SeekFile(slot, offset, 0) == 0;
  std::string bytes;
  if (ok) {
    try {
      bytes.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  ok = ok && ReadFile(slot, bytes.data(), length, false) == 0;
  if (!ok) {
    CloseFile(slot);
    return kOpenFailed;
  }
  if (CloseFile(slot) != 0) return kOpenFailed;
  return OpenMemoryImage(path, std::move(bytes));
}

int OpenMemoryImage(const std::string& name, std::string bytes) {
  if (bytes.empty()) return kOpenFailed;
  int slot;
  while ((slot = FindFreeSlot()) < 0)
    if (!FailureHook(kOpenFailed, name, "OpenFile")) return kOpenFailed;
  FileSlot& s = g_FileSlots[slot];
  s.state = kImage;
  s.name = name;
  s.length = static_cast<int64_t>(bytes.size());
  s.position = 0;
  s.image = std::move(bytes);
  return slot;
}

int CloseFile(int slot) {
  FileSlot* s = ValidSlot(slot, "CloseFile");
  if (s == nullptr) return kBadSlot;
  if (s->state == kStreamed) {
    // A stream gives up its handle even when its close fails (pending data
    // could not be written), so a retry has nothing left to close: report
    // the failure and keep the slot, and a later CloseFile frees it.
    while (!s->stream.Close())
      if (!FailureHook(kCloseFailed, s->name, "CloseFile") || !s->stream.IsOpen()) return kCloseFailed;
  }
  ClearSlot(*s);
  return 0;
}

int64_t ReadFile(int slot, void* destination, int64_t count, bool partial) {
  FileSlot* s = StreamedSlot(slot, "ReadFile");
  if (s == nullptr) return kBadSlot;
  if (destination != nullptr) s->cursor = static_cast<char*>(destination);
  if (s->cursor == nullptr) {
    FailureHook(kBadSlot, s->name, "ReadFile");
    return kReadFailed;
  }
  if (count <= 0) return 0;
  for (;;) {
    int64_t got = static_cast<int64_t>(s->stream.Read(s->cursor, static_cast<size_t>(count)));
    if (got == count || partial) {
      s->cursor += got;
      return partial ? got : 0;
    }
    if (!FailureHook(kReadFailed, s->name, "ReadFile")) return kReadFailed;
    if (got > 0 && !s->stream.Seek(-got, 1)) return kSeekFailed;
  }
}

int WriteText(int slot, const char* format, ...) {
  FileSlot* s = StreamedSlot(slot, "WriteText");
  if (s == nullptr) return kBadSlot;
  va_list args;
  va_start(args, format);
  std::string text = FormatText(format, args);
  va_end(args);
  // A failed write also marks the stream, so its CloseFile reports -5 even
  // when a retry went through: lost bytes never pass as a good file.
  while (!s->stream.Write(text))
    if (!FailureHook(kWriteFailed, s->name, "WriteText")) return kWriteFailed;
  return 0;
}

int WriteFile(int slot, const void* data, int64_t count) {
  FileSlot* s = StreamedSlot(slot, "WriteFile");
  if (s == nullptr) return kBadSlot;
  if (count <= 0) return 0;
  if (data == nullptr) {
    FailureHook(kWriteFailed, s->name, "WriteFile");
    return kWriteFailed;
  }
  while (!s->stream.Write(data, static_cast<size_t>(count)))
    if (!FailureHook(kWriteFailed, s->name, "WriteFile")) return kWriteFailed;
  return 0;
}

int SeekFile(int slot, int64_t offset, int origin) {
  FileSlot* s = ValidSlot(slot, "SeekFile");
  if (s == nullptr) return kBadSlot;
  if (s->state == kStreamed) {
    while (!s->stream.Seek(offset, origin))
      if (!FailureHook(kSeekFailed, s->name, "SeekFile")) return kSeekFailed;
    return 0;
  }
  int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(s->position) : s->length;
  bool ok = origin >= 0 && origin <= 2 && offset >= -base && offset <= s->length - base;
  if (!ok) {
    s->position = 0;
    FailureHook(kSeekFailed, s->name, "SeekFile");
    return kSeekFailed;
  }
  s->position = static_cast<uint64_t>(base + offset);
  return 0;
}

int EoFile(int slot, int unit) {
  FileSlot* s = ValidSlot(slot, "EoFile", "EoFile File not open");
  if (s == nullptr) return kBadSlot;
  if (s->state == kStreamed) {
    int64_t pos = s->stream.Tell();
    int64_t len = s->stream.Length();
    if (pos < 0 || len < 0) return kSeekFailed;
    return pos >= len ? 1 : 0;
  }
  uint64_t u = unit < 1 ? 1 : static_cast<uint64_t>(unit);
  return s->position >= static_cast<uint64_t>(s->length) / u ? 1 : 0;
}

// ------------------------------------------------------------- text reader

int ReadToken(int slot, std::string* destination, int max, char d1, char d2, char d3, char d4) {
  FileSlot* s = ImageSlot(slot);
  if (s == nullptr) return kBadSlot;
  uint64_t begin, end;
  if (max <= 0 && s->position <= s->image.size()) {
    ScanNarrowToken(*s, Delimiters(d1, d2, d3, d4), begin, end);
  } else {
    // A lambda, not the function's address, so that the unit read is inlined.
    ScanToken(*s, s->image.size(), max, Delimiters(d1, d2, d3, d4),
              [](const std::string& image, uint64_t i) { return NarrowUnit(image, i); }, begin, end);
  }
  if (destination != nullptr) destination->assign(s->image, begin, end - begin);
  return 0;
}

int ReadWideToken(int slot, std::u16string* destination, int max, char d1, char d2, char d3, char d4) {
  FileSlot* s = ImageSlot(slot);
  if (s == nullptr) return kBadSlot;
  uint64_t begin, end;
  ScanToken(*s, s->image.size() / 2, max, Delimiters(d1, d2, d3, d4),
            [](const std::string& image, uint64_t i) { return WideUnit(image, i); }, begin, end);
  if (destination != nullptr) {
    destination->clear();
    destination->reserve(end - begin);
    for (uint64_t i = begin; i < end; ++i) destination->push_back(static_cast<char16_t>(WideUnit(s->image, i)));
  }
  return 0;
}

std::string_view FileImage(int slot) {
  FileSlot* s = ImageSlot(slot);
  return s == nullptr ? std::string_view() : std::string_view(s->image);
}

int ReadTextTargets(int slot, const char* format, const TextTarget* targets, size_t count) {
  if (EoFile(slot, 1) != 0) return -1;
  if (ImageSlot(slot) == nullptr || format == nullptr) return -1;
  size_t next = 0;
  auto take = [&]() -> const TextTarget& { return next < count ? targets[next++] : kNoTarget; };
  auto text = [](const TextTarget& t) {
    return t.kind() == TextTarget::Kind::Text ? static_cast<std::string*>(t.get()) : nullptr;
  };
  auto wide = [](const TextTarget& t) {
    return t.kind() == TextTarget::Kind::WideText ? static_cast<std::u16string*>(t.get()) : nullptr;
  };
  std::string word;
  for (const char* f = format; *f != '\0'; ++f) {
    if (*f == '\n') {
      ReadToken(slot, nullptr, 0, '\n', '\r', 0, 0);
      continue;
    }
    if (*f != '%' || f[1] == '\0') continue;
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(*++f)));
    bool isLong = false;
    if (c == 'l') {
      char c2 = static_cast<char>(std::tolower(static_cast<unsigned char>(f[1])));
      if (c2 != 'd' && c2 != 'x' && c2 != 's' && c2 != 'w') continue;
      isLong = true;
      c = c2;
      ++f;
    }
    switch (c) {
      case 'c':
        ReadToken(slot, text(take()), 1, 0, 0, 0, 0);
        break;
      case 'd':
      case 'x':
      case 'f': {
        const TextTarget& t = take();
        ReadToken(slot, &word, isLong ? 64 : 32, '\n', ' ', '\t', '\r');
        StoreNumber(t, word, c);
        break;
      }
      case 's':
        if (isLong)
          ReadToken(slot, text(take()), 0, '\n', '\r', 0, 0);
        else
          ReadToken(slot, text(take()), 0, '\n', ' ', '\t', '\r');
        break;
      case 'w':
        if (isLong)
          ReadWideToken(slot, wide(take()), 0, '\n', '\r', 0, 0);
        else
          ReadWideToken(slot, wide(take()), 0, '\n', ' ', '\t', '\r');
        break;
      default:
        break;
    }
  }
  return 0;
}

// ------------------------------------------------------------------ paths

int64_t LenFile(const std::string& path) {
  platform::Stream stream;
  while (!stream.Open(path, "rb"))
    if (!FailureHook(kOpenFailed, path, "LenFile")) return kOpenFailed;
  int64_t length = stream.Length();
  while (!stream.Close())
    if (!FailureHook(kCloseFailed, path, "LenFile")) return kCloseFailed;
  return length < 0 ? kOpenFailed : length;
}

bool FileExists(const std::string& path) {
  platform::Stream stream;
  return stream.Open(path, "rb");
}

bool FolderExists(const std::string& path, bool mustBeAbsolute) {
  if (mustBeAbsolute && !platform::IsAbsolutePath(path)) return false;
  if (path.empty() || platform::IsPathSeparator(path.back())) return false;
  if (path.size() == 2 && path[1] == ':') return false;  // a bare drive
  size_t nameStart = path.size();
  while (nameStart > 0 && !platform::IsPathSeparator(path[nameStart - 1])) --nameStart;
  if (path[nameStart] == '.') return false;
  return platform::GetPathKind(path) == platform::PathKind::Folder;
}

int MakePath(const std::string& path) {
  // Most calls name a folder that stands already: one look instead of a
  // refused creation of each folder on the way.
  if (platform::GetPathKind(path) == platform::PathKind::Folder) return 0;
  int created = 0;
  for (size_t i = 0; i < path.size(); ++i)
    if (platform::IsPathSeparator(path[i]) && i > 0 && platform::CreateFolder(path.substr(0, i))) ++created;
  if (platform::CreateFolder(path)) ++created;
  return created;
}

int64_t LoadFile(const std::string& path, std::string& destination, int64_t maximum, bool returnOpen) {
  int slot = OpenFile(path, "rb");
  if (slot < 0) return kOpenFailed;
  int64_t total = g_FileSlots[slot].length;
  if (maximum > 0 && maximum < total) total = maximum;
  try {
    destination.resize(static_cast<size_t>(total));
  } catch (const std::bad_alloc&) {
    CloseFile(slot);
    return kOpenFailed;
  }
  auto fail = [&](int code) {
    CloseFile(slot);
    return code;
  };
  ReadFile(slot, destination.data(), 0, false);
  if (ProgressHook(path, 0, total)) return fail(kAborted);
  if (returnOpen) return slot;
  for (int64_t done = 0; done < total;) {
    int64_t chunk = std::min(kChunkSize, total - done);
    if (ReadFile(slot, nullptr, chunk, false) != 0) return fail(kReadFailed);
    done += chunk;
    if (ProgressHook(path, done, total)) return fail(kAborted);
  }
  if (CloseFile(slot) != 0) return kCloseFailed;
  return total;
}

}  // namespace zet
