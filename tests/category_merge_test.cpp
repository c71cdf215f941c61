#include "update/category_merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "update/run_report.h"
#include "update/user_category_merge.h"
#include "update_fixture.h"

namespace zet {
namespace {

using test::Lines;
using test::Strings;

const std::string kHeader = "[General]\r\nName = \"Locomotives\"\r\n";
const std::string kWrittenHeader = "[General]\r\nName\t = \"Locomotives\"\r\n\r\n";

class CategoryMerge : public test::UpdateTest {
 protected:
  const std::string kFile = "Categories/Rolling_stock/Loks.inf";

  // Both passes of the category merge; the host's file afterwards.
  std::string Merge(const std::string& host, const std::string& package) {
    Host(kFile, host);
    Package(kFile, package);
    return Run();
  }
  std::string Run() {
    counted = BothPasses(MergeCategories);
    return HostBytes(kFile);
  }
  // The name a package section gets below a host whose last section is last.
  std::string Added(const std::string& last, const std::string& filter) {
    return test::LastSectionName(Merge(kHeader + Lines({"[" + last + "]", "FilterString = \"host\""}),
                                       kHeader + Lines({"[New]", filter})));
  }

  int counted = 0;
};

TEST_F(CategoryMerge, EntriesFoundByTextNumberOrSectionAreAddedOnce) {
  const std::string host = kHeader + Lines({"[Diesel001]", "FilterString = \"V100\"", "ScanPath1 = \"Modelle\\Loks\""});
  const std::string package = kHeader + Lines({"[Diesel001]", "FilterString = \"V100\"", "ScanPath1 = \"Elsewhere\"",
                                               "[Diesel002]", "FilterString = \"BR218\"", "ScanPath1 = \"Modelle\\BR218\"",
                                               "Icon = \"br218.bmp\"", "[Elektro001]", "FilterValue = 7",
                                               "[Nothing]", "FilterValue = 0", "FilterString = \"\""});
  const std::string merged = Merge(host, package);
  EXPECT_EQ(merged, kWrittenHeader + Lines({"[Diesel001]", "FilterString\t = \"V100\"", "ScanPath1\t = \"Modelle\\Loks\"",
                                            "", "[Diesel002]", "FilterString\t = \"BR218\"",
                                            "ScanPath1\t = \"Modelle\\BR218\"", "Icon\t = \"br218.bmp\"", "",
                                            "[Diesel003]", "FilterValue\t = 7", ""}));
  EXPECT_TRUE(g_RunReport.failures().empty());
  EXPECT_EQ(g_RunReport.listsMerged(), 1);
  // One unit for the file, one for each folder's index merge; one step.
  EXPECT_EQ(counted, 1 + 10);
  EXPECT_EQ(view.stepped, Strings{HostPath("Categories\\Rolling_stock\\Loks.inf")});
  // A second run changes nothing.
  EXPECT_EQ(Run(), merged);
}

TEST_F(CategoryMerge, BothNumberingsOfAddedSections) {
  // Three digits for entries found by text or number.
  EXPECT_EQ(Added("Shunting007", "FilterString = \"x\""), "Shunting008");
  EXPECT_EQ(Added("Shunting_05", "FilterString = \"x\""), "Shunting001");
  EXPECT_EQ(Added("Shunting_05", "FilterValue = 3"), "Shunting001");
  EXPECT_EQ(Added("Loks999", "FilterString = \"x\""), "Loks1000");
  // Two or three digits for entries found by "FilterSection".
  EXPECT_EQ(Added("Shunting_05", "FilterSection = \"x\""), "Shunting_06");
  EXPECT_EQ(Added("Shunting007", "FilterSection = \"x\""), "Shunting008");
  EXPECT_EQ(Added("Shunting_99", "FilterSection = \"x\""), "Shunting_100");
  // Short names: the number is what there is.
  EXPECT_EQ(Added("A", "FilterString = \"x\""), "001");
  EXPECT_EQ(Added("12", "FilterString = \"x\""), "013");
  EXPECT_EQ(Added("A1", "FilterSection = \"x\""), "001") << "added, not skipped";
}

TEST_F(CategoryMerge, ScanFoldersGoToTheLowestFreeKey) {
  const std::string host = kHeader + Lines({"[Loks_01]", "FilterSection = \"Loks\"", "ScanPath1 = \"Modelle\\Loks\"",
                                            "ScanPath3 = \"Modelle\\Alt\"", "Other = 5"});
  const std::string package =
      kHeader + Lines({"[Anything_07]", "FilterSection = \"Loks\"", "FilterString = \"ignored\"",
                       "ScanPath1 = \"MODELLE\\LOKS\"", "ScanPath2 = \"Modelle\\BR218\"", "ScanPath4 = \"Modelle\\br218\"",
                       "ScanPath5 = \"Modelle\\V200\"", "Other = 9"});
  EXPECT_EQ(Merge(host, package),
            kWrittenHeader + Lines({"[Loks_01]", "FilterSection\t = \"Loks\"", "ScanPath1\t = \"Modelle\\Loks\"",
                                    "ScanPath3\t = \"Modelle\\Alt\"", "Other\t = 5", "ScanPath2\t = \"Modelle\\BR218\"",
                                    "ScanPath4\t = \"Modelle\\V200\"", ""}));

  // Nine taken: the new folder is dropped, and the run says so.
  Strings nine = {"[Loks_01]", "FilterSection = \"Loks\""};
  for (int i = 1; i <= 9; ++i) nine.push_back("ScanPath" + std::to_string(i) + " = \"F" + std::to_string(i) + "\"");
  g_RunReport.Reset();
  const std::string full = Merge(kHeader + Lines(nine), kHeader + Lines({"[L]", "FilterSection = \"Loks\"",
                                                                         "ScanPath1 = \"f9\"", "ScanPath2 = \"New\""}));
  EXPECT_EQ(full.find("New"), std::string::npos);
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_NE(g_RunReport.failures()[0].path.find("[Loks_01] New"), std::string::npos) << g_RunReport.failures()[0].path;

  // A package with two entries of one "FilterSection", taken whole by a
  // host that had no entries, is taken as it is by the run after.
  const std::string twice = kHeader + Lines({"[A]", "FilterSection = \"Hp\"", "ScanPath1 = \"a\"", "[B]",
                                             "FilterSection = \"Hp\"", "ScanPath1 = \"b\""});
  const std::string taken = Merge("; mine\r\n", twice);
  EXPECT_NE(taken.find("[B]"), std::string::npos) << taken;
  EXPECT_EQ(Run(), taken);

#ifndef _WIN32
  // Letters beyond A to Z fold too, in the code page or in UTF-8.
  for (const char* upper : {"MODELLE\\GR\xDCN", "MODELLE\\GR\xC3\x9CN"}) {
    const std::string lower = kHeader + Lines({"[L]", "FilterSection = \"Loks\"", "ScanPath1 = \"Modelle\\Gr\xFCn\""});
    EXPECT_EQ(Merge(lower, kHeader + Lines({"[L]", "FilterSection = \"Loks\"", std::string("ScanPath1 = \"") + upper + "\""})),
              lower);
  }
#endif
}

TEST_F(CategoryMerge, WhatAddedSectionsBecome) {
  const std::string a001 = kHeader + Lines({"[A001]", "FilterString = \"a\""});
  const std::string a001Written = kWrittenHeader + Lines({"[A001]", "FilterString\t = \"a\"", ""});
  struct Case {
    const char* what;
    std::string host, package, expected;
  };
  for (const Case& c : std::vector<Case>{
           {"the host's last section counts on to a name it holds already (in any letter case, as Windows "
            "finds sections), never writing into it",
            kHeader + Lines({"[LOKS002]", "FilterString = \"old\"", "[Loks001]", "FilterString = \"one\""}),
            kHeader + Lines({"[X]", "FilterString = \"new\""}),
            kWrittenHeader + Lines({"[LOKS002]", "FilterString\t = \"old\"", "", "[Loks001]", "FilterString\t = \"one\"",
                                    "", "[Loks003]", "FilterString\t = \"new\"", ""})},
           {"the package's first section is never merged, even with a filter key of its own", a001,
            Lines({"[Head]", "FilterString = \"head\"", "[B]", "FilterString = \"b\""}),
            a001Written + Lines({"[A002]", "FilterString\t = \"b\"", ""})},
           {"a comment line first is the first node: the first section is merged", a001,
            Lines({"; package", "[Head]", "FilterString = \"head\""}),
            a001Written + Lines({"[A002]", "FilterString\t = \"head\"", ""})},
           {"every entry is kept whole, with its own type and all its elements", a001,
            kHeader + Lines({"[B]", "; what it is", "Bare = words", "FilterString = \"b\"", "Ints = 1,-2,3",
                             "Hex = 0x1F,0x10000", "Floats = 1.5,2.25", "Flags = Y,N,y", "Raw = #00ff10",
                             "Big = 123456789"}),
            a001Written + Lines({"[A002]", "FilterString\t = \"b\"", "Ints\t = 1,-2,3", "Hex\t = 0x001f,0x10000",
                                 "Floats\t = 1.500,2.250", "Flags\t = Y,N,Y", "Raw\t = #00ff10", "Big\t = 123456789",
                                 ""})},
           {"of a key given twice the first, which Windows reads and a later run compares", a001,
            kHeader + Lines({"[B]", "FilterSection = \"n\"", "ScanPath1 = \"A\"", "ScanPath1 = \"B\""}),
            a001Written + Lines({"[A002]", "FilterSection\t = \"n\"", "ScanPath1\t = \"A\"", ""})},
           // 512 shares no byte pattern with 256 as a number; 257 is the host's 0x101.
           {"FilterValue compares as a number",
            kHeader + Lines({"[V001]", "FilterValue = 256", "[V002]", "FilterValue = 0x101"}),
            kHeader + Lines({"[A]", "FilterValue = 512", "[B]", "FilterValue = 257", "[C]", "FilterValue = 256"}),
            kWrittenHeader + Lines({"[V001]", "FilterValue\t = 256", "", "[V002]", "FilterValue\t = 0x0101", "",
                                    "[V003]", "FilterValue\t = 512", ""})},
       }) {
    EXPECT_EQ(Merge(c.host, c.package), c.expected) << c.what;
  }
  EXPECT_TRUE(g_RunReport.failures().empty());
}

TEST_F(CategoryMerge, WhatTheHostLacksOrCannotUse) {
  const std::string package = kHeader + Lines({"[B]", "FilterString = \"b\""});
  // No host file: a copy, the folder made. A second run finds its own copy
  // and changes nothing, also where the package's entries would merge into
  // each other.
  Package(kFile, package);
  EXPECT_EQ(Run(), package);
  const std::string twice = kHeader + Lines({"[A001]", "FilterSection = \"X\"", "ScanPath1 = \"Sounds\"", "[A002]",
                                             "FilterSection = \"X\"", "ScanPath1 = \"Modelle\\Neu\""});
  Package(kFile, twice);
  std::filesystem::remove_all(std::filesystem::path(t / "host/RESOURCEN/Categories"));
  EXPECT_EQ(Run(), twice);
  EXPECT_EQ(Run(), twice);
  EXPECT_EQ(g_RunReport.listsMerged(), 0);
  // A host file of its header alone, or of one entry, keeps it; the
  // package's entries keep their names. One of no bytes takes the
  // package's file as it is.
  const std::string bWritten = Lines({"[B]", "FilterString\t = \"b\"", ""});
  EXPECT_EQ(Merge("[General]\r\nName = \"Mine\"\r\n", package), Lines({"[General]", "Name\t = \"Mine\"", ""}) + bWritten);
  EXPECT_EQ(Merge("[A]\r\nFilterString = \"a\"\r\n", package), Lines({"[A]", "FilterString\t = \"a\"", ""}) + bWritten);
  EXPECT_EQ(Merge("[Goods001]\r\nFilterString = \"a\"\r\n", kHeader + "[Goods001]\r\nFilterString = \"b\"\r\n"),
            Lines({"[Goods001]", "FilterString\t = \"a\"", "", "[Goods002]", "FilterString\t = \"b\"", ""}));
  g_RunReport.Reset();
  EXPECT_EQ(Merge("", package), package);
  EXPECT_EQ(g_RunReport.listsMerged(), 1) << "a merge into the host's file, not a copy over it";
  EXPECT_EQ(g_RunReport.copied(), 0);
  // A package's file of comments alone brings nothing to replace it with.
  EXPECT_EQ(Merge("", "; only a comment\r\n"), "");
  EXPECT_TRUE(g_RunReport.failures().empty());

  // A host file that cannot be read is left alone and reported.
  const std::string wide = test::Utf16(kHeader + Lines({"[A]", "FilterString = \"a\""}));
  EXPECT_EQ(Merge(wide, package), wide);
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].path, HostPath("Categories\\Rolling_stock\\Loks.inf"));
  // So is one holding a line the reader would drop or cut, which writing
  // the file back would lose.
  for (const std::string& line : {std::string("[C"), std::string("[C] alt"), std::string("Caption = \"x\" (alt)"),
                                  std::string("List = \"a\",\"b\""), std::string("Caption"), std::string("= \"x\""),
                                  std::string("Path = \"a\0b\"", 12), "Caption = \"" + std::string(1100, 'x') + "\"",
                                  // Values the writer would give back changed.
                                  std::string("Power = 1840.5678"), std::string("Mass = 1e3"),
                                  std::string("Big = 3000000000"), std::string("Odd = 12abc"),
                                  std::string("List = 1,,2"), std::string("Flag = no way"), std::string("Raw = #abc")}) {
    g_RunReport.Reset();
    const std::string host = kHeader + Lines({"[A]", "FilterString = \"a\"", line, "ScanPath1 = \"A\""});
    EXPECT_EQ(Merge(host, package), host) << line;
    ASSERT_EQ(g_RunReport.failures().size(), 1u) << line;
    EXPECT_EQ(g_RunReport.failures()[0].reason, "category file holds lines a merge would lose; left as it is");
  }
  // Where the package adds nothing, such a file is not written and nothing
  // is said: a second run of the package ends without a failure.
  g_RunReport.Reset();
  const std::string lossy = kHeader + Lines({"[A]", "FilterString = \"a\"", "Power = 1840.5678"});
  EXPECT_EQ(Merge(lossy, kHeader + Lines({"[B]", "FilterString = \"a\""})), lossy);
  EXPECT_TRUE(g_RunReport.failures().empty());
  // So is one naming a key the merge looks up in other letter case, which
  // Windows reads as that key: the merge would add the entry again.
  for (const char* line : {"filterstring = \"b\"", "Scanpath1 = \"x\""}) {
    g_RunReport.Reset();
    const std::string host = kHeader + Lines({"[A]", line});
    EXPECT_EQ(Merge(host, package), host) << line;
    ASSERT_EQ(g_RunReport.failures().size(), 1u) << line;
    EXPECT_EQ(g_RunReport.failures()[0].reason,
              "category file names a section or key in other letter case than the merge reads it; left as it is");
  }
  const std::string stray = "stray\r\n" + kHeader + Lines({"[A]", "FilterString = \"a\""});
  EXPECT_EQ(Merge(stray, package), stray);
  // A package line that the writer's layout would make longer than a reader
  // takes: the host's file stays as it is, and can be merged into later.
  g_RunReport.Reset();
  const std::string host = kHeader + Lines({"[A]", "FilterString = \"a\""});
  EXPECT_EQ(Merge(host, kHeader + Lines({"[B]", "FilterString = \"b\"", "Caption=\"" + std::string(1013, 'x') + "\""})),
            host);
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].reason, "merged, it would hold lines longer than a reader takes; left as it is");
  // Comments after a header or a text are taken: such a file is merged.
  g_RunReport.Reset();
  const std::string commented = kHeader + Lines({"[A] ; old", "FilterString = \"a\" ; kept", "Empty =",
                                                  "Color = 0x00ABCDEF", "Power = 1840.5, -2 ; kW", "Tilt = +5",
                                                  "Flags = Y,n", "Note = abc def"});
  EXPECT_NE(Merge(commented, package).find("FilterString\t = \"b\""), std::string::npos);
  EXPECT_TRUE(g_RunReport.failures().empty());
  // So is a folder of the file's name.
  g_RunReport.Reset();
  std::filesystem::remove(t / ("host/RESOURCEN/" + kFile));
  test::MakeFolders(t / ("host/RESOURCEN/" + kFile));
  Run();
  EXPECT_EQ(g_RunReport.failures().size(), 1u);
}

