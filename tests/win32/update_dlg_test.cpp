// The main dialog and the About box, driven through their real windows:
// texts from the language file, the target from the registry, the checks of
// OK, whole update runs, the title animation, the progress bar, and the
// folder picker's rule. Screenshots go to build/windows/screenshots/.

#include "ui/update_dlg.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/gui/update_app.h"
#include "gui_session.h"
#include "profile/lang_table.h"
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
using test::IsAboutBox;
using test::IsMainDialog;
using test::ItemText;
using test::ProgramSession;
using test::TempDir;
using test::TextOf;

const int kRunControls[] = {IDOK, IDCANCEL, IDC_SOURCE, IDC_TARGET, IDC_BROWSE_SOURCE, IDC_BROWSE_TARGET,
                            IDC_OVERWRITE};


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
  EXPECT_EQ(::SendMessageA(dialog, WM_QUERYDRAGICON, 0, 0), ::SendMessageA(dialog, WM_GETICON, ICON_BIG, 0))
      << "the minimised dialog shows its icon";

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

// A package tree of count model files in folders of 50, and an empty host.
struct Trees {
  TempDir dir;
  std::string source = test::ProgramPath(dir, "pkg/RESOURCEN");
  std::string target = test::ProgramPath(dir, "host/RESOURCEN");
  int count;

  explicit Trees(int files) : count(files) {
    for (int i = 0; i < count; ++i) test::WriteBytes(dir / Model(i), "model " + std::to_string(i));
    test::MakeFolders(dir / "host/RESOURCEN");
  }
  static std::string Model(int i, const char* tree = "pkg") {
    return std::string(tree) + "/RESOURCEN/Modelle/F" + std::to_string(i / 50) + "/m" + std::to_string(i) + ".mdl";
  }
  int HostCopies() const {
    int found = 0;
    for (int i = 0; i < count; ++i) found += test::ReadBytes(dir / Model(i, "host")) == "model " + std::to_string(i);
    return found;
  }
};

