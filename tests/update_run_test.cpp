#include "update/update_run.h"

#include <gtest/gtest.h>

#include "profile/lang_table.h"
#include "recording_view.h"
#include "update_fixture.h"

namespace zet {
namespace {

using test::RecordingView;
using Strings = std::vector<std::string>;

class UpdateRun : public test::UpdateTest {
 protected:
  void UseLanguage(const std::string& text) {
    test::WriteBytes(t / "test.lng", text);
    ASSERT_EQ(LoadLangTable(ProgramPath(t, "test.lng").c_str()), 0);
  }
  void SetUp() override {
    test::UpdateTest::SetUp();
    UseLanguage(
        "[DLG_VELTRAN]\r\n"
        "CAPTION = \"Veltran\"\r\n"
        "IDMSG1 = \"Done.\"\r\n"
        "IDMSG5 = \"Done, with failures:\"\r\n");
  }
  void TearDown() override {
    SetLangTable(nullptr);
    test::UpdateTest::TearDown();
  }

  // The calls that end every run, after its steps.
  static Strings Ending() {
    return {"StopTimer 199", "SetTitle Veltran", "ShowMessage Veltran", "SetPos 0", "EnableControl 1",
            "EnableControl 2", "EnableControl 1004", "EnableControl 1005", "EnableControl 1002",
            "EnableControl 1003", "EnableControl 1006"};
  }
  // One unit per category folder for its index file, counted in both
  // passes and never stepped.
  static constexpr int kIndexMerges = 10;

  // range: the units of work stepped, plus the one the counter starts with.
  static Strings Calls(int range, int steps) {
    Strings calls{"IsOverwriteChecked", "StartTimer 188 100", "StopTimer 188", "StartTimer 199 100",
                  "SetRangeAndStep 0 " + std::to_string(range + kIndexMerges) + " 1"};
    if (steps > 0) calls.push_back("StepIt x" + std::to_string(steps));
    for (const std::string& c : Ending()) calls.push_back(c);
    return calls;
  }
};

TEST_F(UpdateRun, DrivesTheViewInOrderAndCountsOneUnitMore) {
  Package("a.txt", "A");
  Package("Sub/b.txt", "B");
  Package("Sub/empty.txt", "");
  Package("Parallels/Texturen.txt", "Basis{ Textur{ id(1) name(g) } Textur{ id(9) name(h) } }");
  Package("Parallels/g.dds", "G");
  Package("Parallels/h.dds", "H");

  RecordingView view;
  EXPECT_EQ(UpdateThread(&view), 0);
  // Two files and two textures: four steps on a bar of five units.
  EXPECT_EQ(view.calls, Calls(5, 4));
  EXPECT_EQ(view.message, "Done.");
  EXPECT_EQ(HostFiles(), (Strings{"Parallels/Texturen.txt", "Parallels/g.dds", "Parallels/h.dds", "Sub/b.txt",
                                  "a.txt"}));
  EXPECT_EQ(g_ProgressCount, 4 + kIndexMerges);
}

TEST_F(UpdateRun, AnEmptyPackageStillEndsWithItsMessage) {
  RecordingView view;
  EXPECT_EQ(UpdateThread(&view), 0);
  EXPECT_EQ(view.calls, Calls(1, 0));
  EXPECT_EQ(view.message, "Done.");
  EXPECT_TRUE(HostFiles().empty());
}

TEST_F(UpdateRun, WithoutAViewNothingHappens) {
  Package("a.txt", "A");
  EXPECT_EQ(UpdateThread(nullptr), -1);
  EXPECT_TRUE(HostFiles().empty());
}

TEST_F(UpdateRun, TheArchiveBesideThePackageIsUsedUnlessOverwriteIsOn) {
  Package("a.txt", "A");
  Package("Sub/b.txt", "B");
  PackageArchive({"SUB\\B.TXT"});

  RecordingView view;
  UpdateThread(&view);
  EXPECT_EQ(HostFiles(), (Strings{"a.txt"}));
  EXPECT_EQ(view.calls, Calls(3, 2));
  EXPECT_EQ(g_RunReport.leftToArchive(), 1);

  RecordingView overwrite(true);
  UpdateThread(&overwrite);
  EXPECT_EQ(HostFiles(), (Strings{"Sub/b.txt", "a.txt"}));
  // The archive is closed at the end of each run.
  EXPECT_LT(PakEntryCount(g_PakHandle), 0);
}

TEST_F(UpdateRun, ABrokenArchiveIsAFailureAndEveryFileIsCopied) {
  Package("a.txt", "A");
  test::WriteBytes(t / "pkg/resourcen.pak", "PAK\0 this is no archive");
  RecordingView view;
  UpdateThread(&view);
  EXPECT_EQ(HostFiles(), (Strings{"a.txt"}));
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].path, source + "\\..\\resourcen.pak");

  // Without an archive at all there is nothing to report.
  test::WriteBytes(t / "pkg/resourcen.pak", "");
  std::filesystem::remove(t / "pkg/resourcen.pak");
  RecordingView again;
  UpdateThread(&again);
  EXPECT_TRUE(g_RunReport.failures().empty());
  EXPECT_EQ(again.message, "Done.");
}

TEST_F(UpdateRun, FailuresAreCountedAndTheFirstIsNamed) {
  Package("a.txt", "A");
  Package("b.txt", "B");
  Package("c.txt", "C");
  test::MakeFolders(t / "host/RESOURCEN/a.txt");
  test::MakeFolders(t / "host/RESOURCEN/c.txt");

  RecordingView view(true);
  UpdateThread(&view);
  EXPECT_EQ(view.message, "Done, with failures: 2\n" + HostPath("a.txt"));
  EXPECT_EQ(HostBytes("b.txt"), "B");

  // A language file without the text: the built-in English one.
  UseLanguage("[DLG_VELTRAN]\r\nCAPTION = \"Veltran\"\r\n");
  RecordingView again(true);
  UpdateThread(&again);
  EXPECT_EQ(again.message,
            "The package has been installed, but some files could not be written. Failures: 2\n" + HostPath("a.txt"));
}

}  // namespace
}  // namespace zet