// Host catalogue files of comment lines alone are empty documents, merged
// into with their comment lines kept; a host file's UTF-8 mark stays; a file
// above the size limit is neither read nor changed.
// A package's file holding lines the merge would change or drop is neither
// merged nor copied: its entries would come otherwise than it has them, and
// a copy would be a host file no later merge takes.
TEST_F(CategoryMerge, APackageFileTheMergeCannotTakeWholeIsListed) {
  const std::string host = kHeader + Lines({"[A]", "FilterString = \"a\""});
  for (const std::string& line : {std::string("Speed = 4294967295"), std::string("Mass = 1e3"),
                                  std::string("Path = \"a\0b\"", 12), std::string("filterstring = \"c\"")}) {
    for (bool hostHasIt : {true, false}) {
      g_RunReport.Reset();
      const std::string package = kHeader + Lines({"[B]", "FilterString = \"b\"", line});
      if (hostHasIt) {
        EXPECT_EQ(Merge(host, package), host) << line;
      } else {
        std::filesystem::remove(t / ("host/RESOURCEN/" + kFile));
        Package(kFile, package);
        Run();
        EXPECT_FALSE(test::Exists(t / ("host/RESOURCEN/" + kFile))) << line;
      }
      ASSERT_EQ(g_RunReport.failures().size(), 1u) << line;
      EXPECT_EQ(g_RunReport.failures()[0].path, source + "\\Categories\\Rolling_stock\\Loks.inf");
      EXPECT_NE(g_RunReport.failures()[0].reason.find("; not merged"), std::string::npos) << line;
    }
  }
}

