#pragma once
// CWnd: the one owner of an HWND. A dialog binds itself to its window at
// WM_INITDIALOG; a control member is bound to an existing child window by
// subclassing it (SetWindowSubclass), and lets go of it when the window is
// destroyed. A dialog hands the drawing of an owner-drawn control back to
// the control's object. Objects are not copyable: a window has exactly one object.

#include <windows.h>

#include <string>

namespace zet {

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  bool HasWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }

  // Binds this object to the child control id of parent: the control's
  // messages pass through WindowProc from now on. False when there is no
  // such control or the object is bound already.
  bool SubclassDlgItem(int id, HWND parent);
  // Lets go of the window (it goes on with its own procedure).
  void UnsubclassWindow();

  std::string GetWindowText() const;
  void SetWindowText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
  bool EnableWindow(bool enable) const { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE) != FALSE; }
  bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  LONG_PTR GetStyle() const { return ::GetWindowLongPtrA(m_hWnd, GWL_STYLE); }
  // Sets and clears style bits, as a style change only (no move, no redraw).
  void ModifyStyle(LONG_PTR remove, LONG_PTR add) const;

  // The object bound to a window by subclassing; null for any other window.
  static CWnd* FromHandle(HWND window);

  // A message about this control that its parent hands back to it (the
  // drawing of an owner-drawn control). True when the control handled it,
  // with the message's result.
  virtual bool OnChildNotify(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

  HWND m_hWnd = nullptr;

 protected:
  // Called once the window is bound, before any of its messages reaches
  // WindowProc: the place to adjust styles.
  virtual void PreSubclassWindow() {}
  // Messages of a subclassed window; the default passes them on.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  bool subclassed_ = false;
};

// The text of any window.
std::string GetWindowTextOf(HWND window);

}  // namespace zet
