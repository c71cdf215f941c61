#pragma once
// What a run refuses to take from a package, the same on every system: names
// that Windows would turn into something else (a device, a shorter name) or
// that the C-level file calls would cut short, and lists or catalogue files
// too big to be merged in memory.

#include <cstdint>
#include <string>
#include <string_view>

namespace zet {

// A path longer than the system's programs take (platform::kLongestPath).
inline constexpr char kPathTooLong[] = "its path is longer than Windows programs take (259 characters); not copied";

// Texture lists and catalogue files above this size are neither read nor
// merged (the host's own files stay far below it).
constexpr uint64_t kMergedFileLimit = uint64_t{64} << 20;
constexpr const char kMergedFileLimitText[] = "64 MB";

// True when the file at path is larger than kMergedFileLimit, by the size the
// file system gives, before any byte of it is read.
bool IsTooBigToMerge(const std::string& path);

// Why one file or folder name (no separators) is refused, or null when it is
// not: a control character or zero byte in it; a Windows device name (CON,
// PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9) with or without an extension;
// a dot or blank at its end, which Windows drops.
const char* RefusedName(std::string_view name);

// True when path names a file of the package (it is spelled below the
// package's folder) that is really somewhere else: a link, or a folder link
// on its way, leads out of the package. The merges neither read nor copy
// such a file, as the tree walk copies no such link.
bool LeadsOutOfThePackage(const std::string& path);

// True when path is a link to a folder: a folder of the package the merges
// read (Categories, Parallels, a category folder) is not entered through
// one, as the tree walk follows none; it could lead anywhere on the disk.
bool IsLinkToFolder(const std::string& path);

// True when path names something below folder by its spelling.
bool SpelledBelow(const std::string& path, const std::string& folder);
constexpr const char kOutOfThePackage[] = "a link that leads out of the package";
// A name of the package that another of its folder spells in other letters
// (one name on Windows): the first the listing gives is taken.
constexpr const char kNotCopiedNameTwice[] = "the package has this name in other letter case too; not copied";
constexpr const char kNotMergedNameTwice[] = "the package has this name in other letter case too; not merged";

}  // namespace zet
