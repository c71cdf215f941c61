// The main dialog and the About box, driven through their real windows:
// texts from the language file, the target from the registry, the checks of
// OK, whole update runs, the title animation, the progress bar, and the
// folder picker's rule. Screenshots go to build/windows/screenshots/.

#include "ui/update_dlg.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/gui/update_app.h"
#include "gui_session.h"
#include "test_support.h"
#include "ui/about_dlg.h"
#include "ui/browse_folder.h"
#include "ui/resources/resource.h"
#include "ui/sp_progress_bar.h"

namespace zet {
namespace {

using test::BoxIcon;
using test::CaughtBox;
using test::GuiSession;
using test::HostKey;
using test::ItemEnabled;
using test::ItemText;
using test::TempDir;
using test::TextOf;

const int kRunControls[] = {IDOK, IDCANCEL, IDC_SOURCE, IDC_TARGET, IDC_BROWSE_SOURCE, IDC_BROWSE_TARGET,
                            IDC_OVERWRITE};

bool IsMainDialog(HWND window) { return dynamic_cast<CUpdateDlg*>(CDialog::FromHandle(window)) != nullptr; }
bool IsAboutBox(HWND window) { return dynamic_cast<CAboutDlg*>(CDialog::FromHandle(window)) != nullptr; }

// Which of the run's controls are enabled, as "1111111".
std::string EnabledControls(HWND dialog) {
  std::string states;
  for (int id : kRunControls) states += ItemEnabled(dialog, id) ? '1' : '0';
  return states;
}

std::string MenuItemText(HMENU menu, int position) {
  wchar_t text[512] = {};
  ::GetMenuStringW(menu, static_cast<UINT>(position), text, 512, MF_BYPOSITION);
  std::string ascii;
  for (const wchar_t* p = text; *p != 0; ++p) ascii += *p < 128 ? static_cast<char>(*p) : '?';
  return ascii;
}

// The program started in a folder with a language file, on a supported
// host whose resource base is resBase; the main dialog open.
class ProgramSession {
 public:
  explicit ProgramSession(const std::string& resBase, const std::string& language = "") {
    host_.SetDword("VERSION", 0x40000);
    if (!resBase.empty()) host_.SetString("ResBase", resBase);
    test::WriteBytes(dir_ / "zetveltran.lng",
                     language.empty() ? test::ReadBytes(test::DataPath("ui/zetveltran.lng")) : language);
    folder_ = std::make_unique<test::CurrentFolder>(dir_.path());
    session_ = std::make_unique<GuiSession>([] {
      CUpdateApp app;
      app.InitInstance();
    });
    dialog_ = session_->WaitForDialog(IsMainDialog);
  }
  ~ProgramSession() {
    if (dialog_ != nullptr && session_->WaitForDialog(IsMainDialog, 0) != nullptr) test::Click(dialog_, IDCANCEL);
    session_.reset();
  }

  HWND dialog() const { return dialog_; }
  GuiSession& session() { return *session_; }
  HostKey& host() { return host_; }

  // Enters the folders and clicks OK; the box that follows.
  CaughtBox Confirm(const std::string& source, const std::string& target) {
    test::SetText(dialog_, IDC_SOURCE, source);
    test::SetText(dialog_, IDC_TARGET, target);
    test::Click(dialog_, IDOK);
    return session_->WaitForBox();
  }

 private:
  HostKey host_;
  TempDir dir_;
  std::unique_ptr<test::CurrentFolder> folder_;
  std::unique_ptr<GuiSession> session_;
  HWND dialog_ = nullptr;
};

TEST(MainDialog, TextsComeFromTheLanguageFileAndTheTargetFromTheRegistry) {
  const std::string resBase = "C:\\Program Files\\Brankor\\ZET\\Installations\\Standard\\RESOURCEN";
  ProgramSession program(resBase);
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);

  EXPECT_EQ(TextOf(dialog), "ZET Veltran");
  EXPECT_EQ(ItemText(dialog, IDOK), "Install");
  EXPECT_EQ(ItemText(dialog, IDCANCEL), "Close");
  EXPECT_EQ(ItemText(dialog, IDC_STATIC1), "Package folder (RESOURCEN of the package):");
  EXPECT_EQ(ItemText(dialog, IDC_STATIC2), "Target folder (RESOURCEN of ZET):");
  EXPECT_EQ(ItemText(dialog, IDC_STATIC3), "Progress:");
  EXPECT_EQ(ItemText(dialog, IDC_BROWSE_SOURCE), "Browse...");
  EXPECT_EQ(ItemText(dialog, IDC_BROWSE_TARGET), "Browse...");
  EXPECT_EQ(ItemText(dialog, IDC_OVERWRITE), "Overwrite files");
  EXPECT_EQ(ItemText(dialog, IDC_SOURCE), "");
  EXPECT_EQ(ItemText(dialog, IDC_TARGET), resBase);
  EXPECT_EQ(EnabledControls(dialog), "1111111");
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  ASSERT_TRUE(::GetGUIThreadInfo(program.session().threadId(), &gui));
  EXPECT_EQ(gui.hwndFocus, ::GetDlgItem(dialog, IDC_SOURCE)) << "the first field has the focus";

