#!/usr/bin/env bash
# ThreadSanitizer build of the library, the runner and the end-to-end tests, in its own build
# folder; runs only the tests of threaded reading (tests/cli/threads_test.cpp), which start the
# runner with several threads and tiny blocks. A data race makes the runner exit with status
# 66 and a report on standard error, which those tests compare with one thread's.
#   scripts/tsan.sh [build-dir]        (default: build-tsan)
# JOBS sets the build parallelism (default: nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-tsan}
jobs=${JOBS:-$(nproc)}
bash scripts/install-deps.sh

flags="-fsanitize=thread -fno-omit-frame-pointer -g -O1"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
  -DTARNWICK_BUILD_BENCH=OFF -DTARNWICK_BUILD_TESTS=ON -DTARNWICK_BUILD_CLI=ON >/dev/null
cmake --build "$build" -j"$jobs" --target tarnwick_cli tests_cli

export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:exitcode=66:second_deadlock_stack=1}
# a shorter large file: the instrumented runner is ten times slower
THREADS_TEST_ROWS=${THREADS_TEST_ROWS:-10000} "$build/tests/tests_cli" --gtest_filter='Threads*'
