#include "main/update_app.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "host/find_process.h"
#include "host/host_registration.h"
#include "host/win32/string_resources.h"
#include "profile/lang_table.h"
#include "ui/menu_xp.h"
#include "ui/update_dlg.h"

namespace zet {

namespace {

// The only texts that do not come from the language file: it is missing.
constexpr char kNoLanguageText[] = "Can't load language file !";
constexpr char kProgramName[] = "ZET Veltran";

// A start-up message: no owner window, caption "IDS_WARNING".
void ShowStartupMessage(const char* key, UINT icon) {
  const std::string caption = GetLangText(kMessageSection, "IDS_WARNING");
  ::MessageBoxA(nullptr, GetLangText(kMessageSection, key), caption.c_str(), icon | MB_OK);
}

}  // namespace

CUpdateApp::~CUpdateApp() { SetLangTable(nullptr); }

bool CUpdateApp::InitInstance() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  CWinApp::InitInstance();

  // The language file is looked for in the current folder. One the dialog
  // finds none of its texts in (another file of that name, a damaged one)
  // would show a dialog of empty controls: it is missing too.
  if (LoadLangTable(kLangFileName) < 0 || GetLangString(kMainDialogSection, "CAPTION").empty() ||
      GetLangString(kMainDialogSection, "IDOK").empty()) {
    ::MessageBoxA(nullptr, kNoLanguageText, kProgramName, MB_ICONERROR | MB_OK);
    return false;
  }
  LoadStringResources();
  ApplyLangStringTable();
  SetRegistryKey(kProgramName);

  if (!ReadHostRegistration().VersionSupported()) {
    ShowStartupMessage("IDS_ZETVERSION", MB_ICONERROR);
    return false;
  }
  if (FindProcessId(kHostProcessName) > 0) ShowStartupMessage("IDS_ZETRUNNING", MB_ICONWARNING);

  {
    CUpdateDlg dialog;
    m_pMainWnd = &dialog;
    InstallMenuHook();
    dialog.DoModal();
    RemoveMenuHook();
    m_pMainWnd = nullptr;
  }
  return false;
}

}  // namespace zet
