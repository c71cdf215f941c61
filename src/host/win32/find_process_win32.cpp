#include "host/find_process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

namespace zet {

int FindProcessId(const char* exeName) {
  if (exeName == nullptr) return -1;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32 entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  int found = -1;
  // Windows lists its idle process (id 0) first; Wine lists real programs
  // from the first entry on, often the caller itself. So every entry is
  // compared, and only the idle process is passed over.
  if (::Process32First(snapshot, &entry)) {
    do {
      if (entry.th32ProcessID != 0 && std::strcmp(entry.szExeFile, exeName) == 0) {
        found = static_cast<int>(entry.th32ProcessID);
        break;
      }
    } while (::Process32Next(snapshot, &entry));
  }
  ::CloseHandle(snapshot);
  return found;
}

}  // namespace zet
