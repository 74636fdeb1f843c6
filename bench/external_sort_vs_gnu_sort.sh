#!/usr/bin/env bash
# Times the external sort (AddItem for every amount, then the first report) against GNU sort -g
# with a comparable memory budget on the same amounts, one per line.
#
#   bench/external_sort_vs_gnu_sort.sh [amounts] [build-dir]
#
# Defaults: 20,000,000 amounts, build directory ./build (configured Release; the library target
# is built if needed). Scratch files go to a fresh folder under ${TMPDIR:-/tmp} and are removed.
# Both wall-clock and CPU (user + system) seconds are given: on a shared machine the CPU ratio
# is the steadier figure.
set -euo pipefail

N=${1:-20000000}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${2:-$ROOT/build}
SORT_MEM=${SORT_MEM:-8M}

cmake --build "$BUILD" -j2 --target tarnwick_core tarnwick_platform tarnwick_expr tarnwick_data \
  tarnwick_stats tarnwick_audit tarnwick_shell >/dev/null
WORK=$(mktemp -d "${TMPDIR:-/tmp}/extsort_bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# The driver: "gen" writes the amounts one per line, "run" feeds the same amounts to cNewDouble
# and prints wall seconds, CPU seconds and the peak resident memory in KiB.
cat >"$WORK/driver.cpp" <<'CPP'
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tarnwick/core/default_text.h"
#include "tarnwick/platform/file_system.h"
#include "tarnwick/stats/external_sort.h"

// Amounts in cents from -1,000,000.00 to 9,000,000.00, a fixed 64-bit LCG so both sides see
// the same sequence.
struct Amounts {
  std::uint64_t state = 88172645463325252ULL;
  double Next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const auto cents = static_cast<std::int64_t>((state >> 17) % 1000000000ULL) - 100000000;
    return static_cast<double>(cents) / 100.0;
  }
};

int main(int argc, char** argv) {
  const long n = std::atol(argv[2]);
  Amounts gen;
  if (std::strcmp(argv[1], "gen") == 0) {
    tarnwick::TextWriter w = tarnwick::CreateTextFile(argv[3]);
    std::string line;
    for (long i = 0; i < n; ++i) {
      line.clear();
      tarnwick::AppendNumText(line, gen.Next());
      w.Write(line);
      w.Write("\n");
    }
    w.Close();
    return 0;
  }
  const auto t0 = std::chrono::steady_clock::now();
  std::size_t reportBytes = 0;
  {
    tarnwick::cNewDouble d;
    for (long i = 0; i < n; ++i) d.AddItem(gen.Next());
    reportBytes = d.StatReport().size();
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  std::printf("%.3f %.3f %ld %zu\n", secs, cpu, ru.ru_maxrss, reportBytes);
  return 0;
}
CPP
# The engine's layer libraries, each before the layers it builds on.
LIBS=()
for layer in shell data expr audit stats platform core; do
  LIBS+=("$BUILD/src/tarnwick/$layer/libtarnwick_$layer.a")
done
g++ -std=c++20 -O2 -I"$ROOT/src" "$WORK/driver.cpp" "${LIBS[@]}" -licuuc -lsqlite3 -o "$WORK/driver"

"$WORK/driver" gen "$N" "$WORK/amounts.txt"
echo "amounts: $N ($(du -h "$WORK/amounts.txt" | cut -f1) of text)"

mkdir "$WORK/engine_tmp" "$WORK/sort_tmp"
read -r ENGINE_S ENGINE_CPU ENGINE_KB _ < <(TMPDIR="$WORK/engine_tmp" "$WORK/driver" run "$N")
echo "engine (AddItem x N + StatReport): ${ENGINE_S} s wall, ${ENGINE_CPU} s CPU, peak RSS ${ENGINE_KB} KiB"
LEFT=$(ls -A "$WORK/engine_tmp" | wc -l)
echo "engine temporary files left: $LEFT"

gnu_sort() {  # label, extra sort options...
  local label=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$WORK/sort_time" env LC_ALL=C sort -g -S "$SORT_MEM" \
    -T "$WORK/sort_tmp" "$@" "$WORK/amounts.txt" >"$WORK/sorted.txt"
  local wall user sys rss
  read -r wall user sys rss <"$WORK/sort_time"
  local cpu
  cpu=$(echo "$user + $sys" | bc -l)
  printf '%s: %.3f s wall, %.3f s CPU, peak RSS %s KiB\n' "$label" "$wall" "$cpu" "$rss"
  printf '  engine/GNU ratio: wall %.3f, CPU %.3f\n' "$(echo "$ENGINE_S / $wall" | bc -l)" \
    "$(echo "$ENGINE_CPU / $cpu" | bc -l)"
}
gnu_sort "GNU sort -g -S $SORT_MEM"
gnu_sort "GNU sort -g -S $SORT_MEM --parallel=1" --parallel=1
