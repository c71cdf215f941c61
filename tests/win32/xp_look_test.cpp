// The flat look: its colours and the system's version code as plain
// functions, the measures and keys of converted menu items, and the main
// dialog's buttons, edit fields, context menu and system menu as the
// screen shows them, probed pixel by pixel against the colours that the
// look computes from the system colours. Screenshots of both menus open go
// to build/windows/screenshots/.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "gui_session.h"
#include "ui/menu_xp.h"
#include "ui/resources/resource.h"
#include "ui/windows_version.h"
#include "ui/xp_colour.h"
#include "ui/xp_edit.h"

namespace zet {
namespace {

using test::Image;
using test::ProgramSession;

// ------------------------------------------------------------ plain functions

TEST(XPColour, TransformMovesLightnessAndSaturation) {
  for (COLORREF colour : {RGB(12, 34, 56), RGB(255, 0, 0)}) EXPECT_EQ(TransformColour(colour, 0, 0), colour);
  const struct {
    COLORREF colour;
    int lightness, saturation;
    COLORREF expected;
  } cases[] = {
      {RGB(240, 240, 240), 20, 0, RGB(243, 243, 243)},   {RGB(240, 240, 240), 75, 0, RGB(251, 251, 251)},
      {RGB(240, 240, 240), -18, 0, RGB(197, 197, 197)},  {RGB(240, 240, 240), -27, 0, RGB(175, 175, 175)},
      {RGB(0, 0, 0), 40, 0, RGB(102, 102, 102)},         {RGB(255, 255, 255), -40, 0, RGB(153, 153, 153)},
      {RGB(255, 0, 0), 20, -100, RGB(153, 153, 153)},
      {RGB(48, 150, 250), 80, -66, RGB(227, 234, 241)},  {RGB(48, 150, 250), 50, -50, RGB(177, 202, 227)},
      {RGB(48, 150, 250), 70, -57, RGB(210, 223, 236)},  {RGB(0, 120, 215), 80, -66, RGB(215, 227, 236)},
      {RGB(100, 150, 200), -30, 0, RGB(55, 105, 155)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.lightness) + " " + std::to_string(c.saturation));
    EXPECT_EQ(TransformColour(c.colour, c.lightness, c.saturation), c.expected);
  }
}

int g_Queries = 0;
OSVERSIONINFOA g_Reported = {};
BOOL WINAPI FailFirstQuery(OSVERSIONINFOA* info) {
  if (g_Queries++ == 0) return FALSE;
  *info = g_Reported;
  return TRUE;
}

TEST(WindowsVersion, OnlyXpDrawsTheMenuShadowAndOnlyAnAnswerIsKept) {
  const struct {
    DWORD platform, major, minor;
    bool xp;
  } rows[] = {
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, false}, {VER_PLATFORM_WIN32_NT, 5, 0, false},
      {VER_PLATFORM_WIN32_NT, 5, 1, true},        {VER_PLATFORM_WIN32_NT, 5, 2, false},
      {VER_PLATFORM_WIN32_NT, 10, 0, false},      {VER_PLATFORM_WIN32s, 3, 11, false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(WindowsVersionCodeOf(row.platform, row.major, row.minor) >= kWindowsXPCode, row.xp)
        << row.platform << " " << row.major << "." << row.minor;

  g_Queries = 0;
  g_Reported = {sizeof g_Reported, 5, 1, 2600, VER_PLATFORM_WIN32_NT, {}};
  SetWindowsVersionQuery(&FailFirstQuery);
  EXPECT_EQ(GetWindowsVersionCode(), 0) << "the system did not answer";
  EXPECT_EQ(GetWindowsVersionCode(), kWindowsXPCode) << "and is asked again";
  g_Reported.dwMinorVersion = 0;
  EXPECT_EQ(GetWindowsVersionCode(), kWindowsXPCode) << "an answer is kept";
  EXPECT_EQ(g_Queries, 2);
  SetWindowsVersionQuery(nullptr);
  EXPECT_LT(GetWindowsVersionCode(), kWindowsXPCode) << "the system reports a version after XP";
}

// A popup menu of the labels, converted as a marked window's popup is.
HMENU ConvertedMenu(std::initializer_list<const wchar_t*> labels) {
  HMENU menu = ::CreatePopupMenu();
  UINT id = 100;
  for (const wchar_t* label : labels) ::AppendMenuW(menu, MF_STRING, id++, label);
  ConvertMenuItems(nullptr, menu, true, false);
  return menu;
}

ULONG_PTR ItemData(HMENU menu, int position) {
  MENUITEMINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA | MIIM_FTYPE;
  ::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
  return (info.fType & MFT_OWNERDRAW) ? info.dwItemData : 0;
}

TEST(MenuItems, ALongLabelFitsItsItemAndASeparatorIsThin) {
  // A label far wider than 255 pixels, as the About entry's built-in text
  // with its blanks: the item is measured wide enough for it.
  const std::wstring wide = L"&About" + std::wstring(300, L'W');
  HMENU menu = ConvertedMenu({wide.c_str(), L"&Copy\tCtrl+C"});
  ::InsertMenuW(menu, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  ConvertMenuItems(nullptr, menu, true, false);
  HDC screen = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(screen, ::GetStockObject(DEFAULT_GUI_FONT));
  SIZE label = {}, shortcut = {};
  ::GetTextExtentPoint32W(screen, wide.c_str() + 1, static_cast<int>(wide.size() - 1), &label);
  ::GetTextExtentPoint32W(screen, L"Ctrl+C", 6, &shortcut);
  ::SelectObject(screen, old);
  ::ReleaseDC(nullptr, screen);
  ASSERT_GT(label.cx, 255);
  for (int position : {0, 2}) {
    MEASUREITEMSTRUCT item = {ODT_MENU, 0, 0, 0, 0, ItemData(menu, position)};
    ASSERT_TRUE(MeasureMenuItem(&item));
    EXPECT_EQ(item.itemWidth, static_cast<UINT>(label.cx + shortcut.cx + 42)) << position;
    EXPECT_GE(item.itemHeight, 20u);
  }
  MEASUREITEMSTRUCT separator = {ODT_MENU, 0, 0, 0, 0, ItemData(menu, 1)};
  ASSERT_TRUE(MeasureMenuItem(&separator));
  EXPECT_LT(separator.itemHeight, 20u) << "a separator is a thin item";
  ::DestroyMenu(menu);
}

TEST(MenuItems, ATypedLetterExecutesTheItemThatUnderlinesIt) {
  HMENU menu = ConvertedMenu({L"&Open", L"Fish && Chips", L"Salt && &Vinegar", L"&&Ampersand", L"Save &As\tCtrl+S",
                              L"&open again", L"\u00c4&\u00dfen"});
  const LRESULT execute = MNC_EXECUTE << 16;
  EXPECT_EQ(MenuChar(menu, 'o', MF_POPUP), execute | 0) << "the first of two items with the letter";
  EXPECT_EQ(MenuChar(menu, 'O', MF_POPUP), execute | 0);
  EXPECT_EQ(MenuChar(menu, 'v', MF_POPUP), execute | 2);
  EXPECT_EQ(MenuChar(menu, 'a', MF_POPUP), execute | 4) << "\"&&A\" is no key, \"&A\" is";
  EXPECT_EQ(MenuChar(menu, 'c', MF_POPUP), 0) << "\"&& C\" is no key";
  EXPECT_EQ(MenuChar(menu, '&', MF_POPUP), 0);
  EXPECT_EQ(MenuChar(menu, 0xDF, MF_POPUP), execute | 6);
  EXPECT_EQ(MenuChar(menu, 'v', MF_SYSMENU), execute | 2) << "the system menu's letters work as well";
  ::DestroyMenu(menu);
}

// ------------------------------------------------------------ on the screen

// Colours as the screen image holds them (0x00RRGGBB).
uint32_t Px(COLORREF colour) { return GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour); }
uint32_t Sys(int index) { return Px(::GetSysColor(index)); }
uint32_t Darkened(uint32_t pixel, int percent) {
  auto part = [&](int shift) { return ((pixel >> shift) & 0xFF) * static_cast<uint32_t>(percent) / 100 << shift; };
  return part(16) | part(8) | part(0);
}

RECT ScreenRect(HWND window) {
  RECT rect;
  ::GetWindowRect(window, &rect);
  return rect;
}

// The window's own drawing, once it has painted itself anew.
Image Shot(HWND window) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  return test::CaptureWindowDrawing(window);
}

bool Contains(const Image& image, uint32_t colour) {
  for (uint32_t pixel : image.pixels)
    if (pixel == colour) return true;
  return false;
}

// A button as the user sees it: its frame (left edge, half-way down) and
// its face (3 pixels in, clear of the focus rectangle and the text), once
// both show the colours expected (or 5 seconds have passed). Its image.
Image ExpectButton(HWND button, uint32_t frame, uint32_t fill, const char* what) {
  Image image;
  test::WaitUntil([&] {
    image = Shot(button);
    return image.at(0, image.height / 2) == frame && image.at(3, 3) == fill;
  }, 5000);
  EXPECT_EQ(image.at(0, image.height / 2), frame) << what << ": the frame";
  EXPECT_EQ(image.at(3, 3), fill) << what << ": the face";
  return image;
}

void MoveMouseTo(HWND window) {
  const RECT rect = ScreenRect(window);
  ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}
void MoveMouseAway() { ::SetCursorPos(1200, 1000); }

// The program started with its main dialog open, the mouse away from it.
class OnScreen : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(dialog, nullptr); }

  struct MouseAway {
    MouseAway() { MoveMouseAway(); }
  } mouseAway;
  ProgramSession program{"C:\\Host\\RESOURCEN"};
  HWND dialog = program.dialog();
};

