#include "ui/menu_xp.h"

namespace zet {

namespace {
int g_MenuHookCount = 0;
}  // namespace

void SetMenuXP(HWND window, bool on) {
  if (on)
    ::SetPropA(window, kMenuXPProperty, reinterpret_cast<HANDLE>(1));
  else
    ::RemovePropA(window, kMenuXPProperty);
}

bool IsMenuXP(HWND window) { return ::GetPropA(window, kMenuXPProperty) != nullptr; }

void ConvertWindowMenu(HWND window) {
  if (!IsMenuXP(window)) return;
  HMENU bar = ::GetMenu(window);
  if (bar != nullptr) ConvertMenuItems(window, bar, true, true);
}

void InstallMenuHook() { ++g_MenuHookCount; }

void RemoveMenuHook() {
  if (g_MenuHookCount > 0) --g_MenuHookCount;
}

int MenuHookInstallCount() { return g_MenuHookCount; }

void ConvertMenuItems(HWND, HMENU, bool, bool) {}

bool MeasureMenuItem(MEASUREITEMSTRUCT*) { return false; }

bool DrawMenuItem(DRAWITEMSTRUCT*, HWND) { return false; }

LRESULT MenuChar(HMENU, UINT, UINT) { return 0; }

}  // namespace zet