PBRANGE BarRange(HWND dialog) {
  PBRANGE range = {};
  ::SendMessageA(::GetDlgItem(dialog, IDC_PROGRESS), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  return range;
}
int BarPos(HWND dialog) { return static_cast<int>(::SendMessageA(::GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0)); }
bool CloseGreyed(HWND dialog) {
  return (::GetMenuState(::GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

// The colour the screen shows a third into the bar, at half its height.
uint32_t BarColour(HWND dialog, const test::Image& shot) {
  RECT window, bar;
  ::GetWindowRect(dialog, &window);
  ::GetWindowRect(::GetDlgItem(dialog, IDC_PROGRESS), &bar);
  const int x = bar.left - window.left + 3;
  const int y = (bar.top + bar.bottom) / 2 - window.top;
  return x < shot.width && y < shot.height ? shot.at(x, y) : 0xFFFFFFFF;
}

TEST(MainDialog, ARunDisablesTheDialogAnimatesItsTitleAndReportsAtTheEnd) {
  Trees trees(1500);
  ProgramSession program(trees.target);
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);
  program.host().Delete("Scan");
  RECT barBefore;
  ::GetWindowRect(::GetDlgItem(dialog, IDC_PROGRESS), &barBefore);

  test::SetText(dialog, IDC_SOURCE, trees.source);
  test::Click(dialog, IDOK);
  EXPECT_TRUE(test::WaitUntil([&] { return EnabledControls(dialog) == "0000000"; }));
  EXPECT_TRUE(test::WaitUntil([&] { return CloseGreyed(dialog); }));
  // Nothing closes the dialog while the run works.
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ::PostMessageA(::GetDlgItem(dialog, IDC_SOURCE), WM_KEYDOWN, VK_ESCAPE, 0);

  std::vector<std::string> titles;
  bool shot = false;
  CaughtBox box;
  while ((box = program.session().WaitForBox(0)).window == nullptr) {
    std::string title = TextOf(dialog);
    if (titles.empty() || titles.back() != title) titles.push_back(title);
    if (!shot && title.rfind("Installing", 0) == 0 && BarPos(dialog) > 0) {
      test::Image image = test::CaptureWindow(dialog);
      EXPECT_TRUE(test::WritePng(trees.dir / "shot.png", image));
      test::SaveScreenshot(dialog, "run_in_progress");
      EXPECT_EQ(BarColour(dialog, image), 0xFF0000u) << "the bar is pure red";
      shot = true;
    }
    ASSERT_TRUE(::IsWindow(dialog));
    ::Sleep(5);
  }
  EXPECT_TRUE(shot) << "the run was seen working";

  // The box comes with the plain title, while the controls are still off.
  EXPECT_EQ(box.text, "The package has been installed.");
  EXPECT_EQ(box.caption, "ZET Veltran");
  EXPECT_EQ(box.icon, BoxIcon::Information);
  EXPECT_EQ(box.owner, dialog);
  EXPECT_EQ(TextOf(dialog), "ZET Veltran");
  EXPECT_EQ(EnabledControls(dialog), "0000000");
  EXPECT_EQ(BarPos(dialog), trees.count) << "one step per file";
  EXPECT_EQ(BarRange(dialog).iLow, 0);
  EXPECT_GE(BarRange(dialog).iHigh, trees.count + 1);
  EXPECT_EQ(program.host().ReadDword("Scan"), 2);
  EXPECT_EQ(trees.HostCopies(), trees.count);

  // The title: the counting text, then the working text, each with one to
  // four dots; nothing else.
  bool working = false, animated = false;
  for (const std::string& title : titles) {
    SCOPED_TRACE(title);
    const bool counting = title.rfind("Counting files", 0) == 0;
    const bool installing = title.rfind("Installing", 0) == 0;
    EXPECT_TRUE(counting || installing || title == "ZET Veltran");
    if (counting || installing) {
      const std::string dots = title.substr(counting ? 14 : 10);
      EXPECT_TRUE(dots == "." || dots == ".." || dots == "..." || dots == "....");
    }
    EXPECT_FALSE(counting && working) << "counting comes before working";
    working = working || installing;
    animated = animated || (installing && title != "Installing.");
  }
  EXPECT_TRUE(animated) << "the dots advanced";

  GuiSession::CloseBox(box);
  EXPECT_TRUE(test::WaitUntil([&] { return EnabledControls(dialog) == "1111111"; }));
  EXPECT_TRUE(test::WaitUntil([&] { return !CloseGreyed(dialog); }));
  EXPECT_EQ(BarPos(dialog), 0);
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(dialog, IDC_PROGRESS)));
  RECT barAfter;
  ::GetWindowRect(::GetDlgItem(dialog, IDC_PROGRESS), &barAfter);
  EXPECT_TRUE(::EqualRect(&barBefore, &barAfter)) << "the bar stays where the template puts it";
  EXPECT_EQ(ItemText(dialog, IDC_SOURCE), trees.source);
  EXPECT_EQ(ItemText(dialog, IDC_TARGET), trees.target);
  EXPECT_TRUE(program.session().NoBoxWithin(200));

  // A second run, overwriting: Scan is asked for again, changed files come
  // back, and a file that cannot be written is named in the box.
  program.host().Delete("Scan");
  test::WriteBytes(trees.dir / Trees::Model(7, "host"), "changed by the host");
  std::filesystem::remove(trees.dir / Trees::Model(8, "host"));
  test::MakeFolders(trees.dir / Trees::Model(8, "host"));
  test::Click(dialog, IDC_OVERWRITE);
  ASSERT_TRUE(test::WaitUntil([&] { return ::IsDlgButtonChecked(dialog, IDC_OVERWRITE) == BST_CHECKED; }));
  test::Click(dialog, IDOK);
  box = program.session().WaitForBox(60000);
  EXPECT_EQ(box.text, "Installed with failures: 1\n" + test::ProgramPath(trees.dir, Trees::Model(8, "host")));
  EXPECT_EQ(box.icon, BoxIcon::Information);
  EXPECT_EQ(program.host().ReadDword("Scan"), 2);
  EXPECT_EQ(test::ReadBytes(trees.dir / Trees::Model(7, "host")), "model 7");
  GuiSession::CloseBox(box);
  EXPECT_TRUE(test::WaitUntil([&] { return EnabledControls(dialog) == "1111111"; }));

  // Idle again: Cancel closes the program.
  test::Click(dialog, IDCANCEL);
  EXPECT_TRUE(program.session().WaitForEnd());
}

TEST(MainDialog, TheTitleShowsOneToFourDotsAndAnyTimerAdvancesThem) {
  ProgramSession program("");
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);
  TitleDots = 2;
  auto tick = [&](UINT_PTR id, const std::string& expected) {
    ::PostMessageA(dialog, WM_TIMER, id, 0);
    return test::WaitUntil([&] { return TextOf(dialog) == expected; }, 5000);
  };
  EXPECT_TRUE(tick(188, "Counting files..."));
  EXPECT_TRUE(tick(199, "Installing...."));
  EXPECT_TRUE(tick(199, "Installing."));
  ::PostMessageA(dialog, WM_TIMER, 5, 0);  // any timer advances the phase
  EXPECT_TRUE(tick(188, "Counting files..."));
  EXPECT_EQ(TitleDots, 3);
}

