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
    s += "\tTextur{\r\n\t\tid(" + std::to_string(x.id) + ")\r\n\t\tname(" + x.name + ")\r\n" +
         (x.extra.empty() ? "" : "\t\t" + x.extra + "\r\n") + "\t}\r\n";
  return s + "}\r\n";
}

class ParallelsMerge : public test::UpdateTest {
 protected:
  // Both passes; every unit counted is a step of the bar.
  void Merge(bool overwrite, TextureListKind list = TextureListKind::kTextures) {
    counted = BothPasses(
        [&](bool counting) { MergeParallels(overwrite, list, counting ? RunPass::kCounting : RunPass::kWorking); });
    EXPECT_EQ(static_cast<int>(view.stepped.size()), counted);
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
      ListFile({{1, "Gras", "magfilter(1)"}, {2, "Kies", "magfilter(1)"}, {3, "Sand", "magfilter(2)"}});

  int counted = 0;
};

TEST_F(ParallelsMerge, AddsWhatTheHostLacksAndOverwriteCopiesEveryTexture) {
  ThreeAndTwo();
  const std::string packageList = PackageBytes("Parallels/Texturen.txt");
  Merge(false);
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
  Merge(true);
  EXPECT_EQ(HostBytes("Parallels/Gras.dds"), "package Gras");
  EXPECT_EQ(HostBytes("Parallels/Kies.dds"), "package Kies");
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), merged);
  EXPECT_EQ(g_RunReport.copied(), 3);

  // A texture whose file the host cannot take (a folder in the way, a full
  // disk) is not listed: the next run, with the way clear, adds both.
  const std::string hostList = ListFile({{1, "Gras", "magfilter(1)"}, {2, "Kies", "magfilter(1)"}});
  Host("Parallels/Texturen.txt", hostList);
  std::filesystem::remove(std::filesystem::path(t / "host/RESOURCEN/Parallels/Sand.dds"));
  test::MakeFolders(t / "host/RESOURCEN/Parallels/Sand.dds");
  g_RunReport.Reset();
  Merge(false);
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), hostList);
  Strings failures;
  for (const RunFailure& f : g_RunReport.failures()) failures.push_back(f.path + ": " + f.reason);
  EXPECT_EQ(failures, (Strings{target + "\\Parallels\\Sand.dds: a folder of that name is in the way",
                               source + "\\Parallels\\Texturen.txt id(3): its texture file could not be copied; not added"}));
  std::filesystem::remove(std::filesystem::path(t / "host/RESOURCEN/Parallels/Sand.dds"));
  g_RunReport.Reset();
  Merge(false);
  EXPECT_EQ(HostBytes("Parallels/Sand.dds"), "package Sand");
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), merged);

  // Each block naming such a file is listed; one whose file the host has,
  // where its replacement failed, is added.
  Package("Parallels/Texturen.txt", ListFile({{3, "Sand", "magfilter(2)"}, {4, "SAND", ""}, {5, "Kies", ""}}));
  Host("Parallels/Texturen.txt", hostList);
  std::filesystem::remove(std::filesystem::path(t / "host/RESOURCEN/Parallels/Sand.dds"));
  test::MakeFolders(t / "host/RESOURCEN/Parallels/Sand.dds");
  std::filesystem::permissions(t / "host/RESOURCEN/Parallels/Kies.dds", std::filesystem::perms(0444));
  g_RunReport.Reset();
  Merge(true);
  failures.clear();
  for (const RunFailure& f : g_RunReport.failures()) failures.push_back(f.path + ": " + f.reason);
  EXPECT_EQ(failures, (Strings{target + "\\Parallels\\Sand.dds: a folder of that name is in the way",
                               source + "\\Parallels\\Texturen.txt id(3): its texture file could not be copied; not added",
                               source + "\\Parallels\\Texturen.txt id(4): its texture file could not be copied; not added",
                               target + "\\Parallels\\Kies.dds: is read-only; left as it was"}));
  EXPECT_EQ(HostBytes("Parallels/Kies.dds"), "package Kies");  // the earlier overwrite's
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"),
            ListFile({{1, "Gras", "magfilter(1)"}, {2, "Kies", "magfilter(1)"}, {5, "Kies", ""}}));
}

TEST_F(ParallelsMerge, ATextureTheArchiveHoldsIsNotCopiedButListed) {
  ThreeAndTwo();
  PackageArchive({"PARALLELS\\SAND.DDS"}, true);
  Merge(false);
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Parallels/Sand.dds"));
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), merged);
  EXPECT_EQ(g_RunReport.leftToArchive(), 1);

  // With overwrite the archive is not asked.
  Merge(true);
  EXPECT_EQ(HostBytes("Parallels/Sand.dds"), "package Sand");

