#include "ui/menu_xp.h"

#include <algorithm>
#include <map>
#include <string>

#include "ui/framework/offscreen_canvas.h"
#include "ui/framework/scoped_handles.h"
#include "ui/framework/solid_rect.h"
#include "ui/xp_colour.h"

namespace zet {

namespace {

// Label texts of the converted items: an owner-drawn item has none of its
// own. By command for ordinary items (with the menu that holds them), by
// submenu handle for items that open a submenu.
struct CommandLabel {
  HMENU menu;
  std::wstring text;
};
std::map<UINT, CommandLabel> g_CommandLabels;
std::map<HMENU, std::wstring> g_SubmenuLabels;

// Layout of a popup item, in pixels from its left edge.
constexpr int kLabelLeft = 30;
constexpr int kShortcutRightMargin = 12;
constexpr int kCheckBoxLeft = 1;
constexpr int kCheckBoxRight = 20;
// Room the system adds around the two texts of a popup item.
constexpr int kPopupItemExtraWidth = 42;
constexpr int kBarItemExtraWidth = 4;

constexpr unsigned kHeightBits = 8, kShortcutBits = 8, kLabelBits = 16;

struct ItemInfo {
  UINT type = 0;
  UINT state = 0;
  UINT id = 0;
  HMENU submenu = nullptr;
};

bool ReadItem(HMENU menu, int position, ItemInfo& item) {
  MENUITEMINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
  if (!::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) return false;
  item = {info.fType, info.fState, info.wID, info.hSubMenu};
  return true;
}

std::wstring SystemLabel(HMENU menu, int position) {
  wchar_t text[1024] = {};
  ::GetMenuStringW(menu, static_cast<UINT>(position), text, 1024, MF_BYPOSITION);
  return text;
}

const std::wstring* LabelOf(const ItemInfo& item) {
  if (item.submenu != nullptr) {
    auto found = g_SubmenuLabels.find(item.submenu);
    return found != g_SubmenuLabels.end() ? &found->second : nullptr;
  }
  auto found = g_CommandLabels.find(item.id);
  return found != g_CommandLabels.end() ? &found->second.text : nullptr;
}

void ForgetLabelsOfVanishedMenus() {
  for (auto it = g_CommandLabels.begin(); it != g_CommandLabels.end();)
    it = ::IsMenu(it->second.menu) ? std::next(it) : g_CommandLabels.erase(it);
  for (auto it = g_SubmenuLabels.begin(); it != g_SubmenuLabels.end();)
    it = ::IsMenu(it->first) ? std::next(it) : g_SubmenuLabels.erase(it);
}

// The label before its tab and the shortcut text after it.
std::wstring LabelPart(const std::wstring& text) { return text.substr(0, text.find(L'\t')); }
std::wstring ShortcutPart(const std::wstring& text) {
  const size_t tab = text.find(L'\t');
  return tab == std::wstring::npos ? std::wstring() : text.substr(tab + 1);
}

int TextWidth(HDC dc, const std::wstring& text) {
  SIZE size = {};
  if (!text.empty()) ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

// The default GUI font in bold, for a menu's default item.
ScopedFont BoldMenuFont() {
  LOGFONTW font = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfWeight = FW_BOLD;
  return ScopedFont(::CreateFontIndirectW(&font));
}

// Position of the item a measure or draw record speaks of, -1 if none.
int FindItem(HMENU menu, UINT itemId, ItemInfo& item) {
  const int count = ::GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    if (!ReadItem(menu, position, item)) continue;
    const UINT id = item.submenu != nullptr ? static_cast<UINT>(reinterpret_cast<UINT_PTR>(item.submenu)) : item.id;
    if (id == itemId && (item.type & MFT_OWNERDRAW)) return position;
  }
  return -1;
}

void FramedFill(HDC dc, const RECT& rect, COLORREF frame, COLORREF fill) {
  FillSolidRect(dc, rect, frame);
  RECT inside = rect;
  ::InflateRect(&inside, -1, -1);
  FillSolidRect(dc, inside, fill);
}

// The check mark of a checked item: a framed box, and in it a dot for a
// radio item or the system's check mark.
void DrawCheck(HDC dc, const RECT& itemRect, const ItemInfo& item, UINT state) {
  const bool disabled = (state & (ODS_GRAYED | ODS_DISABLED)) != 0;
  const bool selected = (state & ODS_SELECTED) != 0;
  const RECT box = {itemRect.left + kCheckBoxLeft, itemRect.top + 1, itemRect.left + kCheckBoxRight,
                    itemRect.bottom - 1};
  const COLORREF fill = disabled   ? FaceColour(73)
                        : selected ? palette::Pressed()
                                   : palette::SelectedItem();
  FramedFill(dc, box, ::GetSysColor(COLOR_HIGHLIGHT), fill);
  const COLORREF mark = disabled ? FaceColour(-27) : ::GetSysColor(COLOR_MENUTEXT);
  const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  if (item.type & MFT_RADIOCHECK) {
    ScopedBrush brush(::CreateSolidBrush(mark));
    ScopedPen pen(::CreatePen(PS_SOLID, 1, mark));
    ScopedSelectObject selectBrush(dc, brush.get());
    ScopedSelectObject selectPen(dc, pen.get());
    ::Ellipse(dc, cx - 3, cy - 3, cx + 3, cy + 3);
    return;
  }
  // The system draws its check mark black on white into a mask; the mask
  // then paints the mark in our colour over the box's fill.
  const int size = std::min(box.right - box.left, box.bottom - box.top) - 2;
  if (size <= 0) return;
  ScopedMemoryDC maskDC(dc);
  ScopedBitmap mask(::CreateBitmap(size, size, 1, 1, nullptr));
  if (maskDC.get() == nullptr || !mask) return;
  ScopedSelectObject selectMask(maskDC.get(), mask.get());
  RECT area = {0, 0, size, size};
  ::DrawFrameControl(maskDC.get(), &area, DFC_MENU, DFCS_MENUCHECK);
  const COLORREF oldText = ::SetTextColor(dc, mark);
  const COLORREF oldBack = ::SetBkColor(dc, fill);
  ::BitBlt(dc, cx - size / 2, cy - size / 2, size, size, maskDC.get(), 0, 0, SRCCOPY);
  ::SetTextColor(dc, oldText);
  ::SetBkColor(dc, oldBack);
}

}  // namespace

void SetMenuXP(HWND window, bool on) {
  if (on)
    ::SetPropA(window, kMenuXPProperty, reinterpret_cast<HANDLE>(1));
  else
    ::RemovePropA(window, kMenuXPProperty);
}

bool IsMenuXP(HWND window) { return window != nullptr && ::GetPropA(window, kMenuXPProperty) != nullptr; }

void ConvertWindowMenu(HWND window) {
  if (!IsMenuXP(window)) return;
  HMENU bar = ::GetMenu(window);
  if (bar != nullptr) ConvertMenuItems(window, bar, true, true);
}

ULONG_PTR PackMenuItemMeasures(const MenuItemMeasures& measures) {
  auto field = [](int value, unsigned bits) {
    return static_cast<ULONG_PTR>(std::clamp(value, 0, static_cast<int>((1u << bits) - 1)));
  };
  return field(measures.height, kHeightBits) | field(measures.shortcutWidth, kShortcutBits) << kHeightBits |
         field(measures.labelWidth, kLabelBits) << (kHeightBits + kShortcutBits);
}

MenuItemMeasures UnpackMenuItemMeasures(ULONG_PTR data) {
  MenuItemMeasures measures;
  measures.height = static_cast<int>(data & 0xFF);
  measures.shortcutWidth = static_cast<int>((data >> kHeightBits) & 0xFF);
  measures.labelWidth = static_cast<int>((data >> (kHeightBits + kShortcutBits)) & 0xFFFF);
  return measures;
}

void ConvertMenuItems(HWND, HMENU menu, bool marked, bool menuBar) {
  // A menu bar keeps the system's drawing; its popups are converted when
  // they open. (The program's windows have no toolbars either, so no item
  // finds an image of its command.)
  if (!marked || menuBar || !::IsMenu(menu)) return;
  ForgetLabelsOfVanishedMenus();

  ScopedWindowDC screen(nullptr);
  ScopedSelectObject normalFont(screen.get(), ::GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics = {};
  ::GetTextMetricsW(screen.get(), &metrics);
  const int fontHeight = metrics.tmHeight;
  const int itemHeight = fontHeight + 2 > 16 ? fontHeight + 6 : 20;
  const int separatorHeight = fontHeight / 2 + 2;
  ScopedFont bold = BoldMenuFont();

  const int count = ::GetMenuItemCount(menu);
  int labelWidth = 0, shortcutWidth = 0;
  for (int position = 0; position < count; ++position) {
    ItemInfo item;
    if (!ReadItem(menu, position, item)) continue;
    if (!(item.type & MFT_OWNERDRAW)) {
      if (!(item.type & MFT_SEPARATOR)) {
        std::wstring text = SystemLabel(menu, position);
        if (item.submenu != nullptr)
          g_SubmenuLabels[item.submenu] = std::move(text);
        else
          g_CommandLabels[item.id] = {menu, std::move(text)};
      }
      MENUITEMINFOW change = {};
      change.cbSize = sizeof change;
      change.fMask = MIIM_FTYPE;
      change.fType = item.type | MFT_OWNERDRAW;
      ::SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &change);
    }
    if (item.type & MFT_SEPARATOR) continue;
    const std::wstring* text = LabelOf(item);
    if (text == nullptr) continue;
    std::wstring label = LabelPart(*text);
    const size_t ampersand = label.find(L'&');
    if (ampersand != std::wstring::npos) label.erase(ampersand, 1);
    {
      ScopedSelectObject font(screen.get(), (item.state & MFS_DEFAULT) && bold ? bold.get()
                                                                             : ::GetStockObject(DEFAULT_GUI_FONT));
      labelWidth = std::max(labelWidth, TextWidth(screen.get(), label));
    }
    shortcutWidth = std::max(shortcutWidth, TextWidth(screen.get(), ShortcutPart(*text)));
  }

  for (int position = 0; position < count; ++position) {
    ItemInfo item;
    if (!ReadItem(menu, position, item)) continue;
    MenuItemMeasures measures;
    measures.height = itemHeight;
    if (item.type & MFT_SEPARATOR) {
      measures.height = separatorHeight;
    } else {
      measures.labelWidth = labelWidth;
      measures.shortcutWidth = shortcutWidth;
    }
    MENUITEMINFOW change = {};
    change.cbSize = sizeof change;
    change.fMask = MIIM_DATA;
    change.dwItemData = PackMenuItemMeasures(measures);
    ::SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &change);
  }
}

