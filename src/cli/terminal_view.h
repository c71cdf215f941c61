#pragma once
// The update run's view in a terminal: while the run counts, a spinner with
// the number of units found; while it works, a bar with counts, rate and the
// time left, redrawn on standard error every timer tick. The message that
// ends the run is kept for the summary.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "update/update_view.h"

namespace zet::cli {

class TerminalView : public UpdateView {
 public:
  // showProgress: draw on standard error (a terminal, not --quiet).
  TerminalView(bool overwrite, bool showProgress, std::string countingLabel, std::string workingLabel);
  ~TerminalView() override;

  bool IsOverwriteChecked() override { return overwrite_; }
  void StartTimer(int id, unsigned periodMs) override;
  void StopTimer(int id) override;
  void SetTitle(const std::string&) override {}
  void SetRangeAndStep(int lower, int upper, int step) override;
  void StepIt() override { position_.fetch_add(step_, std::memory_order_relaxed); }
  void SetPos(int position) override { position_ = position; }
  void ShowMessage(const std::string& text, const std::string& caption) override;
  void EnableControl(int) override {}

  const std::string& message() const { return message_; }

  // One line of the display for a phase (a timer id), a tick number, the
  // units done and in all, and the seconds since the working pass began.
  static std::string FormatLine(int phase, unsigned tick, const std::string& label, int done, int total,
                                double seconds);

 private:
  void Run(unsigned periodMs);
  void Draw(unsigned tick);
  void Clear();

  const bool overwrite_;
  const bool showProgress_;
  const std::string countingLabel_;
  const std::string workingLabel_;

  std::atomic<int> lower_{0};
  std::atomic<int> upper_{0};
  std::atomic<int> step_{1};
  std::atomic<int> position_{0};
  std::string message_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread ticker_;
  int phase_ = 0;  // the running timer's id, 0 when none
  bool stop_ = false;
  size_t drawn_ = 0;  // length of the line on screen
  std::chrono::steady_clock::time_point workStart_;
};

}  // namespace zet::cli
