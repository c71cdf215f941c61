#pragma once
// Finding a running program by the file name of its executable.

#include <string>

namespace zet {

// The process id of a running process whose executable file name (without
// folder) is exeName, compared byte for byte, letter case included: "ZET.exe"
// does not find "zet.exe". -1 when there is none or the process list cannot
// be taken. The idle process (id 0) is never compared. On Linux a program running under Wine is
// known by its Windows executable's name, not by Wine's loader.
int FindProcessId(const char* exeName);

#ifndef _WIN32
// The executable file name of the process whose /proc folder is procDir:
// the name of its exe link, or, for a program run by Wine's loader (or one
// whose link cannot be read), the last component of its first argument.
std::string ProcessExecutableName(const std::string& procDir);
#endif

}  // namespace zet
