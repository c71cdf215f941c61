#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

fs::path Localised(std::string p) {
  std::replace_if(p.begin(), p.end(), [](char c) { return c == '/' || c == '\\'; }, kSep);
  return fs::path(p);
}

}  // namespace

std::string Join(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return a + b;
  return a + kSep + b;
}

TempDir::TempDir() {
  std::mt19937_64 gen(std::random_device{}());
  std::error_code ec;
  fs::path p;
  do p = fs::temp_directory_path() / ("zettest-" + std::to_string(gen() % 1000000000ULL));
  while (!fs::create_directory(p, ec));
  path_ = p.string();
  while (path_.size() > 1 && (path_.back() == '/' || path_.back() == '\\')) path_.pop_back();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(fs::path(path_), ec);
}

std::string TempDir::operator/(const std::string& relative) const { return Join(path_, Localised(relative).string()); }

std::string ProgramPath(const TempDir& dir, const std::string& relative) {
  std::string r = relative;
  std::replace(r.begin(), r.end(), '/', '\\');
  return dir.path() + "\\" + r;
}

void MakeFolders(const std::string& path) {
  std::error_code ec;
  fs::create_directories(Localised(path), ec);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  fs::path p = Localised(path);
  if (p.has_parent_path()) MakeFolders(p.parent_path().string());
  std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(Localised(path), std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(Localised(path), ec);
}

std::string BuildTreePath(const std::string& path) {
#ifdef _WIN32
  // The Linux build tree, as Wine shows it.
  if (!path.empty() && path[0] == '/') return Localised("Z:" + path).string();
#endif
  return Localised(path).string();
}

std::string DataPath(const std::string& relative) { return BuildTreePath(Join(ZET_TEST_DATA_DIR, relative)); }

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t u : text) bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  return bytes;
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(Localised(folder), ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

void SetEnv(const std::string& name, const char* value) {
#ifdef _WIN32
  ::_putenv_s(name.c_str(), value != nullptr ? value : "");
#else
  value != nullptr ? ::setenv(name.c_str(), value, 1) : ::unsetenv(name.c_str());
#endif
}

}  // namespace

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* saved = std::getenv(name)) saved_ = saved, had_ = true;
  SetEnv(name_, value);
}

ScopedEnv::~ScopedEnv() { SetEnv(name_, had_ ? saved_.c_str() : nullptr); }

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