TEST_F(CategoryMerge, TheHostsCommentsMarkAndSizeLimit) {
  const std::string comments = "; kept\r\n;\r\n";
  struct Case {
    std::string file, package, expected;
  } cases[] = {
      {kFile, kHeader + Lines({"[B]", "FilterString = \"b\""}),
       comments + kWrittenHeader + "[B]\r\nFilterString\t = \"b\"\r\n\r\n"},
      {"Categories/Rolling_stock/Index.ini", "[TreeOrder]\r\nFile00 = \"P\"\r\n",
       comments + "[TreeOrder]\r\nFile00\t = \"P\"\r\n\r\n"},
      {"Categories/User.ini", "[User_001_Bridges]\r\nName = \"b\"\r\n",
       comments + "[User_001_Bridges]\r\nName\t = \"b\"\r\n\r\n"},
  };
  for (const Case& c : cases) {
    for (const std::string& mark : {std::string(), std::string("\xEF\xBB\xBF")}) {
      Host(c.file, mark + comments);
      Package(c.file, c.package);
      BothPasses(MergeCategories);
      MergeUserCategories();
      EXPECT_EQ(HostBytes(c.file), mark + c.expected) << c.file;
    }
  }
  EXPECT_TRUE(g_RunReport.failures().empty());
  // A package's file of comments alone adds nothing, run after run.
  Host(kFile, comments);
  Package(kFile, "; theirs\r\n");
  BothPasses(MergeCategories);
  EXPECT_EQ(HostBytes(kFile), comments);
  // The mark of an index file that gets entries.
  Host(cases[1].file, "\xEF\xBB\xBF[TreeOrder]\r\nFile00 = \"Q\"\r\n");
  BothPasses(MergeCategories);
  EXPECT_EQ(HostBytes(cases[1].file), "\xEF\xBB\xBF[TreeOrder]\r\nFile00\t = \"P\"\r\nFile01\t = \"Q\"\r\n\r\n");

#ifndef _WIN32
  Package(kFile, cases[0].package);
  for (const char* side : {"host/RESOURCEN/", "pkg/RESOURCEN/"}) {
    g_RunReport.Reset();
    const std::string path = t / (side + kFile);
    test::WriteBytes(path, kHeader);
    std::filesystem::resize_file(path, 65u << 20);
    MergeInfFile(source + "\\Categories\\Rolling_stock\\Loks.inf", HostPath("Categories\\Rolling_stock\\Loks.inf"));
    EXPECT_EQ(std::filesystem::file_size(path), 65u << 20);
    ASSERT_EQ(g_RunReport.failures().size(), 1u);
    EXPECT_NE(g_RunReport.failures()[0].reason.find("larger than 64 MB"), std::string::npos);
  }
  // Nor copied where the host has none: no later run would merge into it.
  std::filesystem::remove(t / ("host/RESOURCEN/" + kFile));
  MergeInfFile(source + "\\Categories\\Rolling_stock\\Loks.inf", HostPath("Categories\\Rolling_stock\\Loks.inf"));
  EXPECT_FALSE(test::Exists(t / ("host/RESOURCEN/" + kFile)));
  EXPECT_EQ(g_RunReport.failures().back().reason, "category file is larger than 64 MB; not merged");
#endif
}

