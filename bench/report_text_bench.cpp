// Number patterns and default number text: the inner loop of every report.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "tarnwick/core/report_text.h"

namespace {

std::vector<double> Amounts() {
  std::mt19937_64 gen(42);
  std::lognormal_distribution<double> d(6.0, 2.0);
  std::vector<double> v(4096);
  for (double& x : v) x = std::round(d(gen) * 100.0) / 100.0 * ((gen() & 7) == 0 ? -1 : 1);
  return v;
}

void BM_FormatNumber(benchmark::State& state, const char* pattern) {
  const auto values = Amounts();
  std::string out;
  std::size_t i = 0;
  for (auto _ : state) {
    out.clear();
    tarnwick::AppendNumber(out, values[i++ & 4095], pattern);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_FormatNumber, grouped_int, "###,###,##0");
BENCHMARK_CAPTURE(BM_FormatNumber, grouped_two_dec, "###,###,###.#0");
BENCHMARK_CAPTURE(BM_FormatNumber, five_dec, "#.####0");
BENCHMARK_CAPTURE(BM_FormatNumber, percent, "##.#0%");

void BM_FormatNumberReturningString(benchmark::State& state) {
  const auto values = Amounts();
  std::size_t i = 0;
  for (auto _ : state) {
    std::string s = tarnwick::FormatNumber(values[i++ & 4095], "#,###,###,###.00");
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatNumberReturningString);

void BM_DefaultNumberText(benchmark::State& state) {
  const auto values = Amounts();
  std::string out;
  std::size_t i = 0;
  for (auto _ : state) {
    out.clear();
    tarnwick::AppendNumText(out, values[i++ & 4095]);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DefaultNumberText);

}  // namespace

BENCHMARK_MAIN();
