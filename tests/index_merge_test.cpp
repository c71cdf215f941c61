#include "update/index_merge.h"

#include <gtest/gtest.h>

#include "update/run_report.h"
#include "update_fixture.h"

namespace zet {
namespace {

using test::Strings;

// An index file as the host's tools write it (blank around "="), or as a
// merge writes it (a tab before "=", a blank line at the end).
std::string IndexFile(const Strings& values, bool merged = false) {
  if (merged && values.empty()) return "";
  std::string s = "[TreeOrder]\r\n";
  for (size_t i = 0; i < values.size(); ++i)
    s += (i < 10 ? "File0" : "File") + std::to_string(i) + (merged ? "\t = \"" : " = \"") + values[i] + "\"\r\n";
  return merged ? s + "\r\n" : s;
}
std::string Written(const Strings& values) { return IndexFile(values, true); }

Strings Tree(ProfileDocument& doc) {
  TreeTable table;
  ReadTreeOrder(doc, table);
  Strings out;
  for (const TreeEntry& e : table) out.push_back(e.FullPath() + "@" + std::to_string(e.depth));
  return out;
}

class IndexMerge : public test::UpdateTest {
 protected:
  const std::string kFolder = "Categories/Rolling_stock/";

  // Both passes over the folder; the host's index file afterwards.
  std::string Merge(const Strings& host, const Strings& package) {
    Host(kFolder + "Index.ini", IndexFile(host));
    Package(kFolder + "Index.ini", IndexFile(package));
    return Run();
  }
  std::string Run() {
    const std::string folder = source + "\\Categories\\Rolling_stock";
    EXPECT_EQ(BothPasses([&](bool counting) { MergeIndexFile(folder, counting); }), 1);
    EXPECT_TRUE(view.stepped.empty()) << "the index merge never steps the bar";
    return HostBytes(kFolder + "Index.ini");
  }
};

TEST(ReadTreeOrder, NamedAndAnonymousLevels) {
  test::TempDir t;
  auto read = [&](const Strings& values) {
    test::WriteBytes(t / "Index.ini", IndexFile(values));
    ProfileDocument doc;
    doc.Load(test::ProgramPath(t, "Index.ini"));
    return Tree(doc);
  };
  EXPECT_EQ(read({"P", "CDIn", "Q", "CDOut", "R"}), (Strings{"P@0", "P|Q@1", "R@0"}));
  // A CDIn after no node opens a level without a name; its CDOut changes nothing.
  EXPECT_EQ(read({"CDIn", "A", "CDOut", "B", "CDIn", "CDIn", "C", "CDOut", "CDOut", "D"}),
            (Strings{"A@0", "B@0", "B|C@1", "D@0"}));
  EXPECT_EQ(read({"P", "CDIn", "Q", "CDIn", "CDIn", "X", "CDOut", "T", "CDOut", "CDOut", "R"}),
            (Strings{"P@0", "P|Q@1", "P|Q|X@2", "P|Q|T@2", "R@0"}));
  // Unbalanced: a close with no level open closes nothing.
  EXPECT_EQ(read({"CDOut", "A", "CDIn", "B"}), (Strings{"A@0", "A|B@1"}));
  // Markers are case-sensitive whole values; reading stops at an empty value.
  EXPECT_EQ(read({"cdin", "CDIn ", "X", "", "Y"}), (Strings{"cdin@0", "CDIn @0", "X@0"}));
  // A name holding the separator stays one name.
  EXPECT_EQ(read({"A|B", "CDIn", "C"}), (Strings{"A|B@0", "A|B|C@1"}));
  // A key given twice is read from its first entry, on every read.
  test::WriteBytes(t / "Index.ini", "[TreeOrder]\r\nFile00 = \"A\"\r\nFile01 = \"B\"\r\nFile00 = \"C\"\r\n");
  ProfileDocument twice;
  twice.Load(test::ProgramPath(t, "Index.ini"));
  EXPECT_EQ(Tree(twice), (Strings{"A@0", "B@0"}));
  EXPECT_EQ(Tree(twice), (Strings{"A@0", "B@0"}));
  Strings many;
  for (int i = 0; i < 120; ++i) many.push_back("N" + std::to_string(i));
  EXPECT_EQ(read(many).size(), 100u) << "File00 to File99 at most";
}

TEST_F(IndexMerge, WorkedExampleByteForByte) {
  EXPECT_EQ(Merge({"P", "CDIn", "Q", "CDOut", "R"}, {"P", "CDIn", "S", "CDOut"}),
            Written({"P", "CDIn", "Q", "S", "CDOut", "R"}));
  EXPECT_EQ(g_RunReport.listsMerged(), 1);
  EXPECT_TRUE(g_RunReport.failures().empty());
  // A second run changes nothing.
  const std::string once = HostBytes(kFolder + "Index.ini");
  EXPECT_EQ(Run(), once);
}

TEST_F(IndexMerge, ChildrenFollowTheirParentBeforeSiblingsThatExtendItsName) {
  // Siblings P and PX, Y below P: bytewise order of "P|Y" would put PX first
  // and make Y a child of PX.
  EXPECT_EQ(Merge({"P", "PX"}, {"P", "CDIn", "Y", "CDOut"}), Written({"P", "CDIn", "Y", "CDOut", "PX"}));
  EXPECT_EQ(Merge({"A-B", "A"}, {"A", "CDIn", "Z", "CDOut"}), Written({"A", "CDIn", "Z", "CDOut", "A-B"}));
}

TEST_F(IndexMerge, KeepsEveryHostEntryAndAddsEachPackageEntryOnce) {
  // Three levels and a package that adds R|S: two CDOut between T and R.
  EXPECT_EQ(Merge({"P", "CDIn", "Q", "CDIn", "T", "CDOut", "CDOut", "R"}, {"R", "CDIn", "S"}),
            Written({"P", "CDIn", "Q", "CDIn", "T", "CDOut", "CDOut", "R", "CDIn", "S", "CDOut"}));
  // Nothing new: the host's file keeps its bytes, its own order included.
  const Strings own = {"Z", "CDIn", "Y", "CDOut", "A"};
  EXPECT_EQ(Merge(own, {"A", "Z", "CDIn", "Y"}), IndexFile(own));
  // The host's last entry stays; the package's twice-listed path comes once;
  // X below P and X below R are two entries; names differing in case too.
  EXPECT_EQ(Merge({"P", "R", "Z"}, {"R", "CDIn", "X", "CDOut", "P", "CDIn", "X", "CDOut", "R", "p"}),
            Written({"P", "CDIn", "X", "CDOut", "R", "CDIn", "X", "CDOut", "Z", "p"}));
  // A list that ends nested closes every level.
  EXPECT_EQ(Merge({"A"}, {"A", "CDIn", "B", "CDIn", "C"}), Written({"A", "CDIn", "B", "CDIn", "C", "CDOut", "CDOut"}));
  // A name with the separator in it comes back whole.
  EXPECT_EQ(Merge({"A|B"}, {"A"}), Written({"A", "A|B"}));
  // What else a host's index file holds (another section, key or comment,
  // a key beyond a gap) writing the tree back would lose: such a file stays
  // as it is and is listed.
  for (const std::string& host : {"[Other]\r\nKeep = \"x\"\r\n" + IndexFile({"B"}), IndexFile({"B"}) + "Extra = 5\r\n",
                                  std::string("[TreeOrder]\r\nFile00 = \"B\"\r\nFile02 = \"C\"\r\n"),
                                  std::string("[TreeOrder]\r\n; mine\r\nFile00 = \"B\"\r\n"),
                                  // A level mark in other letter case; one name twice below one parent.
                                  IndexFile({"P", "cdin", "Q", "cdout"}),
                                  IndexFile({"Zeta", "CDIn", "P", "CDOut", "Zeta", "CDIn", "Q", "CDOut"})}) {
    g_RunReport.Reset();
    Host(kFolder + "Index.ini", host);
    EXPECT_EQ(Run(), host);
    ASSERT_EQ(g_RunReport.failures().size(), 1u) << host;
    EXPECT_EQ(g_RunReport.failures()[0].reason, "index file holds lines a merge would lose; left as it is");
  }
  // Comment lines ahead of the tree stay where they are.
  g_RunReport.Reset();
  Host(kFolder + "Index.ini", "; head\r\n" + IndexFile({"B"}));
  EXPECT_EQ(Run(), "; head\r\n" + Written({"A", "B"}));
  // A stray close leaves the entries after it at the top, and a second run
  // finds the package's entry there.
  EXPECT_EQ(Merge({"A", "CDOut", "B"}, {"N"}), Written({"A", "B", "N"}));
  EXPECT_EQ(Run(), Written({"A", "B", "N"}));
}

TEST_F(IndexMerge, EmptyTreesMissingFilesAndAnyLetterCase) {
  // A host without the file gets the package's, its folder made.
  const std::string package = IndexFile({"A", "CDIn", "B", "CDOut"});
  Package(kFolder + "Index.ini", package);
  EXPECT_EQ(Run(), package);
  EXPECT_EQ(g_RunReport.copied(), 1);
  // An empty host tree receives all of the package's.
  Host(kFolder + "Index.ini", "[TreeOrder]\r\n");
  EXPECT_EQ(Run(), Written({"A", "CDIn", "B", "CDOut"}));
  // Both empty: nothing to write.
  EXPECT_EQ(Merge({}, {}), IndexFile({}));
  // An empty host file is no unreadable one.
  Host(kFolder + "Index.ini", "");
  Package(kFolder + "Index.ini", IndexFile({"A"}));
  EXPECT_EQ(Run(), Written({"A"}));
  EXPECT_TRUE(g_RunReport.failures().empty());

  // No package index: nothing changes, nothing is reported.
  std::filesystem::remove(t / ("pkg/RESOURCEN/" + kFolder + "Index.ini"));
  EXPECT_EQ(Run(), Written({"A"}));
  EXPECT_TRUE(g_RunReport.failures().empty());

  // The host's file in other letters is the one merged; nothing made beside it.
  std::filesystem::remove_all(t / "host/RESOURCEN/Categories");
  Host("CATEGORIES/ROLLING_STOCK/INDEX.INI", IndexFile({"P"}));
  Package(kFolder + "Index.ini", IndexFile({"Q"}));
  Run();
  EXPECT_EQ(HostFiles(), (Strings{"CATEGORIES/ROLLING_STOCK/INDEX.INI"}));
  EXPECT_EQ(HostBytes("CATEGORIES/ROLLING_STOCK/INDEX.INI"), Written({"P", "Q"}));
}

TEST_F(IndexMerge, ListsOfNinetyNineKeysAreWrittenLongerOnesNot) {
  Strings host, package;
  for (int i = 0; i < 98; ++i) host.push_back("H" + std::to_string(100 + i));
  package = {"Z1"};
  EXPECT_EQ(Merge(host, package), Written([&] {
              Strings all = host;
              all.push_back("Z1");
              return all;
            }()));
  EXPECT_TRUE(g_RunReport.failures().empty());

  // One more key: the host's file stays as it was, and the run says so.
  const std::string before = IndexFile(host);
  EXPECT_EQ(Merge(host, {"Z1", "Z2"}), before);
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].path, HostPath(kFolder + "Index.ini"));

