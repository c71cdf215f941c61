#include "app/find_process.h"

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
  // The first entry is the system's idle process.
  if (::Process32First(snapshot, &entry) && ::Process32Next(snapshot, &entry)) {
    do {
      if (std::strcmp(entry.szExeFile, exeName) == 0) {
        found = static_cast<int>(entry.th32ProcessID);
        break;
      }
    } while (::Process32Next(snapshot, &entry));
  }
  ::CloseHandle(snapshot);
  return found;
}

}  // namespace zet
