#pragma once
// The file slot library: a process-wide table of ten file slots addressed by
// small integers. A slot holds either a disk file opened as a buffered stream
// (writing, binary reading) or a memory image of a file (text parsing).
//
// Operations return a slot number or 0 on success and a negative code on
// failure. Before giving up, each failing operation tells the failure hook
// which operation failed on which file; a hook that answers true makes the
// failed step run again. The default hooks answer false, so every failure
// returns its code on the first attempt and no long read is ever aborted.
//
// Paths use the backslash as separator (see platform/platform.h). The table
// and the hooks are unguarded: one thread at a time uses the library.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zet {

constexpr int kFileSlotCount = 10;

// Result codes, shared with the archive reader.
constexpr int kReadFailed = -1;       // read failed or returned fewer bytes than asked
constexpr int kSeekFailed = -2;       // seek failed, or a memory-image position beyond the end
constexpr int kOpenFailed = -3;       // open failed, no free slot, file length not positive
constexpr int kArchiveOpenFailed = -4;
constexpr int kCloseFailed = -5;
constexpr int kBadSlot = -6;          // slot out of range, not open, or of the wrong kind
constexpr int kReadPastEnd = -7;      // read at or past the end of an archive entry
constexpr int kWriteFailed = -8;
constexpr int kAborted = -9;          // aborted by the progress hook, or no destination

// ------------------------------------------------------------------- hooks

// (code, file name or "" for an out-of-range slot, operation) -> true to retry.
using FailureHookFn = std::function<bool(int, const std::string&, const std::string&)>;
// (name, bytes done, bytes in all) -> true to abort the read.
using ProgressHookFn = std::function<bool(const std::string&, int64_t, int64_t)>;

// Installs a hook; an empty function restores the default (answers false).
void SetFailureHook(FailureHookFn hook);
void SetProgressHook(ProgressHookFn hook);

// Ask the installed hooks (used by this library and the archive reader).
bool FailureHook(int code, const std::string& name, const std::string& operation);
bool ProgressHook(const std::string& name, int64_t done, int64_t total);

// Closes every slot and restores both default hooks. For tests.
void ResetFileSlots();

// 0 free, 1 streamed disk file, 2 memory image; -6 for a number out of range.
int FileSlotState(int slot);

// ------------------------------------------------------------------- slots

// Opens the path as a buffered stream with an fopen-like mode ("rb", "wb",
// "w" text, "wt" ...). A mode beginning with "t" loads the whole file as a
// memory image instead, like OpenFileRegion(path, 0, 0).
int OpenFile(const std::string& path, const char* mode);

// Loads length bytes from offset as a memory image; length < 1 takes the
// whole file. -3 when the file cannot be opened or holds no such region.
int OpenFileRegion(const std::string& path, int64_t offset, int64_t length);

// Takes bytes that are in memory already (a text built into the program) as
// a memory image named name. -3 when no slot is free or there are no bytes.
int OpenMemoryImage(const std::string& name, std::string bytes);

// 0; -5 when closing the stream failed (the slot stays open); -6.
int CloseFile(int slot);

// Reads count bytes of a streamed slot. A non-null destination becomes the
// slot's cursor; a null one continues where the last read ended. Result 0,
// or with partial set the number of bytes read; -1, -2, -6.
int64_t ReadFile(int slot, void* destination, int64_t count, bool partial);

// printf-like write to a streamed slot. 0; -6, -8.
int WriteText(int slot, const char* format, ...)
#if defined(__GNUC__) && !defined(_WIN32)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// 0; -6, -8.
int WriteFile(int slot, const void* data, int64_t count);

// origin: 0 start, 1 current, 2 end. 0; -2, -6.
int SeekFile(int slot, int64_t offset, int origin);

// Memory image: 1 when the position (counted in units of 1 byte or of 2
// bytes) has reached the end, else 0. Streamed slot: 1 at the end of the
// file. -2, -6.
int EoFile(int slot, int unit);

// ------------------------------------------------------------- text reader

