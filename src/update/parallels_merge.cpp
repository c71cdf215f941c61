#include "update/parallels_merge.h"

#include <string>
#include <utility>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"
#include "platform/platform.h"
#include "update/run_state.h"
#include "update/texture_list.h"
#include "update/tree_copy.h"

namespace zet {

namespace {

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

std::string WithBackslashes(std::string name) {
  for (char& c : name)
    if (c == '/') c = '\\';
  return name;
}

}  // namespace

int MergeParallels(bool overwrite, TextureListKind list, RunPass pass) {
  const bool counting = pass == RunPass::kCounting;
  const bool textures = list == TextureListKind::kTextures;
  const char* listName = textures ? "Texturen.txt" : "Bodentexturen.txt";
  const char* extension = textures ? ".dds" : ".bmp";
  const std::string packageFolder = g_SourceRoot + "\\Parallels\\";
  const std::string hostFolder = g_TargetRoot + "\\Parallels\\";
  const std::string packagePath = packageFolder + listName;
  const std::string hostPath = hostFolder + listName;
  auto fail = [&](const std::string& path, const char* reason) {
    if (!counting) g_RunReport.Failure(path, reason);
    return -1;
  };

  if (platform::GetPathKind(packagePath) == platform::PathKind::None) return -1;
  TextureList package(packagePath);
  if (!package.IsLoaded()) return fail(packagePath, "texture list cannot be read");
  if (!package.IsBalanced()) return fail(packagePath, "texture list has unbalanced braces");

  // Any file already there is the host's, readable or not: it is never
  // replaced by an empty list. A missing list starts as an empty outer
  // block in memory and reaches the disk only whole, with the working
  // pass's save: the counting pass changes no file, and a run that fails
  // leaves no list behind that is neither the host's nor the merged one.
  const bool hostMissing = platform::GetPathKind(hostPath) == platform::PathKind::None;
  TextureList host(hostPath);
  if (hostMissing) {
    if (!counting) MakePath(hostFolder.substr(0, hostFolder.size() - 1));
    host.LoadFromText("Basis{\n}\n");
  }
  if (!host.IsLoaded()) return fail(hostPath, "texture list cannot be read; left as it is");
  if (!host.IsBalanced()) return fail(hostPath, "texture list has unbalanced braces; left as it is");
  if (host.IsEmpty()) host.LoadFromText("Basis{\n}\n");

  std::vector<std::pair<int32_t, std::string>> inserts;
  for (int32_t id : package.GetIds()) {
    CountUnit(counting);
    if (counting) continue;
    StepProgress();
    bool missing = !host.HasTexture(id);
    TextureRecord texture;
    if (!package.ParseTexture(id, texture) || !(overwrite || missing)) continue;
    if (!StaysInsideFolder(texture.name)) {
      g_RunReport.Failure(packagePath + " id(" + std::to_string(id) + ")", "texture name leads out of the Parallels folder");
      continue;
    }
    const std::string name = WithBackslashes(texture.name) + extension;
    if (!overwrite && PakContains(g_PakHandle, "Parallels\\" + name)) {
      g_RunReport.LeftToArchive();
    } else {
      const std::string target = hostFolder + name;
      size_t cut = name.find_last_of('\\');
      if (cut != std::string::npos) MakePath(hostFolder + name.substr(0, cut));
      CopyFileRecorded(packageFolder + name, target, overwrite);
    }
    if (missing) {
      std::string block;
      package.GetBlock(id, block);
      inserts.emplace_back(id, std::move(block));
    }
  }
  if (counting) return 0;
  host.InsertTextures(inserts);
  if (!host.SaveList()) return fail(hostPath, "texture list cannot be written");
  g_RunReport.ListMerged();
  return 0;
}

}  // namespace zet
