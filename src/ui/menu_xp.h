#pragma once
// The menu look: a window opts in by carrying the window property
// "XPWndProp_MenuXP"; a hook of the user-interface thread takes over the
// system's popup-menu windows, and the opted-in windows route popup
// initialisation, item measuring, item drawing and menu characters here.
//
// The drawing is not done yet: the entry points exist with their final
// signatures, and every window already routes its messages to them.

#include <windows.h>

namespace zet {

constexpr char kMenuXPProperty[] = "XPWndProp_MenuXP";

// Marks (or unmarks) a window whose popup menus get the menu look.
void SetMenuXP(HWND window, bool on);
bool IsMenuXP(HWND window);

// Converts the items of the window's menu bar, when it is marked and has one.
void ConvertWindowMenu(HWND window);

// Counted: the hook exists from the first install to the matching remove.
void InstallMenuHook();
void RemoveMenuHook();
int MenuHookInstallCount();

// Makes the menu's items owner-drawn and measures them (popup
// initialisation of a marked window).
void ConvertMenuItems(HWND window, HMENU menu, bool marked, bool menuBar);
// Item measuring: true when the record is a menu item it measured.
bool MeasureMenuItem(MEASUREITEMSTRUCT* measure);
// Item drawing: false when the record is not a menu item drawn here, so
// the window's own drawing runs.
bool DrawMenuItem(DRAWITEMSTRUCT* draw, HWND window);
// A typed character in an open menu: the result for WM_MENUCHAR; 0 lets
// the system decide.
LRESULT MenuChar(HMENU menu, UINT character, UINT flags);

}  // namespace zet