TEST_F(OnScreen, ButtonsShowEachStateInFrameFaceAndText) {
  HWND browse = ::GetDlgItem(dialog, IDC_BROWSE_TARGET);
  const uint32_t face15 = Px(palette::ButtonFace()), shadow = Sys(COLOR_BTNSHADOW), dark = Sys(COLOR_3DDKSHADOW);

  EXPECT_TRUE(Contains(ExpectButton(browse, shadow, face15, "at rest"), Sys(COLOR_BTNTEXT)));
  ExpectButton(::GetDlgItem(dialog, IDOK), dark, face15, "the default button");
  MoveMouseTo(browse);
  const Image hot = ExpectButton(browse, Sys(COLOR_HIGHLIGHT), Px(palette::HotButton()), "hot");
  EXPECT_TRUE(Contains(hot, Sys(COLOR_BTNTEXT)));
  ::SendMessageA(browse, BM_SETSTATE, TRUE, 0);
  const Image pressed = ExpectButton(browse, Sys(COLOR_HIGHLIGHT), Px(palette::Pressed()), "pressed");
  EXPECT_TRUE(Contains(pressed, Sys(COLOR_BTNFACE)));
  ::SendMessageA(browse, BM_SETSTATE, FALSE, 0);
  MoveMouseAway();
  ExpectButton(browse, shadow, face15, "the mouse has left");

  ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(browse), TRUE);
  const Image focused = ExpectButton(browse, dark, face15, "focused");
  bool focusRect = false;
  for (int x = 3; x < focused.width - 3; ++x) focusRect = focusRect || focused.at(x, 2) != face15;
  EXPECT_TRUE(focusRect) << "a focus rectangle 2 pixels inside";
  ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(dialog, IDC_SOURCE)), TRUE);
  ::EnableWindow(browse, FALSE);
  const Image disabled = ExpectButton(browse, shadow, face15, "disabled");
  EXPECT_TRUE(Contains(disabled, Sys(COLOR_GRAYTEXT)));
  EXPECT_FALSE(Contains(disabled, Sys(COLOR_BTNTEXT)));

  ::PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = program.session().WaitForDialog(test::IsAboutBox);
  ASSERT_NE(about, nullptr);
  ExpectButton(::GetDlgItem(about, IDOK), dark, face15, "the About box's only button, its default one");
}

