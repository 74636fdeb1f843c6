// Row filters: a prepared filter evaluated row by row, against the plain order that parses the
// filter again for every row.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/expr/parser.h"
#include "tarnwick/expr/rpn_evaluator.h"

namespace {

using tarnwick::cOP;
using tarnwick::cParse;

const char* const kHeader = "Date\tVendor\tAmount\tAccount\tDescription";
// a number comparison, a date comparison and a text comparison joined by AND
const char* const kFilter = "$Amount > 500 AND $Date >= 1/1/2008 AND $Vendor = \"acme\"";

std::vector<std::string> MakeRows(std::size_t n) {
  static const char* const kVendors[] = {"Acme", "Beta Supplies", "Gamma Ltd", "acme", "Delta"};
  std::vector<std::string> rows;
  rows.reserve(n);
  unsigned x = 12345;
  char buf[160];
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    const unsigned month = x % 12 + 1, day = (x >> 8) % 28 + 1, year = 2006 + (x >> 13) % 4;
    const unsigned cents = (x >> 3) % 200000;
    std::snprintf(buf, sizeof buf, "%u/%u/%u\t%s\t%s%u.%02u\t%u\tInvoice %u for services", month,
                  day, year, kVendors[(x >> 17) % 5], cents > 150000 ? "1," : "",
                  cents / 100 % 1000, cents % 100, 1000 + (x >> 5) % 9000,
                  static_cast<unsigned>(i));
    rows.emplace_back(buf);
  }
  return rows;
}

const std::vector<std::string>& Rows() {
  static const std::vector<std::string> rows = MakeRows(1 << 16);
  return rows;
}

void BM_PreparedFilter(benchmark::State& state) {
  const auto& rows = Rows();
  cParse parser;
  cOP op;
  parser.Prepare(kFilter, kHeader);
  std::size_t i = 0, selected = 0;
  for (auto _ : state) {
    selected += parser.SelectRow(rows[i], op);
    i = (i + 1) & (rows.size() - 1);
  }
  benchmark::DoNotOptimize(selected);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PreparedFilter);

// A reader's calling order: the line split already, its fields handed over.
void BM_PreparedFilterSplitFields(benchmark::State& state) {
  const auto& rows = Rows();
  std::vector<std::vector<std::string_view>> fields(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::string_view line = rows[r];
    for (;;) {
      const std::size_t tab = line.find('\t');
      fields[r].push_back(line.substr(0, tab));
      if (tab == std::string_view::npos) break;
      line.remove_prefix(tab + 1);
    }
  }
  cParse parser;
  cOP op;
  parser.Prepare(kFilter, kHeader);
  std::size_t i = 0, selected = 0;
  for (auto _ : state) {
    selected += parser.SelectFields(rows[i], fields[i], op);
    i = (i + 1) & (rows.size() - 1);
  }
  benchmark::DoNotOptimize(selected);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PreparedFilterSplitFields);

// The readers' calling order with Prepare before every row (a cached no-op).
void BM_PreparedFilterPrepareEachRow(benchmark::State& state) {
  const auto& rows = Rows();
  cParse parser;
  cOP op;
  std::size_t i = 0, selected = 0;
  const std::string filter = kFilter, header = kHeader;
  for (auto _ : state) {
    parser.Prepare(filter, header);
    selected += parser.SelectRow(rows[i], op);
    i = (i + 1) & (rows.size() - 1);
  }
  benchmark::DoNotOptimize(selected);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PreparedFilterPrepareEachRow);

// The plain order: Infix, Headers, parse, ReplaceColnames, SubRow and EvalRPN for every row.
void BM_PlainOrder(benchmark::State& state) {
  const auto& rows = Rows();
  cParse parser;
  cOP op;
  std::size_t i = 0, selected = 0;
  for (auto _ : state) {
    parser.Infix(kFilter);
    parser.Headers(kHeader);
    parser.parse();
    parser.ReplaceColnames();
    parser.SubRow(rows[i]);
    op.EvalRPN(parser.RPN());
    selected += !op.Err() && op.ans() == "TRUE";
    i = (i + 1) & (rows.size() - 1);
  }
  benchmark::DoNotOptimize(selected);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainOrder);

// A 10-million-row pass over prepared rows, timed as one run.
void BM_TenMillionRows(benchmark::State& state) {
  const auto& rows = Rows();
  cParse parser;
  cOP op;
  parser.Prepare(kFilter, kHeader);
  for (auto _ : state) {
    std::size_t selected = 0;
    for (std::size_t n = 0; n < 10000000; ++n)
      selected += parser.SelectRow(rows[n & (rows.size() - 1)], op);
    benchmark::DoNotOptimize(selected);
  }
  state.SetItemsProcessed(state.iterations() * 10000000);
}
BENCHMARK(BM_TenMillionRows)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
