#include "ui/update_dlg.h"

#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>

#include "host/host_lock.h"
#include "host/host_registration.h"
#include "host/journal.h"
#include "host/run_journal.h"
#include "platform/platform.h"
#include "profile/lang_table.h"
#include "ui/about_dlg.h"
#include "ui/browse_folder.h"
#include "ui/preview_window.h"
#include "ui/resources/resource.h"
#include "update/update_run.h"

namespace zet {

int TitleDots = 0;

namespace {

constexpr const char* kSection = kMainDialogSection;
// A view call of the run, carried to the dialog's thread: lParam points to
// the task, and the sending thread waits until it has run.
constexpr UINT kRunTaskMessage = WM_APP + 1;
// Posted when a preview has ended: opens its window.
constexpr UINT kShowPreviewMessage = WM_APP + 2;
constexpr COLORREF kBarColour = RGB(255, 0, 0);
// The controls that could change a run or start another one, in the order
// the dialog disables them and enables them again.
constexpr int kRunControls[] = {IDOK, IDCANCEL, IDC_SOURCE, IDC_TARGET, IDC_BROWSE_SOURCE, IDC_BROWSE_TARGET,
                                IDC_OVERWRITE};
// Timers of a run: one animates the title while it counts, one while it works.
constexpr UINT_PTR kCountingTimerId = 188;
constexpr UINT_PTR kWorkingTimerId = 199;
constexpr UINT kTimerPeriodMs = 100;
// The most files an undo's message names of those it kept.
constexpr size_t kKeptNamed = 10;

// The text of a key with %1, %2, ... replaced by the values.
std::string FilledText(const char* key, std::initializer_list<std::string> values) {
  std::string text = GetLangString(kSection, key);
  int number = 1;
  for (const std::string& value : values) {
    const std::string mark = "%" + std::to_string(number++);
    const size_t at = text.find(mark);
    if (at != std::string::npos) text.replace(at, mark.size(), value);
  }
  return text;
}

// The host's latest installation that is not yet taken back.
bool RunToUndo(const std::string& target, RunRecord& run) {
  const std::string root = JournalRoot();
  return !root.empty() && !target.empty() && FindRunToUndo(root, target, run);
}

}  // namespace

CUpdateDlg::CUpdateDlg(HWND parent)
    : CXPDialog(IDD_ZETVELTRAN_DIALOG, parent),
      icon_(static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                            0, 0, LR_DEFAULTSIZE | LR_SHARED))),
      smallIcon_(static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                                 IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_SHARED))) {}

CUpdateDlg::~CUpdateDlg() {
  // The run has given the dialog back before it could close; its thread
  // has only to return.
  if (worker_) ::WaitForSingleObject(worker_.get(), INFINITE);
}

const MessageMap* CUpdateDlg::GetMessageMap() const {
  static const MessageMapEntry entries[] = {
      OnMessageEntry(WM_SYSCOMMAND, &CUpdateDlg::OnSysCommand),
      OnMessageEntry(WM_TIMER, &CUpdateDlg::OnTimer),
      OnMessageEntry(WM_PAINT, &CUpdateDlg::OnPaint),
      OnMessageEntry(WM_QUERYDRAGICON, &CUpdateDlg::OnQueryDragIcon),
      OnCommandEntry(BN_CLICKED, IDOK, &CUpdateDlg::OnOK),
      OnCommandEntry(BN_CLICKED, IDCANCEL, &CUpdateDlg::OnCancel),
      OnCommandEntry(BN_CLICKED, IDC_BROWSE_SOURCE, &CUpdateDlg::OnBrowseSource),
      OnCommandEntry(BN_CLICKED, IDC_BROWSE_TARGET, &CUpdateDlg::OnBrowseTarget),
      OnMessageEntry(kRunTaskMessage, &CUpdateDlg::OnRunTask),
      OnMessageEntry(kShowPreviewMessage, &CUpdateDlg::OnShowPreview),
  };
  static const MessageMap map = {CXPDialog::GetMessageMap(), entries, std::size(entries)};
  return &map;
}

void CUpdateDlg::DoDataExchange(DataExchange& exchange) {
  exchange.Control(IDC_BROWSE_SOURCE, browseSourceButton_);
  exchange.Control(IDOK, okButton_);
  exchange.Control(IDCANCEL, cancelButton_);
  exchange.Control(IDC_BROWSE_TARGET, browseTargetButton_);
  exchange.Control(IDC_SOURCE, sourceEdit_);
  exchange.Control(IDC_TARGET, targetEdit_);
  exchange.Control(IDC_PROGRESS, progressBar_);
}

