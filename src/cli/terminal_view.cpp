#include "cli/terminal_view.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "cli/cli_language.h"

#include "update/update_run.h"

namespace zet::cli {

namespace {

constexpr int kBarWidth = 28;
constexpr std::chrono::milliseconds kRedrawPeriod{100};

// The terminal's width in columns, where standard error shows: the line is
// drawn within it, as a wrapped line cannot be drawn over again.
size_t TerminalColumns() {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info) && info.srWindow.Right > info.srWindow.Left)
    return static_cast<size_t>(info.srWindow.Right - info.srWindow.Left + 1);
#else
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  const char* columns = std::getenv("COLUMNS");
  const long given = columns != nullptr ? std::atol(columns) : 0;
  return given > 0 ? static_cast<size_t>(given) : 80;
}

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

TerminalView::TerminalView(bool showProgress, std::string countingLabel, std::string workingLabel)
    : showProgress_(showProgress), countingLabel_(std::move(countingLabel)), workingLabel_(std::move(workingLabel)) {}

TerminalView::~TerminalView() { Stop(); }

void TerminalView::WorkStarted(int total) {
  total_ = total;
  done_ = 0;
  Start(Phase::kWorking);
}

void TerminalView::RunEnded(const RunReport& report) {
  Stop();
  message_ = CompletionMessage(report);
}

void TerminalView::Start(Phase phase) {
  Stop();
  std::lock_guard<std::mutex> lock(mutex_);
  phase_ = phase;
  if (phase == Phase::kWorking) workStart_ = std::chrono::steady_clock::now();
  if (!showProgress_) return;
  stop_ = false;
  try {
    ticker_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had: the run goes on without its bar.
  }
}

void TerminalView::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (phase_ == Phase::kNone) return;
    stop_ = true;
  }
  wake_.notify_all();
  if (ticker_.joinable()) ticker_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  Clear();
  phase_ = Phase::kNone;
}

void TerminalView::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (unsigned tick = 0; !stop_; ++tick) {
    Draw(tick);
    wake_.wait_for(lock, kRedrawPeriod, [this] { return stop_; });
  }
}

std::string TerminalView::FormatLine(Phase phase, unsigned tick, const std::string& label, int done, int total,
                                     double seconds) {
  static const char kSpinner[] = "|/-\\";
  char buffer[160];
  if (phase == Phase::kCounting) {
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
  if (phase_ == Phase::kCounting) {
    line = FormatLine(phase_, tick, countingLabel_, found_.load(std::memory_order_relaxed), 0, 0);
  } else {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - workStart_).count();
    line = FormatLine(phase_, tick, workingLabel_, done_.load(std::memory_order_relaxed), total_, seconds);
  }
  // Within the terminal's width, and its last column left free: a line that
  // fills it moves the cursor on to the next line on some terminals.
  const size_t columns = TerminalColumns(), room = columns > 1 ? columns - 1 : 1;
  // The rate and the time left go first where the line does not fit: cut,
  // they would read as other numbers.
  if (DisplayWidth(line) > room && phase_ == Phase::kWorking)
    line = FormatLine(phase_, tick, workingLabel_, done_.load(std::memory_order_relaxed), total_, 0);
  line = FitWidth(line, room);
  const size_t length = DisplayWidth(line);
  if (length < drawn_) line.append((std::min)(drawn_, room) - length, ' ');
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
