#pragma once
// CUpdateApp: the dialog program's application object and its start-up.
// InitInstance loads the language file, checks the host's registration,
// warns when the host is running, runs the main dialog and returns false,
// so the program ends when the dialog closes.

#include "ui/framework/win_app.h"

namespace zet {

class CUpdateApp : public CWinApp {
 public:
  CUpdateApp() = default;
  // Removes the language table.
  ~CUpdateApp() override;

  bool InitInstance() override;
};

}  // namespace zet
