#include "ui/framework/wnd.h"

#include <commctrl.h>

namespace zet {

namespace {
// One subclass id for every object of ours; the object is the reference data.
constexpr UINT_PTR kSubclassId = 0x5A45;
// The window property naming the object bound to a window.
constexpr char kObjectProperty[] = "ZetCWnd";
}  // namespace

std::string GetWindowTextOf(HWND window) {
  int length = ::GetWindowTextLengthA(window);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = ::GetWindowTextA(window, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

CWnd::~CWnd() { UnsubclassWindow(); }

CWnd* CWnd::FromHandle(HWND window) {
  return window != nullptr ? static_cast<CWnd*>(::GetPropA(window, kObjectProperty)) : nullptr;
}

std::string CWnd::GetWindowText() const { return GetWindowTextOf(m_hWnd); }

void CWnd::ModifyStyle(LONG_PTR remove, LONG_PTR add) const {
  LONG_PTR style = ::GetWindowLongPtrA(m_hWnd, GWL_STYLE);
  LONG_PTR changed = (style & ~remove) | add;
  if (changed != style) ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, changed);
}

bool CWnd::SubclassDlgItem(int id, HWND parent) {
  if (m_hWnd != nullptr) return false;
  HWND control = ::GetDlgItem(parent, id);
  if (control == nullptr) return false;
  m_hWnd = control;
  PreSubclassWindow();
  if (!::SetWindowSubclass(control, &CWnd::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    m_hWnd = nullptr;
    return false;
  }
  ::SetPropA(control, kObjectProperty, this);
  subclassed_ = true;
  return true;
}

void CWnd::UnsubclassWindow() {
  if (subclassed_ && m_hWnd != nullptr) {
    ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, kSubclassId);
    ::RemovePropA(m_hWnd, kObjectProperty);
  }
  subclassed_ = false;
  m_hWnd = nullptr;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) { return Default(message, wParam, lParam); }

LRESULT CWnd::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR self) {
  auto* wnd = reinterpret_cast<CWnd*>(self);
  if (message == WM_NCDESTROY) {
    LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    wnd->UnsubclassWindow();
    return result;
  }
  return wnd->WindowProc(message, wParam, lParam);
}

}  // namespace zet
