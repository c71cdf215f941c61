#include "update/parallels_merge.h"

#include <gtest/gtest.h>

#include "update/texture_list.h"
#include "update_fixture.h"

namespace zet {
namespace {

using test::Strings;

struct Texture {
  int id;
  std::string name;
  std::string extra;  // further attributes
};

std::string ListFile(const std::vector<Texture>& textures) {
  std::string s = "Basis{\r\n";
  for (const Texture& x : textures)
    s += "\tTextur{\r\n\t\tid(" + std::to_string(x.id) + ")\r\n\t\tname(" + x.name + ")\r\n\t\t" + x.extra +
         "\r\n\t}\r\n";
  return s + "}\r\n";
}

// The list text as a merge writes it back: normalized, CR LF line ends.
std::string Written(const std::vector<Texture>& textures) {
  std::string out;
  for (char c : TextureList::Normalize(ListFile(textures))) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

class ParallelsMerge : public test::UpdateTest {
 protected:
  // Both passes; every unit counted is a step of the bar.
  int Merge(bool overwrite, TextureListKind list = TextureListKind::kTextures) {
    int result = 0;
    counted = BothPasses([&](bool counting) {
      result = MergeParallels(overwrite, list, counting ? RunPass::kCounting : RunPass::kWorking);
    });
    EXPECT_EQ(static_cast<int>(view.stepped.size()), counted);
    return result;
  }

  // Package ids 1, 2, 3 with their files; host ids 1, 2 with theirs.
  void ThreeAndTwo() {
    Package("Parallels/Texturen.txt",
            ListFile({{1, "Gras", "magfilter(2)"}, {2, "Kies", "magfilter(2)"}, {3, "Sand", "magfilter(2)"}}));
    Package("Parallels/Gras.dds", "package Gras");
    Package("Parallels/Kies.dds", "package Kies");
    Package("Parallels/Sand.dds", "package Sand");
    Host("Parallels/Texturen.txt", ListFile({{1, "Gras", "magfilter(1)"}, {2, "Kies", "magfilter(1)"}}));
    Host("Parallels/Gras.dds", "host Gras");
    Host("Parallels/Kies.dds", "host Kies");
  }
  // What both runs make of the host's list: its own blocks kept, 3 added.
  const std::string merged =
      Written({{1, "Gras", "magfilter(1)"}, {2, "Kies", "magfilter(1)"}, {3, "Sand", "magfilter(2)"}});

  int counted = 0;
};

TEST_F(ParallelsMerge, AddsWhatTheHostLacksAndOverwriteCopiesEveryTexture) {
  ThreeAndTwo();
  const std::string packageList = PackageBytes("Parallels/Texturen.txt");
  EXPECT_EQ(Merge(false), 0);
  EXPECT_EQ(counted, 3);
  EXPECT_EQ(HostBytes("Parallels/Gras.dds"), "host Gras");
  EXPECT_EQ(HostBytes("Parallels/Kies.dds"), "host Kies");
  EXPECT_EQ(HostBytes("Parallels/Sand.dds"), "package Sand");
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), merged);
  EXPECT_EQ(PackageBytes("Parallels/Texturen.txt"), packageList);
  EXPECT_EQ(g_RunReport.copied(), 1);
  EXPECT_EQ(g_RunReport.listsMerged(), 1);
  EXPECT_TRUE(g_RunReport.failures().empty());

  g_RunReport.Reset();
  EXPECT_EQ(Merge(true), 0);
  EXPECT_EQ(HostBytes("Parallels/Gras.dds"), "package Gras");
  EXPECT_EQ(HostBytes("Parallels/Kies.dds"), "package Kies");
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), merged);
  EXPECT_EQ(g_RunReport.copied(), 3);
}

TEST_F(ParallelsMerge, ATextureTheArchiveHoldsIsNotCopiedButListed) {
  ThreeAndTwo();
  PackageArchive({"PARALLELS\\SAND.DDS"}, true);
  EXPECT_EQ(Merge(false), 0);
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Parallels/Sand.dds"));
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), merged);
  EXPECT_EQ(g_RunReport.leftToArchive(), 1);

  // With overwrite the archive is not asked.
  EXPECT_EQ(Merge(true), 0);
  EXPECT_EQ(HostBytes("Parallels/Sand.dds"), "package Sand");
}