  // The window as the template makes it: a popup with title bar, system
  // menu and minimise box, in the task bar.
  const LONG_PTR style = ::GetWindowLongPtrA(dialog, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(::GetWindowLongPtrA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_NE(::SendMessageA(dialog, WM_GETICON, ICON_BIG, 0), 0);

  // The bar: 0..300, pure red.
  HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS);
  PBRANGE range = {};
  ::SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 300);
  EXPECT_EQ(::SendMessageA(bar, PBM_GETBARCOLOR, 0, 0), static_cast<LRESULT>(RGB(255, 0, 0)));

  // The About entry closes the system menu, after a separator.
  HMENU systemMenu = ::GetSystemMenu(dialog, FALSE);
  const int count = ::GetMenuItemCount(systemMenu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(::GetMenuItemID(systemMenu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
  EXPECT_EQ(MenuItemText(systemMenu, count - 1), "&About ZET Veltran...");
  EXPECT_TRUE(::GetMenuState(systemMenu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_FALSE(test::SaveScreenshot(dialog, "main_dialog").empty());

  ::PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = program.session().WaitForDialog(IsAboutBox);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(TextOf(about), "About ZET Veltran");
  EXPECT_EQ(ItemText(about, IDOK), "OK");
  EXPECT_EQ(ItemText(about, IDC_STATIC1), "ZET Veltran 1.0.0");
  EXPECT_EQ(ItemText(about, IDC_STATIC2), "Installs add-on packages into the resources of ZET.");
  EXPECT_FALSE(::IsWindowEnabled(dialog)) << "the About box is modal";
  EXPECT_FALSE(test::SaveScreenshot(about, "about_box").empty());
  test::Click(about, IDOK);
  EXPECT_TRUE(test::WaitUntil([&] { return !::IsWindow(about); }));
  EXPECT_TRUE(program.session().NoBoxWithin(0));
}

TEST(MainDialog, WithoutResourceBaseOrAboutTextTheBuiltInsShow) {
  std::string language = test::ReadBytes(test::DataPath("ui/zetveltran.lng"));
  language.erase(language.find("IDS_ABOUTBOX"), language.find("\r\n", language.find("IDS_ABOUTBOX")) + 2 -
                                                      language.find("IDS_ABOUTBOX"));
  ASSERT_EQ(language.find("IDS_ABOUTBOX"), std::string::npos);
  ProgramSession program("", language);
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ItemText(dialog, IDC_TARGET), "");
  HMENU systemMenu = ::GetSystemMenu(dialog, FALSE);
  const int count = ::GetMenuItemCount(systemMenu);
  EXPECT_EQ(::GetMenuItemID(systemMenu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
  EXPECT_EQ(MenuItemText(systemMenu, count - 1), "IDS_ABOUTBOX" + std::string(263, ' '));
}

TEST(MainDialog, OkChecksBothFoldersBeforeAnythingStarts) {
  TempDir trees;
  test::MakeFolders(trees / "pkg/RESOURCEN");
  test::MakeFolders(trees / "host/RESOURCEN");
  const std::string source = test::ProgramPath(trees, "pkg/RESOURCEN");
  const std::string target = test::ProgramPath(trees, "host/RESOURCEN");
  ProgramSession program(target);
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);
  program.host().Delete("Scan");

  struct Case {
    std::string source, target, message;
  } cases[] = {
      {"", target, "The package folder does not exist."},
      {"RESOURCEN", target, "The package folder does not exist."},
      {"pkg\\RESOURCEN", target, "The package folder does not exist."},
      {source + "\\", target, "The package folder does not exist."},
      {test::ProgramPath(trees, "pkg/MISSING"), target, "The package folder does not exist."},
      {source, "", "The target folder does not exist."},
      {source, target + "\\", "The target folder does not exist."},
      {source, test::ProgramPath(trees, "host/MISSING"), "The target folder does not exist."},
      {source, source, "Package and target are the same folder."},
      {target, test::ProgramPath(trees, "HOST/resourcen"), "Package and target are the same folder."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("source \"" + c.source + "\", target \"" + c.target + "\"");
    CaughtBox box = program.Confirm(c.source, c.target);
    EXPECT_EQ(box.text, c.message);
    EXPECT_EQ(box.caption, "ZET Veltran");
    EXPECT_EQ(box.icon, BoxIcon::Information);
    EXPECT_EQ(box.owner, dialog);
    GuiSession::CloseBox(box);
    EXPECT_TRUE(test::WaitUntil([&] { return ::IsWindowEnabled(dialog) != FALSE; }));
    EXPECT_EQ(EnabledControls(dialog), "1111111");
    EXPECT_EQ(ItemText(dialog, IDC_SOURCE), c.source) << "the fields keep what was typed";
  }
  EXPECT_EQ(program.host().ReadDword("Scan"), -1) << "no run was started";

  // Enter in a folder field checks the folders as OK does.
  test::SetText(dialog, IDC_SOURCE, "");
  ::PostMessageA(::GetDlgItem(dialog, IDC_SOURCE), WM_KEYDOWN, VK_RETURN, 0);
  CaughtBox box = program.session().WaitForBox();
  EXPECT_EQ(box.text, "The package folder does not exist.");
  GuiSession::CloseBox(box);
  EXPECT_TRUE(test::WaitUntil([&] { return ::IsWindowEnabled(dialog) != FALSE; }));
}

}  // namespace
}  // namespace zet
