#pragma once
// CXPEdit: an edit field of the flat look. Bound by its dialog, it draws a
// flat one-pixel frame (in the highlight colour while it has the focus or
// the mouse is over it) and shows a context menu of its own, with texts
// from the language file, in the menu look.

#include "ui/framework/controls.h"
#include "ui/mouse_hover_tracker.h"

namespace zet {

// The command of the context menu's "Select all" item.
constexpr UINT kSelectAllCommand = 0x7400;

class CXPEdit : public CEdit {
 public:
  // The context menu at the point (screen coordinates): the chosen item's
  // command is carried out on the field.
  void ShowEditMenu(POINT point);

 protected:
  void PreSubclassWindow() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void DrawFrame() const;

  MouseHoverTracker tracker_;
};

}  // namespace zet
