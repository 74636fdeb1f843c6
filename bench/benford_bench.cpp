// Benford tests are fed one amount per ledger row.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "tarnwick/audit/benford.h"
#include "tarnwick/core/default_text.h"

namespace {

std::vector<std::string> AmountTexts() {
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> e(0.5, 6.0);
  std::vector<std::string> v(1 << 16);
  for (auto& s : v) s = tarnwick::NumText(std::round(std::pow(10.0, e(gen)) * 100.0) / 100.0);
  return v;
}

void BM_AddObs(benchmark::State& state, const char* type) {
  const auto texts = AmountTexts();
  tarnwick::cBenford b;
  b.btype(type);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(b.AddObs(texts[i++ & 0xffff]));
    if (b.NumObs() > 2'000'000'000) b.init();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_AddObs, F1, "F1");
BENCHMARK_CAPTURE(BM_AddObs, L2, "L2");

void BM_BAItem(benchmark::State& state) {
  // Keys arrive in row order, as a reader hands them over: a sequential stream of texts drawn
  // evenly from the distinct keys, so every lookup is a random access into the key records.
  const int keys = static_cast<int>(state.range(0));
  std::mt19937_64 gen(3);
  std::vector<std::string> stream(1 << 20);
  for (auto& k : stream)
    k = "V" + std::to_string(100000 + gen() % static_cast<std::uint64_t>(keys));
  std::uniform_real_distribution<double> amount(1.0, 100000.0);
  std::vector<double> amounts(stream.size());
  for (auto& a : amounts) a = std::round(amount(gen) * 100.0) / 100.0;
  for (auto _ : state) {
    tarnwick::cBA ba;
    for (std::size_t i = 0; i < stream.size(); ++i) ba.Item(stream[i], amounts[i]);
    benchmark::DoNotOptimize(ba.TotalAmount());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_BAItem)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// The same stream fed as the runner feeds it: batches of 64 items through Items.
void BM_BAItems(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  std::mt19937_64 gen(3);
  std::vector<std::string> stream(1 << 20);
  for (auto& k : stream)
    k = "V" + std::to_string(100000 + gen() % static_cast<std::uint64_t>(keys));
  std::vector<std::string_view> views(stream.begin(), stream.end());
  std::uniform_real_distribution<double> amount(1.0, 100000.0);
  std::vector<double> amounts(stream.size());
  for (auto& a : amounts) a = std::round(amount(gen) * 100.0) / 100.0;
  for (auto _ : state) {
    tarnwick::cBA ba;
    for (std::size_t i = 0; i < views.size(); i += 64)
      ba.Items(views.data() + i, amounts.data() + i, 64);
    benchmark::DoNotOptimize(ba.TotalAmount());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_BAItems)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
