#pragma once
// Writes resource archives (the layout is in pak_archive.h): for the mkpak
// tool, the tests and the demo.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zet {

struct PakWriteEntry {
  std::string name;    // stored as given: at most 127 bytes
  std::string data;    // the entry's bytes, when source is empty
  std::string source;  // else the file whose bytes are stored
};

// (entries written, entries in all)
using PakWriteProgress = std::function<void(size_t, size_t)>;

// Writes header, entry table (in the order given) and the data after the
// table. An existing file at path is replaced only once the archive is
// complete. False with a message in error when a name or size does not
// fit the format or a file cannot be read or written.
bool WritePak(const std::string& path, const std::vector<PakWriteEntry>& entries, std::string& error,
              const PakWriteProgress& progress = nullptr);

// One entry for every file below folder, in listing order, named by its
// path relative to folder: upper-cased, folders separated by backslashes.
// False with a message when a folder cannot be listed or two files would
// get the same name.
bool CollectPakEntries(const std::string& folder, std::vector<PakWriteEntry>& entries, std::string& error);

// Stores text for the reader's text mode: each byte becomes the running
// sum (mod 256) of the text so far, started at the low byte of the size.
std::string EncodePakText(const std::string& text);

}  // namespace zet
