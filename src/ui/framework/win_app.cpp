#include "ui/framework/win_app.h"

namespace zet {

namespace {
CWinApp* g_CurrentApp = nullptr;
}  // namespace

CWinApp::CWinApp() : previous_(g_CurrentApp) { g_CurrentApp = this; }

CWinApp::~CWinApp() {
  if (g_CurrentApp == this) g_CurrentApp = previous_;
}

CWinApp* CWinApp::Current() { return g_CurrentApp; }

int CWinApp::Run() {
  if (!InitInstance()) return ExitInstance();
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  ExitInstance();
  return static_cast<int>(message.wParam);
}

}  // namespace zet
