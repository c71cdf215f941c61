#include "ui/windows_version.h"

namespace zet {

namespace {
int g_WindowsVersionCode = 0;
WindowsVersionQuery g_VersionQuery = nullptr;

BOOL WINAPI QuerySystemVersion(OSVERSIONINFOA* info) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return ::GetVersionExA(info);
#pragma GCC diagnostic pop
}
}  // namespace

int WindowsVersionCodeOf(DWORD platformId, DWORD major, DWORD minor) {
  switch (platformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
      if (major == 4 && minor == 10) return 3;
      if (major == 4 && minor == 90) return 4;
      return 2;
    case VER_PLATFORM_WIN32_NT:
      if (major == 4) return 6;
      if (major == 5 && minor == 0) return 7;
      if (major == 5 && minor == 1) return kWindowsXPCode;
      return 5;
    default:
      return 1;
  }
}

int GetWindowsVersionCode() {
  if (g_WindowsVersionCode != 0) return g_WindowsVersionCode;
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!(g_VersionQuery != nullptr ? g_VersionQuery : &QuerySystemVersion)(&info)) return 0;
  g_WindowsVersionCode = WindowsVersionCodeOf(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
  return g_WindowsVersionCode;
}

void SetWindowsVersionQuery(WindowsVersionQuery query) {
  g_VersionQuery = query;
  g_WindowsVersionCode = 0;
}

}  // namespace zet
