#pragma once
// Rectangles in one colour, filled or framed (one pixel wide).

#include <windows.h>

#include "ui/framework/scoped_handles.h"

namespace zet {

inline void FillSolidRect(HDC dc, const RECT& rect, COLORREF colour) {
  ScopedBrush brush(::CreateSolidBrush(colour));
  ::FillRect(dc, &rect, brush.get());
}

inline void FrameSolidRect(HDC dc, const RECT& rect, COLORREF colour) {
  ScopedBrush brush(::CreateSolidBrush(colour));
  ::FrameRect(dc, &rect, brush.get());
}

}  // namespace zet
