// Start-up of the dialog program, each of its ends, driven through the real
// windows: the language file, the host's registration, a running host.

#include "app/gui/update_app.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/find_process.h"
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
using test::IsMainDialog;
using test::TempDir;


// Runs the start-up in a folder with the tests' language file (or none).
struct Startup {
  TempDir dir;
  bool result = true;
  std::unique_ptr<test::CurrentFolder> folder;

  explicit Startup(bool withLanguage = true) {
    if (withLanguage) test::WriteBytes(dir / "zetveltran.lng", test::ReadBytes(test::DataPath("ui/zetveltran.lng")));
    folder = std::make_unique<test::CurrentFolder>(dir.path());
  }
  std::function<void()> Body() {
    return [this] {
      CUpdateApp app;
      result = app.InitInstance();
    };
  }
};

void ExpectVersionError(const char* what) {
  SCOPED_TRACE(what);
  Startup startup;
  GuiSession session(startup.Body());
  CaughtBox box = session.WaitForBox();
  EXPECT_EQ(box.text, "This version of ZET is not supported.");
  EXPECT_EQ(box.caption, "ZET Veltran - Warning");
  EXPECT_EQ(box.icon, BoxIcon::Error);
  EXPECT_EQ(box.owner, nullptr);
  GuiSession::CloseBox(box);
  EXPECT_TRUE(session.WaitForEnd());
  EXPECT_FALSE(startup.result);
  EXPECT_TRUE(session.NoBoxWithin(0));
}

TEST(Startup, WithoutLanguageFileShowsTheBuiltInErrorAndEnds) {
  HostKey host;
  host.SetDword("VERSION", 0x40000);
  Startup startup(false);
  // A language file elsewhere (as beside the program) is not looked for.
  test::WriteBytes(startup.dir / "bin/zetveltran.lng", test::ReadBytes(test::DataPath("ui/zetveltran.lng")));
  GuiSession session(startup.Body());
  CaughtBox box = session.WaitForBox();
  EXPECT_EQ(box.text, "Can't load language file !");
  EXPECT_EQ(box.caption, "ZET Veltran");
  EXPECT_EQ(box.icon, BoxIcon::Error);
  EXPECT_EQ(box.owner, nullptr);
  GuiSession::CloseBox(box);
  EXPECT_TRUE(session.WaitForEnd());
  EXPECT_FALSE(startup.result);
  EXPECT_TRUE(session.NoBoxWithin(0)) << "nothing further is shown";
}

TEST(Startup, AnUnsupportedOrMissingHostEndsWithTheVersionError) {
  HostKey::RemoveAll();
  ExpectVersionError("no host key");
  {
    HostKey host;
    host.SetString("ResBase", "C:\\ZET\\RESOURCEN");
    ExpectVersionError("no VERSION value");
    host.SetDword("VERSION", 0x40001);
    ExpectVersionError("VERSION 0x40001");
    host.SetString("VERSION", "262144");
    ExpectVersionError("VERSION as text");
    host.SetDword("VERSION", 0x30000);
    ExpectVersionError("VERSION 0x30000");
  }
}

TEST(Startup, ARunningHostIsWarnedAboutOnlyUnderItsExactName) {
  HostKey host;
  host.SetDword("VERSION", 0x40000);
  TempDir programs;
  {
    test::RunningCopy running(programs / "lower", "zet.exe");
    ASSERT_GT(running.pid(), 0);
    ASSERT_TRUE(test::WaitUntil([&] { return FindProcessId("zet.exe") == running.pid(); }));
    Startup startup;
    GuiSession session(startup.Body());
    HWND dialog = session.WaitForDialog(IsMainDialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(session.NoBoxWithin(0)) << "zet.exe is not the host";
    test::Click(dialog, IDCANCEL);
    EXPECT_TRUE(session.WaitForEnd());
    EXPECT_FALSE(startup.result);
  }
  test::RunningCopy running(programs / "exact", "ZET.exe");
  ASSERT_GT(running.pid(), 0);
  ASSERT_TRUE(test::WaitUntil([&] { return FindProcessId("ZET.exe") > 0; }));
  Startup startup;
  GuiSession session(startup.Body());
  CaughtBox box = session.WaitForBox();
  EXPECT_EQ(box.text, "ZET is running; close it first.");
  EXPECT_EQ(box.caption, "ZET Veltran - Warning");
  EXPECT_EQ(box.icon, BoxIcon::Warning);
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(session.WaitForDialog(IsMainDialog, 300), nullptr) << "the dialog follows the warning";
  EXPECT_EQ(MenuHookInstallCount(), 0);
  GuiSession::CloseBox(box);
  HWND dialog = session.WaitForDialog(IsMainDialog);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(MenuHookInstallCount(), 1) << "the menu look is hooked in around the dialog";
  // Closing the dialog ends the program; nothing further is shown.
  ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(session.WaitForEnd());
  EXPECT_EQ(MenuHookInstallCount(), 0);
  EXPECT_FALSE(startup.result);
  EXPECT_TRUE(session.NoBoxWithin(0));
}

}  // namespace
}  // namespace zet
