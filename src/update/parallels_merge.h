#pragma once
// The merge of one texture list of the Parallels folder: every texture of
// the package's list that the host's list lacks gets its texture file copied
// and its block inserted into the host's list; with overwrite the texture
// files of textures the host already lists are copied over as well.

namespace zet {

enum class TextureListKind {
  kTextures,        // Texturen.txt, with ".dds" files
  kGroundTextures,  // Bodentexturen.txt, with ".bmp" files
};

enum class RunPass { kCounting, kWorking };

// One unit of work per id of the package's list. A package without such a
// list has nothing to merge; a list that cannot be read or merged is a
// failure in the run report.
void MergeParallels(bool overwrite, TextureListKind list, RunPass pass);

}  // namespace zet
