// Registry files of any content: the document gives back exactly the bytes
// it read, finds values or gives false, and a value it sets reads back.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/reg_file_document.h"
#include "host/registry_backend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  zet::RegFileDocument document;
  document.Parse(text);
  if (document.Text() != text) std::abort();

  const char* const keys[] = {"Software\\Classes\\Software\\Brankor\\KORA", "Software\\Wine", ""};
  const char* const names[] = {"ResBase", "VERSION", "Scan", ""};
  zet::RegFileValue value;
  for (const char* key : keys) {
    document.HasKey(key);
    for (const char* name : names) {
      if (document.FindValue(key, name, value)) zet::Utf16LeToUtf8(value.bytes);
    }
  }
  for (const char* key : keys) {
    if (!document.SetDword(key, "Scan", 2)) continue;
    zet::RegFileDocument again;
    again.Parse(document.Text());
    if (!again.FindValue(key, "Scan", value) || value.type != zet::kRegDword ||
        value.bytes != std::string("\x02\x00\x00\x00", 4))
      std::abort();
    break;
  }
  return 0;
}
