// The single-study computation (analyseStudy) at G = K = 3, 20, 100 and 200,
// with whole counts 0..1000 and with counts that have four decimals, as the
// product computes it and, for comparison, with the straightforward loops of
// tests/stats/reference.cpp (BM_StraightforwardStudy; slow at 200: about six
// seconds an iteration).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "../tests/stats/reference.h"
#include "stats/stats.h"
#include "../tests/stats/mixer.h"

namespace {

using ploverix::stats::GenotypeTable;

using ploverix::testsupport::Mixer;

std::unique_ptr<GenotypeTable> makeTable(int size, bool fractional) {
  auto table = std::make_unique<GenotypeTable>();
  table->groups = size;
  table->genotypes = size;
  Mixer mixer{static_cast<std::uint64_t>(size) * 2 + (fractional ? 1 : 0)};
  for (int i = 1; i <= size; ++i) {
    for (int j = 1; j <= size; ++j) {
      if (fractional) {
        const double whole = static_cast<double>(mixer.next() % 1000);
        const double decimals = static_cast<double>(mixer.next() % 10000);
        table->count(i, j) = static_cast<float>(whole + decimals / 10000.0);
      } else {
        table->count(i, j) = static_cast<float>(mixer.next() % 1001);
      }
    }
  }
  return table;
}

template <ploverix::stats::StudyAnalysis (*kAnalyse)(GenotypeTable&, float)>
void runStudy(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const bool fractional = state.range(1) != 0;
  const auto counts = makeTable(size, fractional);
  auto working = std::make_unique<GenotypeTable>();
  working->groups = size;
  working->genotypes = size;
  for (auto _ : state) {
    // analyseStudy corrects the zero counts in place: a fresh copy of the block.
    for (int i = 0; i < size; ++i) {
      for (int j = 0; j < size; ++j) working->counts[i][j] = counts->counts[i][j];
    }
    try {
      benchmark::DoNotOptimize(kAnalyse(*working, 0.5f));
    } catch (const std::exception&) {
      // A study that ends in a math error costs the same up to its limits.
    }
  }
  state.SetLabel(fractional ? "fractional counts" : "whole counts");
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int size : {3, 20, 100, 200}) {
    for (int fractional : {0, 1}) b->Args({size, fractional});
  }
  b->ArgNames({"GK", "fractional"})->Unit(benchmark::kMicrosecond);
}

void BM_AnalyseStudy(benchmark::State& state) { runStudy<ploverix::stats::analyseStudy>(state); }
void BM_StraightforwardStudy(benchmark::State& state) {
  runStudy<ploverix::stats::reference::analyseStudy>(state);
}

BENCHMARK(BM_AnalyseStudy)->Apply(sizes);
BENCHMARK(BM_StraightforwardStudy)->Apply(sizes);

}  // namespace