bool CUpdateDlg::OnInitDialog() {
  CXPDialog::OnInitDialog();
  EnableMenuXP();

  SetWindowText(GetLangText(kSection, "CAPTION"));
  const struct {
    int id;
    const char* key;
  } texts[] = {
      {IDOK, "IDOK"},
      {IDCANCEL, "IDCANCEL"},
      {IDC_STATIC1, "IDC_STATIC1"},
      {IDC_STATIC2, "IDC_STATIC2"},
      {IDC_STATIC3, "IDC_STATIC3"},
      {IDC_BROWSE_SOURCE, "IDC_BROWSE"},
      {IDC_BROWSE_TARGET, "IDC_BROWSE"},
      {IDC_OVERWRITE, "IDC_CHECK"},
  };
  for (const auto& text : texts) SetDlgItemText(text.id, GetLangText(kSection, text.key));

  // The host's resource base is the default target.
  request_.target = ReadHostRegistration().resBase;
  targetEdit_.SetWindowText(request_.target);
  targetEdit_.ScrollToEnd();

  if (HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    const std::u16string about = GetBuiltinString(kAboutBoxStringId);
    if (!about.empty())
      ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, reinterpret_cast<const wchar_t*>(about.c_str()));
    // Without a text in the language file an entry shows its key, as About does.
    for (const auto& [id, key] : {std::make_pair(IDM_PREVIEW, "IDM_PREVIEW"), std::make_pair(IDM_UNDO, "IDM_UNDO")}) {
      const std::string text = GetLangString(kSection, key);
      ::AppendMenuA(systemMenu, MF_STRING, static_cast<UINT_PTR>(id), text.empty() ? key : text.c_str());
    }
    UpdateSystemMenu();
  }

  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  progressBar_.SetRangeAndStep(0, 300, 1);
  progressBar_.SetBarColour(kBarColour);
  return true;
}

void CUpdateDlg::ShowInfo(const char* key) { ShowText(GetLangString(kSection, key)); }

void CUpdateDlg::ShowText(const std::string& text) {
  const std::string caption = GetLangString(kSection, "CAPTION");
  ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), MB_ICONINFORMATION | MB_OK);
}

const char* CUpdateDlg::ReadRequest() {
  request_ = RunRequest();
  request_.source = sourceEdit_.GetWindowText();
  request_.target = targetEdit_.GetWindowText();
  request_.overwrite = ::IsDlgButtonChecked(m_hWnd, IDC_OVERWRITE) == BST_CHECKED;
  return RequestRefusal(request_);
}

void CUpdateDlg::OnOK() {
  if (running_) return DeferClick(IDOK);
  if (const char* refusal = ReadRequest()) return ShowInfo(refusal);
  std::string busy;
  if (!LockHost(request_.target, hostLock_, busy)) return ShowText(busy);
  RequestHostScan();  // the run starts also when the host cannot be asked
  StartJob(Job::Install);
}

void CUpdateDlg::StartPreview() {
  // Nothing changes: no lock, no rescan.
  if (running_) return;
  if (const char* refusal = ReadRequest()) return ShowInfo(refusal);
  request_.mode = RunMode::Preview;
  StartJob(Job::Preview);
}

void CUpdateDlg::StartUndo() {
  if (running_) return;
  request_ = RunRequest();
  request_.target = targetEdit_.GetWindowText();
  RunRecord run;
  if (!RunToUndo(request_.target, run)) return ShowInfo("IDMSG_UNDO_NONE");
  // Undo goes no further back than a run whose journal cannot be read.
  if (run.unreadable)
    return ShowText(FilledText("IDMSG_UNDO_UNREADABLE", {JournalTimeText(run.started), platform::ShownPath(run.folder)}));
  const std::string caption = GetLangString(kSection, "CAPTION");
  const std::string question = FilledText("IDMSG_UNDO_ASK", {JournalTimeText(run.started), run.package});
  if (::MessageBoxA(m_hWnd, question.c_str(), caption.c_str(), MB_ICONQUESTION | MB_YESNO) != IDYES) return;
  std::string busy;
  if (!LockHost(request_.target, hostLock_, busy)) return ShowText(busy);
  RequestHostScan();  // as after a run: the host's resources change
  StartJob(Job::Undo);
}

