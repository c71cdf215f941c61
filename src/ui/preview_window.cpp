#include "ui/preview_window.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "platform/platform.h"
#include "profile/lang_table.h"
#include "ui/resources/resource.h"
#include "update/update_run.h"

namespace zet {

namespace {

constexpr char kSection[] = "DLG_PREVIEW";
// The summary's labels are the console program's.
constexpr char kSummarySection[] = "CLI";

// Each LF as CR LF: the field breaks lines only there.
std::string FieldLines(const std::string& text) {
  std::string lines;
  lines.reserve(text.size() + text.size() / 32);
  for (char c : text) {
    if (c == '\n' && (lines.empty() || lines.back() != '\r')) lines += '\r';
    lines += c;
  }
  return lines;
}

}  // namespace

std::string PreviewWindowText(const RunReport& report) {
  const std::pair<const char*, size_t> counts[] = {
      {"FILES_COPIED", static_cast<size_t>(report.copied())},
      {"LEFT_TO_ARCHIVE", static_cast<size_t>(report.leftToArchive())},
      {"KEPT_EXISTING", static_cast<size_t>(report.keptExisting())},
      {"LISTS_MERGED", static_cast<size_t>(report.listsMerged())},
      {"FAILURES", report.failures().size()},
  };
  size_t width = 0;
  for (const auto& count : counts) width = std::max(width, GetLangString(kSummarySection, count.first).size() + 1);
  std::string text = PreviewListing(report, false) + "\n";
  for (const auto& count : counts) {
    const std::string label = GetLangString(kSummarySection, count.first) + ":";
    text += label + std::string(width + 3 - label.size(), ' ') + std::to_string(count.second) + "\n";
  }
  for (const RunFailure& failure : report.failures())
    text += "  " + platform::ShownPath(failure.path) + ": " + failure.reason + "\n";
  return FieldLines(text);
}

CPreviewWindow::CPreviewWindow(HWND parent, std::string text)
    : CXPDialog(IDD_PREVIEW, parent), text_(std::move(text)) {}

const MessageMap* CPreviewWindow::GetMessageMap() const {
  static const MessageMapEntry entries[] = {
      OnMessageEntry(WM_SIZE, &CPreviewWindow::OnSize),
      OnMessageEntry(WM_GETMINMAXINFO, &CPreviewWindow::OnGetMinMaxInfo),
  };
  static const MessageMap map = {CXPDialog::GetMessageMap(), entries, std::size(entries)};
  return &map;
}

void CPreviewWindow::DoDataExchange(DataExchange& exchange) {
  exchange.Control(IDC_PREVIEW_TEXT, textEdit_);
  exchange.Control(IDCANCEL, closeButton_);
}

bool CPreviewWindow::OnInitDialog() {
  CXPDialog::OnInitDialog();
  EnableMenuXP();
  SetWindowText(GetLangText(kSection, "CAPTION"));
  SetDlgItemText(IDCANCEL, GetLangText(kSection, "IDCANCEL"));

  // A fixed-width font of the dialog font's height keeps the columns.
  LOGFONTA font = {};
  ::GetObjectA(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)), sizeof font, &font);
  font.lfWeight = FW_NORMAL;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  font.lfFaceName[0] = '\0';
  font_.Reset(::CreateFontIndirectA(&font));
  if (font_) textEdit_.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  textEdit_.SendMessage(EM_SETLIMITTEXT, 0, 0);
  textEdit_.SetWindowText(text_);

  RECT window, client, field, button;
  ::GetWindowRect(m_hWnd, &window);
  ::GetClientRect(m_hWnd, &client);
  ::GetWindowRect(textEdit_.m_hWnd, &field);
  ::GetWindowRect(closeButton_.m_hWnd, &button);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&field), 2);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&button), 2);
  minimum_ = {(window.right - window.left) / 2, (window.bottom - window.top) / 2};
  textGap_ = {client.right - field.right, client.bottom - field.bottom};
  buttonGap_ = {client.right - button.left, client.bottom - button.top};
  // The focus on the field, at its start, nothing selected.
  ::SetFocus(textEdit_.m_hWnd);
  textEdit_.SendMessage(EM_SETSEL, 0, 0);
  return false;
}

bool CPreviewWindow::OnSize(WPARAM wParam, LPARAM lParam, LRESULT&) {
  if (wParam == SIZE_MINIMIZED || !textEdit_.HasWindow() || !closeButton_.HasWindow()) return false;
  const int width = LOWORD(lParam), height = HIWORD(lParam);
  RECT field;
  ::GetWindowRect(textEdit_.m_hWnd, &field);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&field), 2);
  ::MoveWindow(textEdit_.m_hWnd, field.left, field.top, std::max(0L, width - textGap_.cx - field.left),
               std::max(0L, height - textGap_.cy - field.top), TRUE);
  ::SetWindowPos(closeButton_.m_hWnd, nullptr, width - buttonGap_.x, height - buttonGap_.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  ::InvalidateRect(closeButton_.m_hWnd, nullptr, TRUE);
  return false;
}

bool CPreviewWindow::OnGetMinMaxInfo(WPARAM, LPARAM lParam, LRESULT& result) {
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  if (minimum_.cx == 0) return false;
  info->ptMinTrackSize = {minimum_.cx, minimum_.cy};
  result = 0;
  return true;
}

}  // namespace zet
