#pragma once
// The menu look: a window opts in by carrying the window property
// "XPWndProp_MenuXP". Its popup menus are made owner-drawn when they open
// (ConvertMenuItems) and drawn here: a light icon strip on the left, a
// flat highlight frame around the selected item. The window routes popup
// initialisation, item measuring, item drawing and menu characters here;
// the hook (ui/menu_hook.h) draws the menu windows' frames and shadows.

#include <windows.h>

#include <cstdint>

#include "ui/menu_hook.h"

namespace zet {

constexpr char kMenuXPProperty[] = "XPWndProp_MenuXP";

// Marks (or unmarks) a window whose popup menus get the menu look.
void SetMenuXP(HWND window, bool on);
bool IsMenuXP(HWND window);

// Converts the items of the window's menu bar, when it is marked and has
// one. Menu bars keep the system's drawing; their popups get the look.
void ConvertWindowMenu(HWND window);

// Makes the menu's items owner-drawn (keeping their labels) and stores the
// measures of the popup in every item; only for marked windows.
void ConvertMenuItems(HWND window, HMENU menu, bool marked, bool menuBar);
// Item measuring: false when the record is not a menu item.
bool MeasureMenuItem(MEASUREITEMSTRUCT* measure);
// Item drawing: false when the record is not a menu item drawn here, so
// the window's own drawing runs.
bool DrawMenuItem(DRAWITEMSTRUCT* draw, HWND window);
// A typed character in an open converted menu: the result for
// WM_MENUCHAR (execute the item whose label underlines the character, or
// 0: ignore it).
LRESULT MenuChar(HMENU menu, UINT character, UINT flags);

// Item measuring, item drawing and menu characters of a window with the
// menu look: true when the message was one of them and answered here.
// Popup initialisation is the window's: its own handling, then
// ConvertMenuItems.
bool RouteMenuMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// The measures a converted item carries in its item data: bits 0-7 the
// item height, 8-15 the width of the popup's widest shortcut text, 16 and
// up the width of its widest label. Values beyond a field are cut to the
// field's largest.
struct MenuItemMeasures {
  int height = 0;
  int labelWidth = 0;
  int shortcutWidth = 0;
};
ULONG_PTR PackMenuItemMeasures(const MenuItemMeasures& measures);
MenuItemMeasures UnpackMenuItemMeasures(ULONG_PTR data);

}  // namespace zet
