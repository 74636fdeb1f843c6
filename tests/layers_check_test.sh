#!/usr/bin/env bash
# The layer check (scripts/check_layers.sh) on a scratch copy of src/tarnwick: the tree as it is
# passes; each include that climbs a layer, or that puts an internal header into a public one,
# fails with the file and the header named; includes the order allows still pass.
#   tests/layers_check_test.sh [source-dir]      (default: the folder above this script)
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
problem() { printf 'layers check test: %s\n' "$*" >&2; fail=1; }

mkdir -p "$work/tree/src" "$work/tree/scripts"
cp -r "$root/src/tarnwick" "$work/tree/src/"
cp "$root/scripts/check_layers.sh" "$work/tree/scripts/"
run() { bash "$work/tree/scripts/check_layers.sh" "$work/tree" 2>"$work/err"; }

run || problem "the tree as it is fails: $(cat "$work/err")"

# file | line added | what the finding must say ("" = the include is allowed)
while IFS='|' read -r file line want; do
  cp "$work/tree/$file" "$work/saved"
  printf '%s\n' "$line" >>"$work/tree/$file"
  if run; then
    [ -z "$want" ] || problem "$file with $line passed; expected: $want"
  else
    if [ -z "$want" ]; then
      problem "$file with $line failed: $(cat "$work/err")"
    elif ! grep -qF "$file: $want" "$work/err"; then
      problem "$file with $line: expected \"$file: $want\", got: $(cat "$work/err")"
    fi
  fi
  cp "$work/saved" "$work/tree/$file"
done <<'EOF'
src/tarnwick/stats/regression.cpp|#include "tarnwick/audit/benford.h"|includes tarnwick/audit/benford.h, which a stats/ source may not
src/tarnwick/stats/regression.h|#include "tarnwick/data/typed_reader.h"|includes tarnwick/data/typed_reader.h, which a stats/ source may not
src/tarnwick/core/date.cpp|#include "tarnwick/platform/notice.h"|includes tarnwick/platform/notice.h, which a core/ source may not
src/tarnwick/audit/misc.cpp|#include "tarnwick/expr/parser.h"|includes tarnwick/expr/parser.h, which a audit/ source may not
src/tarnwick/data/cell_colours.cpp|#include "tarnwick/shell/symbols.h"|includes tarnwick/shell/symbols.h, which a data/ source may not
src/tarnwick/core/internal/int128.h|#include "tarnwick/platform/random.h"|includes tarnwick/platform/random.h, which a core/ source may not
src/tarnwick/stats/regression.cpp|#include "../audit/benford.h"|includes ../audit/benford.h, which a stats/ source may not
src/tarnwick/core/text.h|#include "tarnwick/core/internal/int128.h"|a public header includes tarnwick/core/internal/int128.h
src/tarnwick/audit/benford.h|#include "tarnwick/stats/internal/sort_doubles.h"|a public header includes tarnwick/stats/internal/sort_doubles.h
src/tarnwick/shell/symbols.cpp|#include "tarnwick/audit/benford.h"|
src/tarnwick/shell/symbols.cpp|#include "tarnwick/data/internal/row_filter.h"|
src/tarnwick/audit/misc.cpp|#include "tarnwick/core/internal/int128.h"|
src/tarnwick/data/internal/row_filter.h|#include "tarnwick/core/internal/field_split.h"|
src/tarnwick/expr/parser.h|#include "tarnwick/platform/notice.h"|
EOF

# A folder the order does not know, and an order that moves: with stats on expr, a stats source
# may include an expr header.
mkdir "$work/tree/src/tarnwick/extra"
echo '#include "tarnwick/core/text.h"' >"$work/tree/src/tarnwick/extra/a.cpp"
if run || ! grep -qF 'src/tarnwick/extra/a.cpp: src/tarnwick/extra/ is a folder the layer order does not know' "$work/err"; then
  problem "a folder without a layer library passed or was not named: $(cat "$work/err")"
fi
rm -r "$work/tree/src/tarnwick/extra"
echo '#include "tarnwick/expr/is_num.h"' >>"$work/tree/src/tarnwick/stats/regression.cpp"
sed -i 's/^tarnwick_layer(stats DEPENDS platform)/tarnwick_layer(stats DEPENDS expr)/' \
  "$work/tree/src/tarnwick/stats/CMakeLists.txt"
run || problem "the order read from stats/CMakeLists.txt was not followed: $(cat "$work/err")"

[ "$fail" = 0 ] && echo "layers check test: every case held"
exit "$fail"
