// Archive lookups: 50,000 names asked of a 50,000-entry archive in table
// order and shuffled, and names it does not list, against a plain scan of
// the table from the cursor (the reference: what every lookup would cost
// without the name index); and the open of that archive (the table read and
// the index build), which a run pays once.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "fileio/pak_archive.h"
#include "fileio/pak_writer.h"

namespace {

constexpr int kEntries = 50000;

std::string Name(int i) { return "MODELS\\GROUP" + std::to_string(i % 97) + "\\OBJECT" + std::to_string(i) + ".3DS"; }

struct Archive {
  std::string path;
  std::vector<std::string> inOrder, shuffled;
  Archive() {
    path = (std::filesystem::temp_directory_path() / "zet-bench-lookup.pak").string();
    std::vector<zet::PakWriteEntry> entries;
    for (int i = 0; i < kEntries; ++i) {
      entries.push_back({Name(i), "x", ""});
      inOrder.push_back(Name(i));
    }
    std::string error;
    zet::WritePak(path, entries, error);
    shuffled = inOrder;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(42));
  }
  ~Archive() { std::filesystem::remove(path); }
};

const Archive& TheArchive() {
  static const Archive archive;
  return archive;
}

void Lookups(benchmark::State& state, const std::vector<std::string>& names) {
  int archive = zet::OpenPak(TheArchive().path, zet::kPakFileFlags);
  for (auto _ : state) {
    int found = 0;
    for (const std::string& name : names) found += zet::PakContains(archive, name) ? 1 : 0;
    benchmark::DoNotOptimize(found);
  }
  zet::ClosePak(archive);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}

void BM_LookupsInTableOrder(benchmark::State& state) { Lookups(state, TheArchive().inOrder); }
void BM_LookupsShuffled(benchmark::State& state) { Lookups(state, TheArchive().shuffled); }
void BM_LookupsNotListed(benchmark::State& state) {
  std::vector<std::string> names;
  for (const std::string& name : TheArchive().shuffled) names.push_back(name + "X");
  Lookups(state, names);
}

void BM_OpenAndClose(benchmark::State& state) {
  for (auto _ : state) {
    int archive = zet::OpenPak(TheArchive().path, zet::kPakFileFlags);
    benchmark::DoNotOptimize(archive);
    zet::ClosePak(archive);
  }
}

// Reference: scan the table from the cursor, as a reader without an index.
void BM_ReferenceScanShuffled(benchmark::State& state) {
  int archive = zet::OpenPak(TheArchive().path, zet::kPakFileFlags);
  std::vector<std::string> table;
  for (int i = 0; i < kEntries; ++i) {
    zet::PakEntry e;
    zet::GetPakEntry(archive, i, e);
    table.push_back(e.name);
  }
  zet::ClosePak(archive);
  const auto& names = TheArchive().shuffled;
  size_t cursor = 0;
  for (auto _ : state) {
    int found = 0;
    for (size_t k = 0; k < 2000; ++k) {  // a sample: the whole set takes seconds
      const std::string& name = names[k];
      for (size_t n = 0; n < table.size(); ++n) {
        size_t i = (cursor + n) % table.size();
        if (table[i] == name) {
          cursor = i;
          ++found;
          break;
        }
      }
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * 2000);
}

BENCHMARK(BM_LookupsInTableOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookupsShuffled)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookupsNotListed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndClose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceScanShuffled)->Unit(benchmark::kMillisecond);

}  // namespace