TEST_F(CategoryMerge, CountsNonEmptyInfFilesOfEveryFolderInAnyCase) {
  Package("Categories/Rolling_stock/Loks.inf", kHeader + Lines({"[B]", "FilterString = \"b\""}));
  Package("Categories/Rolling_stock/Wagen.INF", kHeader + Lines({"[W]", "FilterString = \"w\""}));
  Package("Categories/Rolling_stock/Empty.inf", "");
  Package("Categories/Rolling_stock/Folder.inf/x.inf", "x");
  Package("Categories/Rolling_stock/Notes.info", "x");
  Package("Categories/Signals/Hp.inf", kHeader + Lines({"[H]", "FilterString = \"h\""}));
  Host("CATEGORIES/ROLLING_STOCK/LOKS.INF", kHeader + Lines({"[A001]", "FilterString = \"a\""}));

  Run();
  EXPECT_EQ(counted, 3 + 10);
  EXPECT_EQ(view.stepped.size(), 3u);
  EXPECT_EQ(HostFiles(), (Strings{"CATEGORIES/ROLLING_STOCK/LOKS.INF", "CATEGORIES/ROLLING_STOCK/Wagen.INF",
                                  "CATEGORIES/Signals/Hp.inf"}));
  EXPECT_EQ(HostBytes("CATEGORIES/ROLLING_STOCK/LOKS.INF"),
            kWrittenHeader + Lines({"[A001]", "FilterString\t = \"a\"", "", "[A002]", "FilterString\t = \"b\"", ""}));
  // The folders the package lacks are no failures; a folder named like a
  // category file is said to be skipped.
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].reason, "a folder, not a category file; skipped");
  g_RunReport.Reset();
  std::filesystem::remove_all(t / "pkg/RESOURCEN/Categories/Rolling_stock/Folder.inf");