#ifndef _WIN32
  // A list's name is code-page text: it names the package's file of UTF-8.
  Package("Parallels/Texturen.txt", ListFile({{4, "Gr\xFCn", ""}}));
  Package("Parallels/Gr\xC3\xBCn.dds", "package Gruen");
  Merge(false);
  EXPECT_EQ(HostBytes("Parallels/Gr\xC3\xBCn.dds"), "package Gruen");
#endif
}

TEST_F(ParallelsMerge, AMissingHostListIsMadeWholeAndASparseIdCostsOneUnit) {
  Package("Parallels/Texturen.txt", ListFile({{1, "a", ""}, {5, "b", ""}, {2000000000, "c", ""}}));
  Package("Parallels/a.dds", "A");
  Merge(false);
  EXPECT_EQ(counted, 3);  // one unit per id the list holds, however sparse
  EXPECT_EQ(HostBytes("Parallels/a.dds"), "A");
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), ListFile({{1, "a", ""}, {5, "b", ""}, {2000000000, "c", ""}}));
  // b.dds and c.dds are missing from the package: failures, but the blocks go in.
  EXPECT_EQ(g_RunReport.failures().size(), 2u);

  // Two blocks of one file: it is copied and counted once, with or without
  // overwrite, and never "kept" as the host's after the run made it.
  for (const bool overwrite : {false, true}) {
    g_RunReport.Reset();
    std::filesystem::remove_all(t / "host/RESOURCEN/Parallels");
    Package("Parallels/Texturen.txt", ListFile({{5, "twice", ""}, {6, "twice", ""}}));
    Package("Parallels/twice.dds", "T");
    Merge(overwrite);
    EXPECT_EQ(g_RunReport.copied(), 1) << overwrite;
    EXPECT_EQ(g_RunReport.keptExisting(), 0) << overwrite;
    EXPECT_EQ(HostBytes("Parallels/twice.dds"), "T");
  }
}

TEST_F(ParallelsMerge, GroundTexturesUseTheirOwnListAndBmpFiles) {
  Package("Parallels/Bodentexturen.txt", ListFile({{4, "Acker", ""}}));
  Package("Parallels/Acker.bmp", "BMP");
  Package("Parallels/Acker.dds", "DDS");
  // A host list without a word, of no bytes or of blanks only, gets its outer block.
  for (const char* nothing : {"", " \r\n\t \r\n"}) {
    Host("Parallels/Bodentexturen.txt", nothing);
    Merge(false);
    Merge(false, TextureListKind::kGroundTextures);
    EXPECT_EQ(HostFiles(), (Strings{"Parallels/Acker.bmp", "Parallels/Bodentexturen.txt"}));
    EXPECT_EQ(HostBytes("Parallels/Bodentexturen.txt"), ListFile({{4, "Acker", ""}}));
  }

  // A package without a Parallels folder changes nothing.
  std::filesystem::remove_all(t / "pkg/RESOURCEN/Parallels");
  const auto before = test::TreeBytes(t / "host/RESOURCEN");
  Merge(true, TextureListKind::kGroundTextures);
  EXPECT_EQ(test::TreeBytes(t / "host/RESOURCEN"), before);
  EXPECT_TRUE(g_RunReport.failures().empty());
}

TEST_F(ParallelsMerge, NamesStayInsideTheParallelsFolders) {
  Package("Parallels/Texturen.txt", ListFile({{1, "sub\\Zaun", ""},
                                              {2, "..\\..\\..\\evil", ""},
                                              {3, "/tmp/evil", ""},
                                              {4, "C:\\evil", ""},
                                              {5, "a/../../evil", ""},
                                              {6, "gone\\Latten", ""},
                                              {7, "leer\\Nichts", ""}}));
  Package("Parallels/sub/Zaun.dds", "Z");
  Package("Parallels/leer/Nichts.dds", "");
  Package("evil.dds", "E");
  Merge(false);
  // A texture the package names and lacks is listed, and leaves no folder;
  // an empty one is left out, as any empty file, and leaves none either.
  EXPECT_EQ(FilesBelow("."), (Strings{"host/RESOURCEN/Parallels/Texturen.txt", "host/RESOURCEN/Parallels/sub/Zaun.dds",
                                      "pkg/RESOURCEN/Parallels/Texturen.txt", "pkg/RESOURCEN/Parallels/leer/Nichts.dds",
                                      "pkg/RESOURCEN/Parallels/sub/Zaun.dds", "pkg/RESOURCEN/evil.dds"}));
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Parallels/gone"));
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Parallels/leer"));
  ASSERT_EQ(g_RunReport.failures().size(), 5u);
  EXPECT_EQ(g_RunReport.failures().back().reason, "is not in the package");
  EXPECT_EQ(TextureList(HostPath("Parallels/Texturen.txt")).GetIds(), (std::vector<int32_t>{1, 6, 7}));
}