// One destination of ReadText; built implicitly from a pointer.
class TextTarget {
 public:
  enum class Kind { None, Int, UInt, Long, ULong, Float, Double, Text, WideText };
  TextTarget() = default;
  TextTarget(int* p) : kind_(Kind::Int), p_(p) {}
  TextTarget(unsigned* p) : kind_(Kind::UInt), p_(p) {}
  TextTarget(long* p) : kind_(Kind::Long), p_(p) {}
  TextTarget(unsigned long* p) : kind_(Kind::ULong), p_(p) {}
  TextTarget(float* p) : kind_(Kind::Float), p_(p) {}
  TextTarget(double* p) : kind_(Kind::Double), p_(p) {}
  TextTarget(std::string* p) : kind_(Kind::Text), p_(p) {}
  TextTarget(std::u16string* p) : kind_(Kind::WideText), p_(p) {}
  Kind kind() const { return p_ ? kind_ : Kind::None; }
  void* get() const { return p_; }

 private:
  Kind kind_ = Kind::None;
  void* p_ = nullptr;
};

// Reads from a memory image as the format says; each conversion fills the
// next target:
//   newline  passes over the rest of the line and the line breaks after it
//   %c       one character (as a one-character string)
//   %d %x    a word parsed as a decimal / hexadecimal int (at most 32 characters)
//   %ld %lx  the same as a long (at most 64 characters)
//   %f       a word parsed as a float (at most 32 characters)
//   %s       a word (std::string); %w a word of 16-bit units (std::u16string)
//   %ls      a line (std::string); %lw a line of 16-bit units (std::u16string)
// Words end at blanks, tabs and line breaks; lines at line breaks and zero
// bytes. Leading delimiters are skipped, so %ls passes over empty lines.
// Letters are accepted in either case; other characters of the format are
// passed over. A number word that does not parse leaves its target alone; a
// target of the wrong kind is passed over. Result 0, or -1 when the image is
// already at its end (nothing is read then).
int ReadTextTargets(int slot, const char* format, const TextTarget* targets, size_t count);

template <typename... T>
int ReadText(int slot, const char* format, T*... targets) {
  const TextTarget list[] = {TextTarget(targets)..., TextTarget()};
  return ReadTextTargets(slot, format, list, sizeof...(T));
}

// The token readers under ReadText, over a memory image. Skip delimiters,
// collect up to the next delimiter (at most max characters when max > 0),
// skip the delimiters that follow. d1 to d4 are the delimiters; the unused
// ones are given as 0, which makes a zero character a delimiter too.
// ReadWideToken works on 16-bit units. Result 0; -6 for a slot that holds
// no memory image.
int ReadToken(int slot, std::string* destination, int max, char d1, char d2, char d3, char d4);
int ReadWideToken(int slot, std::u16string* destination, int max, char d1, char d2, char d3, char d4);

// The bytes of a memory image, for a reader that takes its lines in place
// (the lines of "%ls" are the runs between CR, LF and zero bytes); empty for
// a slot that holds none. A zero byte follows the bytes. Valid until the
// slot is closed.
std::string_view FileImage(int slot);

// ------------------------------------------------------------------ paths

// Length of the file in bytes; -3 when it cannot be opened, -5 when it
// cannot be closed.
int64_t LenFile(const std::string& path);

// True when the file can be opened for reading.
bool FileExists(const std::string& path);

// True when the path names a folder. With mustBeAbsolute, a relative path
// is refused without looking at the disk. A path that ends in a separator,
// a bare drive, and a folder whose name begins with "." are no folders.
bool FolderExists(const std::string& path, bool mustBeAbsolute);

// Creates every folder of the path that is missing; the number created.
int MakePath(const std::string& path);

// Reads the file (at most maximum bytes when maximum > 0) into destination,
// which is resized to the length read. Result the length; with returnOpen
// the slot, opened and pointed at destination, for ReadFile(slot, nullptr,
// n) to continue; -1, -3, -5, -9.
int64_t LoadFile(const std::string& path, std::string& destination, int64_t maximum, bool returnOpen);

}  // namespace zet
