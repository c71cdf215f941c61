#include "ui/framework/dialog.h"

#include <iterator>

namespace zet {

bool DataExchange::Control(int id, CWnd& control) {
  if (control.m_hWnd != nullptr && control.m_hWnd == ::GetDlgItem(dialog_, id)) return true;
  return control.SubclassDlgItem(id, dialog_);
}

CDialog::~CDialog() {
  // The window has gone with the modal run; a dialog object never owns it
  // beyond DoModal.
  m_hWnd = nullptr;
}

INT_PTR CDialog::DoModal() {
  return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent_,
                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result) {
  if (m_hWnd != nullptr) ::EndDialog(m_hWnd, result);
}

CDialog* CDialog::FromHandle(HWND window) {
  if (window == nullptr || ::GetWindowLongPtrA(window, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&DialogProc))
    return nullptr;
  return reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
}

const MessageMap* CDialog::GetMessageMap() const {
  static const MessageMapEntry entries[] = {
      OnCommandEntry(BN_CLICKED, IDOK, &CDialog::OnOK),
      OnCommandEntry(BN_CLICKED, IDCANCEL, &CDialog::OnCancel),
  };
  static const MessageMap map = {nullptr, entries, std::size(entries)};
  return &map;
}

bool CDialog::OnInitDialog() {
  DataExchange exchange(m_hWnd);
  DoDataExchange(exchange);
  return true;
}

bool CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const UINT code = HIWORD(wParam);
  const UINT id = LOWORD(wParam);
  for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
    for (size_t i = 0; i < map->count; ++i) {
      const MessageMapEntry& entry = map->entries[i];
      if (entry.message != message) continue;
      if (message == WM_COMMAND) {
        if (entry.code != code || entry.id != id) continue;
        (this->*entry.command)();
        result = 0;
        return true;
      }
      return (this->*entry.handler)(wParam, lParam, result);
    }
  }
  return OnUnhandledMessage(message, wParam, lParam, result);
}

bool CDialog::ReflectToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message != WM_DRAWITEM) return false;
  const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (draw == nullptr || draw->CtlType == ODT_MENU) return false;
  CWnd* control = CWnd::FromHandle(draw->hwndItem);
  return control != nullptr && control->OnChildNotify(message, wParam, lParam, result);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    ::SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->m_hWnd = window;
    return self->OnInitDialog() ? TRUE : FALSE;
  }
  self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    self->m_hWnd = nullptr;
    ::SetWindowLongPtrA(window, DWLP_USER, 0);
    return FALSE;
  }
  LRESULT result = 0;
  if (!self->Dispatch(message, wParam, lParam, result) && !ReflectToControl(message, wParam, lParam, result))
    return FALSE;
  switch (message) {
    // These few return their result straight from the dialog procedure.
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      ::SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

}  // namespace zet
