// External sort: the chunk sort, the merge of two run files, and the whole run of cNewDouble
// (AddItem for every amount, then the first report). Temporary files go to TMPDIR.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tarnwick/core/default_text.h"
#include "tarnwick/platform/file_system.h"
#include "tarnwick/stats/external_sort.h"
#include "tarnwick/stats/sequences.h"

namespace {

using namespace tarnwick;

// Amounts in cents from -1,000,000.00 to 9,000,000.00 from a fixed LCG.
struct Amounts {
  std::uint64_t state = 88172645463325252ULL;
  double Next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const auto cents = static_cast<std::int64_t>((state >> 17) % 1000000000ULL) - 100000000;
    return static_cast<double>(cents) / 100.0;
  }
};

void BM_QSortChunk(benchmark::State& state) {
  std::vector<double> chunk(cNewDouble::kBufferSize);
  for (auto _ : state) {
    state.PauseTiming();
    Amounts gen;
    for (double& d : chunk) d = gen.Next();
    state.ResumeTiming();
    mQSort::QSort(chunk.data(), chunk.size(), sizeof(double), mQSort::CompareDouble);
    benchmark::DoNotOptimize(chunk.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(chunk.size()));
}
BENCHMARK(BM_QSortChunk)->Unit(benchmark::kMillisecond);

void BM_MergeTwoRuns(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  // Two sorted runs written once; the merge is timed.
  std::vector<std::string> runs;
  for (int r = 0; r < 2; ++r) {
    std::vector<double> v(n);
    Amounts gen;
    gen.state += static_cast<std::uint64_t>(r);
    for (double& d : v) d = gen.Next();
    mQSort::QSort(v.data(), v.size(), sizeof(double), mQSort::CompareDouble);
    runs.push_back(TempFilePath());
    TextWriter w = CreateTextFile(runs.back());
    std::string line;
    for (double d : v) {
      line.clear();
      AppendNumText(line, d);
      w.WriteLine(line);
    }
    w.Close();
  }
  const std::string out = TempFilePath();
  for (auto _ : state) benchmark::DoNotOptimize(MergeRunFiles(runs[0], runs[1], out));
  DeleteFile(out);
  for (const auto& r : runs) DeleteFile(r);
  state.SetItemsProcessed(state.iterations() * 2 * static_cast<std::int64_t>(n));
}
BENCHMARK(BM_MergeTwoRuns)->Arg(250001)->Unit(benchmark::kMillisecond);

void BM_AddItemThenFirstReport(benchmark::State& state) {
  const auto n = state.range(0);
  for (auto _ : state) {
    cNewDouble d;
    Amounts gen;
    for (std::int64_t i = 0; i < n; ++i) d.AddItem(gen.Next());
    benchmark::DoNotOptimize(d.StatReport());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AddItemThenFirstReport)
    ->Arg(1000000)
    ->Arg(4000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_LongArrayGaps(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  cLongArray a;
  // Document numbers with every tenth one missing, added out of order.
  for (std::int32_t i = n - 1; i >= 0; --i)
    if (i % 10 != 7) a.AddItem(100000 + i);
  for (auto _ : state) {
    a.SortArray();
    benchmark::DoNotOptimize(a.Gaps());
    benchmark::DoNotOptimize(a.SeqPct());
  }
  state.SetItemsProcessed(state.iterations() * a.Count());
}
BENCHMARK(BM_LongArrayGaps)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
