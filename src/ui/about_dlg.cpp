#include "ui/about_dlg.h"

#include <string>

#include "profile/lang_table.h"
#include "ui/resources/resource.h"
#include "zet_version.h"

namespace zet {

namespace {
constexpr char kSection[] = "DLG_ABOUT";
}  // namespace

CAboutDlg::CAboutDlg(HWND parent) : CXPDialog(IDD_ABOUTBOX, parent) {}

void CAboutDlg::DoDataExchange(DataExchange& exchange) { exchange.Control(IDOK, okButton_); }

bool CAboutDlg::OnInitDialog() {
  CXPDialog::OnInitDialog();
  SetWindowText(GetLangText(kSection, "CAPTION"));
  SetDlgItemText(IDOK, GetLangText(kSection, "IDOK"));
  // The version line: the program's version in place of "%1".
  std::string versionLine = GetLangText(kSection, "IDC_STATIC1");
  const size_t at = versionLine.find("%1");
  if (at != std::string::npos) versionLine.replace(at, 2, ZET_VELTRAN_VERSION);
  SetDlgItemText(IDC_STATIC1, versionLine);
  SetDlgItemText(IDC_STATIC2, GetLangText(kSection, "IDC_STATIC2"));
  EnableMenuXP();
  return true;
}

}  // namespace zet