TEST_F(ParallelsMerge, ListsThatCannotBeReadAreFailuresAndChangeNothing) {
  // The host's: left alone, whether broken or a folder.
  Package("Parallels/Texturen.txt", ListFile({{1, "a", ""}}));
  Package("Parallels/a.dds", "A");
  const std::string broken = "Basis{ Textur{ id(1) name(x) }";
  Host("Parallels/Texturen.txt", broken);
  test::MakeFolders(t / "host/RESOURCEN/Parallels/Bodentexturen.txt");
  Package("Parallels/Bodentexturen.txt", ListFile({{1, "a", ""}}));

  Merge(false);
  Merge(false, TextureListKind::kGroundTextures);
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), broken);
  EXPECT_EQ(HostFiles(), (Strings{"Parallels/Texturen.txt"}));
  ASSERT_EQ(g_RunReport.failures().size(), 2u);
  EXPECT_EQ(g_RunReport.failures()[0].path, target + "\\Parallels\\Texturen.txt");

  // The package's, unbalanced: nothing copied for it.
  g_RunReport.Reset();
  std::filesystem::remove(t / "host/RESOURCEN/Parallels/Texturen.txt");
  Package("Parallels/Texturen.txt", broken);
  Merge(false);
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Parallels/a.dds"));
  EXPECT_EQ(g_RunReport.failures().size(), 1u);
#ifndef _WIN32
  // A host list that is a link leading nowhere is the user's, and the
  // summary says so in a sentence.
  g_RunReport.Reset();
  Package("Parallels/Texturen.txt", ListFile({{1, "a", ""}}));
  std::filesystem::create_symlink(t / "gone.txt", t / "host/RESOURCEN/Parallels/Texturen.txt");
  Merge(false);
  ASSERT_FALSE(g_RunReport.failures().empty());
  EXPECT_EQ(g_RunReport.failures().back().reason, "a link that leads nowhere; left as it was");
#endif
}

// Golden files: blocks go in on lines of their own, laid out as the host's
// neighbouring block; every byte of the host's list stays.
TEST_F(ParallelsMerge, NewBlocksTakeTheLayoutOfTheHostsList) {
  auto data = [](const std::string& name) { return test::ReadBytes(test::DataPath("texture_layout/" + name + ".txt")); };
  Package("Parallels/Texturen.txt", data("package"));
  for (const std::string host : {"hand_laid_out", "one_line", "new_list"}) {
    std::filesystem::remove(t / "host/RESOURCEN/Parallels/Texturen.txt");
    if (host != "new_list") Host("Parallels/Texturen.txt", data(host));
    Merge(false);
    EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), data(host + ".expected")) << host;
  }
  // A list's UTF-8 mark stays before it.
  Host("Parallels/Texturen.txt", "\xEF\xBB\xBF" + data("hand_laid_out"));
  Merge(false);
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), "\xEF\xBB\xBF" + data("hand_laid_out.expected"));
  // A list of CR line ends alone gets blocks with them.
  auto crOnly = [](std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at + 1, 1);
    return text;
  };
  Host("Parallels/Texturen.txt", crOnly(data("hand_laid_out")));
  Merge(false);
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), crOnly(data("hand_laid_out.expected")));
}

// A list that gets nothing is not written, nor counted; a host list that is
// no 8-bit texture list, or too big, is left byte for byte and reported.
TEST_F(ParallelsMerge, HostListsThatGetNothingOrAreNoTextureListsKeepTheirBytes) {
  Package("Parallels/Texturen.txt", ListFile({{1, "a", ""}}));
  Package("Parallels/a.dds", "A");
  const std::string laidOut = "Basis{\n  Textur{ id(1) name(a) }\n}\n";
  const std::string lists[] = {laidOut, test::Utf16(ListFile({{2, "b", ""}})), std::string("Basis{\0}", 8),
                               "Textur{ id(2) name(b) }"};
  for (const std::string& list : lists) {
    g_RunReport.Reset();
    Host("Parallels/Texturen.txt", list);
    Merge(false);
    EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), list);
    EXPECT_EQ(g_RunReport.listsMerged(), 0);
    EXPECT_EQ(g_RunReport.failures().size(), list == laidOut ? 0u : 1u) << list;
  }
  // Nothing to add to a missing list: none is made.
  std::filesystem::remove_all(t / "host/RESOURCEN/Parallels");
  Package("Parallels/Texturen.txt", ListFile({{1, "/abs", ""}}));
  Merge(false);
  EXPECT_TRUE(HostFiles().empty());

