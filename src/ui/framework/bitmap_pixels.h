#pragma once
// The pixels of a bitmap as 32-bit values 0x00RRGGBB, top row first, and
// back: for drawing that works on single pixels.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/framework/scoped_handles.h"

namespace zet {

// The description of a top-down 32-bit image of the size.
inline BITMAPINFO TopDownBitmapInfo(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The bitmap's pixels (it must not be selected into a device context);
// empty when they cannot be read.
inline std::vector<uint32_t> ReadBitmapPixels(HBITMAP bitmap, int width, int height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  BITMAPINFO info = TopDownBitmapInfo(width, height);
  ScopedWindowDC screen(nullptr);
  if (width <= 0 || height <= 0 ||
      ::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) == 0)
    return {};
  for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
  return pixels;
}

}  // namespace zet
