#pragma once
// CDialog: a modal dialog from a dialog template of the program's resources.
//
// DoModal runs DialogBoxParamA with the object as the creation parameter;
// the dialog procedure binds the object to its window at WM_INITDIALOG and
// from then on looks each message up in the object's command table: a static
// table of (message, notification, control id) -> member handler, chained to
// the table of the base class. DoDataExchange binds the dialog's controls to
// their member objects when the dialog opens.

#include <windows.h>

#include <cstddef>

#include "ui/framework/wnd.h"

namespace zet {

class CDialog;

// Binds controls to members: one Control call per member.
class DataExchange {
 public:
  explicit DataExchange(HWND dialog) : dialog_(dialog) {}
  // Binds the control id of the dialog to the member. False when the
  // dialog has no such control.
  bool Control(int id, CWnd& control);

 private:
  HWND dialog_;
};

// One entry of a command table. For WM_COMMAND entries, code and id name
// the notification and the control, and command is called; for every other
// message, id is 0 and handler is called: it returns true when it handled
// the message, with the message's result in result.
struct MessageMapEntry {
  using CommandHandler = void (CDialog::*)();
  using MessageHandler = bool (CDialog::*)(WPARAM, LPARAM, LRESULT& result);

  UINT message;
  UINT code;
  UINT id;
  CommandHandler command;
  MessageHandler handler;
};

struct MessageMap {
  const MessageMap* base;
  const MessageMapEntry* entries;
  size_t count;
};

// Table entries from handlers of a derived class.
template <class T>
constexpr MessageMapEntry OnCommandEntry(UINT code, UINT id, void (T::*command)()) {
  return {WM_COMMAND, code, id, static_cast<MessageMapEntry::CommandHandler>(command), nullptr};
}
template <class T>
constexpr MessageMapEntry OnMessageEntry(UINT message, bool (T::*handler)(WPARAM, LPARAM, LRESULT&)) {
  return {message, 0, 0, nullptr, static_cast<MessageMapEntry::MessageHandler>(handler)};
}

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, HWND parent = nullptr) : templateId_(templateId), parent_(parent) {}
  ~CDialog() override;

  // Runs the dialog until EndDialog; its result, or -1 when the dialog
  // could not be created.
  INT_PTR DoModal();
  void EndDialog(INT_PTR result);

  // The object bound to a dialog window of ours; null for any other window
  // (a message box, a dialog of the system).
  static CDialog* FromHandle(HWND window);

 protected:
  virtual const MessageMap* GetMessageMap() const;
  virtual void DoDataExchange(DataExchange&) {}
  // Binds the controls; true lets the system put the focus on the first control.
  virtual bool OnInitDialog();
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // Messages that no table entry handled; false passes them to the system.
  virtual bool OnUnhandledMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  void SetDlgItemText(int id, const std::string& text) const { ::SetDlgItemTextA(m_hWnd, id, text.c_str()); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // What no handler took: the drawing of an owner-drawn control goes back
  // to the control's object.
  static bool ReflectToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  UINT templateId_;
  HWND parent_;
};

}  // namespace zet
