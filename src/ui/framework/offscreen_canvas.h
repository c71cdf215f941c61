#pragma once
// Drawing without flicker: everything is drawn into a memory bitmap of the
// area's size, then copied to the target in one piece. The canvas keeps the
// target's coordinates, so the drawing code does not know it is off-screen.
// Without memory for the bitmap it draws straight onto the target.

#include <windows.h>

#include <optional>

#include "ui/framework/scoped_handles.h"

namespace zet {

class OffscreenCanvas {
 public:
  OffscreenCanvas(HDC target, const RECT& area)
      : target_(target),
        area_(area),
        memory_(target),
        bitmap_(::CreateCompatibleBitmap(target, area.right - area.left, area.bottom - area.top)) {
    if (memory_.get() == nullptr || !bitmap_) return;
    select_.emplace(memory_.get(), bitmap_.get());
    ::SetViewportOrgEx(memory_.get(), -area.left, -area.top, nullptr);
    dc_ = memory_.get();
  }
  OffscreenCanvas(const OffscreenCanvas&) = delete;
  OffscreenCanvas& operator=(const OffscreenCanvas&) = delete;

  // Where to draw.
  HDC dc() const { return dc_; }
  // Copies the drawing to the target.
  void Show() const {
    if (dc_ == target_) return;
    ::BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, dc_, area_.left,
             area_.top, SRCCOPY);
  }

 private:
  HDC target_;
  RECT area_;
  ScopedMemoryDC memory_;
  ScopedBitmap bitmap_;
  std::optional<ScopedSelectObject> select_;
  HDC dc_ = target_;
};

}  // namespace zet
