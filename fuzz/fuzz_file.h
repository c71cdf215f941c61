#pragma once
// A scratch file for harnesses whose reader takes a path: each input is
// written to it before the reader runs.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace zet::fuzz {

// Removed when the process ends.
class ScratchFile {
 public:
  ScratchFile() {
    std::random_device rd;
    path_ = (std::filesystem::temp_directory_path() / ("zet-fuzz-" + std::to_string(rd()) + ".bin")).string();
  }
  ~ScratchFile() {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(path_), ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline const std::string& ScratchPath() {
  static const ScratchFile file;
  return file.path();
}

inline const std::string& WriteScratch(const uint8_t* data, size_t size) {
  const std::string& path = ScratchPath();
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

}  // namespace zet::fuzz