// An edit field's frame once its outer line shows the colour expected (or 5
// seconds have passed): the outer line (around the client area enlarged by
// the system's edge) and the inner one beside it, half-way down, must show
// the colour and the window's background, as must the inner line at the
// right.
void ExpectEditFrame(HWND edit, int colour, const char* what) {
  uint32_t frame = 0, inner = 0, right = 0;
  test::WaitUntil([&] {
    const RECT window = ScreenRect(edit);
    RECT client;
    ::GetClientRect(edit, &client);
    ::MapWindowPoints(edit, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::InflateRect(&client, ::GetSystemMetrics(SM_CXEDGE), ::GetSystemMetrics(SM_CYEDGE));
    const Image image = Shot(edit);
    const int y = image.height / 2;
    frame = image.at(client.left - window.left, y);
    inner = image.at(client.left - window.left + 1, y);
    right = image.at(client.right - window.left - 2, y);
    return frame == Sys(colour);
  }, 5000);
  EXPECT_EQ(frame, Sys(colour)) << what;
  EXPECT_EQ(inner, Sys(COLOR_WINDOW)) << what;
  EXPECT_EQ(right, Sys(COLOR_WINDOW)) << what;
}

TEST_F(OnScreen, EditFramesShowTheFocusAndTheMouse) {
  HWND source = ::GetDlgItem(dialog, IDC_SOURCE), target = ::GetDlgItem(dialog, IDC_TARGET);
  ExpectEditFrame(source, COLOR_HIGHLIGHT, "focused");
  ExpectEditFrame(target, COLOR_BTNSHADOW, "at rest");
  MoveMouseTo(target);
  ExpectEditFrame(target, COLOR_HIGHLIGHT, "hot");
  MoveMouseAway();
  ExpectEditFrame(target, COLOR_BTNSHADOW, "the mouse has left");
  ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
  ExpectEditFrame(source, COLOR_BTNSHADOW, "the focus has gone");
  ExpectEditFrame(target, COLOR_HIGHLIGHT, "the focus has come");
}

// The visible popup menu window of the thread; null when none comes.
HWND WaitForPopupMenu(DWORD thread) {
  return test::WaitForWindow(thread, [](HWND window) { return test::ClassOf(window) == "#32768"; }, 5000);
}

HMENU MenuOf(HWND popup) { return reinterpret_cast<HMENU>(::SendMessageA(popup, 0x01E1, 0, 0)); }

// Which items of the menu are enabled, separators left out: "0101".
std::string EnabledItems(HMENU menu) {
  std::string states;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    const UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    if (!(state & MF_SEPARATOR)) states += (state & (MF_GRAYED | MF_DISABLED)) ? '0' : '1';
  }
  return states;
}

