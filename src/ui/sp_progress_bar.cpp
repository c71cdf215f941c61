#include "ui/sp_progress_bar.h"

#include <uxtheme.h>

#include "ui/framework/scoped_handles.h"
#include "ui/framework/win_app.h"

namespace zet {

namespace {
// The framework's identifier of a status bar among a window's children.
constexpr int kStatusBarId = 0xE801;
}  // namespace

SPProgressBar::~SPProgressBar() { ClearBar(); }

bool SPProgressBar::SetRangeAndStep(int lower, int upper, int step) {
  if (!HasWindow()) return false;
  SetRange32(lower, upper);
  SetStep(step);
  return true;
}

COLORREF SPProgressBar::SetBarColour(COLORREF colour) {
  if (!HasWindow()) return CLR_DEFAULT;
  // A themed bar is drawn by the theme, whatever colour it is given; the bar
  // draws itself in its colour once the theme is off for this control. Its
  // trough then takes the window colour, so an empty bar stays visible on
  // the dialog's face.
  if (colour != CLR_DEFAULT && !themeOff_) {
    ::SetWindowTheme(m_hWnd, L" ", L" ");
    SendMessage(PBM_SETBKCOLOR, 0, static_cast<LPARAM>(::GetSysColor(COLOR_WINDOW)));
    themeOff_ = true;
  }
  return SetBarColor(colour);
}

int SPProgressBar::SetPos(int position) {
  if (!HasWindow()) return 0;
  ShowBar();
  return CProgressCtrl::SetPos(position);
}

int SPProgressBar::StepIt() {
  if (!HasWindow()) return 0;
  ShowBar();
  return CProgressCtrl::StepIt();
}

void SPProgressBar::ClearBar() {
  if (!HasWindow()) return;
  ModifyStyle(WS_VISIBLE, 0);
  HWND statusBar = GetStatusBar();
  if (statusBar == nullptr) return;
  ::SendMessageA(statusBar, SB_SETTEXTA, static_cast<WPARAM>(pane_),
                 reinterpret_cast<LPARAM>(pane_ != 0 ? previousText_.c_str() : ""));
  ::UpdateWindow(statusBar);
}

HWND SPProgressBar::GetStatusBar() const {
  CWinApp* app = CWinApp::Current();
  if (app == nullptr || app->m_pMainWnd == nullptr || app->m_pMainWnd->m_hWnd == nullptr) return nullptr;
  HWND candidate = ::GetDlgItem(app->m_pMainWnd->m_hWnd, kStatusBarId);
  char className[32] = {};
  if (candidate == nullptr || ::GetClassNameA(candidate, className, sizeof className) == 0) return nullptr;
  return lstrcmpiA(className, STATUSCLASSNAMEA) == 0 ? candidate : nullptr;
}

bool SPProgressBar::Resize() {
  if (!HasWindow()) return false;
  HWND statusBar = GetStatusBar();
  if (statusBar == nullptr) return false;
  if (GetStyle() & WS_VISIBLE) {
    ::SendMessageA(statusBar, SB_SETTEXTA, static_cast<WPARAM>(pane_), reinterpret_cast<LPARAM>(message_.c_str()));
    ::UpdateWindow(statusBar);
  }
  SIZE text = {0, 0};
  SIZE blank = {0, 0};
  {
    ScopedWindowDC dc(statusBar);
    ScopedSelectObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageA(statusBar, WM_GETFONT, 0, 0)));
    ::GetTextExtentPoint32A(dc.get(), message_.c_str(), static_cast<int>(message_.size()), &text);
    ::GetTextExtentPoint32A(dc.get(), " ", 1, &blank);
  }
  RECT rect = {};
  ::SendMessageA(statusBar, SB_GETRECT, static_cast<WPARAM>(pane_), reinterpret_cast<LPARAM>(&rect));
  if (!message_.empty()) rect.left += text.cx + 4 * blank.cx;
  rect.right -= (100 - sizePercent_) * (rect.right - rect.left) / 100;
  if (rect.right < rect.left) rect.right = rect.left;
  const int d = (rect.bottom - rect.top) / 5;
  rect.top += d;
  rect.bottom -= d;
  if (!::EqualRect(&rect, &placement_)) {
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    placement_ = rect;
  }
  return true;
}

LRESULT SPProgressBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) Resize();
  return CProgressCtrl::WindowProc(message, wParam, lParam);
}

}  // namespace zet
