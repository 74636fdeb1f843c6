// Key summaries at ledger scale: items per second into cStringArray with many distinct keys,
// and the reports over a million keys.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tarnwick/audit/key_summary.h"

namespace {

std::vector<std::string> MakeKeys(std::size_t n, const char* prefix) {
  std::vector<std::string> keys;
  keys.reserve(n);
  char buf[64];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%s%09zu", prefix, i * 2654435761u % 1000000007u);
    keys.emplace_back(buf);
  }
  return keys;
}

struct Feed {
  std::vector<std::uint32_t> pick;
  std::vector<double> amount;
};

// Keys drawn uniformly (every key equally likely: the worst case for caches) or, with
// zipf set, by Zipf's law with exponent 1, as a few vendors or accounts carry most rows of a
// real ledger. Every key appears at least once.
Feed MakeFeed(std::size_t items, std::size_t keys, bool zipf = false) {
  Feed f;
  std::mt19937_64 gen(42);
  std::uniform_int_distribution<std::uint32_t> k(0, static_cast<std::uint32_t>(keys - 1));
  std::uniform_int_distribution<std::int64_t> cents(-1000000, 5000000);
  std::vector<double> cdf;
  if (zipf) {
    double sum = 0;
    for (std::size_t r = 1; r <= keys; ++r) cdf.push_back(sum += 1.0 / static_cast<double>(r));
    for (double& c : cdf) c /= sum;
  }
  std::uniform_real_distribution<double> u(0.0, 1.0);
  f.pick.reserve(items);
  f.amount.reserve(items);
  for (std::size_t i = 0; i < items; ++i) {
    std::uint32_t pick = k(gen);
    if (zipf && i >= keys)
      pick = static_cast<std::uint32_t>(std::lower_bound(cdf.begin(), cdf.end(), u(gen)) -
                                        cdf.begin());
    if (zipf && i < keys) pick = static_cast<std::uint32_t>(i);
    f.pick.push_back(pick);
    f.amount.push_back(static_cast<double>(cents(gen)) / 100.0);
  }
  return f;
}

// A ledger read row by row: 2 million key texts laid out one after another, as the rows of a
// file arrive, each key one of state.range(0) distinct keys in random order.
struct Ledger {
  std::string text;
  std::vector<std::uint32_t> offset;  // item i is text[offset[i], offset[i + 1])
  std::vector<double> amount;
};

Ledger MakeLedger(std::size_t items, std::size_t nkeys, const char* prefix, bool zipf) {
  const std::vector<std::string> keys = MakeKeys(nkeys, prefix);
  const Feed feed = MakeFeed(items, nkeys, zipf);
  Ledger l;
  l.amount = feed.amount;
  l.offset.reserve(items + 1);
  for (std::uint32_t p : feed.pick) {
    l.offset.push_back(static_cast<std::uint32_t>(l.text.size()));
    l.text += keys[p];
  }
  l.offset.push_back(static_cast<std::uint32_t>(l.text.size()));
  return l;
}

void BM_StringArrayItem(benchmark::State& state) {
  // range(1): 1 for long keys (on the heap), 2 for Zipf-distributed short keys
  const Ledger l = MakeLedger(2000000, static_cast<std::size_t>(state.range(0)),
                              state.range(1) == 1 ? "VENDOR/ACCOUNT/" : "V", state.range(1) == 2);
  const std::string_view text = l.text;
  const std::size_t items = l.amount.size();
  for (auto _ : state) {
    tarnwick::cStringArray sa;
    for (std::size_t i = 0; i < items; ++i)
      sa.Item(text.substr(l.offset[i], l.offset[i + 1] - l.offset[i]), l.amount[i]);
    benchmark::DoNotOptimize(sa.TotalCount());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * items));
}
// The same ledger fed as the runner feeds it: batches of 64 items through Items.
void BM_StringArrayItems(benchmark::State& state) {
  const Ledger l = MakeLedger(2000000, static_cast<std::size_t>(state.range(0)), "V", false);
  const std::string_view text = l.text;
  const std::size_t items = l.amount.size();
  std::vector<std::string_view> keys(items);
  for (std::size_t i = 0; i < items; ++i)
    keys[i] = text.substr(l.offset[i], l.offset[i + 1] - l.offset[i]);
  for (auto _ : state) {
    tarnwick::cStringArray sa;
    for (std::size_t i = 0; i < items; i += 64)
      sa.Items(keys.data() + i, l.amount.data() + i, std::min<std::size_t>(64, items - i));
    benchmark::DoNotOptimize(sa.TotalCount());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * items));
}
BENCHMARK(BM_StringArrayItems)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_StringArrayItem)
    ->Args({1000, 0})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Args({100000, 2})
    ->Args({1000000, 0})
    ->Unit(benchmark::kMillisecond);

tarnwick::cStringArray& MillionKeys() {
  static tarnwick::cStringArray sa = [] {
    tarnwick::cStringArray s;
    const std::vector<std::string> keys = MakeKeys(1000000, "V");
    const Feed feed = MakeFeed(2000000, keys.size());
    for (const std::string& k : keys) s.Item(k, 1.25);  // every key at least once
    for (std::size_t i = 0; i < feed.pick.size(); ++i) s.Item(keys[feed.pick[i]], feed.amount[i]);
    return s;
  }();
  return sa;
}

void BM_SummaryReport1M(benchmark::State& state) {
  tarnwick::cStringArray& sa = MillionKeys();
  for (auto _ : state) benchmark::DoNotOptimize(sa.SummaryReport());
  state.SetItemsProcessed(state.iterations() * (sa.TotalCount() + 1));
}
BENCHMARK(BM_SummaryReport1M)->Unit(benchmark::kMillisecond);

void BM_DuplicateReport1M(benchmark::State& state) {
  tarnwick::cStringArray& sa = MillionKeys();
  for (auto _ : state) benchmark::DoNotOptimize(sa.DuplicateReport());
  state.SetItemsProcessed(state.iterations() * (sa.TotalCount() + 1));
}
BENCHMARK(BM_DuplicateReport1M)->Unit(benchmark::kMillisecond);

void BM_ComputePareto1M(benchmark::State& state) {
  tarnwick::cStringArray& sa = MillionKeys();
  for (auto _ : state) {
    sa.ComputePareto();
    benchmark::DoNotOptimize(sa.ParOther());
  }
}
BENCHMARK(BM_ComputePareto1M)->Unit(benchmark::kMillisecond);

// Pairs: 2 million items over 100,000 vendor/invoice pairs, then a full sort.
void BM_StringByItemAndSort(benchmark::State& state) {
  const std::vector<std::string> vendors = MakeKeys(2000, "VEND");
  const std::vector<std::string> invoices = MakeKeys(50, "INV");
  const Feed feed = MakeFeed(2000000, 100000);
  for (auto _ : state) {
    tarnwick::cStringBy sb;
    for (std::size_t i = 0; i < feed.pick.size(); ++i) {
      const std::uint32_t p = feed.pick[i];
      sb.Item(vendors[p % 2000], invoices[p / 2000], feed.amount[i]);
    }
    sb.bubblesort(static_cast<std::int32_t>(state.range(0)));
    benchmark::DoNotOptimize(sb.TotalCount());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * feed.pick.size()));
}
BENCHMARK(BM_StringByItemAndSort)->Arg(10)->Arg(32767)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
