#pragma once
// TEMPORARY
#include <string>
#include "profile/lang_table.h"
namespace zet::test {
inline void UseLanguage(const std::string& text) {
  TmpLang().clear();
  size_t at = 0;
  while ((at = text.find(" = \"", at)) != std::string::npos) {
    size_t ks = text.rfind('\n', at) + 1;
    size_t ve = text.find('"', at + 4);
    TmpLang()["DLG_VELTRAN/" + text.substr(ks, at - ks)] = text.substr(at + 4, ve - at - 4);
    at = ve;
  }
}
inline void DropLanguage() { TmpLang().clear(); }
}