bool MeasureMenuItem(MEASUREITEMSTRUCT* measure) {
  if (measure == nullptr || measure->CtlType != ODT_MENU) return false;
  const MenuItemMeasures measures = UnpackMenuItemMeasures(measure->itemData);
  measure->itemHeight = static_cast<UINT>(measures.height);
  measure->itemWidth = static_cast<UINT>(
      measures.height != 0 ? measures.labelWidth + measures.shortcutWidth + kPopupItemExtraWidth
                           : measures.labelWidth + kBarItemExtraWidth);
  return true;
}

bool DrawMenuItem(DRAWITEMSTRUCT* draw, HWND) {
  if (draw == nullptr || draw->CtlType != ODT_MENU) return false;
  HMENU menu = reinterpret_cast<HMENU>(draw->hwndItem);
  ItemInfo item;
  if (FindItem(menu, draw->itemID, item) < 0) return false;

  const RECT& rect = draw->rcItem;
  const UINT state = draw->itemState;
  const bool disabled = (state & (ODS_GRAYED | ODS_DISABLED)) != 0;
  OffscreenCanvas canvas(draw->hDC, rect);
  HDC dc = canvas.dc();

  if ((state & ODS_SELECTED) && !disabled && !(item.type & MFT_SEPARATOR)) {
    FramedFill(dc, rect, ::GetSysColor(COLOR_HIGHLIGHT), palette::SelectedItem());
  } else {
    const RECT strip = {rect.left, rect.top, std::min(rect.left + kItemIconStripWidth, rect.right), rect.bottom};
    const RECT rest = {strip.right, rect.top, rect.right, rect.bottom};
    FillSolidRect(dc, strip, palette::IconStrip());
    FillSolidRect(dc, rest, palette::MenuBackground());
  }

  if (item.type & MFT_SEPARATOR) {
    const int y = (rect.top + rect.bottom) / 2;
    FillSolidRect(dc, {rect.left + kLabelLeft, y, rect.right, y + 1}, palette::DisabledText());
    canvas.Show();
    return true;
  }

  if (state & ODS_CHECKED) DrawCheck(dc, rect, item, state);

  static const std::wstring kNoLabel;
  const std::wstring* text = LabelOf(item);
  if (text == nullptr) text = &kNoLabel;
  ScopedFont bold = (item.state & MFS_DEFAULT) ? BoldMenuFont() : ScopedFont();
  ScopedSelectObject font(dc, bold ? bold.get() : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, (state & ODS_INACTIVE) ? ::GetSysColor(COLOR_BTNSHADOW)
                     : disabled             ? palette::DisabledText()
                                            : ::GetSysColor(COLOR_MENUTEXT));
  UINT format = DT_SINGLELINE | DT_VCENTER;
  BOOL cues = TRUE;
  ::SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
  if (!cues && (state & ODS_NOACCEL)) format |= DT_HIDEPREFIX;
  const std::wstring label = LabelPart(*text), shortcut = ShortcutPart(*text);
  RECT labelRect = {rect.left + kLabelLeft, rect.top, rect.right, rect.bottom};
  ::DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &labelRect, format | DT_LEFT);
  RECT shortcutRect = {rect.left + kLabelLeft, rect.top, rect.right - kShortcutRightMargin, rect.bottom};
  ::DrawTextW(dc, shortcut.c_str(), static_cast<int>(shortcut.size()), &shortcutRect, format | DT_RIGHT);
  canvas.Show();
  return true;
}

