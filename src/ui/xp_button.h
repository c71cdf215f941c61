#pragma once
// CXPButton: a push button of the flat look. Bound by its dialog, it turns
// owner-drawn and draws itself: a one-pixel frame around a flat face, in
// the highlight colour while the mouse is over it or it is pressed.

#include "ui/framework/controls.h"
#include "ui/mouse_hover_tracker.h"

namespace zet {

class CXPButton : public CButton {
 public:
  bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 protected:
  void PreSubclassWindow() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Draws the button (the owner-draw request its dialog hands back).
  virtual void DrawItem(const DRAWITEMSTRUCT& draw);

 private:
  MouseHoverTracker tracker_;
};

}  // namespace zet
