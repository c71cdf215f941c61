// PNG files of screen images, for a person to look at: RGB, 8 bits, the
// image data in stored (uncompressed) deflate blocks, so no library is needed.

#include "gui_session.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace zet::test {

namespace {

uint32_t Crc32(const std::string& bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

void PutBig32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBig32(out, static_cast<uint32_t>(data.size()));
  const std::string body = type + data;
  out += body;
  PutBig32(out, Crc32(body));
}

std::string EncodePng(const Image& image) {
  std::string raw;  // each row: filter "none", then R, G, B per pixel
  for (int y = 0; y < image.height; ++y) {
    raw += '\0';
    for (int x = 0; x < image.width; ++x)
      for (int shift : {16, 8, 0}) raw += static_cast<char>((image.at(x, y) >> shift) & 0xFF);
  }
  std::string zlib = "\x78\x01";
  uint32_t a = 1, b = 0;  // Adler-32 of the raw data
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  size_t at = 0;
  do {  // stored blocks of at most 65535 bytes
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    const char block[] = {static_cast<char>(at + n == raw.size()), static_cast<char>(n & 0xFF),
                          static_cast<char>(n >> 8), static_cast<char>(~n & 0xFF), static_cast<char>((~n >> 8) & 0xFF)};
    zlib.append(block, 5).append(raw, at, n);
    at += n;
  } while (at < raw.size());
  PutBig32(zlib, (b << 16) | a);

  std::string header;
  PutBig32(header, static_cast<uint32_t>(image.width));
  PutBig32(header, static_cast<uint32_t>(image.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter set, no interlace
  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", "");
  return png;
}

}  // namespace

bool WritePng(const std::string& path, const Image& image) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  const std::string bytes = EncodePng(image);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace zet::test