TEST_F(ParallelsMerge, AMissingHostListIsMadeWholeAndASparseIdCostsOneUnit) {
  Package("Parallels/Texturen.txt", ListFile({{1, "a", ""}, {5, "b", ""}, {2000000000, "c", ""}}));
  Package("Parallels/a.dds", "A");
  EXPECT_EQ(Merge(false), 0);
  EXPECT_EQ(counted, 3);  // one unit per id the list holds, however sparse
  EXPECT_EQ(HostBytes("Parallels/a.dds"), "A");
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), Written({{1, "a", ""}, {5, "b", ""}, {2000000000, "c", ""}}));
  // b.dds and c.dds are missing from the package: failures, but the blocks go in.
  EXPECT_EQ(g_RunReport.failures().size(), 2u);
}

TEST_F(ParallelsMerge, GroundTexturesUseTheirOwnListAndBmpFiles) {
  Package("Parallels/Bodentexturen.txt", ListFile({{4, "Acker", ""}}));
  Package("Parallels/Acker.bmp", "BMP");
  Package("Parallels/Acker.dds", "DDS");
  Host("Parallels/Bodentexturen.txt", "");  // empty: gets its outer block
  EXPECT_EQ(Merge(false), -1);
  EXPECT_EQ(Merge(false, TextureListKind::kGroundTextures), 0);
  EXPECT_EQ(HostFiles(), (Strings{"Parallels/Acker.bmp", "Parallels/Bodentexturen.txt"}));
  EXPECT_EQ(HostBytes("Parallels/Bodentexturen.txt"), Written({{4, "Acker", ""}}));

  // A package without a Parallels folder changes nothing.
  std::filesystem::remove_all(t / "pkg/RESOURCEN/Parallels");
  EXPECT_EQ(Merge(true, TextureListKind::kGroundTextures), -1);
  EXPECT_TRUE(g_RunReport.failures().empty());
}

TEST_F(ParallelsMerge, NamesStayInsideTheParallelsFolders) {
  Package("Parallels/Texturen.txt", ListFile({{1, "sub\\Zaun", ""},
                                              {2, "..\\..\\..\\evil", ""},
                                              {3, "/tmp/evil", ""},
                                              {4, "C:\\evil", ""},
                                              {5, "a/../../evil", ""}}));
  Package("Parallels/sub/Zaun.dds", "Z");
  Package("evil.dds", "E");
  EXPECT_EQ(Merge(false), 0);
  EXPECT_EQ(FilesBelow("."), (Strings{"host/RESOURCEN/Parallels/Texturen.txt", "host/RESOURCEN/Parallels/sub/Zaun.dds",
                                      "pkg/RESOURCEN/Parallels/Texturen.txt", "pkg/RESOURCEN/Parallels/sub/Zaun.dds",
                                      "pkg/RESOURCEN/evil.dds"}));
  EXPECT_EQ(g_RunReport.failures().size(), 4u);
  EXPECT_EQ(TextureList(HostPath("Parallels/Texturen.txt")).GetIds(), (std::vector<int32_t>{1}));
}

TEST_F(ParallelsMerge, ListsThatCannotBeReadAreFailuresAndChangeNothing) {
  // The host's: left alone, whether broken or a folder.
  Package("Parallels/Texturen.txt", ListFile({{1, "a", ""}}));
  Package("Parallels/a.dds", "A");
  const std::string broken = "Basis{ Textur{ id(1) name(x) }";
  Host("Parallels/Texturen.txt", broken);
  test::MakeFolders(t / "host/RESOURCEN/Parallels/Bodentexturen.txt");
  Package("Parallels/Bodentexturen.txt", ListFile({{1, "a", ""}}));

  EXPECT_EQ(Merge(false), -1);
  EXPECT_EQ(Merge(false, TextureListKind::kGroundTextures), -1);
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), broken);
  EXPECT_EQ(HostFiles(), (Strings{"Parallels/Texturen.txt"}));
  ASSERT_EQ(g_RunReport.failures().size(), 2u);
  EXPECT_EQ(g_RunReport.failures()[0].path, target + "\\Parallels\\Texturen.txt");

  // The package's, unbalanced: nothing copied for it.
  g_RunReport.Reset();
  std::filesystem::remove(t / "host/RESOURCEN/Parallels/Texturen.txt");
  Package("Parallels/Texturen.txt", broken);
  EXPECT_EQ(Merge(false), -1);
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Parallels/a.dds"));
  EXPECT_EQ(g_RunReport.failures().size(), 1u);
}

}  // namespace
}  // namespace zet
