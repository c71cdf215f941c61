#pragma once
// The program's string-table resources as the built-in string table.

#include <windows.h>

namespace zet {

// Fills the built-in string table (profile/lang_table.h) with every string
// of the module's string-table resources (the program's own when module is
// null), replacing what the table held. Returns the number of strings.
int LoadStringResources(HMODULE module = nullptr);

}  // namespace zet
