// The catalogue merges on files, at three sizes each: a category file merged
// into the host's of as many sections (2,500, 5,000 and 10,000), and an
// index file merged into the host's up to the largest list a host's index
// takes (25, 50 and 99 entries). Half of the package's category entries are
// the host's (by each of the three filter keys in turn, with a new scan
// folder), half are new; a third of the package's tree nodes are the host's.
// Every merge starts from the host's original file and writes the merged
// one. The reference, measured alongside: loading both files and saving the
// host's document unchanged, which every merge must do at least.
//
// Growth is linear when each further unit costs the same: the figure is
// the cost per unit from the middle size to the largest over that from the
// smallest to the middle one (1 for linear growth, 2 for quadratic growth).
// An index merge's own work is a few microseconds beside the milliseconds of
// writing a file, so its growth is measured on the merge of the loaded
// trees. Times are medians of the rounds.
//
//   category_merge_bench [rounds]     (default 9)
//   ZET_BENCH_DIR                     where the files are made (default: the temporary folder)

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "bench_report.h"
#include "profile/profile_document.h"
#include "update/category_merge.h"
#include "update/index_merge.h"
#include "update/run_state.h"

namespace fs = std::filesystem;
using namespace zet::bench;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Entry i, identified by FilterSection, FilterString or FilterValue in turn.
std::string Entry(const std::string& section, int i, const std::string& folder) {
  std::string s = "[" + section + "]\r\n";
  switch (i % 3) {
    case 0: s += "FilterSection = \"Section " + std::to_string(i) + "\"\r\n"; break;
    case 1: s += "FilterString = \"String " + std::to_string(i) + "\"\r\n"; break;
    default: s += "FilterValue = " + std::to_string(i + 1) + "\r\n"; break;
  }
  return s + "Caption = \"Entry " + std::to_string(i) + "\"\r\nScanPath1 = \"" + folder + "\"\r\nSort = " +
         std::to_string(i) + "\r\n\r\n";
}

void MakeCategoryFiles(int n, const fs::path& package, const fs::path& host) {
  std::string h = "[General]\r\nName = \"Host\"\r\n\r\n", p = "[General]\r\nName = \"Package\"\r\n\r\n";
  for (int i = 0; i < n; ++i) h += Entry("Host" + std::to_string(100000 + i), i, "Modelle\\Host");
  for (int i = 0; i < n; ++i) p += Entry("Pkg" + std::to_string(i), i % 2 == 0 ? i : n + i, "Modelle\\Package");
  Write(package, p);
  Write(host, h);
}

// A flat tree of nodes first to first + count - 1.
std::string IndexFile(int first, int count) {
  std::string s = "[TreeOrder]\r\n";
  for (int i = 0; i < count; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "File%.2d", i);
    s += std::string(key) + " = \"Node " + std::to_string(1000 + first + i) + "\"\r\n";
  }
  return s;
}

// The median seconds of one call of merge on a fresh host file, and of the
// reference on the same files.
struct Timing {
  double merge = 0;
  double reference = 0;
};

Timing Measure(int rounds, int callsPerRound, const fs::path& package, const fs::path& host,
               const std::string& hostBytes, const std::function<void()>& merge) {
  std::vector<double> merges, references;
  for (int round = 0; round < rounds; ++round) {
    double m = 0, r = 0;
    for (int call = 0; call < callsPerRound; ++call) {
      Write(host, hostBytes);
      zet::g_RunReport.Reset();
      m += Seconds(merge);
      if (!zet::g_RunReport.failures().empty() || zet::g_RunReport.listsMerged() != 1) {
        std::fprintf(stderr, "category_merge_bench: the merge of %s failed\n", host.c_str());
        std::exit(1);
      }
      Write(host, hostBytes);
      r += Seconds([&] {
        zet::ProfileDocument p, h;
        p.Load(package.string());
        h.Load(host.string());
        h.Save(host.string());
      });
    }
    merges.push_back(m / callsPerRound);
    references.push_back(r / callsPerRound);
  }
  return {Median(merges), Median(references)};
}

