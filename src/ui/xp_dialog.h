#pragma once
// CXPDialog: a dialog with the menu look. Its command table routes the four
// menu messages to the menu look (ui/menu_xp.h); the program's dialogs
// derive from it and chain their own tables to it.

#include "ui/framework/dialog.h"

namespace zet {

class CXPDialog : public CDialog {
 public:
  using CDialog::CDialog;

 protected:
  const MessageMap* GetMessageMap() const override;
  // Marks the window for the menu look and converts its menu bar.
  void EnableMenuXP();
  // A popup menu of the window is about to open (the system menu or
  // another): the place to enable and grey its items, before the look
  // converts them.
  virtual void OnMenuOpening(HMENU, bool /*systemMenu*/) {}

 private:
  bool OnInitMenuPopup(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnMeasureItem(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnDrawItem(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnMenuChar(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

}  // namespace zet