void Press(HWND window, UINT key) { ::PostMessageA(window, WM_KEYDOWN, key, 0); }
void Type(HWND window, char letter) { ::PostMessageA(window, WM_CHAR, static_cast<WPARAM>(letter), 0); }

bool Closes(HWND popup) {
  return test::WaitUntil([&] { return !::IsWindow(popup) || !::IsWindowVisible(popup); }, 5000);
}

// Puts the text on the clipboard (an empty one: nothing).
void SetClipboard(const std::string& text) {
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();
  if (HGLOBAL memory = text.empty() ? nullptr : ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    std::memcpy(::GlobalLock(memory), text.c_str(), text.size() + 1);
    ::GlobalUnlock(memory);
    ::SetClipboardData(CF_TEXT, memory);
  }
  ::CloseClipboard();
}

std::string Clipboard() {
  std::string text;
  if (!::OpenClipboard(nullptr)) return "(clipboard busy)";
  if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
    text = static_cast<const char*>(::GlobalLock(data));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return text;
}

std::pair<DWORD, DWORD> Selection(HWND edit) {
  DWORD start = 0, end = 0;
  ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {start, end};
}

// Opens the dialog's system menu from the keyboard, as Alt+Space does.
HWND OpenSystemMenu(ProgramSession& program) {
  ::PostMessageA(program.dialog(), WM_SYSCOMMAND, SC_KEYMENU, ' ');
  return WaitForPopupMenu(program.session().threadId());
}

// Closes the system menu and leaves the menu mode that the keyboard
// started (Escape alone would only go back to the title bar).
bool CloseSystemMenu(ProgramSession& program, HWND popup) {
  ::PostMessageA(program.dialog(), WM_CANCELMODE, 0, 0);
  return Closes(popup) && test::WaitUntil([&] {
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    ::GetGUIThreadInfo(program.session().threadId(), &gui);
    return !(gui.flags & GUI_INMENUMODE);
  }, 5000);
}

// Right-clicks the field; the context menu that opens.
HWND OpenEditMenu(ProgramSession& program, HWND edit) {
  const RECT rect = ScreenRect(edit);
  ::PostMessageA(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(rect.left + 40, rect.bottom - 4));
  return WaitForPopupMenu(program.session().threadId());
}

// Opens the context menu, reads which items it enables, closes it.
std::string EditMenuItems(ProgramSession& program, HWND edit) {
  HWND popup = OpenEditMenu(program, edit);
  if (popup == nullptr) return "(no menu)";
  const std::string items = EnabledItems(MenuOf(popup));
  Press(popup, VK_ESCAPE);
  return Closes(popup) ? items : "(menu stays open)";
}

