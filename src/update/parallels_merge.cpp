#include "update/parallels_merge.h"

#include <map>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"
#include "platform/platform.h"
#include "update/catalogue.h"
#include "update/refusals.h"
#include "update/run_state.h"
#include "update/texture_list.h"
#include "update/tree_copy.h"

namespace zet {

namespace {

// What a list the host lacks starts as: an empty outer block.
constexpr char kNewList[] = "Basis{\r\n}\r\n";

// A texture name names a file inside the Parallels folder: no absolute path,
// no drive, no ".." component. Folder parts are allowed.
bool StaysInsideFolder(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  if (name.find(':') != std::string::npos) return false;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '\\' || name[i] == '/') {
      if (name.compare(start, i - start, "..") == 0 && i - start == 2) return false;
      start = i + 1;
    }
  }
  return true;
}

// Why the texture file name (the name and its extension) is refused; null
// when it is not.
const char* RefusedTextureName(const std::string& name) {
  if (!StaysInsideFolder(name)) return "texture name leads out of the Parallels folder";
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '\\') continue;
    if (const char* reason = RefusedName(std::string_view(name).substr(start, i - start))) return reason;
    start = i + 1;
  }
  return nullptr;
}

class ListMerge {
 public:
  ListMerge(bool overwrite, TextureListKind list, bool counting)
      : overwrite_(overwrite),
        counting_(counting),
        listName_(list == TextureListKind::kTextures ? "Texturen.txt" : "Bodentexturen.txt"),
        extension_(list == TextureListKind::kTextures ? ".dds" : ".bmp"),
        packageFolder_(g_SourceRoot + "\\Parallels\\"),
        hostFolder_(g_TargetRoot + "\\Parallels\\"),
        packagePath_(packageFolder_ + listName_),
        hostPath_(hostFolder_ + listName_) {}

  const std::string& HostPath() const { return hostPath_; }

  void Run() {
    // (The tree copy lists the package's Parallels when that is a link.)
    if (IsLinkToFolder(g_SourceRoot + "\\Parallels") || platform::GetPathKind(packagePath_) == platform::PathKind::None)
      return;
    if (!counting_) ListOtherSpellings(packagePath_);
    if (LeadsOutOfThePackage(packagePath_))
      return Fail(packagePath_, std::string(kOutOfThePackage) + "; not merged");
    if (IsTooBigToMerge(packagePath_)) return Fail(packagePath_, TooBig("not merged"));
    TextureList package(packagePath_);
    if (!package.IsLoaded()) return Fail(packagePath_, "texture list cannot be read");
    // A zero byte in a name is that block's fault (see TakeTextureFile).
    if (!package.IsEmpty() && !package.OpensWithBasis())
      return Fail(packagePath_, "is no texture list (8-bit text in an outer Basis{ block); not merged");
    if (!package.IsBalanced()) return Fail(packagePath_, "texture list has unbalanced braces");

    // Any file already there is the host's, readable or not: it is never
    // replaced by an empty list. A missing list starts as an empty outer
    // block in memory and reaches the disk only when a block is added.
    const bool hostMissing = RunWriter().KindOf(hostPath_) == platform::PathKind::None;
    if (!hostMissing && IsTooBigToMerge(hostPath_)) return Fail(hostPath_, TooBig("left as it is"));
    TextureList host(hostPath_, &RunWriter());
    if (hostMissing) host.LoadFromText(kNewList);
    if (!host.IsLoaded()) return Fail(hostPath_, "texture list cannot be read; left as it is");
    if (host.IsEmpty()) host.LoadFromText(kNewList);
    if (!host.IsTextureList())
      return Fail(hostPath_, "is no texture list (8-bit text in an outer Basis{ block); left as it is");
    if (!host.IsBalanced()) return Fail(hostPath_, "texture list has unbalanced braces; left as it is");

    // Each package block counts once, however many ids it carries: its
    // file is taken at most once, and once inserted every id it carries is
    // present, so the host's list grows by each block at most once.
    for (const std::string& block : package.BlocksWithoutId())
      Fail(packagePath_ + " " + block, "texture block without an id from 1 to 2147483647; not added");
    std::map<size_t, bool> taken;  // block -> its name was accepted
    std::set<size_t> inserted;
    std::vector<std::pair<int32_t, std::string>> inserts;
    for (int32_t id : package.GetIds()) {
      CountUnit(counting_);
      if (counting_) continue;
      StepProgress();
      const size_t block = package.BlockOf(id);
      if (block == TextureList::npos) continue;
      const bool missing = !host.HasTexture(id) && inserted.count(block) == 0;
      if (!(overwrite_ || missing)) continue;
      auto [it, first] = taken.emplace(block, true);
      if (first) {
        // A zero byte in the host's list would make it one no later run
        // merges into.
        std::string text;
        package.GetBlock(id, text);
        if (text.find('\0') != std::string::npos) {
          Fail(packagePath_ + " id(" + std::to_string(id) + ")", "texture block holds a zero byte; not added");
          it->second = false;
        } else {
          TextureRecord texture;
          package.ParseTexture(id, texture);
          it->second = TakeTextureFile(id, texture.name);
        }
      }
      if (!it->second || !missing) continue;
      inserted.insert(block);
      std::string text;
      package.GetBlock(id, text);
      inserts.emplace_back(id, std::move(text));
    }
    // A list that gets nothing is not written.
    if (counting_ || inserts.empty()) return;
    host.InsertTextures(inserts);
    // A package's blocks laid out one word a line can outgrow what any later
    // run reads.
    if (host.Bytes().size() > kMergedFileLimit)
      return Fail(hostPath_, std::string("merged, the texture list would be larger than ") + kMergedFileLimitText +
                                 "; left as it is");
    if (hostMissing) RunWriter().MakeFolders(hostFolder_.substr(0, hostFolder_.size() - 1));
    const std::string summary =
        std::to_string(inserts.size()) + (inserts.size() == 1 ? " texture added" : " textures added");
    std::string why;
    if (!host.SaveList(RunWriter(), summary, &why))
      return Fail(hostPath_, why.empty() ? std::string("texture list cannot be written; left as it was") : why);
    g_RunReport.ListMerged();
  }