// A dialog whose worker thread cannot be created.
class NoThreadDialog : public CUpdateDlg {
 protected:
  HANDLE CreateWorkerThread(LPTHREAD_START_ROUTINE, void*) override { return nullptr; }
};

TEST(MainDialog, AWorkerThatCannotStartGivesTheControlsBack) {
  Trees trees(3);
  HostKey host;
  GuiSession session([] {
    ASSERT_EQ(LoadLangTable(test::DataPath("ui/zetveltran.lng").c_str()), 0);
    NoThreadDialog dialog;
    dialog.DoModal();
    SetLangTable(nullptr);
  });
  HWND dialog = session.WaitForDialog(IsMainDialog);
  ASSERT_NE(dialog, nullptr);
  test::SetText(dialog, IDC_SOURCE, trees.source);
  test::SetText(dialog, IDC_TARGET, trees.target);
  test::Click(dialog, IDOK);
  EXPECT_TRUE(test::WaitUntil([&] { return host.ReadDword("Scan") == 2; })) << "the rescan was asked for";
  EXPECT_TRUE(test::WaitUntil([&] { return EnabledControls(dialog) == "1111111"; }));
  EXPECT_TRUE(test::WaitUntil([&] { return !CloseGreyed(dialog); })) << "Close is offered again";
  EXPECT_EQ(trees.HostCopies(), 0);
  test::Click(dialog, IDCANCEL);
  EXPECT_TRUE(session.WaitForEnd()) << "the dialog closes as after a run";
}

// Records what the picker's callback asks of the picker.
LRESULT CALLBACK RecordEnableOk(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  if (message == BFFM_ENABLEOK) reinterpret_cast<std::vector<LPARAM>*>(data)->push_back(lParam);
  return ::DefSubclassProc(window, message, wParam, lParam);
}

TEST(FolderPicker, OkOnlyForAFolderEndingInResourcen) {
  EXPECT_TRUE(IsResourceFolderPath("E:\\Backup\\RESOURCEN"));
  EXPECT_TRUE(IsResourceFolderPath("E:\\Backup\\Resourcen"));
  EXPECT_TRUE(IsResourceFolderPath("D:\\MyResourcen"));
  EXPECT_TRUE(IsResourceFolderPath("xRESOURCEN"));
  EXPECT_FALSE(IsResourceFolderPath("RESOURCEN")) << "nothing before the name";
  EXPECT_FALSE(IsResourceFolderPath("E:\\Backup\\RESOURCEN\\Modelle"));
  EXPECT_FALSE(IsResourceFolderPath("E:\\RESOURCENX"));
  EXPECT_FALSE(IsResourceFolderPath("E:\\RESOURCEN\\"));
  EXPECT_FALSE(IsResourceFolderPath(""));

  // The callback on real picker items.
  ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
  TempDir dir;
  for (const char* folder : {"Backup/RESOURCEN/Modelle", "RESOURCENX", "MyResourcen"}) test::MakeFolders(dir / folder);
  HWND picker = ::CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  std::vector<LPARAM> enabled;
  ::SetWindowSubclass(picker, &RecordEnableOk, 1, reinterpret_cast<DWORD_PTR>(&enabled));
  auto select = [&](LPITEMIDLIST item) {
    enabled.clear();
    EXPECT_EQ(BrowseCallback(picker, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item), 0), 0);
    if (item != nullptr) ::CoTaskMemFree(item);
    MSG message;
    while (::PeekMessageA(&message, picker, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    return !enabled.empty() && enabled.back() != 0;
  };
  auto folder = [&](const char* relative) { return ::ILCreateFromPathA(test::ProgramPath(dir, relative).c_str()); };
  EXPECT_TRUE(select(folder("Backup/RESOURCEN")));
  EXPECT_TRUE(select(folder("MyResourcen")));
  EXPECT_FALSE(select(folder("Backup/RESOURCEN/Modelle")));
  EXPECT_FALSE(select(folder("RESOURCENX")));
  LPITEMIDLIST computer = nullptr;
  ASSERT_TRUE(SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)));
  EXPECT_FALSE(select(computer)) << "an item without a folder path";
  enabled.clear();
  EXPECT_EQ(BrowseCallback(picker, BFFM_INITIALIZED, 0, 0), 0);
  EXPECT_TRUE(enabled.empty()) << "only a changed selection is looked at";
  ::DestroyWindow(picker);
  ::CoUninitialize();
}

