#include "ui/xp_dialog.h"

#include <iterator>

#include "ui/menu_xp.h"

namespace zet {

const MessageMap* CXPDialog::GetMessageMap() const {
  static const MessageMapEntry entries[] = {
      OnMessageEntry(WM_INITMENUPOPUP, &CXPDialog::OnInitMenuPopup),
      OnMessageEntry(WM_MEASUREITEM, &CXPDialog::OnMeasureItem),
      OnMessageEntry(WM_DRAWITEM, &CXPDialog::OnDrawItem),
      OnMessageEntry(WM_MENUCHAR, &CXPDialog::OnMenuChar),
  };
  static const MessageMap map = {CDialog::GetMessageMap(), entries, std::size(entries)};
  return &map;
}

void CXPDialog::EnableMenuXP() {
  SetMenuXP(m_hWnd, true);
  ConvertWindowMenu(m_hWnd);
}

bool CXPDialog::OnInitMenuPopup(WPARAM wParam, LPARAM lParam, LRESULT&) {
  // The system's own handling has nothing to do for a dialog; convert, then
  // let it run.
  OnMenuOpening(reinterpret_cast<HMENU>(wParam), HIWORD(lParam) != 0);
  ConvertMenuItems(m_hWnd, reinterpret_cast<HMENU>(wParam), IsMenuXP(m_hWnd), false);
  return false;
}

bool CXPDialog::OnMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return RouteMenuMessage(m_hWnd, message, wParam, lParam, result);
}

bool CXPDialog::OnMeasureItem(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return OnMenuMessage(WM_MEASUREITEM, wParam, lParam, result);
}

bool CXPDialog::OnDrawItem(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  // Not a menu item: the framework hands it to the control it draws.
  return OnMenuMessage(WM_DRAWITEM, wParam, lParam, result);
}

bool CXPDialog::OnMenuChar(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  // Menus that are not converted are the system's.
  return OnMenuMessage(WM_MENUCHAR, wParam, lParam, result);
}

}  // namespace zet
