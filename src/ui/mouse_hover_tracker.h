#pragma once
// MouseHoverTracker: knows whether the mouse is over a window ("hot"), for
// the buttons and edit fields of the flat look, which change colour then.
// The window feeds it its mouse-move and mouse-leave messages; on a change
// it repaints the window (or recomputes its frame).

#include <windows.h>

namespace zet {

class MouseHoverTracker {
 public:
  enum Flags : unsigned {
    kRepaint = 1,       // repaint the window, without erasing
    kRecomputeFrame = 2 // have the window's frame computed and drawn anew
  };

  void Start(HWND window, unsigned flags) {
    window_ = window;
    flags_ = flags;
    tracked_ = nullptr;
    hot_ = false;
  }
  // A mouse move over the window (or a child of it that reports to it).
  void OnMouseMove(HWND over);
  // The mouse has left the tracked window.
  void OnMouseLeave(HWND from);
  bool hot() const { return hot_ != 0; }

 private:
  void Changed() const;
  void RequestLeave(HWND window) const;

  HWND window_ = nullptr;
  HWND tracked_ = nullptr;
  unsigned flags_ = 0;
  BYTE hot_ = 0;
};

}  // namespace zet
