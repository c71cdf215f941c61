#pragma once
// What the benchmark programs share: medians of repeated measurements, a
// timer, their scratch folder, and the figure lines that scripts/bench
// gathers into one table. A figure line is
//
//   figure | goal | what is measured | measured | target | met / NOT MET
//
// and every measured figure is a ratio to a reference measured in the same
// run, so that the state of a shared machine falls out of it.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace zet::bench {

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A median with the spread around it: the lower and upper quartile (the
// middle half of the values lies between them).
struct Spread {
  double median = 0, low = 0, high = 0;
};

inline Spread SpreadOf(std::vector<double> values) {
  Spread s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  auto at = [&values](double q) {  // linear between the nearest ranks
    const double pos = q * static_cast<double>(values.size() - 1);
    const size_t i = static_cast<size_t>(pos);
    const double f = pos - static_cast<double>(i);
    return i + 1 < values.size() ? values[i] * (1 - f) + values[i + 1] * f : values[i];
  };
  s.median = at(0.5);
  s.low = at(0.25);
  s.high = at(0.75);
  return s;
}

template <typename Fn>
double Seconds(Fn&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A whole number from the environment, or the fallback.
inline int EnvNumber(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

// Where the program's trees go: ZET_BENCH_DIR, else the temporary folder
// (on disk here; a tmpfs there would measure memory).
inline std::filesystem::path ScratchBase() {
  const char* dir = std::getenv("ZET_BENCH_DIR");
  return dir != nullptr && *dir != '\0' ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
}

// A fresh folder for the program's trees below base.
inline std::filesystem::path ScratchFolder(const std::filesystem::path& base, const std::string& name) {
  const std::filesystem::path root =
      base / (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(root);
  return root;
}

inline std::filesystem::path ScratchFolder(const std::string& name) { return ScratchFolder(ScratchBase(), name); }

// What a child process did: its exit status (-1 when it could not start or
// did not exit), peak resident size, wall-clock seconds and processor
// seconds (user and system).
struct ChildRun {
  int status = -1;
  long peakBytes = 0;
  double seconds = 0;
  double cpuSeconds = 0;
};

// Runs args[0] (a path) with the arguments, its standard output into the
// file output (or /dev/null), and waits for it.
inline ChildRun RunChild(const std::vector<std::string>& args, const std::string& output = "/dev/null") {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ChildRun run;
  pid_t pid = 0;
  int status = 0;
  struct rusage usage {};
  run.seconds = Seconds([&] {
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), ::environ) != 0) pid = -1;
    if (pid > 0) ::wait4(pid, &status, 0, &usage);
  });
  posix_spawn_file_actions_destroy(&actions);
  if (pid > 0 && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.peakBytes = usage.ru_maxrss * 1024L;
  auto secondsOf = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  run.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
  return run;
}

// at most: measured <= target; at least: measured >= target.
enum class Goal { AtMost, AtLeast };

inline void PrintFigure(const std::string& goal, const std::string& what, double measured, Goal kind,
                        double target) {
  const bool met = kind == Goal::AtMost ? measured <= target : measured >= target;
  std::printf("figure | %s | %s | %.2f | %s %.2f | %s\n", goal.c_str(), what.c_str(), measured,
              kind == Goal::AtMost ? "<=" : ">=", target, met ? "met" : "NOT MET");
  std::fflush(stdout);
}

// A figure given as the median of ratios with their interquartile range
// beside it; the verdict goes by the median.
inline void PrintFigure(const std::string& goal, const std::string& what, const Spread& measured, Goal kind,
                        double target) {
  const bool met = kind == Goal::AtMost ? measured.median <= target : measured.median >= target;
  std::printf("figure | %s | %s | %.2f (%.2f-%.2f) | %s %.2f | %s\n", goal.c_str(), what.c_str(), measured.median,
              measured.low, measured.high, kind == Goal::AtMost ? "<=" : ">=", target, met ? "met" : "NOT MET");
  std::fflush(stdout);
}

// A row without a target of its own: a reference or a measured value that
// explains a figure.
inline void PrintNote(const std::string& goal, const std::string& what, const std::string& measured) {
  std::printf("figure | %s | %s | %s | - | -\n", goal.c_str(), what.c_str(), measured.c_str());
  std::fflush(stdout);
}

}  // namespace zet::bench