  void Fail(const std::string& path, const std::string& reason) const {
    if (!counting_) g_RunReport.Failure(path, reason);
  }

 private:
  static std::string TooBig(const char* outcome) {
    return std::string("texture list is larger than ") + kMergedFileLimitText + "; " + outcome;
  }

  // Copies the texture's file, unless the archive holds it. A texture
  // without a name has no file: nothing to copy. False, and reported for
  // the block, when the name is refused or the host cannot get the file:
  // such a block is not inserted either.
  bool TakeTextureFile(int32_t id, const std::string& textureName) {
    if (textureName.empty()) return true;
    // The list's code-page text, as the file system and the archive spell it.
    const std::string listed = ListedTextureFile(textureName, extension_);
    const std::string name = platform::NameFromCodePage(listed);
    // A file two blocks name is taken once: copied once, counted once, and
    // never found "kept" as the host's after the run made it; each block it
    // cannot go with is listed.
    const auto [earlier, first] = takenFiles_.emplace(platform::FoldedName(name), std::string());
    if (first) earlier->second = TakeNewTextureFile(name, listed);
    if (earlier->second.empty()) return true;
    Fail(packagePath_ + " id(" + std::to_string(id) + ")", earlier->second);
    return false;
  }

  // Why a block naming the file cannot be added; empty when it can.
  std::string TakeNewTextureFile(const std::string& name, const std::string& listed) {
    static const char kNotCopied[] = "its texture file could not be copied; not added";
    if (const char* reason = RefusedTextureName(name)) return reason;
    if (!overwrite_ && PakContains(g_PakHandle, "Parallels\\" + listed)) {
      LeftToArchive(hostFolder_ + name);
      return {};
    }
    if (LeadsOutOfThePackage(packageFolder_ + name)) {
      g_RunReport.Failure(packageFolder_ + name, std::string(kOutOfThePackage) + "; not copied");
      return kNotCopied;
    }
    // An empty file is left out here too, as everywhere in the package.
    if (platform::IsEmptyFile(packageFolder_ + name)) return {};
    // A texture the package names and does not hold leaves no empty folder.
    const size_t cut = name.find_last_of('\\');
    const bool held = platform::GetPathKind(packageFolder_ + name) != platform::PathKind::None;
    if (held) RunWriter().MakeFolders(hostFolder_ + (cut == std::string::npos ? std::string() : name.substr(0, cut)));
    // One whose file the package holds and the host cannot get (a full disk)
    // is not listed: the list would name a texture the host lacks, which no
    // later run would copy, its id being listed. One the package lacks is
    // listed (the host may get its file otherwise), as is the failure; so is
    // one whose file the host has, where a replacement failed.
    if (CopyFileRecorded(packageFolder_ + name, hostFolder_ + name, overwrite_) != CopyOutcome::Failed || !held ||
        RunWriter().KindOf(hostFolder_ + name) == platform::PathKind::File)
      return {};
    return kNotCopied;
  }

  std::map<std::string, std::string> takenFiles_;  // folded name -> why blocks naming it are not added ("": taken)
  const bool overwrite_;
  const bool counting_;
  const char* const listName_;
  const char* const extension_;
  const std::string packageFolder_, hostFolder_, packagePath_, hostPath_;
};

}  // namespace

void MergeParallels(bool overwrite, TextureListKind list, RunPass pass) {
  ListMerge merge(overwrite, list, pass == RunPass::kCounting);
  // Lists are held in memory whole: a package that asks for more than there
  // is costs this list's merge, not the run.
  try {
    merge.Run();
  } catch (const std::bad_alloc&) {
    merge.Fail(merge.HostPath(), "not enough memory to merge the texture list; left as it is");
  }
}

}  // namespace zet
