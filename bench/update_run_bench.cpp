// The update run of a fresh package against a plain copy of the same tree
// (cp -r --preserve=timestamps), on each file system it is given. The run is
// the console program as a user starts it, a child process like cp; per
// round it copies the package
//   - with cp (the reference),
//   - with the run,
//   - with the run of the same package with a large archive beside it (no
//     name of the package listed, so only the lookups differ; the archive
//     is moved aside for the other runs, so that all read the same tree),
//   - with the run with its journal, as a user's run is, when the program
//     can run without one (the other runs then run without it; the journal
//     is kept in the scratch folder, on the same file system as the host),
// each into a fresh folder, in an order that turns by one every round so
// that every kind meets every position alike. The figures are the medians
// of the rounds' ratios (each against its reference of the same round),
// printed with their interquartile range.
//
// The processor seconds of each child are kept as well: on a busy machine
// their ratios hold better than those of the wall clock, which the goals
// are about.
//
// Besides, the run in this process with a view that notes when the counting
// pass begins and when the working pass begins: the counting pass's share
// of the run.
//
//   update_run_bench [rounds] [LABEL=FOLDER]...   (default 15 rounds, the scratch folder)
//   ZET_BENCH_FILES    files in the package (default 20000)
//   ZET_BENCH_ENTRIES  entries in the archive (default 50000)
//   ZET_BENCH_DIR      where the trees are made without a FOLDER (default: the temporary folder)
//   ZET_BENCH_NO_JOURNAL  the console program's arguments that switch its journal off (unset: no journal row)

#include <sys/vfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench_report.h"
#include "fileio/pak_writer.h"
#include "update/update_run.h"
#include "update/update_view.h"

namespace fs = std::filesystem;
using namespace zet::bench;

