#pragma once
// CPreviewWindow: what an installation would change (template 103), opened
// from the main dialog's system menu. One line a change, as the console
// program's --dry-run prints them, then the run's summary, in a fixed-width
// font in a read-only field that sizes with the window. Close or Escape
// closes it. Its texts come from section "DLG_PREVIEW" of the language file.

#include <string>

#include "ui/framework/scoped_handles.h"
#include "ui/xp_button.h"
#include "ui/xp_dialog.h"
#include "ui/xp_edit.h"
#include "update/run_report.h"

namespace zet {

// The window's text for a preview's report: the change lines, a blank line,
// the counts under the console program's labels and each failure; lines
// end in CR LF, as the field shows them.
std::string PreviewWindowText(const RunReport& report);

class CPreviewWindow : public CXPDialog {
 public:
  CPreviewWindow(HWND parent, std::string text);

 protected:
  const MessageMap* GetMessageMap() const override;
  void DoDataExchange(DataExchange& exchange) override;
  bool OnInitDialog() override;

 private:
  bool OnSize(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam, LRESULT& result);

  std::string text_;
  CXPEdit textEdit_;
  CXPButton closeButton_;
  ScopedFont font_;
  // Measured when the window opens: its smallest frame, and how far the
  // field's right and bottom edges and the button's corner stay from the
  // client area's right and bottom edges.
  SIZE minimum_ = {0, 0};
  SIZE textGap_ = {0, 0};
  POINT buttonGap_ = {0, 0};
};

}  // namespace zet
