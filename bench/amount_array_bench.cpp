// Bringing an amount array's statistics up to date (sort, median, mode, moments) against a
// plain std::sort of the same amounts, and the memory the array holds per amount.
//
//   ./build/bench/amount_array_bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "tarnwick/stats/amount_array.h"

namespace {

constexpr std::int32_t kAmounts = 10'000'000;

// Ledger-like amounts: cents, mostly positive, long-tailed, some credits, many repeats.
const std::vector<double>& Amounts() {
  static const std::vector<double> amounts = [] {
    std::mt19937_64 gen(20261208);
    std::lognormal_distribution<double> size(5.0, 1.5);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> v(kAmounts);
    for (double& x : v) {
      double a = std::round(size(gen) * 100.0) / 100.0;
      if (u(gen) < 0.1) a = -a;
      x = a;
    }
    return v;
  }();
  return amounts;
}

// Resident memory of the process in bytes.
double ResidentBytes() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * 4096.0;
}

void BM_StdSort(benchmark::State& state) {
  const std::vector<double>& src = Amounts();
  std::vector<double> v;
  for (auto _ : state) {
    state.PauseTiming();
    v = src;
    state.ResumeTiming();
    std::sort(v.begin(), v.end());
    benchmark::DoNotOptimize(v.data());
  }
  state.SetItemsProcessed(state.iterations() * kAmounts);
}
BENCHMARK(BM_StdSort)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_BringUpToDate(benchmark::State& state) {
  const std::vector<double>& src = Amounts();
  double bytesPerAmount = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    const double before = ResidentBytes();
    auto a = std::make_unique<tarnwick::cDoubleArray>();
    for (double x : src) a->AddItem(x);
    state.ResumeTiming();
    benchmark::DoNotOptimize(a->USS());  // sort, median, mode, skewness, kurtosis
    state.PauseTiming();
    bytesPerAmount = (ResidentBytes() - before) / kAmounts;
    a.reset();
    state.ResumeTiming();
  }
  state.counters["bytes_per_amount"] = bytesPerAmount;
  state.SetItemsProcessed(state.iterations() * kAmounts);
}
BENCHMARK(BM_BringUpToDate)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_AddItem(benchmark::State& state) {
  const std::vector<double>& src = Amounts();
  for (auto _ : state) {
    tarnwick::cDoubleArray a;
    for (double x : src) a.AddItem(x);
    benchmark::DoNotOptimize(a.Count());
  }
  state.SetItemsProcessed(state.iterations() * kAmounts);
}
BENCHMARK(BM_AddItem)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_StatReport(benchmark::State& state) {
  // Everything a user asks for at once, including the histogram and the top/bottom report.
  const std::vector<double>& src = Amounts();
  for (auto _ : state) {
    state.PauseTiming();
    auto a = std::make_unique<tarnwick::cDoubleArray>();
    for (double x : src) a->AddItem(x);
    state.ResumeTiming();
    benchmark::DoNotOptimize(a->StatReport());
    benchmark::DoNotOptimize(a->HistoReport());
    benchmark::DoNotOptimize(a->OLReport());
    state.PauseTiming();
    a.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kAmounts);
}
BENCHMARK(BM_StatReport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
