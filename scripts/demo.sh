#!/usr/bin/env bash
# The main job on the sample data: builds the SQLite copy of the sample ledger and runs the
# demo script examples/demo.txt through the runner. Run from anywhere; needs a built tree
# (cmake -S . -B build && cmake --build build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bin=$build/tarnwick
cd "$root"
[ -x "$bin" ] || { echo "demo: $bin not built (cmake --build build)" >&2; exit 1; }
bash scripts/make_db.sh examples/payments.tsv "$build/payments.db"
# The demo script names build/; point it at the build folder in use.
sed "s#build/#$build/#g" examples/demo.txt > "$build/demo.txt"
"$bin" --timing -f "$build/demo.txt"
