// The console program's peak memory on packages of growing size: each
// package holds the given number of files plus 500 category files (50 in
// each of the ten category folders, each merged into a host file of the same
// name) and an index file per folder. The program runs as a child process;
// its peak resident size comes from the system's accounting of the child.
// The figure is the peak at the largest size over the peak at the smallest:
// memory that does not grow with the files keeps it near 1.
//
//   scale_bench [files...]     (default 25000 50000 100000)
//   ZET_BENCH_DIR              where the trees are made (default: the temporary folder)

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench_report.h"

namespace fs = std::filesystem;
using namespace zet::bench;

namespace {

const char* const kCategoryFolders[] = {"Filters",         "Goods",
                                        "Landscape_elements", "Rolling_stock",
                                        "Signals",         "Static_structures",
                                        "Track_objects_street", "Track_objects_track",
                                        "Track_objects_tram",   "Track_objects_waterway"};
constexpr int kInfPerFolder = 50;
constexpr int kSectionsPerInf = 20;

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A category file of numbered sections, each with its filter key and scan
// folders; first is the number of its first section, so that the package's
// and the host's files share some sections and differ in others.
std::string CategoryFile(const std::string& stem, int first) {
  std::string text = "[" + stem + "_Info]\r\nName = \"" + stem + "\"\r\n\r\n";
  for (int s = first; s < first + kSectionsPerInf; ++s) {
    char number[8];
    std::snprintf(number, sizeof number, "%.3d", s);
    text += "[" + stem + number + "]\r\n";
    text += "FilterSection = \"" + stem + "_" + number + "\"\r\n";
    text += "Name = \"Group " + std::to_string(s) + "\"\r\n";
    text += "ScanPath1 = \"Models\\" + stem + "\\" + number + "\"\r\n";
    text += "Sort = " + std::to_string(s) + "\r\n\r\n";
  }
  return text;
}

std::string IndexFile(int first, int count) {
  std::string text = "[TreeOrder]\r\n";
  for (int i = 0; i < count; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "File%.2d", i);
    text += std::string(key) + " = \"Node" + std::to_string(first + i) + "\"\r\n";
  }
  return text;
}

void MakeTrees(const fs::path& package, const fs::path& host, int files) {
  std::mt19937 random(11);
  std::string bytes(1024, 'x');
  for (char& c : bytes) c = static_cast<char>(random());
  const char* kinds[] = {"Modelle", "Texturen", "Sounds", "Landschaft"};
  for (int i = 0; i < files; ++i) {
    // Forty files a folder, a hundred folders a group.
    const int set = i / 40;
    fs::path folder = package / kinds[set % 4] / ("Gruppe" + std::to_string(set / 100)) / ("Satz" + std::to_string(set));
    if (i % 40 == 0) fs::create_directories(folder);
    std::ofstream(folder / ("datei" + std::to_string(i) + ".dat"), std::ios::binary)
        .write(bytes.data(), 64 + random() % 512);
  }
  for (const char* name : kCategoryFolders) {
    const fs::path relative = fs::path("Categories") / name;
    for (int f = 0; f < kInfPerFolder; ++f) {
      const std::string stem = std::string(name).substr(0, 6) + std::to_string(f);
      Write(package / relative / (stem + ".inf"), CategoryFile(stem, 10));
      Write(host / relative / (stem + ".inf"), CategoryFile(stem, 1));
    }
    Write(package / relative / "Index.ini", IndexFile(20, 30));
    Write(host / relative / "Index.ini", IndexFile(0, 30));
  }
  fs::create_directories(host);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i)
    if (std::atoi(argv[i]) > 0) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {25000, 50000, 100000};
  const fs::path cli = fs::path(ZET_CLI_PATH);

  std::vector<double> peaks;
  for (int files : sizes) {
    const fs::path scratch = ScratchFolder("zet-scale-bench");
    const fs::path package = scratch / "package" / "RESOURCEN";
    const fs::path host = scratch / "host" / "RESOURCEN";
    MakeTrees(package, host, files);
    const fs::path summary = scratch / "summary.txt";
    const ChildRun run = RunChild({cli.string(), "--quiet", "--no-scan", package.string(), host.string()}, summary);
    const int status = run.status;
    const long peak = run.peakBytes;
    const double seconds = run.seconds;
    std::ifstream in(summary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove_all(scratch);
    // Every file copied, and the 500 category files and ten index files merged.
    const bool complete = text.find("Files copied:              " + std::to_string(files) + "\n") != std::string::npos &&
                          text.find("Lists merged:              510\n") != std::string::npos;
    if (status != 0 || !complete) {
      std::fprintf(stderr, "scale_bench: %s ended with status %d at %d files:\n%s\n", cli.c_str(), status, files,
                   text.c_str());
      return 1;
    }
    char figure[96];
    std::snprintf(figure, sizeof figure, "%.1f MB (%.0f s)", static_cast<double>(peak) / 1e6, seconds);
    PrintNote("scale", "peak resident size, " + std::to_string(files) + " files and 500 category files", figure);
    peaks.push_back(static_cast<double>(peak));
  }
  if (peaks.size() >= 2)
    PrintFigure("scale",
                "peak memory at " + std::to_string(sizes.back()) + " files / at " + std::to_string(sizes.front()),
                peaks.back() / peaks.front(), Goal::AtMost, 1.10);
  return 0;
}
