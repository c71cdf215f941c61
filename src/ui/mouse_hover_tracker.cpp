#include "ui/mouse_hover_tracker.h"

namespace zet {

void MouseHoverTracker::OnMouseMove(HWND over) {
  if (window_ == nullptr) return;
  if (!hot_) {
    hot_ = 1;
    tracked_ = over;
    Changed();
    RequestLeave(over);
  } else if (over != tracked_) {
    // Only one leave request is open at a time: it follows the mouse.
    TRACKMOUSEEVENT cancel = {sizeof cancel, TME_LEAVE | TME_CANCEL, tracked_, 0};
    ::TrackMouseEvent(&cancel);
    tracked_ = over;
    RequestLeave(over);
  }
}

void MouseHoverTracker::OnMouseLeave(HWND from) {
  if (window_ == nullptr || !hot_ || from != tracked_) return;
  hot_ = 0;
  tracked_ = nullptr;
  Changed();
}

void MouseHoverTracker::RequestLeave(HWND window) const {
  TRACKMOUSEEVENT request = {sizeof request, TME_LEAVE, window, 0};
  ::TrackMouseEvent(&request);
}

void MouseHoverTracker::Changed() const {
  if (flags_ & kRecomputeFrame)
    ::SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  else if (flags_ & kRepaint)
    ::InvalidateRect(window_, nullptr, FALSE);
}

}  // namespace zet
