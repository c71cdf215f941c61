#include "update/update_run.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "profile/lang_table.h"
#include "update_fixture.h"

namespace zet {
namespace {

using test::RecordingView;
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

  // One unit per category folder for its index file, counted in both passes
  // and never stepped.
  static constexpr int kIndexMerges = 10;

  // The calls of a whole run. range: the units of work stepped, plus the one
  // the counter starts with. The controls come back only after the message.
  static Strings Calls(int range, int steps) {
    Strings calls{"IsOverwriteChecked", "StartTimer 188 100", "StopTimer 188", "StartTimer 199 100",
                  "SetRangeAndStep 0 " + std::to_string(range + kIndexMerges) + " 1"};
    if (steps > 0) calls.push_back("StepIt x" + std::to_string(steps));
    for (const char* c : {"StopTimer 199", "SetTitle Veltran", "ShowMessage Veltran", "SetPos 0", "EnableControl 1",
                          "EnableControl 2", "EnableControl 1004", "EnableControl 1005", "EnableControl 1002",
                          "EnableControl 1003", "EnableControl 1006"})
      calls.push_back(c);
    return calls;
  }
};

TEST_F(UpdateRun, DrivesTheViewInOrderAndCountsOneUnitMore) {
  // Without a view nothing happens.
  Package("a.txt", "A");
  EXPECT_EQ(UpdateThread(nullptr), -1);
  EXPECT_TRUE(HostFiles().empty());

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
  EXPECT_EQ(HostFiles(), (Strings{"Parallels/Texturen.txt", "Parallels/g.dds", "Parallels/h.dds", "Sub/b.txt", "a.txt"}));
  EXPECT_EQ(g_ProgressCount, 4 + kIndexMerges);

  // An empty package still ends with its message.
  test::MakeFolders(t / "empty/RESOURCEN");
  g_SourceRoot = ProgramPath(t, "empty/RESOURCEN");
  RecordingView nothing;
  EXPECT_EQ(UpdateThread(&nothing), 0);
  EXPECT_EQ(nothing.calls, Calls(1, 0));
  EXPECT_EQ(nothing.message, "Done.");
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
  EXPECT_LT(PakEntryCount(g_PakHandle), 0) << "the archive is closed at the end of each run";

  // A broken archive is a failure, and every file is copied.
  test::WriteBytes(t / "pkg/resourcen.pak", "PAK\0 this is no archive");
  std::filesystem::remove_all(t / "host/RESOURCEN/Sub");
  RecordingView broken;
  UpdateThread(&broken);
  EXPECT_EQ(HostBytes("Sub/b.txt"), "B");
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].path, source + "\\..\\resourcen.pak");
}

TEST_F(UpdateRun, FailuresAreCountedAndTheFirstIsNamed) {
  Package("a.txt", "A");
  Package("b.txt", "B");
  Package("c.txt", "C");
  test::MakeFolders(t / "host/RESOURCEN/a.txt");
  test::MakeFolders(t / "host/RESOURCEN/c.txt");

  RecordingView view(true);
  UpdateThread(&view);
  EXPECT_EQ(view.message, "Done, with failures: 2\n" + platform::NativePath(HostPath("a.txt")));
  EXPECT_EQ(HostBytes("b.txt"), "B");

  // A language file without the text: the built-in English one.
  UseLanguage("[DLG_VELTRAN]\r\nCAPTION = \"Veltran\"\r\n");
  RecordingView again(true);
  UpdateThread(&again);
  EXPECT_EQ(again.message,
            "The package has been installed, but some files could not be read or written. Failures: 2\n" +
                platform::NativePath(HostPath("a.txt")));
}

}  // namespace
}  // namespace zet