void CUpdateDlg::StartJob(Job job) {
  job_ = job;
  BeginRun();
  // The last job's thread has given the dialog back already and only
  // returns; it is collected here, never waited for while it runs.
  if (worker_) ::WaitForSingleObject(worker_.get(), INFINITE);
  worker_.Reset(CreateWorkerThread(&CUpdateDlg::WorkerMain, this));
  if (!worker_) {
    // Without a thread nothing would give the controls back.
    EnableRunControls(true);
    EndRun();
    return;
  }
  ::SetThreadPriority(worker_.get(), THREAD_PRIORITY_ABOVE_NORMAL);
  ::ResumeThread(worker_.get());
}

void CUpdateDlg::OnCancel() {
  // Close box, Escape and the system menu's Close all end up here; a run
  // still drives the dialog, so it stays.
  if (running_) return DeferClick(IDCANCEL);
  CXPDialog::OnCancel();
}

void CUpdateDlg::DeferClick(int id) {
  // The run gives the controls back just before its thread ends; a click on
  // a button it gave back is carried out once the thread has ended.
  if (::IsWindowEnabled(GetDlgItem(id))) deferredClick_ = id;
}

void CUpdateDlg::EnableRunControls(bool enable) {
  for (int id : kRunControls) ::EnableWindow(GetDlgItem(id), enable ? TRUE : FALSE);
}

void CUpdateDlg::BeginRun() {
  running_ = true;
  EnableRunControls(false);
  UpdateSystemMenu();
}

void CUpdateDlg::EndRun() {
  running_ = false;
  hostLock_.Release();
  UpdateSystemMenu();
  // Posted: the worker that reports its end waits until this returns.
  if (job_ == Job::Preview && !previewText_.empty()) ::PostMessageA(m_hWnd, kShowPreviewMessage, 0, 0);
  if (const int id = std::exchange(deferredClick_, 0))
    ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(id)));
}

void CUpdateDlg::UpdateSystemMenu() {
  HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
  if (systemMenu == nullptr) return;
  RunRecord run;
  const bool undoable = !running_ && RunToUndo(targetEdit_.GetWindowText(), run);
  const UINT idle = running_ ? MF_GRAYED : MF_ENABLED;
  ::EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | idle);
  ::EnableMenuItem(systemMenu, IDM_PREVIEW, MF_BYCOMMAND | idle);
  ::EnableMenuItem(systemMenu, IDM_UNDO, MF_BYCOMMAND | (undoable ? MF_ENABLED : MF_GRAYED));
}

void CUpdateDlg::OnMenuOpening(HMENU, bool systemMenu) {
  // The target field may have changed since the last look at its journal.
  if (systemMenu) UpdateSystemMenu();
}

HANDLE CUpdateDlg::CreateWorkerThread(LPTHREAD_START_ROUTINE routine, void* argument) {
  return ::CreateThread(nullptr, 0, routine, argument, CREATE_SUSPENDED, nullptr);
}

DWORD WINAPI CUpdateDlg::WorkerMain(void* argument) {
  auto* dialog = static_cast<CUpdateDlg*>(argument);
  if (dialog->job_ == Job::Undo) {
    dialog->undone_ = UndoLatestRun(JournalRoot(), dialog->request_.target);
    dialog->OnDialogThread([dialog] { dialog->ShowUndoResult(); });
  } else {
    // An install keeps its journal; one that cannot be kept does not start.
    RunReport report;
    std::string error;
    if (!RunWithJournal(dialog->request_, *dialog, report, error))
      dialog->OnDialogThread([dialog, &error] {
        dialog->ShowText(error);
        dialog->EnableRunControls(true);
      });
  }
  dialog->OnDialogThread([dialog] { dialog->EndRun(); });
  return 0;
}

void CUpdateDlg::OnDialogThread(const std::function<void()>& task) {
  if (m_hWnd == nullptr) return;
  if (::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId()) {
    task();
    return;
  }
  ::SendMessageA(m_hWnd, kRunTaskMessage, 0, reinterpret_cast<LPARAM>(&task));
}

bool CUpdateDlg::OnRunTask(WPARAM, LPARAM lParam, LRESULT& result) {
  (*reinterpret_cast<const std::function<void()>*>(lParam))();
  result = 0;
  return true;
}