// Chooses an item of the context menu by its letter; true when it closed.
bool Choose(ProgramSession& program, HWND edit, char letter) {
  HWND popup = OpenEditMenu(program, edit);
  if (popup != nullptr) Type(popup, letter);
  return popup != nullptr && Closes(popup);
}

TEST_F(OnScreen, TheEditMenuOffersWhatTheFieldCanDo) {
  HWND edit = ::GetDlgItem(dialog, IDC_SOURCE);
  const std::string path = "C:\\Packages\\RESOURCEN";

  // Undo, Cut, Copy, Paste, Delete, Select all.
  SetClipboard("");
  EXPECT_EQ(EditMenuItems(program, edit), "000000") << "empty field, empty clipboard";
  SetClipboard("D:\\Other");
  EXPECT_EQ(EditMenuItems(program, edit), "000100") << "empty field, text on the clipboard";
  test::SetText(dialog, IDC_SOURCE, path);
  ::SendMessageA(edit, EM_SETSEL, 3, 11);
  EXPECT_EQ(EditMenuItems(program, edit), "011111") << "a selection";
  ::SendMessageA(edit, EM_SETSEL, 0, -1);
  EXPECT_EQ(EditMenuItems(program, edit), "011110") << "everything selected";
  ::SendMessageA(edit, EM_SETSEL, 21, 21);
  ::SendMessageA(edit, WM_CHAR, 'x', 0);
  EXPECT_EQ(EditMenuItems(program, edit), "100101") << "something typed";
  ::SendMessageA(edit, EM_SETREADONLY, TRUE, 0);
  ::SendMessageA(edit, EM_SETSEL, 3, 11);
  EXPECT_EQ(EditMenuItems(program, edit), "001001") << "read-only with a selection";
  ::SendMessageA(edit, EM_SETREADONLY, FALSE, 0);

  // Copy, chosen by its letter: the selection stays as it was.
  test::SetText(dialog, IDC_SOURCE, path);
  ::SendMessageA(edit, EM_SETSEL, 3, 11);
  HWND popup = OpenEditMenu(program, edit);
  ASSERT_NE(popup, nullptr);
  Type(popup, 'z');
  ::Sleep(200);
  EXPECT_TRUE(::IsWindowVisible(popup)) << "no item underlines z";
  HMENU menu = MenuOf(popup);
  // The keyboard walks to Cut, the first enabled item.
  for (int step = 0; step < 8 && !(::GetMenuState(menu, 2, MF_BYPOSITION) & MF_HILITE); ++step) {
    Press(popup, VK_DOWN);
    test::WaitUntil([&] { return (::GetMenuState(menu, 2, MF_BYPOSITION) & MF_HILITE) != 0; }, 300);
  }
  RECT cut, undo;
  ASSERT_TRUE(::GetMenuItemRect(nullptr, menu, 2, &cut));
  ASSERT_TRUE(::GetMenuItemRect(nullptr, menu, 0, &undo));
  const RECT window = ScreenRect(popup);
  const int y = (cut.top + cut.bottom) / 2 - window.top;
  const int undoY = (undo.top + undo.bottom) / 2 - window.top;
  Image image;
  test::WaitUntil([&] {
    image = test::CaptureWindowDrawing(popup);
    return image.at(cut.left - window.left, y) == Sys(COLOR_HIGHLIGHT);
  }, 3000);
  EXPECT_EQ(image.at(cut.left - window.left, y), Sys(COLOR_HIGHLIGHT)) << "the selected item's frame";
  EXPECT_EQ(image.at(cut.left - window.left + 3, y), Px(palette::SelectedItem()));
  EXPECT_EQ(image.at(undo.left - window.left + 5, undoY), Px(palette::IconStrip())) << "the icon strip";
  EXPECT_EQ(image.at(undo.left - window.left + kItemIconStripWidth + 3, undoY), Px(palette::MenuBackground()));
  test::SaveScreenshot(test::CaptureWindowDrawing(popup), "edit_context_menu");
  Type(popup, 'c');
  EXPECT_TRUE(Closes(popup));
  EXPECT_TRUE(test::WaitUntil([&] { return Clipboard() == "Packages"; }, 5000)) << Clipboard();
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{3}, DWORD{11}));
  EXPECT_EQ(test::ItemText(dialog, IDC_SOURCE), path);

  // Select all, then Paste replaces it.
  EXPECT_TRUE(Choose(program, edit, 'a'));
  EXPECT_TRUE(test::WaitUntil([&] { return Selection(edit) == std::make_pair(DWORD{0}, DWORD{21}); }, 5000));
  EXPECT_TRUE(Choose(program, edit, 'p'));
  EXPECT_TRUE(test::WaitUntil([&] { return test::ItemText(dialog, IDC_SOURCE) == "Packages"; }, 5000));
}