#ifndef _WIN32
  // One name in two letter cases: the first in the listing's order is merged.
  // The run looks a category folder up by its name and takes one; another
  // of its names is listed.
  Package("Categories/Signals/hp.inf", kHeader + Lines({"[X]", "FilterString = \"x\""}));
  Package("Categories/SIGNALS/Ks.inf", kHeader + Lines({"[K]", "FilterString = \"k\""}));
  Run();
  EXPECT_EQ(HostBytes("CATEGORIES/Signals/Hp.inf").find("\"x\""), std::string::npos);
  Strings failed;
  for (const RunFailure& f : g_RunReport.failures()) failed.push_back(f.path.substr(source.size()) + ": " + f.reason);
  std::sort(failed.begin(), failed.end());
  EXPECT_EQ(failed, (Strings{"\\Categories\\SIGNALS: the package has this name in other letter case too; not merged",
                             "\\Categories\\Signals\\hp.inf: the package has this name in other letter case too; not merged"}));

  // A category folder that is a link, out of the package or into it, is
  // not followed: nothing of the folder it names is read or made.
  std::filesystem::remove_all(t / "pkg/RESOURCEN/Categories/SIGNALS");
  std::filesystem::remove(t / "pkg/RESOURCEN/Categories/Signals/hp.inf");
  test::WriteBytes(t / "outside/Private.inf", kHeader + Lines({"[P]", "FilterString = \"p\""}));
  std::filesystem::create_directory_symlink(t / "outside", t / "pkg/RESOURCEN/Categories/Goods");
  std::filesystem::create_directory_symlink("Signals", t / "pkg/RESOURCEN/Categories/Filters");
  g_RunReport.Reset();
  const Strings before = HostFiles();
  Run();
  EXPECT_EQ(HostFiles(), before);
  failed.clear();
  for (const RunFailure& f : g_RunReport.failures()) failed.push_back(f.path.substr(source.size()) + ": " + f.reason);
  EXPECT_EQ(failed, (Strings{"\\Categories\\Filters: a link to a folder; not followed",
                             "\\Categories\\Goods: a link to a folder; not followed"}));
