// Throughput of the command layer: parsing lines, requirement checks, validation, symbols.

#include <benchmark/benchmark.h>

#include <string>

#include "tarnwick/shell/command_shell.h"
#include "tarnwick/shell/requirements.h"
#include "tarnwick/shell/symbols.h"
#include "tarnwick/shell/validation.h"

namespace {

using namespace tarnwick;

const std::string kLine =
    "NE ds=file file=/data/ap/invoices_2024.txt vendno=Vendor invno=InvNo invdate=InvDate "
    "invamt=Amount datetol=3 recap=NearMiss title=\"Near-miss invoices 2024\"";

void BM_HandleCmd(benchmark::State& state) {
  cShell sh;
  for (auto _ : state) {
    sh.HandleCmd(kLine);
    benchmark::DoNotOptimize(sh.CmdName().data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HandleCmd);

void BM_HandleCmdLong(benchmark::State& state) {
  std::string line = "AR";
  while (line.size() < 100'000) line += " file=x col=\"a b\"";
  cShell sh;
  for (auto _ : state) {
    sh.HandleCmd(line);
    benchmark::DoNotOptimize(sh.CmdName().data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(line.size()));
}
BENCHMARK(BM_HandleCmdLong);

void BM_NValCheckit(benchmark::State& state) {
  cNVal v;
  for (auto _ : state) benchmark::DoNotOptimize(v.checkit(kLine));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NValCheckit);

void BM_Val(benchmark::State& state) {
  cShell sh;
  sh.HandleCmd(kLine);
  cVal v;
  for (auto _ : state) benchmark::DoNotOptimize(v.Val("NE", sh));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Val);

void BM_SymText(benchmark::State& state) {
  cSym s;
  for (int i = 0; i < 20; ++i) s.Text("<s" + std::to_string(i) + ">=value" + std::to_string(i));
  for (auto _ : state) {
    s.Text("Amount <s3> 100 and Vendor <s17> 'V01' or <s9>");
    benchmark::DoNotOptimize(s.TranVal().data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SymText);

}  // namespace

BENCHMARK_MAIN();
