// Throughput of the ageing, holiday, invoice and monetary-unit classes on generated data.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tarnwick/audit/ageing.h"
#include "tarnwick/audit/invoices.h"
#include "tarnwick/audit/mus_reconciliation.h"
#include "tarnwick/core/default_text.h"

namespace {

using tarnwick::Date;

void BM_AgeingAddItem(benchmark::State& state) {
  tarnwick::cAge age;
  age.AgeingDate("12/31/2007");
  std::mt19937 gen(1);
  std::vector<Date> dates(4096);
  for (Date& d : dates) d = Date(39447.0 - static_cast<double>(gen() % 3000));
  std::size_t k = 0;
  for (auto _ : state) {
    age.AddItem(dates[k++ & 4095], 12.34);
    if ((k & 0xFFFFF) == 0) age.init();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AgeingAddItem);

void BM_IsHoliday(benchmark::State& state) {
  tarnwick::cAge age;
  std::vector<std::string> texts;
  for (int d = 0; d < 4096; ++d) texts.push_back(tarnwick::DateText(Date(36526.0 + d)));
  std::size_t k = 0;
  for (auto _ : state) benchmark::DoNotOptimize(age.IsHoliday(texts[k++ & 4095]));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IsHoliday);

// n invoices over 200 vendors, added first and then tested once each.
void FillInvoices(tarnwick::cCR& cr, int n) {
  std::mt19937 gen(7);
  for (int k = 0; k < n; ++k) {
    const std::string vendor = "V" + std::to_string(gen() % 200);
    const std::string invno = "INV" + std::to_string(100000 + k);
    cr.AddItem(vendor, invno, Date(40000.0 + k / 20), static_cast<double>(gen() % 100000) / 100);
  }
}

void BM_NearMissAllInvoices(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    tarnwick::cCR cr;
    FillInvoices(cr, n);
    for (int k = 0; k < n; ++k) cr.nemisstrans();
    benchmark::DoNotOptimize(cr.NEReport().size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NearMissAllInvoices)->Arg(200)->Arg(20000);

void BM_SplitAllInvoices(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    tarnwick::cCR cr;
    FillInvoices(cr, n);
    for (int k = 0; k < n; ++k) cr.SplitTran();
    benchmark::DoNotOptimize(cr.SPReport().size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SplitAllInvoices)->Arg(200)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_MonetaryUnitAddItem(benchmark::State& state) {
  tarnwick::cCMA cma;
  cma.j(25000);
  cma.rn(1e9);
  std::mt19937 gen(3);
  std::vector<double> amounts(4096);
  for (double& a : amounts) a = static_cast<double>(gen() % 10000000) / 100 - 5000;
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cma.AddItem(amounts[k++ & 4095]));
    if ((k & 0xFFFFFF) == 0) cma = tarnwick::cCMA();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MonetaryUnitAddItem);

}  // namespace

BENCHMARK_MAIN();
