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

bool CXPDialog::OnInitMenuPopup(WPARAM wParam, LPARAM, LRESULT&) {
  // The system's own handling has nothing to do for a dialog; convert, then
  // let it run.
  ConvertMenuItems(m_hWnd, reinterpret_cast<HMENU>(wParam), IsMenuXP(m_hWnd), false);
  return false;
}

bool CXPDialog::OnMeasureItem(WPARAM, LPARAM lParam, LRESULT& result) {
  auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
  if (measure == nullptr || measure->CtlType != ODT_MENU || !MeasureMenuItem(measure)) return false;
  result = TRUE;
  return true;
}

bool CXPDialog::OnDrawItem(WPARAM, LPARAM lParam, LRESULT& result) {
  if (!DrawMenuItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam), m_hWnd)) return false;
  result = TRUE;
  return true;
}

bool CXPDialog::OnMenuChar(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  // Converted menus answer for themselves; every other menu is the system's.
  HMENU menu = reinterpret_cast<HMENU>(lParam);
  MENUITEMINFOA item = {};
  item.cbSize = sizeof item;
  item.fMask = MIIM_FTYPE;
  if (!::GetMenuItemInfoA(menu, 0, TRUE, &item) || !(item.fType & MFT_OWNERDRAW)) return false;
  result = MenuChar(menu, LOWORD(wParam), HIWORD(wParam));
  return true;
}

}  // namespace zet
