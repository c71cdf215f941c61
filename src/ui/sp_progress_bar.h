#pragma once
// SPProgressBar: the main dialog's progress bar. Every operation does
// nothing without a window; a change of position makes the bar visible.
// The bar can also sit in a pane of a status bar with a text in front of
// it; the program's dialog has no status bar, so there the bar stays where
// the dialog template puts it.

#include <string>

#include "ui/framework/controls.h"

namespace zet {

class SPProgressBar : public CProgressCtrl {
 public:
  SPProgressBar() = default;
  ~SPProgressBar() override;

  // The range lower..upper (32-bit bounds) and the step. False without a window.
  bool SetRangeAndStep(int lower, int upper, int step);
  // The bar's colour (red in the low byte); the colour in effect before.
  // The colour shows also where the system's visual styles would ignore it.
  // CLR_DEFAULT without a window.
  COLORREF SetBarColour(COLORREF colour);
  // The previous position; 0 without a window.
  int SetPos(int position);
  int StepIt();
  // Hides the bar and gives its status-bar pane its text back.
  void ClearBar();
  // The status bar of the main window, or null.
  HWND GetStatusBar() const;
  // Fits the bar into its status-bar pane; false when there is none.
  bool Resize();

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ShowBar() const { ModifyStyle(0, WS_VISIBLE); }

  int sizePercent_ = 100;
  int pane_ = 0;
  std::string message_;
  std::string previousText_;
  RECT placement_ = {0, 0, 0, 0};
  bool themeOff_ = false;
};

}  // namespace zet
