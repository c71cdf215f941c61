// The main dialog and the About box, driven through their real windows:
// texts from the language file, the target from the registry, the checks of
// OK, whole update runs, the title animation, the progress bar, preview and
// undo, and the folder picker's rule. Screenshots go to
// build/windows/screenshots/.

#include "ui/update_dlg.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "gui_session.h"
#include "host/journal.h"
#include "profile/lang_table.h"
#include "test_support.h"
#include "ui/browse_folder.h"
#include "ui/preview_window.h"
#include "ui/resources/resource.h"
#include "zet_version.h"

namespace zet {
namespace {

using test::BoxIcon;
using test::CaughtBox;
using test::GuiSession;
using test::ItemText;
using test::ProgramSession;
using test::TempDir;
using test::TextOf;

// Which of the run's controls are enabled, as "1111111".
std::string EnabledControls(HWND dialog) {
  std::string states;
  for (int id : {IDOK, IDCANCEL, IDC_SOURCE, IDC_TARGET, IDC_BROWSE_SOURCE, IDC_BROWSE_TARGET, IDC_OVERWRITE})
    states += ::IsWindowEnabled(::GetDlgItem(dialog, id)) ? '1' : '0';
  return states;
}

// Which of Close, Preview and Undo the system menu greys, as "100".
std::string GreyedEntries(HWND dialog) {
  std::string states;
  for (UINT id : {SC_CLOSE, IDM_PREVIEW, IDM_UNDO})
    states += ::GetMenuState(::GetSystemMenu(dialog, FALSE), id, MF_BYCOMMAND) & MF_GRAYED ? '1' : '0';
  return states;
}
bool CloseGreyed(HWND dialog) { return GreyedEntries(dialog)[0] == '1'; }

// An entry of the system menu counted from its end (0 the last): its id and
// its text (ASCII, '?' else).
std::pair<UINT, std::string> SystemMenuItem(HWND dialog, int fromEnd) {
  HMENU menu = ::GetSystemMenu(dialog, FALSE);
  const int position = ::GetMenuItemCount(menu) - 1 - fromEnd;
  wchar_t text[512] = {};
  ::GetMenuStringW(menu, static_cast<UINT>(position), text, 512, MF_BYPOSITION);
  std::string ascii;
  for (const wchar_t* p = text; *p != 0; ++p) ascii += *p < 128 ? static_cast<char>(*p) : '?';
  return {::GetMenuItemID(menu, position), ascii};
}

// The runs of these tests keep their journals in a folder of their own.
const TempDir g_JournalFolder;
const test::ScopedEnv g_JournalVariable("ZETVELTRAN_JOURNAL_DIR", g_JournalFolder.path().c_str());

// The run's title while it copies, before its dots.
constexpr char kInstalling[] = "ZET Veltran - installing";

// Answers a Yes/No box.
void Answer(const CaughtBox& box, int button) {
  ::PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

PBRANGE BarRange(HWND dialog) {
  PBRANGE range = {};
  ::SendMessageA(::GetDlgItem(dialog, IDC_PROGRESS), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  return range;
}
int BarPos(HWND dialog) { return static_cast<int>(::SendMessageA(::GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0)); }

TEST(MainDialog, TextsComeFromTheLanguageFileAndTheTargetFromTheRegistry) {
  const std::string resBase = "C:\\Program Files\\Brankor\\ZET\\Installations\\Standard\\RESOURCEN";
  ProgramSession program(resBase);
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);

  EXPECT_EQ(TextOf(dialog), "ZET Veltran");
  const std::pair<int, std::string> texts[] = {
      {IDOK, "Install"}, {IDCANCEL, "Close"}, {IDC_STATIC1, "Package folder (the package's RESOURCEN):"},
      {IDC_STATIC2, "Target folder (the RESOURCEN folder of ZET):"}, {IDC_STATIC3, "Progress:"},
      {IDC_BROWSE_SOURCE, "Browse..."}, {IDC_BROWSE_TARGET, "Browse..."}, {IDC_OVERWRITE, "Overwrite files"},
      {IDC_SOURCE, ""}, {IDC_TARGET, resBase}};
  for (const auto& text : texts) EXPECT_EQ(ItemText(dialog, text.first), text.second) << text.first;
  EXPECT_EQ(EnabledControls(dialog), "1111111");
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  ASSERT_TRUE(::GetGUIThreadInfo(program.session().threadId(), &gui));
  EXPECT_EQ(gui.hwndFocus, ::GetDlgItem(dialog, IDC_SOURCE)) << "the first field has the focus";

  // A popup with title bar, system menu and minimise box, in the task bar,
  // showing its icon also when minimised.
  const LONG_PTR style = ::GetWindowLongPtrA(dialog, GWL_STYLE);
  EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_TRUE(::GetWindowLongPtrA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_NE(::SendMessageA(dialog, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_EQ(::SendMessageA(dialog, WM_QUERYDRAGICON, 0, 0), ::SendMessageA(dialog, WM_GETICON, ICON_BIG, 0));

  // About, Preview and Undo close the system menu, after a separator;
  // there is nothing to undo yet.
  EXPECT_EQ(SystemMenuItem(dialog, 2), std::make_pair(UINT{IDM_ABOUTBOX}, std::string("&About ZET Veltran...")));
  EXPECT_EQ(SystemMenuItem(dialog, 1), std::make_pair(UINT{IDM_PREVIEW}, std::string("&Preview...")));
  EXPECT_EQ(SystemMenuItem(dialog, 0), std::make_pair(UINT{IDM_UNDO}, std::string("&Undo last installation...")));
  HMENU systemMenu = ::GetSystemMenu(dialog, FALSE);
  EXPECT_TRUE(::GetMenuState(systemMenu, ::GetMenuItemCount(systemMenu) - 4, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(GreyedEntries(dialog), "001");
  EXPECT_FALSE(test::SaveScreenshot(test::CaptureWindow(dialog), "main_dialog").empty());

  ::PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = program.session().WaitForDialog(test::IsAboutBox);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(TextOf(about), "About ZET Veltran");
  EXPECT_EQ(ItemText(about, IDOK), "OK");
  EXPECT_EQ(ItemText(about, IDC_STATIC1), "ZET Veltran " ZET_VELTRAN_VERSION) << "the program's own version";
  EXPECT_EQ(ItemText(about, IDC_STATIC2),
            "Installs add-on packages into the resources of ZET and merges their catalogues.");
  EXPECT_FALSE(::IsWindowEnabled(dialog)) << "the About box is modal";
  EXPECT_FALSE(test::SaveScreenshot(test::CaptureWindow(about), "about_box").empty());
  test::Click(about, IDOK);
  EXPECT_TRUE(test::WaitUntil([&] { return !::IsWindow(about); }));
  EXPECT_TRUE(program.session().NoBoxWithin(0));
}

TEST(MainDialog, BuiltInTextsWithoutResourceBaseOrAboutTextAndTheTitleDots) {
  std::string language = test::TestLanguage();
  const size_t about = language.find("IDS_ABOUTBOX");
  language.erase(about, language.find("\r\n", about) + 2 - about);
  ProgramSession program("", language);
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ItemText(dialog, IDC_TARGET), "");
  EXPECT_EQ(SystemMenuItem(dialog, 2), std::make_pair(UINT{IDM_ABOUTBOX}, "IDS_ABOUTBOX" + std::string(263, ' ')));

  // One to four dots; any timer advances them, the run's two timers pick
  // the text.
  TitleDots = 2;
  auto tick = [&](UINT_PTR id, const std::string& expected) {
    ::PostMessageA(dialog, WM_TIMER, id, 0);
    return test::WaitUntil([&] { return TextOf(dialog) == expected; }, 5000);
  };
  EXPECT_TRUE(tick(188, "ZET Veltran - counting files..."));
  EXPECT_TRUE(tick(199, "ZET Veltran - installing...."));
  EXPECT_TRUE(tick(199, "ZET Veltran - installing."));
  ::PostMessageA(dialog, WM_TIMER, 5, 0);
  EXPECT_TRUE(tick(188, "ZET Veltran - counting files..."));
  EXPECT_EQ(TitleDots, 3);
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

  // The folders' own test (trailing backslash, relative paths) is the file
  // layer's and the console program's; here each message and what the
  // dialog does after it.
  const std::string noPackage = "The package folder does not exist. Please enter the full path of an existing folder.";
  const std::string noTarget = "The target folder does not exist. Please enter the full path of an existing folder.";
  const struct {
    std::string source, target, message;
  } cases[] = {
      {"", target, noPackage},
      {source, test::ProgramPath(trees, "host/MISSING"), noTarget},
      {target, test::ProgramPath(trees, "HOST/resourcen"),
       "The package folder and the target folder are the same. Please choose two different folders."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("source \"" + c.source + "\", target \"" + c.target + "\"");
    test::SetText(dialog, IDC_SOURCE, c.source);
    test::SetText(dialog, IDC_TARGET, c.target);
    test::Click(dialog, IDOK);
    CaughtBox box = program.session().WaitForBox();
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
  EXPECT_EQ(box.text, noPackage);
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

TEST(MainDialog, ARunDisablesTheDialogAnimatesItsTitleAndReportsAtTheEnd) {
  Trees trees(1500);
  ProgramSession program(trees.target);
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);
  program.host().Delete("Scan");
  HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS);
  RECT barBefore, barAfter;
  ::GetWindowRect(bar, &barBefore);

  test::SetText(dialog, IDC_SOURCE, trees.source);
  test::Click(dialog, IDOK);
  EXPECT_TRUE(test::WaitUntil([&] { return EnabledControls(dialog) == "0000000"; }));
  EXPECT_TRUE(test::WaitUntil([&] { return GreyedEntries(dialog) == "111"; }));
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
    if (!shot && title.rfind(kInstalling, 0) == 0 && BarPos(dialog) > 0) {
      // The screen a little inside the bar's filled part: pure red.
      const test::Image image = test::CaptureWindow(dialog);
      test::SaveScreenshot(image, "run_in_progress");
      RECT window, filled;
      ::GetWindowRect(dialog, &window);
      ::GetWindowRect(bar, &filled);
      const int x = filled.left - window.left + 3, y = (filled.top + filled.bottom) / 2 - window.top;
      EXPECT_EQ(x < image.width && y < image.height ? image.at(x, y) : 0, 0xFF0000u) << "the bar is pure red";
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
  EXPECT_GE(BarRange(dialog).iHigh, trees.count + 1);
  EXPECT_EQ(program.host().ReadDword("Scan"), 2);
  EXPECT_EQ(trees.HostCopies(), trees.count);

  // The title: the counting text, then the working text, each with one to
  // four dots; nothing else.
  const std::regex shape("ZET Veltran( - (counting files|installing)\\.{1,4})?");
  bool working = false, animated = false;
  for (const std::string& title : titles) {
    EXPECT_TRUE(std::regex_match(title, shape)) << title;
    const bool installing = title.rfind(kInstalling, 0) == 0;
    EXPECT_FALSE(working && title.rfind("ZET Veltran - counting", 0) == 0) << "counting comes before working";
    working = working || installing;
    animated = animated || (installing && title != kInstalling + std::string("."));
  }
  EXPECT_TRUE(animated) << "the dots advanced";

  GuiSession::CloseBox(box);
  EXPECT_TRUE(test::WaitUntil([&] { return EnabledControls(dialog) == "1111111"; }));
  EXPECT_TRUE(test::WaitUntil([&] { return GreyedEntries(dialog) == "000"; })) << "the run can be undone";
  EXPECT_EQ(BarPos(dialog), 0);
  ::GetWindowRect(bar, &barAfter);
  EXPECT_TRUE(::IsWindowVisible(bar) && ::EqualRect(&barBefore, &barAfter)) << "the bar stays where it was";
  EXPECT_EQ(ItemText(dialog, IDC_SOURCE), trees.source);
  EXPECT_EQ(ItemText(dialog, IDC_TARGET), trees.target);
  EXPECT_TRUE(program.session().NoBoxWithin(200));

  // A second run, overwriting: changed files come back, and a file that
  // cannot be written is named in the box.
  test::WriteBytes(trees.dir / Trees::Model(7, "host"), "changed by the host");
  std::filesystem::remove(trees.dir / Trees::Model(8, "host"));
  test::MakeFolders(trees.dir / Trees::Model(8, "host"));
  test::Click(dialog, IDC_OVERWRITE);
  ASSERT_TRUE(test::WaitUntil([&] { return ::IsDlgButtonChecked(dialog, IDC_OVERWRITE) == BST_CHECKED; }));
  test::Click(dialog, IDOK);
  box = program.session().WaitForBox(60000);
  EXPECT_EQ(box.text, "The package has been installed, but some files could not be read or written. Failures: 1\n" +
                          test::ProgramPath(trees.dir, Trees::Model(8, "host")));
  EXPECT_EQ(box.icon, BoxIcon::Information);
  EXPECT_EQ(test::ReadBytes(trees.dir / Trees::Model(7, "host")), "model 7");
  GuiSession::CloseBox(box);
  EXPECT_TRUE(test::WaitUntil([&] { return EnabledControls(dialog) == "1111111"; }));

  // Idle again: Cancel closes the program.
  test::Click(dialog, IDCANCEL);
  EXPECT_TRUE(program.session().WaitForEnd());
}

bool IsPreviewWindow(HWND window) { return dynamic_cast<CPreviewWindow*>(CDialog::FromHandle(window)) != nullptr; }

// Three package files, a host that has the second of its own, and the
// program open on that host.
class SmallHost : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteBytes(trees.dir / Trees::Model(1, "host"), "the host's own");
    ASSERT_NE(dialog, nullptr);
    program.host().Delete("Scan");
  }
  Trees trees{3};
  ProgramSession program{trees.target};
  HWND dialog = program.dialog();
};

TEST_F(SmallHost, PreviewShowsWhatARunWouldChangeAndChangesNothing) {
  test::SetText(dialog, IDC_SOURCE, trees.source);
  ::PostMessageA(dialog, WM_SYSCOMMAND, IDM_PREVIEW, 0);
  HWND preview = program.session().WaitForDialog(IsPreviewWindow);
  ASSERT_NE(preview, nullptr);

  // The lines of the console program's dry run, then the summary.
  EXPECT_EQ(TextOf(preview), "ZET Veltran - preview: what an installation would change");
  EXPECT_EQ(ItemText(preview, IDCANCEL), "Close");
  const std::regex lines(
      "\\+ Modelle\\\\F0\\\\m0\\.mdl +new file\r\n"
      "\\. Modelle\\\\F0\\\\m1\\.mdl +kept, the host has it\r\n"
      "\\+ Modelle\\\\F0\\\\m2\\.mdl +new file\r\n\r\n"
      "Files copied: +2\r\nLeft to the archive: +0\r\nKept, the host has them: +1\r\n"
      "Lists merged: +0\r\nFailures: +0\r\n");
  EXPECT_TRUE(std::regex_match(ItemText(preview, IDC_PREVIEW_TEXT), lines)) << ItemText(preview, IDC_PREVIEW_TEXT);
  EXPECT_EQ(trees.HostCopies(), 0);
  EXPECT_EQ(test::ReadBytes(trees.dir / Trees::Model(1, "host")), "the host's own");
  EXPECT_EQ(program.host().ReadDword("Scan"), -1) << "no rescan";
  EXPECT_TRUE(ListRuns(JournalRoot(), trees.target).empty()) << "no journal";
  EXPECT_FALSE(::IsWindowEnabled(dialog)) << "the preview is modal";

  // Read-only, fixed-width, and the field grows with the window.
  HWND field = ::GetDlgItem(preview, IDC_PREVIEW_TEXT);
  EXPECT_TRUE(::GetWindowLongPtrA(field, GWL_STYLE) & ES_READONLY);
  {
    HDC dc = ::GetDC(field);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(field, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics = {};
    ::GetTextMetricsA(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(field, dc);
    EXPECT_EQ(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "the flag is set for variable pitch";
  }
  RECT before, window, after;
  ::GetWindowRect(field, &before);
  ::GetWindowRect(preview, &window);
  ::SetWindowPos(preview, nullptr, 0, 0, window.right - window.left + 120, window.bottom - window.top + 60,
                 SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(test::WaitUntil([&] {
    ::GetWindowRect(field, &after);
    return after.right - after.left == before.right - before.left + 120 &&
           after.bottom - after.top == before.bottom - before.top + 60;
  }, 5000));
  EXPECT_FALSE(test::SaveScreenshot(test::CaptureWindow(preview), "preview_window").empty());

  // Escape closes it; the dialog is as it was.
  ::PostMessageA(field, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(test::WaitUntil([&] { return !::IsWindow(preview); }));
  EXPECT_TRUE(test::WaitUntil([&] { return EnabledControls(dialog) == "1111111"; }));
  EXPECT_EQ(GreyedEntries(dialog), "001");
  EXPECT_TRUE(program.session().NoBoxWithin(0));
}

TEST_F(SmallHost, UndoTakesTheInstallationBackWhenAskedAndKeepsLaterChanges) {
  auto undo = [&] {
    ::PostMessageA(dialog, WM_SYSCOMMAND, IDM_UNDO, 0);
    return program.session().WaitForBox();
  };
  CaughtBox box = undo();
  EXPECT_EQ(box.text, "There is no installation in this target folder to undo.");
  GuiSession::CloseBox(box);

  // An install that overwrites, then the user changes one of its files.
  test::SetText(dialog, IDC_SOURCE, trees.source);
  test::Click(dialog, IDC_OVERWRITE);
  ASSERT_TRUE(test::WaitUntil([&] { return ::IsDlgButtonChecked(dialog, IDC_OVERWRITE) == BST_CHECKED; }));
  test::Click(dialog, IDOK);
  box = program.session().WaitForBox();
  EXPECT_EQ(box.text, "The package has been installed.");
  GuiSession::CloseBox(box);
  ASSERT_TRUE(test::WaitUntil([&] { return GreyedEntries(dialog) == "000"; }));
  EXPECT_EQ(trees.HostCopies(), 3);
  test::WriteBytes(trees.dir / Trees::Model(2, "host"), "changed by the user");
  program.host().Delete("Scan");

  // The question names the run; No leaves everything as it is.
  box = undo();
  const std::regex question(
      "Undo the installation of \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d UTC from the package\\s+(.*)\\?\\s+"
      "Files changed since then are kept\\.");
  std::smatch named;
  EXPECT_TRUE(std::regex_match(box.text, named, question)) << box.text;
  EXPECT_EQ(named.size() > 1 ? named[1].str() : "", trees.source);
  EXPECT_EQ(box.icon, BoxIcon::Question);
  Answer(box, IDNO);
  EXPECT_TRUE(program.session().NoBoxWithin(300));
  EXPECT_EQ(test::ReadBytes(trees.dir / Trees::Model(0, "host")), "model 0");

  // Yes: the host's own file is back, the new one gone, the changed one
  // kept and named; the host rescans.
  Answer(undo(), IDYES);
  box = program.session().WaitForBox();
  EXPECT_EQ(box.text,
            "The installation has been undone, except for 1 files changed since then, which were kept:\n"
            "Modelle\\F0\\m2.mdl");
  EXPECT_FALSE(std::filesystem::exists(trees.dir / Trees::Model(0, "host")));
  EXPECT_EQ(test::ReadBytes(trees.dir / Trees::Model(1, "host")), "the host's own");
  EXPECT_EQ(test::ReadBytes(trees.dir / Trees::Model(2, "host")), "changed by the user");
  EXPECT_EQ(program.host().ReadDword("Scan"), 2);
  GuiSession::CloseBox(box);
  EXPECT_TRUE(test::WaitUntil([&] { return EnabledControls(dialog) == "1111111"; }));
  EXPECT_TRUE(test::WaitUntil([&] { return GreyedEntries(dialog) == "001"; })) << "nothing left to undo";
}

// A dialog whose worker thread cannot be created.
class NoThreadDialog : public CUpdateDlg {
 protected:
  HANDLE CreateWorkerThread(LPTHREAD_START_ROUTINE, void*) override { return nullptr; }
};

TEST(MainDialog, AWorkerThatCannotStartGivesTheControlsBack) {
  Trees trees(3);
  test::HostKey host;
  GuiSession session([] {
    ASSERT_EQ(LoadLangTable(test::LanguagePath().c_str()), 0);
    NoThreadDialog dialog;
    dialog.DoModal();
    SetLangTable(nullptr);
  });
  HWND dialog = session.WaitForDialog(test::IsMainDialog);
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
  for (const char* path : {"E:\\Backup\\RESOURCEN", "E:\\Backup\\Resourcen", "xRESOURCEN"})
    EXPECT_TRUE(IsResourceFolderPath(path)) << path;
  for (const char* path : {"RESOURCEN", "E:\\Backup\\RESOURCEN\\Modelle", "E:\\RESOURCENX", "E:\\RESOURCEN\\", ""})
    EXPECT_FALSE(IsResourceFolderPath(path)) << path;

  // The callback on an item without a folder path; items with one are
  // chosen in the real picker below.
  ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
  HWND picker = ::CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  std::vector<LPARAM> enabled;
  ::SetWindowSubclass(picker, &RecordEnableOk, 1, reinterpret_cast<DWORD_PTR>(&enabled));
  LPITEMIDLIST computer = nullptr;
  ASSERT_TRUE(SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)));
  EXPECT_EQ(BrowseCallback(picker, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(computer), 0), 0);
  ::CoTaskMemFree(computer);
  MSG message;
  while (::PeekMessageA(&message, picker, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
  EXPECT_EQ(enabled.empty() ? -1 : enabled.back(), 0) << "OK is turned off";
  enabled.clear();
  EXPECT_EQ(BrowseCallback(picker, BFFM_INITIALIZED, 0, 0), 0);
  EXPECT_TRUE(enabled.empty()) << "only a changed selection is looked at";
  ::DestroyWindow(picker);
  ::CoUninitialize();
}

TEST(FolderPicker, BrowsingFillsTheFieldOnlyWhenAFolderIsChosen) {
  TempDir trees;
  test::MakeFolders(trees / "pkg/RESOURCEN");
  const std::string resourcen = test::ProgramPath(trees, "pkg/RESOURCEN");
  ProgramSession program("C:\\Host\\RESOURCEN");
  HWND dialog = program.dialog();
  ASSERT_NE(dialog, nullptr);
  // Opens the picker of the button with the package's RESOURCEN selected.
  auto open = [&](int button) {
    test::Click(dialog, button);
    const CaughtBox picker = program.session().WaitForBox();
    EXPECT_EQ(picker.owner, dialog);
    ::SendMessageA(picker.window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(resourcen.c_str()));
    return picker.window;
  };
  auto okEnabled = [](HWND picker) { return ::IsWindowEnabled(::GetDlgItem(picker, IDOK)) != FALSE; };

  // Cancelled: nothing changes.
  HWND picker = open(IDC_BROWSE_SOURCE);
  ASSERT_NE(picker, nullptr);
  EXPECT_TRUE(test::WaitUntil([&] { return okEnabled(picker); }));
  ::PostMessageA(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_TRUE(test::WaitUntil([&] { return ::IsWindowEnabled(dialog) != FALSE; }));
  EXPECT_EQ(ItemText(dialog, IDC_SOURCE), "");

  // Only a resource tree can be chosen.
  picker = open(IDC_BROWSE_TARGET);
  ASSERT_NE(picker, nullptr);
  EXPECT_TRUE(test::WaitUntil([&] { return okEnabled(picker); }));
  // Then as clicks in the tree: the picker may refresh its tree a while
  // after it opens, and from then on it lets selections by path pass.
  HWND tree = ::FindWindowExA(picker, nullptr, WC_TREEVIEWA, nullptr);
  const auto item = reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  ASSERT_NE(item, nullptr);
  const auto parent = ::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item));
  ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, parent);
  EXPECT_TRUE(test::WaitUntil([&] { return !okEnabled(picker); })) << "pkg";
  ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  EXPECT_TRUE(test::WaitUntil([&] { return okEnabled(picker); }));
  test::Click(picker, IDOK);
  EXPECT_TRUE(test::WaitUntil([&] { return ItemText(dialog, IDC_TARGET) == resourcen; }));
  EXPECT_EQ(ItemText(dialog, IDC_SOURCE), "");
}

}  // namespace
}  // namespace zet