TEST_F(OnScreen, TheSystemMenuGetsTheStripFrameAndShadow) {
  HMENU systemMenu = ::GetSystemMenu(dialog, FALSE);

  // Unmarked, the dialog keeps the system's menu.
  ::RemovePropA(dialog, kMenuXPProperty);
  HWND popup = OpenSystemMenu(program);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(::GetPropA(popup, kMenuOldProcProperty), nullptr);
  EXPECT_EQ(ItemData(systemMenu, 0), 0u) << "not owner-drawn";
  ASSERT_TRUE(CloseSystemMenu(program, popup));
  SetMenuXP(dialog, true);

  ASSERT_LT(GetWindowsVersionCode(), kWindowsXPCode) << "the look draws its own shadow here";
  const RECT dialogRect = ScreenRect(dialog);
  const Image before = test::CaptureScreen({0, 0, dialogRect.right + 300, dialogRect.bottom + 300});
  popup = OpenSystemMenu(program);
  ASSERT_NE(popup, nullptr);
  ::Sleep(300);
  EXPECT_NE(::GetPropA(popup, kMenuOldProcProperty), nullptr);
  const int count = ::GetMenuItemCount(systemMenu);
  for (int i = 0; i < count; ++i) EXPECT_NE(ItemData(systemMenu, i), 0u) << "item " << i << " is owner-drawn";

  // The menu's own drawing, at screen coordinates.
  const RECT window = ScreenRect(popup);
  const Image drawn = test::CaptureWindowDrawing(popup);
  test::SaveScreenshot(drawn, "system_menu");
  auto after = [&](int x, int y) { return drawn.at(x - window.left, y - window.top); };
  const RECT menu = {window.left, window.top, window.right - 4, window.bottom - 4};
  const int middle = (menu.top + menu.bottom) / 2;
  EXPECT_EQ(after(menu.left, middle), Sys(COLOR_3DDKSHADOW)) << "the outer frame";
  EXPECT_EQ(after(menu.left + 1, middle), Px(palette::MenuBackground())) << "the inner frames";
  EXPECT_EQ(after(menu.left + 2, middle), Px(palette::MenuBackground()));
  EXPECT_EQ(after(menu.left + 10, menu.top), Sys(COLOR_3DDKSHADOW));
  RECT about;
  ASSERT_TRUE(::GetMenuItemRect(nullptr, systemMenu, static_cast<UINT>(count - 1), &about));
  const int aboutY = (about.top + about.bottom) / 2;
  EXPECT_EQ(after(menu.left + 8, aboutY), Px(palette::IconStrip())) << "the icon strip";
  EXPECT_EQ(after(menu.left + kMenuIconStripWidth - 1, aboutY), Px(palette::IconStrip()));
  EXPECT_EQ(after(menu.left + kMenuIconStripWidth + 1, aboutY), Px(palette::MenuBackground()));
  EXPECT_EQ(after(menu.left + 8, menu.top + 4), Px(palette::IconStrip())) << "the strip runs to the top";

  // The shadow darkens what was under it, lightest at the outer line, and
  // leaves the corner beside the menu's top alone.
  const int y = (window.top + std::min(window.bottom, dialogRect.bottom)) / 2;
  for (int k = 0; k < 4; ++k) {
    const int x = window.right - 1 - k;
    EXPECT_EQ(after(x, y), Darkened(before.at(x, y), 93 - 5 * k)) << "shadow line " << k;
  }
  EXPECT_EQ(after(window.right - 1, window.top), before.at(window.right - 1, window.top));
  const int x = (window.left + window.right) / 2;
  EXPECT_EQ(after(x, window.bottom - 1), Darkened(before.at(x, window.bottom - 1), 93));

  // Letters work in the converted menu: C closes the dialog.
  Type(popup, 'c');
  EXPECT_TRUE(program.session().WaitForEnd());
}

}  // namespace
}  // namespace zet
