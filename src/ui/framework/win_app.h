#pragma once
// CWinApp: the application object. WinMain hands control to Run, which
// calls InitInstance; a dialog program does all its work there and returns
// false, so Run goes straight to ExitInstance and the process ends without
// a message loop of the application's own.

#include <windows.h>

#include <string>

#include "ui/framework/wnd.h"

namespace zet {

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The application object of the process (the one constructed last); null
  // when there is none.
  static CWinApp* Current();

  // InitInstance, then either the application's message loop (when it
  // returned true) or ExitInstance. The process's exit code.
  int Run();

  virtual bool InitInstance() { return true; }
  virtual int ExitInstance() { return 0; }

  // The key under which a framework would keep the program's settings.
  // This program keeps none; the name is only remembered.
  void SetRegistryKey(const char* name) { registryKey_ = name != nullptr ? name : ""; }
  const std::string& registryKey() const { return registryKey_; }

  // The program's main window while its main dialog runs.
  CWnd* m_pMainWnd = nullptr;

 private:
  std::string registryKey_;
  CWinApp* previous_;
};

}  // namespace zet