#ifndef _WIN32
  // Above the size limit, judged by the file's size before reading: sparse
  // files of 65 MB, neither read nor changed.
  Package("Parallels/Texturen.txt", ListFile({{1, "a", ""}}));
  for (const char* side : {"host", "pkg"}) {
    g_RunReport.Reset();
    const std::string path = t / (std::string(side) + "/RESOURCEN/Parallels/Texturen.txt");
    test::WriteBytes(path, "Basis{ }");
    std::filesystem::resize_file(path, (65u << 20));
    MergeParallels(false, TextureListKind::kTextures, RunPass::kWorking);
    EXPECT_EQ(std::filesystem::file_size(path), 65u << 20);
    ASSERT_EQ(g_RunReport.failures().size(), 1u);
    EXPECT_NE(g_RunReport.failures()[0].reason.find("larger than 64 MB"), std::string::npos);
  }
#endif
}

// Names Windows would change or cut, control characters and zero bytes are
// refused on every system: reported, nothing copied, the block not inserted;
// so is a block without an id the host reads. A block without a name is
// inserted with nothing to copy; a block of many ids goes in once.
TEST_F(ParallelsMerge, TextureNamesAreRefusedOrTakenAsEverySystemWouldTakeThem) {
  std::string list = "Basis{ Textur{";
  for (int id = 1; id <= 400; ++id) list += " id(" + std::to_string(id) + ")";
  list += " name(Gras) }\n Textur{ id(401) }\n Textur{ id(402) name() }";
  const std::string refused[] = {"CON", "nul.x", "Com1", "lpt9", "aux\\b", "sub.\\c", std::string("evil.exe\0", 9), "x\x01y"};
  int id = 500;
  for (const std::string& name : refused) list += "\n Textur{ id(" + std::to_string(id++) + ") name(" + name + ") }";
  // A zero byte anywhere in a block: the host's list would be one no later run takes.
  list += "\n Textur{ id(" + std::to_string(id) + ") name(Kies) r" + std::string(1, '\0') + "epeat_s() }";
  const Strings idless = {"Textur{ id(0) name(Kies) }", "Textur{ id(2147483648) }", "Textur{ name(Kies) }"};
  for (const std::string& block : idless) list += "\n " + block;
  Package("Parallels/Texturen.txt", list + "\n}\n");
  Package("Parallels/Gras.dds", "G");
  Package("Parallels/Kies.dds", "K");
  Merge(true);
  EXPECT_EQ(HostFiles(), (Strings{"Parallels/Gras.dds", "Parallels/Texturen.txt"}));
  EXPECT_EQ(g_RunReport.copied(), 1);
  const std::string written = HostBytes("Parallels/Texturen.txt");
  EXPECT_LT(written.size(), 2 * list.size()) << "its words once, one a line";
  size_t blocks = 0;
  for (size_t at = written.find("Textur{"); at != std::string::npos; at = written.find("Textur{", at + 1)) ++blocks;
  EXPECT_EQ(blocks, 3u);
  EXPECT_EQ(TextureList(HostPath("Parallels/Texturen.txt")).GetIds().size(), 402u);
  ASSERT_EQ(g_RunReport.failures().size(), idless.size() + std::size(refused) + 1);
  EXPECT_EQ(g_RunReport.failures().back().reason, "texture block holds a zero byte; not added");
  for (size_t k = 0; k < g_RunReport.failures().size(); ++k) {
    const RunFailure& f = g_RunReport.failures()[k];
    if (k < idless.size()) {
      EXPECT_EQ(f.path, source + "\\Parallels\\Texturen.txt " + idless[k]);
      EXPECT_EQ(f.reason, "texture block without an id from 1 to 2147483647; not added");
    } else {
      EXPECT_EQ(f.path.find(source + "\\Parallels\\Texturen.txt id(5"), 0u);
    }
  }
}

}  // namespace
}  // namespace zet
