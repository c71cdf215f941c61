// Profile Load on any bytes, in both character modes; then a save of what
// was loaded must load back to the same content, and the canonical layout
// must be stable: a second round changes no byte.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "fileio/file_slots.h"
#include "fuzz_file.h"
#include "profile/profile_document.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& a, const std::string& b) {
  std::fprintf(stderr, "profile_load_fuzz: %s\n--- first\n%s\n--- second\n%s\n", what, a.c_str(), b.c_str());
  std::abort();
}

std::string Hex(const char* data, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out.push_back(kDigits[(static_cast<unsigned char>(data[i]) >> 4) & 15]);
    out.push_back(kDigits[static_cast<unsigned char>(data[i]) & 15]);
  }
  return out;
}

// Every node in the order a save writes it, without the level it stands on
// (a comment line at the end of a section comes back before the next
// header). Floats as written, with three decimals.
template <typename Char>
std::string Content(const zet::BasicProfileDocument<Char>& doc) {
  std::string out;
  auto node = [&](const zet::ProfileNode& n) {
    out += std::to_string(static_cast<int>(n.type)) + " " + std::to_string(n.count) + " ";
    if (n.name.data() != nullptr) out += Hex(n.name.data(), static_cast<size_t>(n.name.size()));
    out += " ";
    if (n.comment.data() != nullptr) out += Hex(n.comment.data(), static_cast<size_t>(n.comment.size()));
    out += " ";
    const char* v = n.value.data();
    if (n.type == zet::ProfileValueType::Float) {
      for (int32_t j = 0; j < n.count; ++j) {
        float f;
        std::memcpy(&f, v + 4 * j, 4);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.3f,", static_cast<double>(f));
        out += buffer;
      }
    } else if (n.type >= zet::ProfileValueType::String || n.type == zet::ProfileValueType::None) {
      size_t bytes = static_cast<size_t>(n.count) * zet::ProfileElementSize(n.type, sizeof(Char));
      if (n.type == zet::ProfileValueType::None) bytes = v == nullptr ? 0 : static_cast<size_t>(n.value.size());
      out += Hex(v, bytes);
    }
    out += "\n";
  };
  for (int i = 0; i < doc.GetSectionCount(); ++i) {
    node(*doc.GetNode(i));
    for (int32_t c = 0; c < doc.GetNode(i)->children.count(); ++c) node(*doc.GetNode(i)->children[c]);
  }
  return out;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string& SavePath() {
  static const zet::fuzz::ScratchFile file;
  return file.path();
}

// Saves the document and loads the file into a fresh one; the file's bytes.
template <typename Char>
std::string SaveAndLoad(zet::BasicProfileDocument<Char>& doc, zet::BasicProfileDocument<Char>& back) {
  if (doc.Save(SavePath()) != 0) Fail("save failed", SavePath(), "");
  std::string bytes = ReadAll(SavePath());
  back.Load(SavePath());
  return bytes;
}

template <typename Char>
void Check(const std::string& path) {
  zet::BasicProfileDocument<Char> first, second, third;
  first.Load(path);
  const std::string saved = SaveAndLoad(first, second);
  if (Content(first) != Content(second)) Fail("a save does not load back to the same content", Content(first), Content(second));
  const std::string again = SaveAndLoad(second, third);
  zet::BasicProfileDocument<Char> fourth;
  const std::string stable = SaveAndLoad(third, fourth);
  if (again != stable) Fail("the canonical layout is not stable", again, stable);
  // A lookup by every section's name finds the first section of that name.
  for (int i = 0; i < second.GetSectionCount(); ++i) {
    const zet::ProfileBuffer& name = second.GetNode(i)->name;
    if (name.data() == nullptr) continue;
    int first = 0;
    while (second.GetNode(first)->name.size() != name.size() ||
           std::memcmp(second.GetNode(first)->name.data(), name.data(), static_cast<size_t>(name.size())) != 0)
      ++first;
    std::basic_string<Char> text(reinterpret_cast<const Char*>(name.data()), name.size() / sizeof(Char));
    // A name holding a zero character is looked up up to that character.
    if (text.find(Char(0)) == std::basic_string<Char>::npos && second.FindSection(text.c_str()) != first)
      Fail("a section lookup misses the first section of the name", Hex(name.data(), name.size()), "");
  }
  (void)saved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = zet::fuzz::WriteScratch(data, size);
  Check<char>(path);
  Check<char16_t>(path);
  zet::ResetFileSlots();
  return 0;
}
