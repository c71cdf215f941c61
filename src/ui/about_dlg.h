#pragma once
// CAboutDlg: the About box (template 100), opened from the main dialog's
// system menu. Its texts come from section "DLG_ABOUT" of the language file.

#include "ui/xp_button.h"
#include "ui/xp_dialog.h"

namespace zet {

class CAboutDlg : public CXPDialog {
 public:
  explicit CAboutDlg(HWND parent = nullptr);

 protected:
  void DoDataExchange(DataExchange& exchange) override;
  bool OnInitDialog() override;

 private:
  CXPButton okButton_;
};

}  // namespace zet