// The cost per unit between the two larger sizes over that between the two
// smaller ones.
double Growth(const int (&sizes)[3], const std::vector<double>& times) {
  return ((times[2] - times[1]) / (sizes[2] - sizes[1])) / ((times[1] - times[0]) / (sizes[1] - sizes[0]));
}

std::string Duration(double seconds) {
  char text[64];
  if (seconds >= 0.01)
    std::snprintf(text, sizeof text, "%.1f ms", seconds * 1e3);
  else if (seconds >= 1e-4)
    std::snprintf(text, sizeof text, "%.0f us", seconds * 1e6);
  else
    std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 9;
  const fs::path scratch = ScratchFolder("zet-catalogue-bench");
  const fs::path packageRoot = scratch / "package" / "RESOURCEN";
  const fs::path hostRoot = scratch / "host" / "RESOURCEN";
  const fs::path folder = packageRoot / "Categories" / "Signals";
  zet::g_SourceRoot = packageRoot.string();
  zet::g_TargetRoot = hostRoot.string();

  const int sections[] = {2500, 5000, 10000};
  std::vector<double> times;
  for (int n : sections) {
    const fs::path package = folder / "Hp.inf", host = hostRoot / "Categories" / "Signals" / "Hp.inf";
    MakeCategoryFiles(n, package, host);
    std::ifstream in(host, std::ios::binary);
    const std::string hostBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Timing t =
        Measure(rounds, 1, package, host, hostBytes, [&] { zet::MergeInfFile(package.string(), host.string()); });
    times.push_back(t.merge);
    const std::string size = std::to_string(n) + "-section files";
    PrintNote("(d)", "category merge of two " + size + " (median)", Duration(t.merge));
    PrintNote("(d)", "  reference: load both, save the host's (median)", Duration(t.reference));
  }
  PrintFigure("(d)", "category merge: cost per section from 5,000 to 10,000 / from 2,500 to 5,000",
              Growth(sections, times), Goal::AtMost, 1.5);

  const int entries[] = {25, 50, 99};
  std::vector<double> treeTimes;
  for (int n : entries) {
    // Host and package each hold two thirds of the merged tree, sharing a third.
    const int part = (2 * n + 2) / 3;
    const fs::path package = folder / "Index.ini", host = hostRoot / "Categories" / "Signals" / "Index.ini";
    Write(package, IndexFile(n - part, part));
    const std::string hostBytes = IndexFile(0, part);
    const Timing t =
        Measure(rounds, 50, package, host, hostBytes, [&] { zet::MergeIndexFile(folder.string(), false); });
    PrintNote("(d)", "index merge to " + std::to_string(n) + " entries (median)", Duration(t.merge));
    PrintNote("(d)", "  reference: load both, save the host's (median)", Duration(t.reference));

    // The merge of the loaded trees alone.
    Write(host, hostBytes);
    zet::ProfileDocument packageDocument;
    packageDocument.Load(package.string());
    std::vector<double> merges;
    for (int round = 0; round < rounds; ++round) {
      double seconds = 0;
      constexpr int kCalls = 200;
      for (int call = 0; call < kCalls; ++call) {
        zet::ProfileDocument hostDocument;
        hostDocument.Load(host.string());
        int added = 0;
        seconds += Seconds([&] { added = zet::MergeTreeOrder(packageDocument, hostDocument); });
        if (added != n - part) {
          std::fprintf(stderr, "category_merge_bench: the tree merge added %d entries, not %d\n", added, n - part);
          return 1;
        }
      }
      merges.push_back(seconds / kCalls);
    }
    treeTimes.push_back(Median(merges));
    PrintNote("(d)", "  of it the merge of the loaded trees (median)", Duration(treeTimes.back()));
  }
  PrintFigure("(d)", "index merge: cost per entry from 50 to 99 / from 25 to 50", Growth(entries, treeTimes),
              Goal::AtMost, 1.5);
  fs::remove_all(scratch);
  return 0;
}
