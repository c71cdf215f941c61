// The category merge over loaded documents: a host category file of n
// entries and a package of n entries, half of them the host's (by each of
// the three filter keys and with new scan folders), half new. The time per
// entry should stay flat from 1,000 to 10,000 sections: finding an entry in
// the host is one lookup, not a pass over its sections.

#include <benchmark/benchmark.h>

#include <string>

#include "update/category_merge.h"

namespace {

// Entry i identified by FilterSection, FilterString or FilterValue in turn.
void AddEntry(zet::ProfileDocument& doc, const std::string& section, int i, const std::string& folder) {
  const char* s = section.c_str();
  switch (i % 3) {
    case 0: doc.SetString(s, "FilterSection", ("Section " + std::to_string(i)).c_str()); break;
    case 1: doc.SetString(s, "FilterString", ("String " + std::to_string(i)).c_str()); break;
    default: {
      const int32_t value = i + 1;
      doc.SetInts(s, "FilterValue", &value, 1);
    }
  }
  doc.SetString(s, "Caption", ("Entry " + std::to_string(i)).c_str());
  doc.SetString(s, "ScanPath1", folder.c_str());
}

void Build(int n, zet::ProfileDocument& host, zet::ProfileDocument& package) {
  host.SetString("General", "Name", "Host");
  package.SetString("General", "Name", "Package");
  for (int i = 0; i < n; ++i) AddEntry(host, "Host" + std::to_string(100000 + i), i, "Modelle\\Host");
  // Every other package entry is the host's, the rest are new.
  for (int i = 0; i < n; ++i) AddEntry(package, "Pkg" + std::to_string(i), i % 2 == 0 ? i : n + i, "Modelle\\Package");
}

void BM_MergeCategoryDocuments(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    zet::ProfileDocument host, package;
    Build(n, host, package);
    state.ResumeTiming();
    zet::CategoryMergeResult r = zet::MergeCategoryDocuments(package, host);
    benchmark::DoNotOptimize(r);
  }
  state.SetComplexityN(n);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_MergeCategoryDocuments)->Arg(1000)->Arg(3000)->Arg(10000)->Arg(30000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

}  // namespace
