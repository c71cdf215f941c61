#include "ui/about_dlg.h"

#include "profile/lang_table.h"
#include "ui/resources/resource.h"

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
  SetDlgItemText(IDC_STATIC1, GetLangText(kSection, "IDC_STATIC1"));
  SetDlgItemText(IDC_STATIC2, GetLangText(kSection, "IDC_STATIC2"));
  EnableMenuXP();
  return true;
}

}  // namespace zet
