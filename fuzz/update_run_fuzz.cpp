// The whole update run over a package tree and a host tree built from the
// input. The input is records separated by "\xFE\xFE"; each record's first
// byte says where it goes (bit 0x80: the host's tree, else the package's)
// and what it is (low three bits):
//   0 Parallels/Texturen.txt      1 Parallels/Bodentexturen.txt
//   2 Categories/User.ini         3 Categories/Rolling_stock/Index.ini
//   4 Categories/Rolling_stock/Loks.inf    5 Categories/Signals/Hp.inf
//   6 Parallels/<first line>.dds  7 <first line>, any relative path
// and the rest of the record is the file's bytes. Bit 0x40 of the first
// record's first byte sets overwrite.
//
// After the run: the package's tree is unchanged, nothing was written beside
// the two trees, every host file is one the host had or one the package has
// at the same place, and a second run changes no texture list.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/file_slots.h"
#include "fileio/pak_archive.h"
#include "update/update_run.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "update_run_fuzz: %s\n", what.c_str());
  std::abort();
}

// The run as a front end starts it.
void RunOnce(const fs::path& root, bool overwrite) {
  zet::UpdateView quiet;
  zet::RunRequest request;
  request.source = (root / "pkg" / "RESOURCEN").string();
  request.target = (root / "host" / "RESOURCEN").string();
  request.overwrite = overwrite;
  zet::RunUpdate(request, quiet);
  zet::ResetPakSlots();
  zet::ResetFileSlots();
}

const fs::path& Root() {
  static const fs::path root = [] {
    // A memory file system where there is one: each input makes two trees.
    std::error_code ec;
    const fs::path shm("/dev/shm");
    const fs::path base = fs::is_directory(shm, ec) ? shm : fs::temp_directory_path();
    std::random_device rd;
    return base / ("zet-run-fuzz-" + std::to_string(rd()));
  }();
  return root;
}

// Made before Root()'s path, so that the path is still there when this is
// destroyed at exit.
struct RemoveRoot {
  RemoveRoot() { Root(); }
  ~RemoveRoot() {
    std::error_code ec;
    fs::remove_all(Root(), ec);
  }
} g_removeRoot;

// A relative path below the tree, or "" when the name cannot stand for one:
// no empty, "." or ".." component, no zero byte, not too deep or long.
std::string SafeRelative(std::string_view name) {
  if (name.empty() || name.size() > 120 || name.find('\0') != std::string_view::npos) return "";
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '/') continue;
    const std::string_view part = name.substr(start, i - start);
    if (part.empty() || part == "." || part == ".." || ++depth > 4) return "";
    start = i + 1;
  }
  return std::string(name);
}

void Write(const fs::path& path, std::string_view bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (fs::is_directory(path, ec)) return;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every regular file below root by relative path, letters folded to upper
// case as the program folds them, with its bytes.
std::map<std::string, std::string> Files(const fs::path& root) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string relative = it->path().lexically_relative(root).generic_string();
    for (char& c : relative)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    std::ifstream in(it->path(), std::ios::binary);
    files[relative] = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

std::string TextureLists(const fs::path& host) {
  std::string lists;
  for (const char* name : {"PARALLELS/TEXTUREN.TXT", "PARALLELS/BODENTEXTUREN.TXT"}) {
    const auto files = Files(host);
    auto it = files.find(name);
    lists += (it == files.end() ? "<none>" : it->second) + '\0';
  }
  return lists;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kFixed[] = {"Parallels/Texturen.txt", "Parallels/Bodentexturen.txt",
                                       "Categories/User.ini", "Categories/Rolling_stock/Index.ini",
                                       "Categories/Rolling_stock/Loks.inf", "Categories/Signals/Hp.inf"};
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const fs::path root = Root();
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::create_directories(root / "pkg" / "RESOURCEN");
  fs::create_directories(root / "host" / "RESOURCEN");

  bool overwrite = false;
  for (size_t start = 0; start < input.size();) {
    size_t end = input.find("\xFE\xFE", start);
    if (end == std::string_view::npos) end = input.size();
    std::string_view record = input.substr(start, end - start);
    if (start == 0 && !record.empty()) overwrite = (record[0] & 0x40) != 0;
    start = end + 2;
    if (record.empty()) continue;
    const unsigned char selector = static_cast<unsigned char>(record[0]);
    record.remove_prefix(1);
    const fs::path tree = root / ((selector & 0x80) ? "host" : "pkg") / "RESOURCEN";
    const int kind = selector & 7;
    std::string relative;
    if (kind < 6) {
      relative = kFixed[kind];
    } else {
      const size_t line = record.find('\n');
      const std::string_view name = record.substr(0, line);
      record = line == std::string_view::npos ? std::string_view() : record.substr(line + 1);
      relative = SafeRelative(kind == 6 ? "Parallels/" + std::string(name) + ".dds" : std::string(name));
      if (relative.empty()) continue;
    }
    Write(tree / relative, record);
  }

  const auto package = Files(root / "pkg");
  const auto before = Files(root / "host" / "RESOURCEN");
  RunOnce(root, overwrite);
  if (Files(root / "pkg") != package) Fail("the run changed the package's tree");
  for (const auto& entry : fs::directory_iterator(root, ec))
    if (entry.path().filename() != "pkg" && entry.path().filename() != "host")
      Fail("the run wrote beside the trees: " + entry.path().string());
  for (const auto& entry : fs::directory_iterator(root / "host", ec))
    if (entry.path().filename() != "RESOURCEN") Fail("the run wrote beside the host's tree: " + entry.path().string());
  for (const auto& [name, bytes] : Files(root / "host" / "RESOURCEN"))
    if (before.count(name) == 0 && package.count("RESOURCEN/" + name) == 0) Fail("a file from nowhere: " + name);

  const std::string lists = TextureLists(root / "host" / "RESOURCEN");
  RunOnce(root, overwrite);
  if (TextureLists(root / "host" / "RESOURCEN") != lists) Fail("a second run changed a texture list");
  return 0;
}
