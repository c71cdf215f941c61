#pragma once
// What the catalogue merges (index trees, category files, user categories)
// share: reading a host's file without ever taking an unreadable one for an
// empty one, placing a package's file where the host has none, writing a
// merged file back, and reading the entries of a loaded document.

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>

#include "platform/ascii_text.h"
#include "platform/platform.h"
#include "profile/profile_document.h"

namespace zet {

enum class CatalogueLoad {
  // The file's content is in the document. A file of no bytes, or of
  // nothing but blanks and line ends, leaves the document empty.
  Loaded,
  // The file is there but cannot be read (a folder, no access, a failed
  // read), or it holds text from which not one section can be read and
  // that is not all comment lines (a file in another encoding, a damaged
  // file). A merge leaves such a file alone.
  Unreadable,
  // Larger than kMergedFileLimit: not read at all, left alone.
  TooBig,
  // A package file that a link puts outside the package: not read.
  OutOfThePackage,
  // A host file with lines the reader drops or cuts (see hostFile below):
  // written back, it would lose them. Left alone.
  LosesLines,
  // A file naming a section or key the merge looks up (TreeOrder, FileNN,
  // FilterSection, FilterString, FilterValue, ScanPathN) in other letter
  // case: Windows reads it as that name, the merge would not. Left alone.
  OtherCase,
};

// Loads the file into an empty document. A file of nothing but comment
// lines loads as a document of those comment lines, which a merge keeps.
// A package's file naming a looked-up key in other letter case is
// OtherCase. With writeBack given, the file is the host's, which a merge
// writes back: it is loaded all the same, and *writeBack says why it may
// not be written back, Loaded when it may: LosesLines for a line the reader
// would not take whole (a zero byte, a line beyond 1023 characters, a
// header without "]" or with text after it, a text value with text after
// its closing quote, an entry without a key and "=", a line before the
// first header that is no comment) or a value the writer would give back
// changed, OtherCase as above. A merge that adds nothing leaves such a file
// alone without a word. With bytes given, it gets the file's bytes as read.
CatalogueLoad LoadCatalogueFile(ProfileDocument& document, const std::string& path,
                                CatalogueLoad* writeBack = nullptr, std::string* bytes = nullptr);

// Records a failure of the working pass.
void CatalogueFailure(const std::string& path, const std::string& reason);

// The run looks a package's catalogue file or folder up by its name in any
// letter case, and takes one: the others of that name in its folder (a
// Linux package may hold them; Windows holds one) are listed as not merged.
void ListOtherSpellings(const std::string& packagePath);

// A package's catalogue file, loaded as the merge takes it: what a host's
// file would not be written back for (LosesLines, OtherCase) the merge would
// change or drop of the package's, and the file is neither merged nor copied.
CatalogueLoad LoadPackageCatalogueFile(ProfileDocument& document, const std::string& path,
                                       std::string* bytes = nullptr);

// Records why a file did not load: "<what> cannot be read" or "<what> is
// larger than ...", then "; left as it is" for the host's file or "; not
// merged" for the package's.
void CatalogueLoadFailure(const std::string& path, CatalogueLoad load, const char* what, bool hostFile);

// Runs the merge of one file; running out of memory is a failure of that
// file, reported at path, not the end of the run.
template <class Merge>
void WithinMemory(const std::string& path, Merge merge) {
  try {
    merge();
  } catch (const std::bad_alloc&) {
    CatalogueFailure(path, "not enough memory to merge; left as it is");
  }
}

// The host's path of a path below the package's root (g_SourceRoot): the
// same relative place below g_TargetRoot.
std::string HostPathOf(const std::string& packagePath);

// The kind of what stands at a host's path as the run has left it so far.
platform::PathKind HostKindOf(const std::string& path);

// Copies a package's file to the host's path, creating the host's folders
// that are missing (an existing folder in another letter case is used as
// it is). Records the outcome in the run report; true when copied.
bool CopyCatalogueFile(const std::string& from, const std::string& to, bool overwrite);

// Writes a merged document to its file. Recorded as a merged list, or as a
// failure; a failed write leaves the file's old content. True when written.
// summary says in a few words what the merge added (a preview shows it).
bool SaveCatalogueFile(const ProfileDocument& document, const std::string& path, const std::string& summary = {});
// The same for the bytes of a file as they are.
bool SaveCatalogueBytes(const std::string& bytes, const std::string& path, const std::string& summary);

// "1 <one>" or "n <many>".
std::string CountText(int n, const char* one, const char* many);

// ----------------------------------------------------------- loaded nodes

// True when the document holds a section (not only comment lines).
bool HasSection(const ProfileDocument& document);
// The sections among the document's top-level nodes (comment lines are none).
int SectionsIn(const ProfileDocument& document);

// True when the node is an entry holding value data (a text or a list).
bool HoldsValue(const ProfileNode* node);

// The section names of a document in any letter case, as Windows finds
// sections: a new section of such a name would be that one. Kept beside a
// document that sections are added to, so that each look costs the same
// however many there are.
class SectionNames {
 public:
  explicit SectionNames(const ProfileDocument& document);
  bool Holds(std::string_view name) const { return folded_.count(UpperAscii(name)) != 0; }
  void Add(std::string_view name) { folded_.insert(UpperAscii(name)); }

 private:
  std::unordered_set<std::string> folded_;
};

// The node's name, "" when it has none.
std::string_view NodeName(const ProfileNode* node);

// The first entry of that name in a section, as a lookup from a fresh
// cursor finds it; null when there is none.
const ProfileNode* FirstEntry(const ProfileNode* section, std::string_view key);

// The value of an entry read as a text up to its first zero byte, as the
// document's lookups read any value; "" when there is no value.
std::string_view ValueText(const ProfileNode* entry);

// The number a text starts with, read as atoi reads it (leading blanks, a
// sign, decimal digits; 0 when there are none), held to +-10^15 so that
// counting on from it cannot overflow.
int64_t LeadingNumber(std::string_view text);

// The number with at least width digits, zeros in front (as "%.3d" writes
// it: -4 is "-004").
std::string ZeroPadded(int64_t number, int width);

}  // namespace zet