TEST(FolderPicker, BrowsingFillsTheFieldOnlyWhenAFolderIsChosen) {
  TempDir trees;
  test::MakeFolders(trees / "pkg/RESOURCEN");
  ProgramSession program("C:\\Host\\RESOURCEN");
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);
  auto okEnabled = [](HWND picker) { return ::IsWindowEnabled(::GetDlgItem(picker, IDOK)) != FALSE; };
  auto select = [](HWND picker, const std::string& path) {
    ::SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
  };

  // Cancelled: nothing changes.
  test::Click(dialog, IDC_BROWSE_SOURCE);
  CaughtBox picker = program.session().WaitForBox();
  ASSERT_NE(picker.window, nullptr);
  EXPECT_EQ(picker.owner, dialog);
  select(picker.window, test::ProgramPath(trees, "pkg/RESOURCEN"));
  EXPECT_TRUE(test::WaitUntil([&] { return okEnabled(picker.window); }));
  ::PostMessageA(picker.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_TRUE(test::WaitUntil([&] { return ::IsWindowEnabled(dialog) != FALSE; }));
  EXPECT_EQ(ItemText(dialog, IDC_SOURCE), "");

  // Only a resource tree can be chosen.
  test::Click(dialog, IDC_BROWSE_TARGET);
  picker = program.session().WaitForBox();
  ASSERT_NE(picker.window, nullptr);
  select(picker.window, test::ProgramPath(trees, "pkg/RESOURCEN"));
  EXPECT_TRUE(test::WaitUntil([&] { return okEnabled(picker.window); }));
  // Then as clicks in the tree: the picker may refresh its tree a while
  // after it opens, and from then on it lets selections by path pass.
  HWND tree = ::FindWindowExA(picker.window, nullptr, WC_TREEVIEWA, nullptr);
  auto treeItem = [&](UINT relation, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
  };
  auto click = [&](HTREEITEM item) { ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)); };
  const HTREEITEM resourcen = treeItem(TVGN_CARET, nullptr);
  ASSERT_NE(resourcen, nullptr);
  click(treeItem(TVGN_PARENT, resourcen));
  EXPECT_TRUE(test::WaitUntil([&] { return !okEnabled(picker.window); })) << "pkg";
  click(resourcen);
  EXPECT_TRUE(test::WaitUntil([&] { return okEnabled(picker.window); }));
  test::Click(picker.window, IDOK);
  EXPECT_TRUE(test::WaitUntil([&] { return ItemText(dialog, IDC_TARGET) == test::ProgramPath(trees, "pkg/RESOURCEN"); }));
  EXPECT_EQ(ItemText(dialog, IDC_SOURCE), "");
}

TEST(ProgressBar, WithoutAWindowNothingHappens) {
  SPProgressBar bar;
  EXPECT_FALSE(bar.SetRangeAndStep(0, 10, 1));
  EXPECT_EQ(bar.SetBarColour(RGB(255, 0, 0)), CLR_DEFAULT);
  EXPECT_EQ(bar.SetPos(5), 0);
  EXPECT_EQ(bar.StepIt(), 0);
  EXPECT_FALSE(bar.Resize());
  EXPECT_EQ(bar.GetStatusBar(), nullptr);
  bar.ClearBar();
}

}  // namespace
}  // namespace zet