  // A nested end needs its CDOut keys too: 97 names, CDIn and one CDOut fit...
  host.resize(96);
  g_RunReport.Reset();
  EXPECT_NE(Merge(host, {host[95], "CDIn", "C"}), IndexFile(host));
  // ...a second level does not.
  EXPECT_EQ(Merge(host, {host[95], "CDIn", "C", "CDIn", "D"}), IndexFile(host));
  EXPECT_EQ(g_RunReport.failures().size(), 1u);

  // A host list of all hundred keys takes nothing more, and says so; one
  // the package adds nothing to stays without a word.
  host.clear();
  for (int i = 0; i < 100; ++i) host.push_back("H" + std::to_string(100 + i));
  g_RunReport.Reset();
  EXPECT_EQ(Merge(host, {"H100", "H199"}), IndexFile(host));
  EXPECT_TRUE(g_RunReport.failures().empty());
  EXPECT_EQ(Merge(host, {"Z1"}), IndexFile(host));
  EXPECT_EQ(g_RunReport.failures().size(), 1u);
}

TEST_F(IndexMerge, HostFilesThatCannotBeReadAreLeftAlone) {
  Package(kFolder + "Index.ini", IndexFile({"Q"}));
  // Not 8-bit text: UTF-16 with its mark, from which no section can be read.
  const std::string wide = test::Utf16(IndexFile({"P"}));
  Host(kFolder + "Index.ini", wide);
  EXPECT_EQ(Run(), wide);
  // Entries that are not texts would be rewritten as their raw bytes.
  const std::string numbers = "[TreeOrder]\r\nFile00 = \"P\"\r\nFile01 = 2010\r\n";
  Host(kFolder + "Index.ini", numbers);
  EXPECT_EQ(Run(), numbers);
  const std::string bare = "[TreeOrder]\r\nFile00 = Diesel\r\n";
  Host(kFolder + "Index.ini", bare);
  EXPECT_EQ(Run(), bare);
  // A tree in other letter case, which Windows reads: written without it,
  // the host's entries would be lost.
  const std::string lower = "[treeorder]\r\nfile00 = \"P\"\r\n";
  Host(kFolder + "Index.ini", lower);
  EXPECT_EQ(Run(), lower);
  ASSERT_EQ(g_RunReport.failures().size(), 4u);
  for (const RunFailure& f : g_RunReport.failures()) {
    EXPECT_EQ(f.path, HostPath(kFolder + "Index.ini"));
    EXPECT_NE(f.reason.find("left as it is"), std::string::npos);
  }

  // A package's tree with a level mark in other letter case (read as a
  // name) is neither merged nor copied: the host would get a file no later
  // merge writes back.
  for (const std::string& package : {IndexFile({"P", "cdin", "Q", "CDOut"}), IndexFile({"P", "CDIn", "Q", "cdout"})}) {
    for (bool hostHasIt : {true, false}) {
      g_RunReport.Reset();
      std::filesystem::remove(t / ("host/RESOURCEN/" + kFolder + "Index.ini"));
      if (hostHasIt) Host(kFolder + "Index.ini", IndexFile({"H"}));
      Package(kFolder + "Index.ini", package);
      Run();
      EXPECT_EQ(test::Exists(t / ("host/RESOURCEN/" + kFolder + "Index.ini")), hostHasIt);
      ASSERT_EQ(g_RunReport.failures().size(), 1u);
      EXPECT_EQ(g_RunReport.failures()[0].reason, "index file holds lines a merge would lose; not merged");
    }
  }
}

}  // namespace
}  // namespace zet
