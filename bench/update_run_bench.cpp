// The update run of a fresh package against a plain copy of the same tree
// (cp -r --preserve=timestamps), and the run with a large archive beside the
// package against the run without one. Each round makes every copy into a
// fresh folder, the two of a pair in turn first, so that both meet the file
// system in the same state; the figures are the medians of the rounds'
// ratios.
//
//   update_run_bench [rounds]      (default 5)
//   ZET_BENCH_FILES    files in the package (default 20000)
//   ZET_BENCH_ENTRIES  entries in the archive (default 50000)
//   ZET_BENCH_DIR      where the trees are made (default: the temporary folder)

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench_report.h"
#include "fileio/pak_writer.h"
#include "update/update_run.h"
#include "update/update_view.h"

namespace fs = std::filesystem;
using namespace zet::bench;

namespace {

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// A package of small files in nested folders, as resource packages are: ten
// files a folder, four kinds of ten folders a group.
void MakePackage(const fs::path& package, int files) {
  std::mt19937 random(7);
  std::string bytes(8192, 'x');
  for (char& c : bytes) c = static_cast<char>(random());
  const char* kinds[] = {"Modelle", "Texturen", "Sounds", "Landschaft"};
  for (int i = 0; i < files; ++i) {
    fs::path folder = package / kinds[i % 4] / ("Gruppe" + std::to_string(i / 400)) / ("Satz" + std::to_string(i / 40 % 10));
    fs::create_directories(folder);
    std::ofstream(folder / ("datei" + std::to_string(i) + ".dat"), std::ios::binary)
        .write(bytes.data(), 256 + random() % 4096);
  }
}

// Entries the package does not hold: every lookup is a miss, so the run
// copies the same files and only the lookups differ.
void MakeArchive(const fs::path& path, int entries) {
  std::vector<zet::PakWriteEntry> list;
  for (int i = 0; i < entries; ++i)
    list.push_back({"ARCHIV\\TEIL" + std::to_string(i / 1000) + "\\EINTRAG" + std::to_string(i) + ".DAT",
                    std::string(16, 'p'), ""});
  std::string error;
  if (!zet::WritePak(path.string(), list, error)) {
    std::fprintf(stderr, "update_run_bench: %s\n", error.c_str());
    std::exit(1);
  }
}

// Copies package into target (made fresh) with the update run; false on a
// failure.
bool RunUpdate(const fs::path& package, const fs::path& target) {
  zet::UpdateView quiet;
  fs::create_directories(target);
  const zet::RunReport report = zet::RunUpdate({package.string(), target.string()}, quiet);
  return report.failures().empty() && report.copied() > 0;
}

using Copier = std::function<bool(const fs::path& target)>;

// One round of a pair: each copy into its own fresh folder, the given one
// first. The seconds of each. The copies stay until the end: a file system
// that has just deleted many files makes new ones slowly for a while, and
// that would fall on the next round unevenly.
void Pair(const fs::path& scratch, const Copier& a, const Copier& b, bool aFirst, double& aSeconds,
          double& bSeconds) {
  static int pairs = 0;
  const fs::path copies = scratch / "copies" / std::to_string(++pairs);
  const fs::path ta = copies / "a" / "RESOURCEN", tb = copies / "b" / "RESOURCEN";
  fs::create_directories(ta.parent_path());
  fs::create_directories(tb.parent_path());
  ::sync();
  bool ok = true;
  auto runA = [&] { aSeconds = Seconds([&] { ok = a(ta) && ok; }); };
  auto runB = [&] { bSeconds = Seconds([&] { ok = b(tb) && ok; }); };
  if (aFirst) {
    runA();
    runB();
  } else {
    runB();
    runA();
  }
  if (!ok) {
    std::fprintf(stderr, "update_run_bench: a copy failed\n");
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 5;
  const int files = EnvNumber("ZET_BENCH_FILES", 20000);
  const int entries = EnvNumber("ZET_BENCH_ENTRIES", 50000);
  const fs::path scratch = ScratchFolder("zet-update-bench");
  const fs::path package = scratch / "plain" / "RESOURCEN";
  const fs::path packed = scratch / "packed" / "RESOURCEN";
  MakePackage(package, files);
  fs::create_directories(packed.parent_path());
  if (!Shell("cp -r --preserve=timestamps '" + package.string() + "' '" + packed.string() + "'")) return 1;
  MakeArchive(packed.parent_path() / "resourcen.pak", entries);

  const Copier cp = [&](const fs::path& target) {
    return Shell("cp -r --preserve=timestamps '" + package.string() + "' '" + target.string() + "'");
  };
  const Copier run = [&](const fs::path& target) { return RunUpdate(package, target); };
  const Copier runPacked = [&](const fs::path& target) { return RunUpdate(packed, target); };

  // A first round of each that is not counted: it brings the source trees
  // into the page cache.
  double a = 0, b = 0;
  Pair(scratch, cp, run, true, a, b);
  Pair(scratch, run, runPacked, true, a, b);

  std::vector<double> cpTimes, runTimes, plainTimes, packedTimes, runRatios, packedRatios;
  for (int round = 0; round < rounds; ++round) {
    Pair(scratch, cp, run, round % 2 == 0, a, b);
    cpTimes.push_back(a);
    runTimes.push_back(b);
    runRatios.push_back(b / a);
    Pair(scratch, run, runPacked, round % 2 == 1, a, b);
    plainTimes.push_back(a);
    packedTimes.push_back(b);
    packedRatios.push_back(b / a);
    std::fprintf(stderr, "round %d: cp %.0f ms, run %.0f ms; without archive %.0f ms, with %.0f ms\n", round + 1,
                 cpTimes.back() * 1000, runTimes.back() * 1000, a * 1000, b * 1000);
  }
  fs::remove_all(scratch);

  auto ms = [](double s) { return std::to_string(static_cast<long>(s * 1000 + 0.5)) + " ms"; };
  const std::string size = std::to_string(files) + " files";
  PrintNote("(a)", "cp -r --preserve=timestamps of " + size + " (reference, median)", ms(Median(cpTimes)));
  PrintNote("(a)", "update run of the same package (median)", ms(Median(runTimes)));
  PrintFigure("(a)", "update run / cp -r, fresh " + size + " package", Median(runRatios), Goal::AtMost, 1.2);
  PrintNote("(b)", "update run with a " + std::to_string(entries) + "-entry archive beside the package (median)",
            ms(Median(packedTimes)));
  PrintFigure("(b)", "with archive / without archive", Median(packedRatios), Goal::AtMost, 1.05);
  return 0;
}
