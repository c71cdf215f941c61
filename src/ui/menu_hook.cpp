#include "ui/menu_hook.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "ui/framework/bitmap_pixels.h"
#include "ui/framework/offscreen_canvas.h"
#include "ui/framework/scoped_handles.h"
#include "ui/framework/solid_rect.h"
#include "ui/menu_xp.h"
#include "ui/windows_version.h"
#include "ui/xp_colour.h"

namespace zet {

namespace {

// Sent to a popup-menu window when the system sizes it.
constexpr UINT kMenuSizeWindowMessage = 0x01E2;
// Asks a popup-menu window for its menu.
constexpr UINT kMenuGetMenuMessage = 0x01E1;
constexpr char kPopupMenuClass[] = "#32768";
constexpr int kNoPosition = -0xFFFF;

// One popup-menu window that the look has taken over.
struct MenuWindowRecord {
  HWND window = nullptr;
  RECT frame = {0, 0, 0, 0};  // last frame drawn, window-relative
  POINT position = {kNoPosition, kNoPosition};
  // The screen under the window (its whole rectangle) as it was before the
  // window showed: what the shadow darkens.
  ScopedBitmap background;
  SIZE backgroundSize = {0, 0};
};

std::map<HWND, std::unique_ptr<MenuWindowRecord>> g_MenuWindows;
std::unique_ptr<ScopedHook> g_MenuHook;
int g_MenuHookCount = 0;

bool DrawsShadow() { return GetWindowsVersionCode() < kWindowsXPCode; }

bool IsPopupMenuWindow(HWND window) {
  char name[8] = {};
  return ::GetClassNameA(window, name, sizeof name) == 6 && std::strcmp(name, kPopupMenuClass) == 0;
}

MenuWindowRecord* RecordOf(HWND window) {
  auto found = g_MenuWindows.find(window);
  return found != g_MenuWindows.end() ? found->second.get() : nullptr;
}

void TakeOver(HWND window) {
  auto& record = g_MenuWindows[window];
  if (!record) {
    record = std::make_unique<MenuWindowRecord>();
    record->window = window;
  }
  if (::GetPropA(window, kMenuOldProcProperty) != nullptr) return;
  ::SetPropA(window, kMenuOldProcProperty, reinterpret_cast<HANDLE>(::GetWindowLongPtrW(window, GWLP_WNDPROC)));
  if (::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuWindowProc)) == 0)
    ::RemovePropA(window, kMenuOldProcProperty);
}

// Keeps what the screen shows in the rectangle, before the window covers it.
void SaveBackground(MenuWindowRecord& record, const RECT& screenRect) {
  const int width = screenRect.right - screenRect.left, height = screenRect.bottom - screenRect.top;
  record.background.Reset();
  if (width <= 0 || height <= 0) return;
  ScopedWindowDC screen(nullptr);
  ScopedMemoryDC memory(screen.get());
  ScopedBitmap copy(::CreateCompatibleBitmap(screen.get(), width, height));
  if (memory.get() == nullptr || !copy) return;
  {
    ScopedSelectObject select(memory.get(), copy.get());
    ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), screenRect.left, screenRect.top, SRCCOPY);
  }
  record.background = std::move(copy);
  record.backgroundSize = {width, height};
}

// How dark the shadow is at a pixel of the window (width x height, shadow
// included): its line k (0 outermost .. 3 next to the menu), or -1 where the
// window shows the background unchanged. Each strip starts
// kMenuShadowSize pixels in from the menu's corner and fades in over its
// first pixels; the outer corner is rounded.
int ShadowLine(int x, int y, int width, int height) {
  const int menuRight = width - kMenuShadowSize, menuBottom = height - kMenuShadowSize;
  const bool right = x >= menuRight, bottom = y >= menuBottom;
  if (!right && !bottom) return -1;
  if (right && y < kMenuShadowSize) return -1;
  if (bottom && x < kMenuShadowSize) return -1;
  const int kx = width - 1 - x, ky = height - 1 - y;
  if (right && bottom) return std::min(kx, ky);
  if (right) return std::min(kx, y - kMenuShadowSize);
  return std::min(ky, x - kMenuShadowSize);
}

