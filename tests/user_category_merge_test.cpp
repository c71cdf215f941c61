#include "update/user_category_merge.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "update/run_report.h"
#include "update_fixture.h"

namespace zet {
namespace {

using test::Lines;
using test::Strings;

class UserCategoryMerge : public test::UpdateTest {
 protected:
  const std::string kFile = "Categories/User.ini";

  std::string Merge(const std::string& host, const std::string& package) {
    Host(kFile, host);
    Package(kFile, package);
    return Run();
  }
  std::string Run() {
    g_ProgressCount = 0;
    MergeUserCategories();
    EXPECT_EQ(g_ProgressCount, 0) << "counts nothing";
    return HostBytes(kFile);
  }
};

TEST_F(UserCategoryMerge, AppendsUnderNumbersAfterTheHostsLast) {
  const std::string host = Lines({"[User_003_Stations]", "Path1 = \"Modelle\\Bahnhof.mdl\"", "[User_007_Bridges]",
                                  "Path1 = \"Modelle\\Bruecke.mdl\""});
  const std::string package =
      Lines({"[User_001_Tunnels]", "Path1 = \"Modelle\\Tunnel.mdl\"", "Count = 2", "Path2 = \"Modelle\\Portal.mdl\"",
             "[User_002_Numbers only]", "Count = 3", "[User_002_Quays]", "Path1 = \"Modelle\\Kai.mdl\""});
  const std::string merged = Merge(host, package);
  EXPECT_EQ(merged, Lines({"[User_003_Stations]", "Path1\t = \"Modelle\\Bahnhof.mdl\"", "", "[User_007_Bridges]",
                           "Path1\t = \"Modelle\\Bruecke.mdl\"", "", "[User_008_Tunnels]",
                           "Path1\t = \"Modelle\\Tunnel.mdl\"", "Path2\t = \"Modelle\\Portal.mdl\"", "",
                           "[User_009_Quays]", "Path1\t = \"Modelle\\Kai.mdl\"", ""}));
  EXPECT_EQ(g_RunReport.listsMerged(), 1);

  // Running the package again adds nothing.
  EXPECT_EQ(Run(), merged);
  // A category of the same name with other texts is a new one.
  Package(kFile, Lines({"[User_001_Tunnels]", "Path1 = \"Modelle\\Tunnel2.mdl\""}));
  EXPECT_EQ(Run(), merged + Lines({"[User_010_Tunnels]", "Path1\t = \"Modelle\\Tunnel2.mdl\"", ""}));
}

TEST_F(UserCategoryMerge, NumbersAndNames) {
  auto appended = [&](const std::string& last, const std::string& name) {
    return test::LastSectionName(Merge(Lines({"[" + last + "]", "P = \"h\""}), Lines({"[" + name + "]", "P = \"p\""})));
  };
  EXPECT_EQ(appended("User_999_Last", "User_001_Next"), "User_1000_Next");
  EXPECT_EQ(appended("User_1000_Last", "User_1000_Next"), "User_1001_Next");
  EXPECT_EQ(appended("Usr", "User_001_A"), "User_001_A");
  EXPECT_EQ(appended("User_012", "Short"), "User_013_");
  EXPECT_EQ(appended("User_2_x", "User_5_Name"), "User_003_Name");
  EXPECT_EQ(appended("User_-05_Old", "User_001_New"), "User_001_New");

  // A second run finds its categories again, also after a host numbered oddly.
  Host(kFile, Lines({"[User_-05_Old]", "P = \"a\""}));
  Package(kFile, Lines({"[User_001_New]", "P = \"n\""}));
  const std::string once = Run();
  EXPECT_EQ(Run(), once);

  // A last section of another kind does not start the count again.
  Merge(Lines({"[User_007_Bruecken]", "P = \"b\"", "[Settings]", "Q = \"s\""}), Lines({"[User_001_Tunnel]", "P = \"t\""}));
  EXPECT_EQ(test::LastSectionName(HostBytes(kFile)), "User_008_Tunnel");
  // Nor does a category named in other letter case, as Windows reads it.
  Merge(Lines({"[User_005_A]", "P = \"a\"", "[USER_007_B]", "P = \"b\"", "[Settings]", "Q = \"s\""}),
        Lines({"[User_001_Tunnel]", "P = \"t\""}));
  EXPECT_EQ(test::LastSectionName(HostBytes(kFile)), "User_008_Tunnel");

  // A name the host holds already is passed over.
  Merge(Lines({"[User_003_B]", "P = \"b\"", "[User_002_A]", "P = \"a\""}), Lines({"[User_009_B]", "P = \"other\""}));
  EXPECT_NE(HostBytes(kFile).find("[User_004_B]\r\nP\t = \"other\""), std::string::npos) << HostBytes(kFile);
  EXPECT_NE(HostBytes(kFile).find("[User_003_B]\r\nP\t = \"b\""), std::string::npos);
}

TEST_F(UserCategoryMerge, MissingAndUnreadableFiles) {
  // No package file: nothing made, nothing reported.
  EXPECT_EQ(Run(), "<missing>");
  EXPECT_TRUE(g_RunReport.failures().empty());

  const std::string package = Lines({"[User_001_A]", "P = \"a\""});
  std::filesystem::remove_all(t / "host/RESOURCEN");
  test::MakeFolders(t / "host/RESOURCEN");
  Package(kFile, package);
  EXPECT_EQ(Run(), package) << "a copy, its folder made";

  // An empty host file takes the categories with numbers from 1.
  EXPECT_EQ(Merge("", package), Lines({"[User_001_A]", "P\t = \"a\"", ""}));
  EXPECT_TRUE(g_RunReport.failures().empty());

  const std::string wide = test::Utf16(Lines({"[User_001_B]", "P = \"b\""}));
  EXPECT_EQ(Merge(wide, package), wide);
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].path, HostPath("Categories\\User.ini"));
}

TEST_F(UserCategoryMerge, FoundInAnyLetterCase) {
  Host("CATEGORIES/USER.INI", Lines({"[User_001_A]", "P = \"a\""}));
  Package(kFile, Lines({"[User_001_B]", "P = \"b\""}));
  Run();
  EXPECT_EQ(HostFiles(), Strings{"CATEGORIES/USER.INI"});
  EXPECT_EQ(HostBytes("CATEGORIES/USER.INI"), Lines({"[User_001_A]", "P\t = \"a\"", "", "[User_002_B]", "P\t = \"b\"", ""}));
}

TEST(MergeUserCategoryDocuments, ConsecutiveSectionsOfOneNameAreOneCategory) {
  ProfileDocument package, host;
  package.AddSectionLine("[User_001_A]");
  package.AddEntryLine("P1 = \"one\"", 0);
  package.AddSectionLine("[User_001_A]");
  package.AddEntryLine("P1 = \"two\"", 1);
  package.AddEntryLine("P2 = \"three\"", 1);
  EXPECT_EQ(MergeUserCategoryDocuments(package, host), 1);
  EXPECT_EQ(host.GetSectionCount(), 1);
  EXPECT_STREQ(host.GetString("User_001_A", "P1"), "two");
  EXPECT_STREQ(host.GetString("User_001_A", "P2"), "three");
}

}  // namespace
}  // namespace zet
