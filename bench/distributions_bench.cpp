// Speed of the two distribution functions the audit tests call in loops: the chi-square
// distribution (p-values of the chi-square and digit tests) and the inverse normal (sample
// sizes and confidence factors).
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "tarnwick/stats/distributions.h"

namespace {

using tarnwick::cCephes;

// Degrees of freedom and statistics as the tests produce them: small tables, digit tests
// (8 and 89 degrees of freedom), statistics on both sides of the mean.
constexpr std::array<double, 16> kDf = {1, 2, 3, 4, 8, 8, 8, 8, 9, 15, 24, 30, 89, 89, 99, 150};
constexpr std::array<double, 16> kStat = {0.4, 3.84, 7.1,  2.2,  5.5,  12.0, 15.5,  30.0,
                                          9.3, 25.0, 20.0, 43.8, 70.0, 89.0, 120.0, 140.0};

void BM_ChiSquareDistribution(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cCephes::ChiSquareDistribution(kDf[i & 15], kStat[i & 15]));
    ++i;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ChiSquareDistribution);

// Probabilities over the central region and both tails.
constexpr std::array<double, 16> kProb = {0.5,   0.6,   0.75, 0.8,   0.9,  0.95,  0.975, 0.99,
                                          0.995, 0.999, 0.05, 0.025, 0.01, 0.001, 1e-6,  0.3};

void BM_InvNormalDistribution(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cCephes::InvNormalDistribution(kProb[i & 15]));
    ++i;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_InvNormalDistribution);

}  // namespace

BENCHMARK_MAIN();
