// Profile Load against the INI reader of libinih, on the same generated
// 20 MB profile in the same run. Prints the speed of each in MB/s and their
// ratio (above 1: Load is faster).
//
//   profile_load_bench [megabytes] [rounds]     (default 20 MB, 9 rounds)
//
// Each reader's time is the median of its rounds; the rounds alternate, so
// all see the same state of the machine. The reference reader keeps every
// entry (section, key, value) as a program that uses the values must; the
// speed of its parse alone, with a handler that keeps nothing, is printed
// for comparison.

#include <ini.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_report.h"
#include "profile/profile_document.h"

namespace {

using zet::bench::Seconds;

// A category-file-like profile: sections of texts, numbers, lists, flags and
// comments, every line shorter than the reference reader's line limit.
std::string Generate(size_t bytes) {
  std::mt19937 random(20240601);
  std::string out;
  out.reserve(bytes + 4096);
  out += "; generated profile\r\n";
  for (int section = 0; out.size() < bytes; ++section) {
    out += "[Category_" + std::to_string(section) + "]\r\n";
    out += "FilterSection   = \"SECTION_" + std::to_string(section) + "\"\r\n";
    out += "Name            = \"Resource group number " + std::to_string(random() % 100000) + "\"\r\n";
    for (int j = 1; j <= 4; ++j)
      out += "ScanPath" + std::to_string(j) + "       = \"Models\\Group" + std::to_string(random() % 1000) +
             "\\Part" + std::to_string(j) + "\"\r\n";
    out += "; sizes and flags\r\n";
    out += "Sort            = " + std::to_string(random() % 1000) + "\r\n";
    out += "Offsets         = " + std::to_string(random() % 100) + ", -" + std::to_string(random() % 100) + ", " +
           std::to_string(random() % 100) + "\r\n";
    out += "Scale           = 1.250, 0.875, 2.000\r\n";
    out += "Color           = 0x00ff8000\r\n";
    out += "Visible         = Y,N,Y\r\n";
    out += "Icon            = \"Icons\\Group" + std::to_string(random() % 1000) + ".bmp\" ; the list icon\r\n";
    out += "\r\n";
  }
  return out;
}

struct Entry {
  std::string section, key, value;
};

int KeepEntry(void* user, const char* section, const char* key, const char* value) {
  static_cast<std::vector<Entry>*>(user)->push_back({section, key, value});
  return 1;
}

int CountEntry(void* user, const char*, const char*, const char*) {
  ++*static_cast<size_t*>(user);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
  const int rounds = argc > 2 && std::atoi(argv[2]) > 0 ? std::atoi(argv[2]) : 9;
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("zet-profile-bench-" + std::to_string(::getpid()) + ".ini");
  const std::string text = Generate(megabytes * 1000 * 1000);
  std::ofstream(file, std::ios::binary) << text;
  const double mb = static_cast<double>(text.size()) / 1e6;

  std::vector<double> load, keep, parse;
  size_t sections = 0, entries = 0, kept = 0, counted = 0;
  for (int round = 0; round < rounds; ++round) {
    load.push_back(Seconds([&] {
      zet::ProfileDocument doc;
      if (doc.Load(file.string()) != 0) {
        std::fprintf(stderr, "profile_load_bench: cannot load %s\n", file.string().c_str());
        std::exit(1);
      }
      sections = static_cast<size_t>(doc.GetSectionCount());
      entries = 0;
      for (int i = 0; i < doc.GetSectionCount(); ++i) entries += static_cast<size_t>(doc.GetNode(i)->children.count());
    }));
    keep.push_back(Seconds([&] {
      std::vector<Entry> all;
      ini_parse(file.string().c_str(), KeepEntry, &all);
      kept = all.size();
    }));
    parse.push_back(Seconds([&] {
      counted = 0;
      ini_parse(file.string().c_str(), CountEntry, &counted);
    }));
  }
  std::filesystem::remove(file);

  using zet::bench::Median;
  const double loadSpeed = mb / Median(load), keepSpeed = mb / Median(keep), parseSpeed = mb / Median(parse);
  std::printf("profile of %.1f MB: %zu top-level nodes, %zu entries and comment lines (inih: %zu entries)\n", mb,
              sections, entries, kept);
  auto speed = [](double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB/s", v);
    return std::string(text);
  };
  zet::bench::PrintNote("(c)", "ProfileDocument::Load, 8-bit, " + std::to_string(megabytes) + " MB profile (median)",
                        speed(loadSpeed));
  zet::bench::PrintNote("(c)", "ini_parse keeping every entry (reference)", speed(keepSpeed));
  zet::bench::PrintNote("(c)", "ini_parse, parse only (second reference)", speed(parseSpeed));
  zet::bench::PrintFigure("(c)", "Load / ini_parse keeping every entry", loadSpeed / keepSpeed,
                          zet::bench::Goal::AtLeast, 1.0);
  char ratio[32];
  std::snprintf(ratio, sizeof ratio, "%.2f", loadSpeed / parseSpeed);
  zet::bench::PrintNote("(c)", "Load / ini_parse parse only (no goal: it keeps nothing)", ratio);
  return 0;
}