// The right and bottom strips of the window: the saved background,
// darkened line by line.
void DrawShadow(HDC dc, const MenuWindowRecord& record, int width, int height) {
  if (!record.background || record.backgroundSize.cx != width || record.backgroundSize.cy != height) return;
  std::vector<uint32_t> pixels = ReadBitmapPixels(record.background.get(), width, height);
  if (pixels.empty()) return;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int k = ShadowLine(x, y, width, height);
      if (k < 0) continue;
      uint32_t& pixel = pixels[static_cast<size_t>(y) * width + x];
      const uint32_t percent = static_cast<uint32_t>(MenuShadowPercent(k));
      const uint32_t r = ((pixel >> 16) & 0xFF) * percent / 100, g = ((pixel >> 8) & 0xFF) * percent / 100,
                     b = (pixel & 0xFF) * percent / 100;
      pixel = r << 16 | g << 8 | b;
    }
  }
  const BITMAPINFO info = TopDownBitmapInfo(width, height);
  ScopedBitmap shadow(::CreateCompatibleBitmap(dc, width, height));
  ScopedMemoryDC memory(dc);
  if (!shadow || memory.get() == nullptr ||
      ::SetDIBits(dc, shadow.get(), 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) == 0)
    return;
  ScopedSelectObject select(memory.get(), shadow.get());
  const int menuRight = width - kMenuShadowSize, menuBottom = height - kMenuShadowSize;
  ::BitBlt(dc, menuRight, 0, kMenuShadowSize, height, memory.get(), menuRight, 0, SRCCOPY);
  ::BitBlt(dc, 0, menuBottom, menuRight, kMenuShadowSize, memory.get(), 0, menuBottom, SRCCOPY);
}

// The menu's area of the window (without the shadow), window-relative.
RECT MenuArea(HWND window) {
  RECT rect;
  ::GetWindowRect(window, &rect);
  RECT area = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
  if (DrawsShadow()) {
    area.right -= kMenuShadowSize;
    area.bottom -= kMenuShadowSize;
  }
  return area;
}

// The icon strip and the light rest of the menu.
void FillStrips(HDC dc, const RECT& area) {
  const RECT strip = {area.left, area.top, std::min(area.left + kMenuIconStripWidth, area.right), area.bottom};
  FillSolidRect(dc, strip, palette::IconStrip());
  FillSolidRect(dc, {strip.right, area.top, area.right, area.bottom}, palette::MenuBackground());
}

// The flat frame: a dark outer line and two light ones inside it.
void DrawFrame(HDC dc, const RECT& area) {
  FrameSolidRect(dc, area, ::GetSysColor(COLOR_3DDKSHADOW));
  RECT inner = area;
  for (int line = 0; line < 2; ++line) {
    ::InflateRect(&inner, -1, -1);
    FrameSolidRect(dc, inner, palette::MenuBackground());
  }
}

// Where the menu's items lie, window-relative: the system's frame and
// margins around them are ours. Without the menu, the client area.
RECT ItemsArea(HWND window, const RECT& windowRect) {
  RECT area = {0, 0, 0, 0};
  HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(window, kMenuGetMenuMessage, 0, 0));
  const int count = menu != nullptr ? ::GetMenuItemCount(menu) : 0;
  for (int position = 0; position < count; ++position) {
    RECT item;
    if (::GetMenuItemRect(nullptr, menu, static_cast<UINT>(position), &item)) ::UnionRect(&area, &area, &item);
  }
  if (::IsRectEmpty(&area)) {
    ::GetClientRect(window, &area);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
  }
  ::OffsetRect(&area, -windowRect.left, -windowRect.top);
  return area;
}

// Paints the frame (and the shadow) around the menu's items: after the
// system has painted the window, whether it put its own frame outside the
// client area or inside it.
void PaintFrame(HWND window, MenuWindowRecord& record) {
  RECT rect;
  ::GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (DrawsShadow() && !record.background) SaveBackground(record, rect);

  ScopedWindowDC dc(window, true);
  const RECT items = ItemsArea(window, rect);
  ::ExcludeClipRect(dc.get(), items.left, items.top, items.right, items.bottom);
  OffscreenCanvas canvas(dc.get(), {0, 0, width, height});
  const RECT area = MenuArea(window);
  FillStrips(canvas.dc(), area);
  DrawFrame(canvas.dc(), area);
  if (DrawsShadow()) DrawShadow(canvas.dc(), record, width, height);
  canvas.Show();
  record.frame = area;
}

}  // namespace

