// Starts a dialog program in a folder, as Explorer starts it from there,
// on a host registered with the supported version, and prints what its
// first dialog shows: the title, then the text of each control, one a line.
// Then closes it. Exit status 0 when the dialog came and the program ended
// after it was closed.
//
//   window_probe FOLDER PROGRAM

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const char kHostKey[] = "Software\\Brankor\\KORA";

struct Found {
  DWORD process = 0;
  HWND window = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  Found& found = *reinterpret_cast<Found*>(param);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  char className[64] = {};
  ::GetClassNameA(window, className, sizeof className);
  if (process != found.process || !::IsWindowVisible(window) || std::string(className) != "#32770") return TRUE;
  found.window = window;
  return FALSE;
}

std::string TextOf(HWND window) {
  char text[512] = {};
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  std::printf("control: %s\n", TextOf(control).c_str());
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_probe FOLDER PROGRAM\n");
    return 2;
  }
  HKEY key = nullptr;
  bool ownKey = ::RegOpenKeyExA(HKEY_CLASSES_ROOT, kHostKey, 0, KEY_READ, &key) != ERROR_SUCCESS;
  if (ownKey) {
    ::RegCreateKeyExA(HKEY_CLASSES_ROOT, kHostKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const DWORD version = 0x40000;
    ::RegSetValueExA(key, "VERSION", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version), sizeof version);
  }
  ::RegCloseKey(key);

  std::string commandLine = std::string("\"") + argv[2] + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  int status = 1;
  if (!::CreateProcessA(argv[2], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, argv[1], &startup,
                        &process)) {
    std::fprintf(stderr, "window_probe: cannot start %s (error %lu)\n", argv[2], ::GetLastError());
  } else {
    Found found;
    found.process = process.dwProcessId;
    for (int waited = 0; found.window == nullptr && waited < 60000; waited += 100) {
      ::EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&found));
      if (found.window == nullptr) ::Sleep(100);
    }
    if (found.window == nullptr) {
      std::fprintf(stderr, "window_probe: no dialog within a minute\n");
    } else {
      std::printf("title: %s\n", TextOf(found.window).c_str());
      ::EnumChildWindows(found.window, PrintControl, 0);
      ::PostMessageA(found.window, WM_COMMAND, IDCANCEL, 0);
      if (::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        status = 0;
      else
        std::fprintf(stderr, "window_probe: the program did not end after its dialog was closed\n");
    }
    if (status != 0) ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  if (ownKey) ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "Software\\Brankor");
  std::fflush(stdout);
  return status;
}