LRESULT MenuChar(HMENU menu, UINT character, UINT) {
  // The system menu's items are converted as well and have lost their texts
  // to the system, so its letters are looked up here too.
  ItemInfo first;
  if (!ReadItem(menu, 0, first) || !(first.type & MFT_OWNERDRAW)) return 0;
  wchar_t wanted = static_cast<wchar_t>(character);
  ::CharUpperBuffW(&wanted, 1);
  const int count = ::GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    ItemInfo item;
    if (!ReadItem(menu, position, item) || (item.type & MFT_SEPARATOR)) continue;
    const std::wstring* text = LabelOf(item);
    if (text == nullptr) continue;
    std::wstring label = *text;
    if (!label.empty()) ::CharUpperBuffW(&label[0], static_cast<DWORD>(label.size()));
    // "&&" stands for the character itself; "&" and a character marks the
    // item's key.
    for (size_t i = 0; i + 1 < label.size(); ++i) {
      if (label[i] != L'&') continue;
      if (label[i + 1] == wanted && wanted != L'&') return MAKELRESULT(position, MNC_EXECUTE);
      ++i;
    }
  }
  return 0;
}

bool RouteMenuMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_MEASUREITEM:
      if (!MeasureMenuItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return false;
      result = TRUE;
      return true;
    case WM_DRAWITEM:
      if (!DrawMenuItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam), window)) return false;
      result = TRUE;
      return true;
    case WM_MENUCHAR: {
      HMENU menu = reinterpret_cast<HMENU>(lParam);
      ItemInfo first;
      if (!ReadItem(menu, 0, first) || !(first.type & MFT_OWNERDRAW)) return false;
      UINT character = LOWORD(wParam);
      if (!::IsWindowUnicode(window) && character < 0x100) {
        // An 8-bit window receives the character in the system code page.
        const char byte = static_cast<char>(character);
        wchar_t wide = 0;
        if (::MultiByteToWideChar(CP_ACP, 0, &byte, 1, &wide, 1) == 1) character = wide;
      }
      result = MenuChar(menu, character, HIWORD(wParam));
      return true;
    }
    default:
      return false;
  }
}

}  // namespace zet