void InstallMenuHook() {
  ++g_MenuHookCount;
  if (!g_MenuHook) g_MenuHook = std::make_unique<ScopedHook>(WH_CALLWNDPROC, &MenuHookProc);
}

void RemoveMenuHook() {
  if (g_MenuHookCount == 0) return;
  if (--g_MenuHookCount > 0) return;
  g_MenuWindows.clear();
  g_MenuHook.reset();
}

int MenuHookInstallCount() { return g_MenuHookCount; }

LRESULT CALLBACK MenuHookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if ((call->message == WM_CREATE || call->message == kMenuSizeWindowMessage) && IsPopupMenuWindow(call->hwnd) &&
        IsMenuXP(::GetForegroundWindow()))
      TakeOver(call->hwnd);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

namespace {

// Makes room for the shadow, keeps the menu's place, and keeps what a
// menu about to be shown will cover.
void BeforePositionChange(HWND window, MenuWindowRecord& record, WINDOWPOS& position) {
  if (!(position.flags & SWP_NOSIZE)) {
    if (DrawsShadow()) {
      position.cx += kMenuShadowSize;
      position.cy += kMenuShadowSize;
    }
    if (!(position.flags & SWP_NOMOVE)) position.y -= 1;
  }
  if (!(position.flags & SWP_NOMOVE)) record.position = {position.x, position.y};
  if (position.flags & SWP_SHOWWINDOW) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    if (!(position.flags & SWP_NOMOVE)) ::OffsetRect(&rect, position.x - rect.left, position.y - rect.top);
    if (!(position.flags & SWP_NOSIZE)) {
      rect.right = rect.left + position.cx;
      rect.bottom = rect.top + position.cy;
    }
    if (DrawsShadow()) SaveBackground(record, rect);
  }
  if (position.flags & SWP_HIDEWINDOW) record.background.Reset();
}

}  // namespace

LRESULT CALLBACK MenuWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(::GetPropA(window, kMenuOldProcProperty));
  if (previous == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  MenuWindowRecord* record = RecordOf(window);
  auto callPrevious = [&] { return ::CallWindowProcW(previous, window, message, wParam, lParam); };
  if (record == nullptr) {
    if (message == WM_NCDESTROY) ::RemovePropA(window, kMenuOldProcProperty);
    return callPrevious();
  }

  switch (message) {
    case WM_WINDOWPOSCHANGING:
      BeforePositionChange(window, *record, *reinterpret_cast<WINDOWPOS*>(lParam));
      break;
    case WM_WINDOWPOSCHANGED: {
      const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
      // Moved or resized while shown: what lies under it now is unknown.
      if (!(position->flags & SWP_SHOWWINDOW) && (~position->flags & (SWP_NOMOVE | SWP_NOSIZE)))
        record->background.Reset();
      break;
    }
    case WM_SHOWWINDOW:
      if (!wParam) record->background.Reset();
      break;
    case WM_NCCALCSIZE: {
      const LRESULT result = callPrevious();
      if (DrawsShadow()) {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        rect->right -= kMenuShadowSize;
        rect->bottom -= kMenuShadowSize;
      }
      return result;
    }
    case WM_NCPAINT:
      PaintFrame(window, *record);
      return 0;
    case WM_PAINT: {
      const LRESULT result = callPrevious();
      PaintFrame(window, *record);
      return result;
    }
    case WM_PRINT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      const RECT area = MenuArea(window);
      FillStrips(dc, area);
      const LRESULT result = callPrevious();
      DrawFrame(dc, area);
      return result;
    }
    case WM_NCDESTROY: {
      const LRESULT result = callPrevious();
      ::RemovePropA(window, kMenuOldProcProperty);
      g_MenuWindows.erase(window);
      return result;
    }
    default:
      break;
  }
  return callPrevious();
}

}  // namespace zet
