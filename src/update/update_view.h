#pragma once
// What the update run asks of the window that started it. The dialog
// program implements it with its controls, the console program with a
// terminal progress bar, and the tests with a recorder. The run calls it
// from its own thread; an implementation carries each call over to its user
// interface as it needs.

#include <string>

namespace zet {

// Control ids of the main dialog that the run reads or enables again.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdBrowseSource = 1002;
constexpr int kIdBrowseTarget = 1003;
constexpr int kIdSourceEdit = 1004;
constexpr int kIdTargetEdit = 1005;
constexpr int kIdOverwriteCheck = 1006;

// Timers the run sets on the dialog: one while it counts, one while it works.
constexpr int kCountingTimerId = 188;
constexpr int kWorkingTimerId = 199;
constexpr unsigned kTimerPeriodMs = 100;

class UpdateView {
 public:
  virtual ~UpdateView() = default;

  // The state of the overwrite check box (control 1006).
  virtual bool IsOverwriteChecked() = 0;
  // A timer with the id that ticks every period milliseconds until stopped.
  virtual void StartTimer(int id, unsigned periodMs) = 0;
  virtual void StopTimer(int id) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // The progress bar: range lower..upper advanced by step at each StepIt.
  virtual void SetRangeAndStep(int lower, int upper, int step) = 0;
  virtual void StepIt() = 0;
  virtual void SetPos(int position) = 0;
  // A modal information message; returns once the user has closed it.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
  virtual void EnableControl(int id) = 0;
};

}  // namespace zet
