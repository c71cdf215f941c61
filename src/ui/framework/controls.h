#pragma once
// The stock controls the program binds: thin wrappers over their messages.

#include <windows.h>
#include <commctrl.h>

#include "ui/framework/wnd.h"

namespace zet {

class CButton : public CWnd {
 public:
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
};

class CEdit : public CWnd {
 public:
  // Shows the end of the text: the field scrolls as if End were pressed.
  void ScrollToEnd() const { SendMessage(WM_KEYDOWN, VK_END, 0); }
};

class CProgressCtrl : public CWnd {
 public:
  void SetRange32(int lower, int upper) const { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
  int SetStep(int step) const { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
  int SetPos(int position) const { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
  int StepIt() const { return static_cast<int>(SendMessage(PBM_STEPIT)); }
  COLORREF SetBarColor(COLORREF colour) const {
    return static_cast<COLORREF>(SendMessage(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(colour)));
  }
};

}  // namespace zet
