#include "cli/terminal_view.h"

#include <cstdio>

#include "update/update_run.h"

namespace zet::cli {

namespace {

constexpr int kBarWidth = 28;

std::string Duration(double seconds) {
  long s = static_cast<long>(seconds + 0.5);
  char buffer[32];
  if (s >= 3600)
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
  return buffer;
}

}  // namespace

TerminalView::TerminalView(bool overwrite, bool showProgress, std::string countingLabel, std::string workingLabel)
    : overwrite_(overwrite),
      showProgress_(showProgress),
      countingLabel_(std::move(countingLabel)),
      workingLabel_(std::move(workingLabel)) {}

TerminalView::~TerminalView() { StopTimer(phase_); }

void TerminalView::StartTimer(int id, unsigned periodMs) {
  StopTimer(phase_);
  std::lock_guard<std::mutex> lock(mutex_);
  phase_ = id;
  if (id == kWorkingTimerId) workStart_ = std::chrono::steady_clock::now();
  if (!showProgress_) return;
  stop_ = false;
  ticker_ = std::thread([this, periodMs] { Run(periodMs); });
}

void TerminalView::StopTimer(int id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id != phase_ || phase_ == 0) return;
    stop_ = true;
  }
  wake_.notify_all();
  if (ticker_.joinable()) ticker_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  Clear();
  phase_ = 0;
}

void TerminalView::SetRangeAndStep(int lower, int upper, int step) {
  lower_ = lower;
  upper_ = upper;
  step_ = step;
}

void TerminalView::ShowMessage(const std::string& text, const std::string&) { message_ = text; }

void TerminalView::Run(unsigned periodMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (unsigned tick = 0; !stop_; ++tick) {
    Draw(tick);
    wake_.wait_for(lock, std::chrono::milliseconds(periodMs), [this] { return stop_; });
  }
}

std::string TerminalView::FormatLine(int phase, unsigned tick, const std::string& label, int done, int total,
                                     double seconds) {
  static const char kSpinner[] = "|/-\\";
  char buffer[160];
  if (phase == kCountingTimerId) {
    std::snprintf(buffer, sizeof buffer, " %c %d", kSpinner[tick % 4], done);
    return label + buffer;
  }
  if (total < 1) total = 1;
  if (done > total) done = total;
  if (done < 0) done = 0;
  int filled = static_cast<int>(static_cast<long long>(done) * kBarWidth / total);
  std::string bar = " [" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "]";
  std::snprintf(buffer, sizeof buffer, " %d/%d", done, total);
  std::string line = label + bar + buffer;
  if (seconds >= 1.0 && done > 0) {
    double rate = done / seconds;
    std::snprintf(buffer, sizeof buffer, "  %.0f/s  %s left", rate, Duration((total - done) / rate).c_str());
    line += buffer;
  }
  return line;
}

void TerminalView::Draw(unsigned tick) {
  std::string line;
  if (phase_ == kCountingTimerId) {
    line = FormatLine(phase_, tick, countingLabel_, g_ProgressCount.load(std::memory_order_relaxed), 0, 0);
  } else {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - workStart_).count();
    line = FormatLine(phase_, tick, workingLabel_, position_.load(std::memory_order_relaxed) - lower_,
                      upper_ - lower_, seconds);
  }
  size_t length = line.size();
  if (length < drawn_) line.append(drawn_ - length, ' ');
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
  drawn_ = length;
}

void TerminalView::Clear() {
  if (drawn_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
  std::fflush(stderr);
  drawn_ = 0;
}

}  // namespace zet::cli