#endif
}

// The sample's category lists of two kinds (the package adds a list the
// host lacks, the host keeps one the package lacks), and the host's as a
// merge leaves them: merged lists as the golden files show them, the others
// with the bytes they came with.
TEST_F(CategoryMerge, GoldenFolder) {
  namespace fs = std::filesystem;
  const fs::path data(test::DataPath("catalogue"));
  const std::string sample = test::BuildTreePath(std::string(ZET_SOURCE_DIR) + "/examples/");
  auto sampleBytes = [&](const std::string& tree, const std::string& file) {
    return test::ReadBytes(sample + tree + "/RESOURCEN/Categories/" + file);
  };
  auto take = [&](const std::string& tree, const std::string& to, std::initializer_list<std::string> files) {
    for (const std::string& file : files) test::WriteBytes(t / (to + "/Categories/" + file), sampleBytes(tree, file));
  };
  take("host", "host/RESOURCEN", {"Rolling_stock/Index.ini", "Rolling_stock/Loks.inf", "Rolling_stock/Wagen.inf",
                                  "Signals/Index.ini", "Signals/Hp.inf"});
  take("package", "pkg/RESOURCEN", {"Rolling_stock/Index.ini", "Rolling_stock/Loks.inf", "Rolling_stock/Wagen.inf",
                                    "Rolling_stock/Triebwagen.inf", "Signals/Hp.inf"});
  BothPasses(MergeCategories);
  EXPECT_TRUE(g_RunReport.failures().empty());
  for (auto it = fs::recursive_directory_iterator(data / "expected"); it != fs::recursive_directory_iterator(); ++it) {
    if (!it->is_regular_file()) continue;
    const std::string relative = fs::relative(it->path(), data / "expected").generic_string();
    EXPECT_EQ(HostBytes(relative), test::ReadBytes(it->path().string())) << relative;
  }
  // A list the host lacks comes whole; one the package lacks or holds alike stays.
  const std::pair<std::string, std::string> whole[] = {
      {"package", "Rolling_stock/Triebwagen.inf"}, {"host", "Signals/Index.ini"}, {"host", "Signals/Hp.inf"}};
  for (const auto& [tree, file] : whole) EXPECT_EQ(HostBytes("Categories/" + file), sampleBytes(tree, file)) << file;
}

}  // namespace
}  // namespace zet
