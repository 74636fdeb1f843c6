// Reading speed of the file readers: a large generated tab-delimited file read row by row,
// one column taken from every row, with and without a three-clause row filter.
//
// The file is generated once per run in the temporary folder and removed at exit.
// TARNWICK_BENCH_MB sets its size in megabytes (default 1024).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tarnwick/data/delimited_reader.h"
#include "tarnwick/data/typed_reader.h"
#include "tarnwick/platform/file_system.h"

namespace {

using namespace tarnwick;

struct BenchFile {
  std::string path;
  std::int64_t bytes = 0;
  std::int64_t rows = 0;

  BenchFile() {
    const char* mb = std::getenv("TARNWICK_BENCH_MB");
    const std::int64_t target = (mb != nullptr ? std::atoll(mb) : 1024) * 1024 * 1024;
    path = TempFilePath();
    TextWriter w = CreateTextFile(path);
    const std::string header = "Id\tVendor\tAmount\tDate\tAccount\tDescription";
    w.WriteLine(header);
    bytes = static_cast<std::int64_t>(header.size()) + 2;
    std::uint64_t x = 88172645463325252ull;
    std::string line;
    while (bytes < target) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      ++rows;
      line.clear();
      line += std::to_string(rows);
      line += "\tVendor ";
      line += std::to_string(x % 500);
      line += '\t';
      line += std::to_string((x >> 9) % 100000);
      line += '.';
      line += std::to_string(10 + (x >> 27) % 90);
      line += '\t';
      line += std::to_string(1 + (x >> 33) % 12);
      line += '/';
      line += std::to_string(1 + (x >> 37) % 28);
      line += '/';
      line += std::to_string(2006 + (x >> 42) % 4);
      line += '\t';
      line += std::to_string(4000 + (x >> 45) % 100);
      line += "\tPayment for goods and services";
      w.WriteLine(line);
      bytes += static_cast<std::int64_t>(line.size()) + 2;
    }
    w.Close();
  }
  ~BenchFile() { DeleteFile(path); }
};

const BenchFile& File() {
  static BenchFile f;
  return f;
}

// The filter: a number comparison, a date comparison and a text comparison joined by AND.
const char* kFilter = "$Amount > 50000 AND $Date >= 6/1/2007 AND $Vendor <> \"VENDOR 7\"";

template <class Reader>
void ReadColumn(benchmark::State& state, bool filtered) {
  const BenchFile& f = File();
  std::int64_t selected = 0;
  for (auto _ : state) {
    Reader r;
    r.FileName(f.path);
    if constexpr (std::is_same_v<Reader, cFile>) r.Headers();
    if (filtered) r.Infix(kFilter);
    std::size_t chars = 0;
    selected = 0;
    while (!r.Eof()) {
      r.GetRow();
      if (filtered && !r.IsSelected()) continue;
      ++selected;
      chars += r.getcol(2).size();
    }
    benchmark::DoNotOptimize(chars);
  }
  state.SetBytesProcessed(state.iterations() * f.bytes);
  state.SetItemsProcessed(state.iterations() * f.rows);
  state.counters["rows"] = static_cast<double>(f.rows);
  state.counters["selected"] = static_cast<double>(selected);
}

void BM_TextReaderLines(benchmark::State& state) {
  const BenchFile& f = File();
  for (auto _ : state) {
    TextReader r = OpenTextFile(f.path);
    std::size_t n = 0;
    while (!r.AtEndOfStream()) n += r.ReadLineView().size();
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(state.iterations() * f.bytes);
  state.SetItemsProcessed(state.iterations() * f.rows);
}

void BM_cFileColumn(benchmark::State& state) { ReadColumn<cFile>(state, false); }
void BM_cNFileColumn(benchmark::State& state) { ReadColumn<cNFile>(state, false); }
void BM_cFileFiltered(benchmark::State& state) { ReadColumn<cFile>(state, true); }
void BM_cNFileFiltered(benchmark::State& state) { ReadColumn<cNFile>(state, true); }

BENCHMARK(BM_TextReaderLines)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_cFileColumn)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_cNFileColumn)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_cFileFiltered)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_cNFileFiltered)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
