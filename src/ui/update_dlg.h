#pragma once
// CUpdateDlg: the main dialog (template 102). The user names the package's
// resource folder and the host's; OK checks both, asks the host for a
// rescan and starts the update run on a worker thread, which tells this
// dialog through UpdateView what happens: a timer animates the title while
// the run counts and while it works, the bar steps, and when it ends a
// message box tells the outcome and the controls come back. The dialog
// stays open for further runs until Cancel.
//
// Two entries of the system menu, below About, work the same way: Preview
// runs the update without changing anything and shows what it would change
// in a window of its own; Undo takes the host's latest installation back
// from its journal, after the user has said yes to it, and tells what it
// had to keep. Both are greyed while a run works; Undo also when the host
// in the target field has nothing to take back.

#include <windows.h>

#include <functional>

#include "host/undo.h"
#include "platform/platform.h"
#include "ui/framework/scoped_handles.h"
#include "ui/sp_progress_bar.h"
#include "ui/xp_button.h"
#include "ui/xp_dialog.h"
#include "ui/xp_edit.h"
#include "update/run_request.h"
#include "update/update_view.h"

namespace zet {

// Phase of the animated title during a run, 0..3: the title shows one to
// four dots. Never reset by the dialog, so a second run goes on where the
// first left off.
extern int TitleDots;

class CUpdateDlg : public CXPDialog, public UpdateView {
 public:
  explicit CUpdateDlg(HWND parent = nullptr);
  ~CUpdateDlg() override;

  // True from OK's start of a run until the run has given the controls
  // back; the dialog cannot be closed meanwhile.
  bool IsRunning() const { return running_; }

  // UpdateView. The run calls these on its own thread; each call is carried
  // out on the dialog's thread, and the caller waits until it is done.
  void CountingStarted() override;
  void WorkStarted(int total) override;
  void Stepped() override;
  void RunEnded(const RunReport& report) override;

 protected:
  const MessageMap* GetMessageMap() const override;
  void DoDataExchange(DataExchange& exchange) override;
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  void OnMenuOpening(HMENU menu, bool systemMenu) override;

  // Creates the worker thread suspended; null when it cannot be created.
  virtual HANDLE CreateWorkerThread(LPTHREAD_START_ROUTINE routine, void* argument);

 private:
  // What the worker thread does.
  enum class Job { Install, Preview, Undo };

  bool OnSysCommand(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnTimer(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnPaint(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnQueryDragIcon(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnRunTask(WPARAM wParam, LPARAM lParam, LRESULT& result);
  void OnBrowseSource();
  void OnBrowseTarget();

  void Browse(CXPEdit& field);
  // The request of the dialog's fields and option; the language key of the
  // message that refuses it, or nullptr.
  const char* ReadRequest();
  void StartPreview();
  void StartUndo();
  // Starts the job on the worker thread, the run's controls disabled.
  void StartJob(Job job);
  // Preview and Undo greyed while a run works, Undo also while the host in
  // the target field has no installation to take back; Close with them.
  void UpdateSystemMenu();
  void ShowUndoResult();
  bool OnShowPreview(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // A message box of the dialog: text of the key, caption "CAPTION".
  void ShowInfo(const char* key);
  void ShowText(const std::string& text);
  // Disables the controls that could change the run or start another one.
  void BeginRun();
  void EnableRunControls(bool enable);
  // Called on the dialog's thread once the run has ended.
  void EndRun();
  void DeferClick(int id);
  // Runs the task on the dialog's thread and returns when it is done.
  void OnDialogThread(const std::function<void()>& task);
  static DWORD WINAPI WorkerMain(void* dialog);

  CXPButton browseSourceButton_;
  CXPButton okButton_;
  CXPButton cancelButton_;
  CXPButton browseTargetButton_;
  CXPEdit sourceEdit_;
  CXPEdit targetEdit_;
  SPProgressBar progressBar_;
  HICON icon_;
  HICON smallIcon_;

  RunRequest request_;  // of the run started last
  Job job_ = Job::Install;
  std::string previewText_;  // of the preview that ended last
  UndoResult undone_;        // of the undo that ended last
  bool running_ = false;
  int deferredClick_ = 0;
  ScopedHandle worker_;
  platform::FileLock hostLock_;  // held from OK to the run's end
};

}  // namespace zet
