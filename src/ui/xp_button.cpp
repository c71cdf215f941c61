#include "ui/xp_button.h"

#include <string>

#include "ui/framework/offscreen_canvas.h"
#include "ui/xp_colour.h"

namespace zet {

namespace {

struct ButtonColours {
  COLORREF frame;
  COLORREF fill;
  COLORREF text;
};

ButtonColours ColoursOf(UINT state, bool hot, bool emphasised) {
  const bool disabled = (state & ODS_DISABLED) != 0;
  const bool pressed = !disabled && (state & ODS_SELECTED) != 0;
  hot = hot && !disabled;
  if (pressed) return {::GetSysColor(COLOR_HIGHLIGHT), palette::Pressed(), ::GetSysColor(COLOR_BTNFACE)};
  if (hot) return {::GetSysColor(COLOR_HIGHLIGHT), palette::HotButton(), ::GetSysColor(COLOR_BTNTEXT)};
  return {::GetSysColor(emphasised ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW), palette::ButtonFace(),
          ::GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT)};
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
  return text;
}

}  // namespace

void CXPButton::PreSubclassWindow() {
  ModifyStyle(0, BS_OWNERDRAW);
  tracker_.Start(m_hWnd, MouseHoverTracker::kRepaint);
}

LRESULT CXPButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEMOVE) tracker_.OnMouseMove(m_hWnd);
  if (message == WM_MOUSELEAVE) tracker_.OnMouseLeave(m_hWnd);
  return CButton::WindowProc(message, wParam, lParam);
}

bool CXPButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
  if (message != WM_DRAWITEM) return false;
  DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  result = TRUE;
  return true;
}

void CXPButton::DrawItem(const DRAWITEMSTRUCT& draw) {
  HWND parent = ::GetParent(m_hWnd);
  const LRESULT defaultId = parent != nullptr ? ::SendMessageA(parent, DM_GETDEFID, 0, 0) : 0;
  const bool isDefault =
      HIWORD(defaultId) == DC_HASDEFID && LOWORD(defaultId) == static_cast<WORD>(::GetDlgCtrlID(m_hWnd));
  const bool focused = (draw.itemState & ODS_FOCUS) != 0;
  const ButtonColours colours = ColoursOf(draw.itemState, tracker_.hot(), focused || isDefault);

  OffscreenCanvas canvas(draw.hDC, draw.rcItem);
  HDC dc = canvas.dc();
  {
    ScopedBrush fill(::CreateSolidBrush(colours.fill));
    ScopedPen frame(::CreatePen(PS_SOLID, 1, colours.frame));
    ScopedSelectObject brush(dc, fill.get());
    ScopedSelectObject pen(dc, frame.get());
    ::Rectangle(dc, draw.rcItem.left, draw.rcItem.top, draw.rcItem.right, draw.rcItem.bottom);
  }
  ScopedSelectObject font(dc, ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, colours.text);
  RECT text = draw.rcItem;
  const std::wstring label = TextOf(m_hWnd);
  ::DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (focused) {
    RECT focus = draw.rcItem;
    ::InflateRect(&focus, -2, -2);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
    ::DrawFocusRect(dc, &focus);
  }
  canvas.Show();
}

}  // namespace zet