namespace {

// The run in this process: notes the time the counting pass starts and the
// time the working pass starts.
class TimingView : public zet::UpdateView {
 public:
  using Clock = std::chrono::steady_clock;
  Clock::time_point countingStart, workStart;
  void CountingStarted() override { countingStart = Clock::now(); }
  void WorkStarted(int) override { workStart = Clock::now(); }
};

// The counting pass's seconds over the run's, for a run into target.
double CountingShare(const fs::path& package, const fs::path& target) {
  TimingView view;
  fs::create_directories(target);
  zet::RunReport report;
  const double whole = Seconds([&] { report = zet::RunUpdate({package.string(), target.string()}, view); });
  if (!report.failures().empty() || report.copied() == 0) {
    std::fprintf(stderr, "update_run_bench: the run in this process failed\n");
    std::exit(1);
  }
  return std::chrono::duration<double>(view.workStart - view.countingStart).count() / whole;
}

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

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// The file system's kind, by the number the system gives it.
std::string FileSystemKind(const fs::path& folder) {
  struct statfs s {};
  if (::statfs(folder.c_str(), &s) != 0) return "unknown";
  switch (static_cast<unsigned long>(s.f_type)) {
    case 0x01021994: return "tmpfs";
    case 0xEF53: return "ext4";
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0x794C7630: return "overlayfs";
    default: return "unknown";
  }
}

struct Place {
  std::string label;
  fs::path folder;
};

// A copier makes the package's copy in target (a fresh RESOURCEN folder
// path) as a child process.
struct Kind {
  Kind(std::string n, std::function<ChildRun(const fs::path&)> c) : name(std::move(n)), copy(std::move(c)) {}
  std::string name;
  std::function<ChildRun(const fs::path& target)> copy;
  std::vector<double> seconds, cpuSeconds;
};

void MeasurePlace(const Place& place, int rounds, int files, int entries) {
  const fs::path scratch = ScratchFolder(place.folder, "zet-update-bench");
  const fs::path package = scratch / "package" / "RESOURCEN";
  const fs::path beside = scratch / "package" / "resourcen.pak", aside = scratch / "aside.pak";
  MakePackage(package, files);
  MakeArchive(aside, entries);
  const std::string cpPath = "/bin/cp";

  const std::string cli = ZET_CLI_PATH;
  auto runOf = [&cli](const fs::path& source, const std::vector<std::string>& extra) {
    return [&cli, source, extra](const fs::path& target) {
      fs::create_directories(target);
      std::vector<std::string> args{cli, "--quiet", "--no-scan"};
      args.insert(args.end(), extra.begin(), extra.end());
      args.push_back(source.string());
      args.push_back(target.string());
      return RunChild(args);
    };
  };
  const char* noJournalSwitch = std::getenv("ZET_BENCH_NO_JOURNAL");
  const bool journal = noJournalSwitch != nullptr && *noJournalSwitch != '\0';
  const std::vector<std::string> plain = journal ? Words(noJournalSwitch) : std::vector<std::string>{};
  const fs::path journalFolder = scratch / "journal";
  ::setenv("ZETVELTRAN_JOURNAL_DIR", journalFolder.c_str(), 1);
  std::vector<Kind> kinds{
      {"cp", [&](const fs::path& t) {
         return RunChild({cpPath, "-r", "--preserve=timestamps", package.string(), t.string()});
       }},
      {"run", runOf(package, plain)},
      {"archive", [&, run = runOf(package, plain)](const fs::path& t) {
         fs::rename(aside, beside);
         const ChildRun r = run(t);
         fs::rename(beside, aside);
         return r;
       }},
  };
  if (journal) kinds.emplace_back("journal", runOf(package, {}));

  // Removing tens of thousands of files leaves ext4 slow to make new ones
  // (it passes over the inodes it freed lately, one by one) until about as
  // many are made again, and that would fall on whichever copy comes next.
  // So the copies stay until the place is done where there is room for all
  // of them; else each round's go, and the disk's rows swing with it. A
  // tmpfs frees at once.
  const std::string fsKind = FileSystemKind(place.folder);
  const uintmax_t packageBytes = static_cast<uintmax_t>(files) * 8192 + (1u << 20);
  std::error_code noRoom;
  const bool keepCopies = fsKind != "tmpfs" && fs::space(scratch, noRoom).available / 2 >
                                                   packageBytes * (kinds.size() + 1) * static_cast<uintmax_t>(rounds + 1);
  std::vector<double> countingShares;
  // Round 0 is not counted: it brings the source trees into the page cache.
  for (int round = 0; round <= rounds; ++round) {
    const fs::path copies = scratch / "copies" / std::to_string(round);
    std::string line = "round " + std::to_string(round) + ":";
    for (size_t k = 0; k < kinds.size(); ++k) {
      Kind& kind = kinds[(k + static_cast<size_t>(round)) % kinds.size()];
      const fs::path target = copies / kind.name / "RESOURCEN";
      fs::create_directories(target.parent_path());
      ::sync();  // the write-back of the copy before falls on nobody
      const ChildRun child = kind.copy(target);
      const double s = child.seconds;
      if (child.status != 0) {
        std::fprintf(stderr, "update_run_bench: the copy by %s failed in %s\n", kind.name.c_str(),
                     target.c_str());
        std::exit(1);
      }
      if (round > 0) {
        kind.seconds.push_back(s);
        kind.cpuSeconds.push_back(child.cpuSeconds);
      }
      line += " " + kind.name + " " + std::to_string(static_cast<long>(s * 1000)) + " ms";
    }
    ::sync();
    const double share = CountingShare(package, copies / "counted" / "RESOURCEN");
    if (round > 0) countingShares.push_back(share);
    std::fprintf(stderr, "%s [%s]; counting %.1f %%\n", line.c_str(), place.label.c_str(), share * 100);
    fs::remove_all(journalFolder);
    if (!keepCopies) fs::remove_all(copies);
  }
  fs::remove_all(scratch);

  auto ratios = [](const Kind& a, const Kind& b, bool cpu = false) {
    const auto &x = cpu ? a.cpuSeconds : a.seconds, &y = cpu ? b.cpuSeconds : b.seconds;
    std::vector<double> r;
    for (size_t i = 0; i < x.size(); ++i) r.push_back(x[i] / y[i]);
    return r;
  };
  auto spreadText = [](const std::vector<double>& values) {
    const Spread s = SpreadOf(values);
    char text[48];
    std::snprintf(text, sizeof text, "%.2f (%.2f-%.2f)", s.median, s.low, s.high);
    return std::string(text);
  };
  auto ms = [](const std::vector<double>& s) {
    return std::to_string(static_cast<long>(Median(s) * 1000 + 0.5)) + " ms";
  };
  const std::string where = " on " + fsKind + " (" + place.label + ")";
  const std::string size = std::to_string(files) + " files";
  const Kind &cp = kinds[0], &run = kinds[1], &archive = kinds[2];
  PrintNote("(a)", "cp -r --preserve=timestamps of " + size + where + " (median)", ms(cp.seconds));
  PrintNote("(a)", "update run of the same package" + where + " (median)", ms(run.seconds));
  PrintFigure("(a)", "update run / cp -r" + where, SpreadOf(ratios(run, cp)), Goal::AtMost,
              fsKind == "tmpfs" ? 0.70 : 1.00);
  PrintNote("(a)", "the same in processor time", spreadText(ratios(run, cp, true)));
  PrintFigure("(b)", "run with a " + std::to_string(entries) + "-entry archive / without" + where,
              SpreadOf(ratios(archive, run)), Goal::AtMost, 1.05);
  PrintNote("(b)", "the same in processor time", spreadText(ratios(archive, run, true)));
  if (journal) {
    PrintFigure("(c)", "run with the journal / without" + where, SpreadOf(ratios(kinds[3], run)), Goal::AtMost,
                1.10);
    PrintNote("(c)", "run with the journal / cp -r" + where, spreadText(ratios(kinds[3], cp)));
  } else {
    PrintNote("(c)", "run with the journal / without" + where, "not available");
  }
  PrintFigure("(d)", "counting pass / whole run" + where, SpreadOf(countingShares), Goal::AtMost, 0.10);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 15;
  std::vector<Place> places;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t eq = arg.find('=');
    if (eq != std::string::npos) {
      places.push_back({arg.substr(0, eq), arg.substr(eq + 1)});
    } else if (std::atoi(argv[i]) > 0) {
      rounds = std::atoi(argv[i]);
    } else {
      std::fprintf(stderr, "usage: update_run_bench [rounds] [LABEL=FOLDER]...\n");
      return 2;
    }
  }
  if (places.empty()) {
    const fs::path folder = ScratchBase();
    places.push_back({folder.string(), folder});
  }
  // No host registration for the console program to find: the target is
  // always given, and a prefix on this machine would only add its reading.
  const fs::path noPrefix = fs::temp_directory_path() / "zet-update-bench-no-prefix";
  ::setenv("WINEPREFIX", noPrefix.c_str(), 1);
  const int files = EnvNumber("ZET_BENCH_FILES", 20000);
  const int entries = EnvNumber("ZET_BENCH_ENTRIES", 50000);
  for (const Place& place : places) MeasurePlace(place, rounds, files, entries);
  return 0;
}
