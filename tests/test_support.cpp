#include "test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"

namespace fs = std::filesystem;

namespace zet::test {

namespace {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

std::string Localised(std::string p) {
  for (char& c : p)
    if (c == '/' || c == '\\') c = kSep;
  return p;
}

}  // namespace

std::string Join(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + kSep + b;
}

TempDir::TempDir() {
  std::random_device rd;
  std::mt19937_64 gen(rd());
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path p = base / ("zettest-" + std::to_string(gen() % 1000000000ULL));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p.string();
      while (path_.size() > 1 && (path_.back() == '/' || path_.back() == '\\')) path_.pop_back();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(fs::path(path_), ec);
}

std::string ProgramPath(const TempDir& dir, const std::string& relative) {
  std::string r = relative;
  for (char& c : r)
    if (c == '/') c = '\\';
  return dir.path() + "\\" + r;
}

std::string TempDir::operator/(const std::string& relative) const { return Join(path_, Localised(relative)); }

void MakeFolders(const std::string& path) {
  std::error_code ec;
  fs::create_directories(fs::path(Localised(path)), ec);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  fs::path p(Localised(path));
  if (p.has_parent_path()) MakeFolders(p.parent_path().string());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(fs::path(Localised(path)), std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::path(Localised(path)), ec);
}

std::string BuildTreePath(const std::string& path) {
  std::string p = path;
#ifdef _WIN32
  if (!p.empty() && p[0] == '/') p = "Z:" + p;
#endif
  return Localised(p);
}

std::string DataPath(const std::string& relative) {
  std::string root = ZET_TEST_DATA_DIR;
#ifdef _WIN32
  // The Linux source tree, as Wine shows it.
  if (!root.empty() && root[0] == '/') root = "Z:" + root;
#endif
  return Localised(Join(root, relative));
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t u : text) bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  return bytes;
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(Localised(folder)), ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void SlotTest::Reset() {
  ResetPakSlots();
  ResetFileSlots();
}

void SlotTest::RecordFailures(int retries) {
  retries_ = retries;
  SetFailureHook([this](int code, const std::string& name, const std::string& op) {
    calls_.emplace_back(code, name, op);
    return retries_-- > 0;
  });
}

}  // namespace zet::test
