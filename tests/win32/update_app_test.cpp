// Start-up of the dialog program, each of its ends, driven through the real
// windows: the language file, the host's registration, a running host.

#include "main/update_app.h"

#include <gtest/gtest.h>

#include <string>

#include "host/find_process.h"
#include "gui_session.h"
#include "test_support.h"
#include "ui/menu_xp.h"
#include "ui/update_dlg.h"

namespace zet {
namespace {

using test::BoxIcon;
using test::CaughtBox;
using test::GuiSession;
using test::HostKey;
using test::ProgramRun;

// Starts the program and expects it to end after one error box without an
// owner; the box.
CaughtBox EndsAfterOneBox(const std::string& language) {
  ProgramRun program(language);
  CaughtBox box = program.session().WaitForBox();
  EXPECT_EQ(box.icon, BoxIcon::Error);
  EXPECT_EQ(box.owner, nullptr);
  GuiSession::CloseBox(box);
  EXPECT_TRUE(program.session().WaitForEnd());
  EXPECT_FALSE(program.result());
  EXPECT_TRUE(program.session().NoBoxWithin(0)) << "nothing further is shown";
  return box;
}

TEST(Startup, WithoutLanguageFileShowsTheBuiltInErrorAndEnds) {
  HostKey host;
  host.SetDword("VERSION", 0x40000);
  // No file, or one the dialog finds none of its texts in (damaged bytes).
  for (const std::string language : {std::string(), std::string("\x89PNG\r\n\x1a\n[x]\r\ny = \"z\"\r\n\xff\xfe")}) {
    const CaughtBox box = EndsAfterOneBox(language);
    EXPECT_EQ(box.text, "Can't load language file !");
    EXPECT_EQ(box.caption, "ZET Veltran");
  }
}

TEST(Startup, AnUnsupportedOrMissingHostEndsWithTheVersionError) {
  auto expectVersionError = [](const char* what) {
    SCOPED_TRACE(what);
    const CaughtBox box = EndsAfterOneBox(test::TestLanguage());
    EXPECT_EQ(box.text, "ZET is not installed, or ZET Veltran does not support the installed version of ZET.");
    EXPECT_EQ(box.caption, "ZET Veltran");
  };
  HostKey::RemoveAll();
  expectVersionError("no host key");
  HostKey host;
  host.SetString("ResBase", "C:\\ZET\\RESOURCEN");
  host.SetDword("VERSION", 0x40001);
  expectVersionError("VERSION 0x40001");
}

// Which names count as the host's is the process lookup's test.
TEST(Startup, ARunningHostIsWarnedAboutBeforeTheDialog) {
  HostKey host;
  host.SetDword("VERSION", 0x40000);
  test::TempDir programs;
  test::RunningCopy running(programs.path(), "ZET.exe");
  ASSERT_GT(running.pid(), 0);
  ASSERT_TRUE(test::WaitUntil([&] { return FindProcessId("ZET.exe") > 0; }));
  ProgramRun program(test::TestLanguage());
  GuiSession& session = program.session();
  CaughtBox box = session.WaitForBox();
  EXPECT_EQ(box.text, "ZET is running. Please close it before you install a package; ZET finds the new resources the "
                      "next time it starts.");
  EXPECT_EQ(box.caption, "ZET Veltran");
  EXPECT_EQ(box.icon, BoxIcon::Warning);
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(session.WaitForDialog(test::IsMainDialog, 300), nullptr) << "the dialog follows the warning";
  EXPECT_EQ(MenuHookInstallCount(), 0);
  GuiSession::CloseBox(box);
  HWND dialog = session.WaitForDialog(test::IsMainDialog);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(MenuHookInstallCount(), 1) << "the menu look is hooked in around the dialog";
  // Closing the dialog ends the program; nothing further is shown.
  ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(session.WaitForEnd());
  EXPECT_EQ(MenuHookInstallCount(), 0);
  EXPECT_FALSE(program.result());
  EXPECT_TRUE(session.NoBoxWithin(0));
}

}  // namespace
}  // namespace zet
