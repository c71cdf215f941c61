#pragma once
// The update run's view in a terminal: while the run counts, a spinner with
// the number of units found; while it works, a bar with counts, rate and the
// time left, redrawn on standard error ten times a second. The report that
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
  enum class Phase { kNone, kCounting, kWorking };

  // showProgress: draw on standard error (a terminal, not --quiet).
  TerminalView(bool showProgress, std::string countingLabel, std::string workingLabel);
  ~TerminalView() override;

  void CountingStarted() override { Start(Phase::kCounting); }
  void Counted(int found) override { found_.store(found, std::memory_order_relaxed); }
  void WorkStarted(int total) override;
  void Stepped() override { done_.fetch_add(1, std::memory_order_relaxed); }
  void RunEnded(const RunReport& report) override;

  // The completion message of the run that ended.
  const std::string& message() const { return message_; }

  // One line of the display for a phase, a tick number, the units done (or
  // found) and in all, and the seconds since the working pass began.
  static std::string FormatLine(Phase phase, unsigned tick, const std::string& label, int done, int total,
                                double seconds);

 private:
  void Start(Phase phase);
  void Stop();
  void Run();
  void Draw(unsigned tick);
  void Clear();

  const bool showProgress_;
  const std::string countingLabel_;
  const std::string workingLabel_;

  std::atomic<int> found_{0};
  std::atomic<int> done_{0};
  std::atomic<int> total_{0};
  std::string message_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread ticker_;
  Phase phase_ = Phase::kNone;
  bool stop_ = false;
  size_t drawn_ = 0;  // length of the line on screen
  std::chrono::steady_clock::time_point workStart_;
};

}  // namespace zet::cli
