#!/usr/bin/env bash
# AddressSanitizer + UndefinedBehaviorSanitizer build of the library, the runner and every test
# suite, in its own build folder, run through ctest. Any report aborts the test that hit it.
#   scripts/sanitize.sh [build-dir]        (default: build-sanitize)
# JOBS sets the build and test parallelism (default: nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-sanitize}
jobs=${JOBS:-$(nproc)}
bash scripts/install-deps.sh

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DTARNWICK_BUILD_BENCH=OFF -DTARNWICK_BUILD_TESTS=ON -DTARNWICK_BUILD_CLI=ON >/dev/null
cmake --build "$build" -j"$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The install check builds an uninstrumented outside program against the archive, which cannot
# link against an instrumented library; the normal build covers it.
ctest --test-dir "$build" --output-on-failure -j"$jobs" -LE package
