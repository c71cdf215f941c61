#include "ui/xp_edit.h"

#include "profile/lang_table.h"
#include "ui/framework/scoped_handles.h"
#include "ui/framework/solid_rect.h"
#include "ui/menu_xp.h"

namespace zet {

namespace {
constexpr char kMenuSection[] = "POPUP_EDIT";
}  // namespace

void CXPEdit::PreSubclassWindow() {
  tracker_.Start(m_hWnd, MouseHoverTracker::kRepaint);
  SetMenuXP(m_hWnd, true);
}

LRESULT CXPEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  switch (message) {
    case WM_PAINT:
    case WM_NCPAINT:
      // The system draws its own edge in either; the flat frame goes on top.
      result = Default(message, wParam, lParam);
      DrawFrame();
      return result;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      result = Default(message, wParam, lParam);
      ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
      return result;
    case WM_MOUSEMOVE:
      tracker_.OnMouseMove(m_hWnd);
      break;
    case WM_MOUSELEAVE:
      tracker_.OnMouseLeave(m_hWnd);
      break;
    case WM_CONTEXTMENU: {
      POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (point.x == -1 && point.y == -1) {
        // From the keyboard: at the caret.
        ::GetCaretPos(&point);
        ::ClientToScreen(m_hWnd, &point);
      }
      ShowEditMenu(point);
      return 0;
    }
    case WM_INITMENUPOPUP:
      result = Default(message, wParam, lParam);
      ConvertMenuItems(m_hWnd, reinterpret_cast<HMENU>(wParam), IsMenuXP(m_hWnd), false);
      return result;
    default:
      if (RouteMenuMessage(m_hWnd, message, wParam, lParam, result)) return result;
      break;
  }
  return Default(message, wParam, lParam);
}

void CXPEdit::DrawFrame() const {
  ScopedWindowDC dc(m_hWnd, true);
  RECT window, client;
  ::GetWindowRect(m_hWnd, &window);
  ::GetClientRect(m_hWnd, &client);
  ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
  ::OffsetRect(&client, -window.left, -window.top);

  HWND focus = ::GetFocus();
  const bool active = focus == m_hWnd || ::IsChild(m_hWnd, focus) || tracker_.hot();
  RECT outer = client;
  const int edgeX = ::GetSystemMetrics(SM_CXEDGE), edgeY = ::GetSystemMetrics(SM_CYEDGE);
  ::InflateRect(&outer, edgeX, edgeY);
  FrameSolidRect(dc.get(), outer, ::GetSysColor(active ? COLOR_HIGHLIGHT : COLOR_BTNSHADOW));

  const COLORREF background =
      IsWindowEnabled() ? ::GetPixel(dc.get(), client.left, client.top) : ::GetSysColor(COLOR_BTNFACE);
  RECT inner = outer;
  ::InflateRect(&inner, -1, -1);
  inner.right -= edgeX / 2;
  FrameSolidRect(dc.get(), inner, background);
  // The column the narrower inner frame leaves between it and the outer one.
  FillSolidRect(dc.get(), {inner.right, inner.top, inner.right + edgeX / 2, inner.bottom}, background);
}

void CXPEdit::ShowEditMenu(POINT point) {
  ::SetFocus(m_hWnd);
  const bool readOnly = (GetStyle() & ES_READONLY) != 0;
  DWORD start = 0, end = 0;
  SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const bool selection = start != end;
  const DWORD length = static_cast<DWORD>(::GetWindowTextLengthW(m_hWnd));
  const bool clipboardText =
      ::IsClipboardFormatAvailable(CF_UNICODETEXT) || ::IsClipboardFormatAvailable(CF_TEXT);

  ScopedMenu menu(::CreatePopupMenu());
  if (menu.get() == nullptr) return;
  const struct {
    UINT command;
    const char* key;
    bool enabled;
  } items[] = {
      {EM_UNDO, "ID_UNDO", SendMessage(EM_CANUNDO) != 0 && !readOnly},
      {0, nullptr, false},
      {WM_CUT, "ID_CUT", selection && !readOnly},
      {WM_COPY, "ID_COPY", selection},
      {WM_PASTE, "ID_PASTE", clipboardText && !readOnly},
      {WM_CLEAR, "ID_DELETE", selection && !readOnly},
      {0, nullptr, false},
      {kSelectAllCommand, "ID_SELECTALL", length > 0 && !(start == 0 && end >= length)},
  };
  for (const auto& item : items) {
    if (item.key == nullptr)
      ::AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
    else
      ::AppendMenuA(menu.get(), MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED), item.command,
                    GetLangText(kMenuSection, item.key));
  }
  const UINT command = static_cast<UINT>(::TrackPopupMenu(
      menu.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, point.x, point.y, 0, m_hWnd, nullptr));
  if (command == kSelectAllCommand)
    SendMessage(EM_SETSEL, 0, -1);
  else if (command != 0)
    SendMessage(command);
}

}  // namespace zet
