#pragma once
// What the benchmark programs share: medians of repeated measurements, a
// timer, their scratch folder, and the figure lines that scripts/bench
// gathers into one table. A figure line is
//
//   figure | goal | what is measured | measured | target | met / NOT MET
//
// and every measured figure is a ratio to a reference measured in the same
// run, so that the state of a shared machine falls out of it.

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

// A fresh folder for the program's trees: below ZET_BENCH_DIR, else below
// the temporary folder (on disk here; a tmpfs there would measure memory).
inline std::filesystem::path ScratchFolder(const std::string& name) {
  const char* dir = std::getenv("ZET_BENCH_DIR");
  std::filesystem::path root = dir != nullptr && *dir != '\0' ? std::filesystem::path(dir)
                                                              : std::filesystem::temp_directory_path();
  root /= name + "-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}());
  std::filesystem::create_directories(root);
  return root;
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

// A row without a target of its own: a reference or a measured value that
// explains a figure.
inline void PrintNote(const std::string& goal, const std::string& what, const std::string& measured) {
  std::printf("figure | %s | %s | %s | - | -\n", goal.c_str(), what.c_str(), measured.c_str());
  std::fflush(stdout);
}

}  // namespace zet::bench
