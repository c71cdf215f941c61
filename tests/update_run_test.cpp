#include "update/update_run.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "profile/lang_table.h"
#include "update_fixture.h"

namespace zet {
namespace {

using test::Strings;

class UpdateRun : public test::UpdateTest {
 protected:
  void UseLanguage(const std::string& text) {
    test::WriteBytes(t / "test.lng", text);
    ASSERT_EQ(LoadLangTable(ProgramPath(t, "test.lng").c_str()), 0);
  }
  void SetUp() override {
    test::UpdateTest::SetUp();
    UseLanguage("[DLG_VELTRAN]\r\nCAPTION = \"Veltran\"\r\nIDMSG1 = \"Done.\"\r\nIDMSG5 = \"Done, with failures:\"\r\n");
  }
  void TearDown() override {
    SetLangTable(nullptr);
    test::UpdateTest::TearDown();
  }
  RunReport Run(bool overwrite = false) {
    view = test::RecordingView();
    RunRequest request;
    request.source = source;
    request.target = target;
    request.overwrite = overwrite;
    return RunUpdate(request, view);
  }

  // One unit per category folder for its index file, counted in both passes
  // and never stepped.
  static constexpr int kIndexMerges = 10;
};

TEST_F(UpdateRun, TellsTheViewEachPhaseAndABarOneUnitLongerThanTheWork) {
  Package("a.txt", "A");
  Package("Sub/b.txt", "B");
  Package("Sub/empty.txt", "");
  Package("Parallels/Texturen.txt", "Basis{ Textur{ id(1) name(g) } Textur{ id(9) name(h) } }");
  Package("Parallels/g.dds", "G");
  Package("Parallels/h.dds", "H");
  const RunReport report = Run();
  // Three files (one empty, looked at and left out) and two textures: five
  // steps on a bar of six units.
  EXPECT_EQ(view.phases, (Strings{"counting", "working", "ended"}));
  EXPECT_EQ(view.found, 6 + kIndexMerges);
  EXPECT_EQ(view.total, 6 + kIndexMerges);
  EXPECT_EQ(view.stepped.size(), 5u);
  EXPECT_EQ(view.message, "Done.");
  EXPECT_EQ(report.copied(), 4);
  EXPECT_EQ(report.listsMerged(), 1);
  EXPECT_EQ(HostFiles(), (Strings{"Parallels/Texturen.txt", "Parallels/g.dds", "Parallels/h.dds", "Sub/b.txt", "a.txt"}));

  // An empty package still ends with its message.
  test::MakeFolders(t / "empty/RESOURCEN");
  source = ProgramPath(t, "empty/RESOURCEN");
  Run();
  EXPECT_EQ(view.phases, (Strings{"counting", "working", "ended"}));
  EXPECT_EQ(view.total, 1 + kIndexMerges);
  EXPECT_TRUE(view.stepped.empty());
  EXPECT_EQ(view.message, "Done.");
}

TEST_F(UpdateRun, TheArchiveBesideThePackageIsUsedUnlessOverwriteIsOn) {
  Package("a.txt", "A");
  Package("Sub/b.txt", "B");
  PackageArchive({"SUB\\B.TXT"});

  EXPECT_EQ(Run().leftToArchive(), 1);
  EXPECT_EQ(HostFiles(), (Strings{"a.txt"}));
  EXPECT_EQ(view.stepped.size(), 2u);

  Run(true);
  EXPECT_EQ(HostFiles(), (Strings{"Sub/b.txt", "a.txt"}));
  EXPECT_LT(PakEntryCount(g_PakHandle), 0) << "the archive is closed at the end of each run";

  // A broken archive is a failure, and every file is copied.
  test::WriteBytes(t / "pkg/resourcen.pak", "PAK\0 this is no archive");
  std::filesystem::remove_all(t / "host/RESOURCEN/Sub");
  const RunReport report = Run();
  EXPECT_EQ(HostBytes("Sub/b.txt"), "B");
  ASSERT_EQ(report.failures().size(), 1u);
  EXPECT_EQ(report.failures()[0].path, source + "\\..\\resourcen.pak");

#ifndef _WIN32
  // So is one that is a link leading nowhere: an archive was meant.
  std::filesystem::remove(t / "pkg/resourcen.pak");
  std::filesystem::create_symlink(t / "gone.pak", t / "pkg/resourcen.pak");
  std::filesystem::remove_all(t / "host/RESOURCEN/Sub");
  EXPECT_EQ(Run().failures().size(), 1u);
  EXPECT_EQ(HostBytes("Sub/b.txt"), "B");
  std::filesystem::remove(t / "pkg/resourcen.pak");

  // The archive names files in the code page; a package's UTF-8 name is
  // looked up so.
  // A letter the code page lacks is in no archive name, '?' included.
  Package("Gr\xC3\xBCn.txt", "G");
  Package("\xC5\x99" "eka.txt", "R");
  PackageArchive({"SUB\\B.TXT", "GR\xFCN.TXT", "?EKA.TXT"});
  std::filesystem::remove_all(t / "host/RESOURCEN/Sub");
  EXPECT_EQ(Run().leftToArchive(), 2);
  EXPECT_EQ(HostFiles(), (Strings{"a.txt", "\xC5\x99" "eka.txt"}));
#endif
}

TEST_F(UpdateRun, FailuresAreCountedAndTheFirstIsNamed) {
  Package("a.txt", "A");
  Package("b.txt", "B");
  Package("c.txt", "C");
  test::MakeFolders(t / "host/RESOURCEN/a.txt");
  test::MakeFolders(t / "host/RESOURCEN/c.txt");

  EXPECT_EQ(Run(true).failures().size(), 2u);
  EXPECT_EQ(view.message, "Done, with failures: 2\n" + platform::NativePath(HostPath("a.txt")));
  EXPECT_EQ(HostBytes("b.txt"), "B");

  // A language file without the text: the built-in English one.
  UseLanguage("[DLG_VELTRAN]\r\nCAPTION = \"Veltran\"\r\n");
  Run(true);
  EXPECT_EQ(view.message,
            "The package has been installed, but some files could not be read or written. Failures: 2\n" +
                platform::NativePath(HostPath("a.txt")));
}

#ifndef _WIN32
// The merges read and copy only the package's own files: a link that puts a
// catalogue folder, a list or a texture outside the package is reported, and
// nothing of what it leads to reaches the host.
// A stop during the catalogue merges takes effect after the file in hand:
// the files after it are left as they are, and the summary says so.
TEST_F(UpdateRun, AStopDuringTheMergesEndsThemAfterTheFileInHand) {
  for (const char* name : {"A.inf", "B.inf", "C.inf"}) {
    Package(std::string("Categories/Rolling_stock/") + name, "[Kopf]\r\n[Neu]\r\nFilterSection = \"x\"\r\n");
    Host(std::string("Categories/Rolling_stock/") + name, "[Kopf]\r\n[Alt]\r\nFilterSection = \"y\"\r\n");
  }
  struct StoppingView : test::RecordingView {
    void Stepped() override {
      RecordingView::Stepped();
      if (g_TargetFile.find(".inf") != std::string::npos) RequestRunStop();
    }
  } stopping;
  RunRequest request;
  request.source = source;
  request.target = target;
  const RunReport report = RunUpdate(request, stopping);
  EXPECT_TRUE(report.stopped());
  EXPECT_EQ(report.listsMerged(), 1);
  EXPECT_NE(HostBytes("Categories/Rolling_stock/A.inf").find("\"x\""), std::string::npos);  // merged
  EXPECT_EQ(HostBytes("Categories/Rolling_stock/B.inf"), "[Kopf]\r\n[Alt]\r\nFilterSection = \"y\"\r\n");
  EXPECT_EQ(HostBytes("Categories/Rolling_stock/C.inf"), "[Kopf]\r\n[Alt]\r\nFilterSection = \"y\"\r\n");
}

TEST_F(UpdateRun, MergesTakeNothingThatALinkPutsOutsideThePackage) {
  namespace fs = std::filesystem;
  test::WriteBytes(t / "outside/User.ini", "[User_1_Secret]\r\nText = \"x\"\r\n");
  test::WriteBytes(t / "outside/Texturen.txt", "Basis{ Textur{ id(5) name(s) } }");
  test::WriteBytes(t / "outside/s.bmp", "S");
  Package("Parallels/Bodentexturen.txt", "Basis{ Textur{ id(7) name(far) } }");
  const std::string pkg = t / "pkg/RESOURCEN";
  fs::create_directory_symlink(t / "outside", pkg + "/Categories");
  fs::create_symlink(t / "outside/Texturen.txt", pkg + "/Parallels/Texturen.txt");
  fs::create_symlink(t / "outside/s.bmp", pkg + "/Parallels/far.bmp");

  const RunReport report = Run();
  EXPECT_EQ(HostFiles(), Strings{});
  Strings reported;
  for (const RunFailure& f : report.failures()) reported.push_back(f.path.substr(source.size() + 1) + ": " + f.reason);
  EXPECT_EQ(reported, (Strings{"Categories: a link to a folder; not followed",
                               "Parallels\\Texturen.txt: a link that leads out of the package; not merged",
                               "Parallels\\far.bmp: a link that leads out of the package; not copied",
                               "Parallels\\Bodentexturen.txt id(7): its texture file could not be copied; not added"}));

  // Links that lead back into the package from outside it are copied: one
  // by its whole path, one that climbs above the package first.
  fs::remove(pkg + "/Parallels/far.bmp");
  fs::remove(pkg + "/Parallels/Texturen.txt");
  fs::remove(pkg + "/Categories");
  Package("Parallels/near.bmp", "N");
  fs::create_symlink(pkg + "/Parallels/near.bmp", pkg + "/Parallels/far.bmp");
  Package("Modelle/near.mdl", "M");
  fs::create_symlink("../../RESOURCEN/Modelle/near.mdl", pkg + "/Modelle/up.mdl");
  // A host named through the package's folder is the host: its lists are
  // merged, not taken for the package's.
  Package("Parallels/Texturen.txt", "Basis{ Textur{ id(5) name(t) } }");
  Package("Parallels/t.dds", "T");
  Host("Parallels/Texturen.txt", "Basis{ Textur{ id(1) name(h) } }");
  target = source + "\\..\\..\\host\\RESOURCEN";
  const RunReport again = Run();
  for (const RunFailure& f : again.failures()) ADD_FAILURE() << f.path << ": " << f.reason;
  EXPECT_EQ(HostBytes("Parallels/far.bmp"), "N");
  EXPECT_EQ(HostBytes("Modelle/up.mdl"), "M");
  EXPECT_EQ(HostBytes("Parallels/t.dds"), "T");
  EXPECT_NE(HostBytes("Parallels/Texturen.txt").find("name(t)"), std::string::npos);

  // Nor are they entered where they lead into the package; and a file in
  // their place is not copied, where it would keep every later package's
  // lists out of the host.
  const std::string lists = HostBytes("Parallels/Texturen.txt");
  fs::rename(pkg + "/Parallels", pkg + "/Real");
  fs::create_directory_symlink("Real", pkg + "/Parallels");
  Package("CatReal/User.ini", "[User_001_A]\r\nText = \"a\"\r\n");
  fs::create_directory_symlink("CatReal", pkg + "/Categories");
  auto failedIn = [&](const RunReport& r) {
    Strings failed;
    for (const RunFailure& f : r.failures()) failed.push_back(f.path.substr(source.size() + 1) + ": " + f.reason);
    return failed;
  };
  EXPECT_EQ(failedIn(Run()), (Strings{"Categories: a link to a folder; not followed", "Parallels: a link to a folder; not followed"}));
  EXPECT_EQ(HostBytes("Parallels/Texturen.txt"), lists);
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Categories"));
  fs::remove(pkg + "/Categories");
  fs::remove(pkg + "/Parallels");
  fs::remove(pkg + "/Real/far.bmp");  // it led through Parallels
  Package("Categories", "a file");
  fs::create_symlink("Real/t.dds", pkg + "/Parallels");
  EXPECT_EQ(failedIn(Run()), (Strings{"Categories: not a folder; its lists are not merged",
                             "Parallels: not a folder; its lists are not merged"}));
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Categories"));
}
#endif

}  // namespace
}  // namespace zet
