#pragma once
// PNG files of screen images, for a person to look at: RGB, 8 bits, the
// image data in stored (uncompressed) deflate blocks, so no library is needed.

#include <cstdint>
#include <string>
#include <vector>

namespace zet::test {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first

  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The PNG file's bytes.
std::string EncodePng(const Image& image);
// Writes the file, creating its folder. False when it cannot be written.
bool WritePng(const std::string& path, const Image& image);

}  // namespace zet::test
