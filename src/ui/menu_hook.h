#pragma once
// The hook of the menu look: while it is installed, every popup-menu window
// that the user-interface thread creates while a window with the menu look
// is in the foreground gets a flat frame, a light icon strip and, on
// systems older than XP, a shadow of its own drawing.

#include <windows.h>

namespace zet {

// Window property holding the procedure a popup-menu window had before the
// menu look took it over.
constexpr char kMenuOldProcProperty[] = "XPWndProp_OldProc";

// Counted: the hook exists from the first install to the matching remove;
// the last remove forgets every popup-menu window it knew.
void InstallMenuHook();
void RemoveMenuHook();
int MenuHookInstallCount();

// The thread hook (WH_CALLWNDPROC) and the procedure of the popup-menu
// windows it takes over.
LRESULT CALLBACK MenuHookProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MenuWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Width of the shadow along the right and the bottom edge of a menu.
constexpr int kMenuShadowSize = 4;

// The brightness, in percent, that the shadow leaves at its line k (0 the
// outermost, 3 the one next to the menu).
constexpr int MenuShadowPercent(int k) { return 93 - 5 * k; }

}  // namespace zet