void CUpdateDlg::CountingStarted() {
  OnDialogThread([&] { ::SetTimer(m_hWnd, kCountingTimerId, kTimerPeriodMs, nullptr); });
}

void CUpdateDlg::WorkStarted(int total) {
  OnDialogThread([&] {
    ::KillTimer(m_hWnd, kCountingTimerId);
    ::SetTimer(m_hWnd, kWorkingTimerId, kTimerPeriodMs, nullptr);
    progressBar_.SetRangeAndStep(0, total, 1);
  });
}

void CUpdateDlg::Stepped() {
  OnDialogThread([&] { progressBar_.StepIt(); });
}

void CUpdateDlg::RunEnded(const RunReport& report) {
  OnDialogThread([&] {
    ::KillTimer(m_hWnd, kWorkingTimerId);
    SetWindowText(GetLangText(kSection, "CAPTION"));
    if (job_ == Job::Preview)
      previewText_ = PreviewWindowText(report);
    else
      ShowText(CompletionMessage(report));
    progressBar_.SetPos(0);
    EnableRunControls(true);
  });
}

bool CUpdateDlg::OnTimer(WPARAM wParam, LPARAM, LRESULT&) {
  const char* key = nullptr;
  if (wParam == kCountingTimerId) key = "CAPTION2";
  if (wParam == kWorkingTimerId) key = job_ == Job::Preview ? "CAPTION4" : "CAPTION3";
  if (key != nullptr) SetWindowText(GetLangText(kSection, key) + std::string(static_cast<size_t>(TitleDots) + 1, '.'));
  TitleDots = (TitleDots + 1) % 4;
  return false;
}

bool CUpdateDlg::OnSysCommand(WPARAM wParam, LPARAM, LRESULT& result) {
  switch (wParam & 0xFFF0) {
    case IDM_ABOUTBOX: {
      CAboutDlg about(m_hWnd);
      about.DoModal();
      break;
    }
    case IDM_PREVIEW:
      StartPreview();
      break;
    case IDM_UNDO:
      StartUndo();
      break;
    default:
      return false;
  }
  result = 0;
  return true;
}

bool CUpdateDlg::OnShowPreview(WPARAM, LPARAM, LRESULT& result) {
  CPreviewWindow preview(m_hWnd, std::exchange(previewText_, std::string()));
  preview.DoModal();
  result = 0;
  return true;
}

void CUpdateDlg::ShowUndoResult() {
  std::string text;
  if (undone_.journalUnwritable) {
    text = FilledText("IDMSG_UNDO_UNWRITABLE", {platform::ShownPath(undone_.run.folder)});
  } else if (undone_.status == 2) {
    text = GetLangString(kSection, "IDMSG_UNDO_NONE");
  } else if (undone_.kept.empty()) {
    text = GetLangString(kSection, "IDMSG_UNDO_DONE");
  } else {
    // The files the user changed since the run, and those that could not be
    // given back now, by their paths below the target.
    text = FilledText(undone_.unfinished ? "IDMSG_UNDO_UNFINISHED" : "IDMSG_UNDO_KEPT",
                      {std::to_string(undone_.kept.size())});
    for (size_t i = 0; i < undone_.kept.size() && i < kKeptNamed; ++i)
      text += "\n" + platform::ShownPath(undone_.kept[i].path);
    if (undone_.kept.size() > kKeptNamed) text += "\n...";
  }
  ShowText(text);
  EnableRunControls(true);
}

bool CUpdateDlg::OnPaint(WPARAM, LPARAM, LRESULT& result) {
  if (!::IsIconic(m_hWnd)) return false;
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, icon_);
  ::EndPaint(m_hWnd, &paint);
  result = 0;
  return true;
}

bool CUpdateDlg::OnQueryDragIcon(WPARAM, LPARAM, LRESULT& result) {
  result = reinterpret_cast<LRESULT>(icon_);
  return true;
}

void CUpdateDlg::OnBrowseSource() { Browse(sourceEdit_); }

void CUpdateDlg::OnBrowseTarget() { Browse(targetEdit_); }

void CUpdateDlg::Browse(CXPEdit& field) {
  std::string path;
  if (!BrowseForFolder(m_hWnd, path)) return;
  field.SetWindowText(path);
  field.ScrollToEnd();
}

}  // namespace zet
