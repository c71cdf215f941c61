// The update run of a fresh package against a plain copy of the same tree
// (cp -r --preserve=timestamps), and the run with a large archive beside the
// package against the run without one. Printed as ratios at the end:
// goals 1.3 and 1.10.
//
//   ZET_BENCH_FILES   files in the package (default 20000)
//   ZET_BENCH_ENTRIES entries in the archive (default 50000)
//   ZET_BENCH_DIR     where the trees are made (default: the temporary folder)

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "fileio/pak_writer.h"
#include "update/update_run.h"
#include "update/update_view.h"

namespace fs = std::filesystem;

namespace {

int EnvNumber(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

class QuietView : public zet::UpdateView {
 public:
  bool IsOverwriteChecked() override { return false; }
  void StartTimer(int, unsigned) override {}
  void StopTimer(int) override {}
  void SetTitle(const std::string&) override {}
  void SetRangeAndStep(int, int, int) override {}
  void StepIt() override {}
  void SetPos(int) override {}
  void ShowMessage(const std::string&, const std::string&) override {}
  void EnableControl(int) override {}
};

// A package of small files in nested folders, as resource packages are.
struct Scratch {
  fs::path root;
  fs::path package;  // .../plain/RESOURCEN
  fs::path packed;   // .../packed/RESOURCEN, with resourcen.pak beside it

  Scratch() {
    const char* dir = std::getenv("ZET_BENCH_DIR");
    root = (dir != nullptr ? fs::path(dir) : fs::temp_directory_path()) /
           ("zetbench-" + std::to_string(std::random_device{}()));
    package = root / "plain" / "RESOURCEN";
    packed = root / "packed" / "RESOURCEN";
    const int files = EnvNumber("ZET_BENCH_FILES", 20000);
    std::mt19937 random(7);
    std::string bytes(8192, 'x');
    for (char& c : bytes) c = static_cast<char>(random());
    const char* kinds[] = {"Modelle", "Texturen", "Sounds", "Landschaft"};
    for (int i = 0; i < files; ++i) {
      fs::path folder = package / kinds[i % 4] / ("Gruppe" + std::to_string(i / 400)) / ("Satz" + std::to_string(i / 40 % 10));
      if (i % 40 == 0) fs::create_directories(folder);
      std::ofstream(folder / ("datei" + std::to_string(i) + ".dat"), std::ios::binary)
          .write(bytes.data(), 256 + random() % 4096);
    }
    fs::create_directories(packed.parent_path());
    std::string command = "cp -r --preserve=timestamps '" + package.string() + "' '" + packed.string() + "'";
    if (std::system(command.c_str()) != 0) std::abort();

    // Entries the package does not hold: every lookup is a miss, so the run
    // copies the same files and only the lookups differ.
    std::vector<zet::PakWriteEntry> entries;
    const int count = EnvNumber("ZET_BENCH_ENTRIES", 50000);
    for (int i = 0; i < count; ++i)
      entries.push_back({"ARCHIV\\TEIL" + std::to_string(i / 1000) + "\\EINTRAG" + std::to_string(i) + ".DAT",
                         std::string(16, 'p'), ""});
    std::string error;
    if (!zet::WritePak((root / "packed" / "resourcen.pak").string(), entries, error)) std::abort();
  }
  ~Scratch() { fs::remove_all(root); }

};

Scratch& Trees() {
  static Scratch scratch;
  return scratch;
}

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Copies package into a new target with the update run; false on a failure.
bool RunUpdate(const fs::path& package, const fs::path& target) {
  static QuietView view;
  fs::create_directories(target);
  zet::ResetUpdateRunState();
  zet::g_SourceRoot = package.string();
  zet::g_TargetRoot = target.string();
  zet::UpdateThread(&view);
  return zet::g_RunReport.failures().empty();
}

// Each iteration makes both copies into fresh folders, the two in turn
// first, so that both meet the file system in the same state. Reported:
// the milliseconds of each and their ratio.
void Compare(benchmark::State& state, const char* firstName, const std::function<bool(const fs::path&)>& first,
             const char* secondName, const std::function<bool(const fs::path&)>& second) {
  Scratch& s = Trees();
  double a = 0, b = 0;
  int round = 0;
  for (auto _ : state) {
    fs::path ta = s.root / ("a" + std::to_string(round)) / "RESOURCEN";
    fs::path tb = s.root / ("b" + std::to_string(round)) / "RESOURCEN";
    fs::create_directories(ta.parent_path());
    fs::create_directories(tb.parent_path());
    bool ok = true;
    double ta_s = 0, tb_s = 0;
    if (round % 2 == 0) {
      ta_s = Seconds([&] { ok = first(ta) && ok; });
      tb_s = Seconds([&] { ok = second(tb) && ok; });
    } else {
      tb_s = Seconds([&] { ok = second(tb) && ok; });
      ta_s = Seconds([&] { ok = first(ta) && ok; });
    }
    if (!ok) state.SkipWithError("a copy failed");
    state.SetIterationTime(ta_s + tb_s);
    a += ta_s;
    b += tb_s;
    fs::remove_all(ta.parent_path());
    fs::remove_all(tb.parent_path());
    ++round;
  }
  state.counters[std::string(firstName) + "_ms"] = a * 1000 / round;
  state.counters[std::string(secondName) + "_ms"] = b * 1000 / round;
  state.counters["ratio"] = b / a;
}

void BM_UpdateRunAgainstCopy(benchmark::State& state) {
  Scratch& s = Trees();
  Compare(
      state, "cp",
      [&](const fs::path& target) {
        std::string command = "cp -r --preserve=timestamps '" + s.package.string() + "' '" + target.string() + "'";
        return std::system(command.c_str()) == 0;
      },
      "run", [&](const fs::path& target) { return RunUpdate(s.package, target); });
}

void BM_ArchiveAgainstNone(benchmark::State& state) {
  Scratch& s = Trees();
  Compare(
      state, "plain", [&](const fs::path& target) { return RunUpdate(s.package, target); }, "archive",
      [&](const fs::path& target) { return RunUpdate(s.packed, target); });
}

BENCHMARK(BM_UpdateRunAgainstCopy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK(BM_ArchiveAgainstNone)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);

// Keeps the console output and remembers each benchmark's ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      auto it = r.counters.find("ratio");
      if (r.run_type == Run::RT_Iteration && it != r.counters.end()) ratios[r.run_name.function_name] = it->second;
    }
  }
  std::map<std::string, double> ratios;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& r = reporter.ratios;
  if (r.count("BM_UpdateRunAgainstCopy"))
    std::printf("update run / cp -r:             %.2f  (goal at most 1.30)\n", r["BM_UpdateRunAgainstCopy"]);
  if (r.count("BM_ArchiveAgainstNone"))
    std::printf("with archive / without archive: %.2f  (goal at most 1.10)\n", r["BM_ArchiveAgainstNone"]);
  benchmark::Shutdown();
  return 0;
}
