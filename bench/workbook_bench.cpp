// Report workbook: classifying report cells, and a large report written as a whole workbook.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "tarnwick/platform/file_system.h"
#include "workbook.h"

namespace {

void BM_ClassifyCell(benchmark::State& state) {
  const char* cells[] = {"1,234,567.89", ".50000", "12.50%", "12/31/2007", "Vendor 0042", "7"};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tarnwick::cli::ClassifyCell(cells[i++ % 6]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ClassifyCell);

// A key summary of n lines: key, count, amount, share, date.
std::string Report(std::int64_t n) {
  std::string r = "Summary\r\nKey\tCount\tAmount\tPct\tLast\r\n";
  for (std::int64_t i = 0; i < n; ++i) {
    r += "V" + std::to_string(10000 + i) + "\t" + std::to_string(i % 97) + "\t" +
         std::to_string(1000 + i % 1000) + "," + std::to_string(100 + i % 900) + ".25\t" +
         std::to_string(i % 100) + ".50%\t" + std::to_string(1 + i % 12) + "/15/2023\r\n";
  }
  return r;
}

void BM_WriteWorkbook(benchmark::State& state) {
  const std::string text = Report(state.range(0));
  const std::string path = tarnwick::TempFilePath() + ".xlsx";
  for (auto _ : state) {
    tarnwick::cli::ReportWorkbook wb(path, {});
    wb.AddReport("Summary", "SU", text);
    wb.Close();
  }
  tarnwick::DeleteFile(path);
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_WriteWorkbook)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
