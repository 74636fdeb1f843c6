#!/usr/bin/env bash
# Runs every command of the help's examples that reads payments on a generated ledger with
# --threads 1, 2, 3 and 8, and checks that the report, the messages, the exit status and the
# sample file are the same byte for byte whatever the thread count; then a copy of the ledger
# with a bad amount on row 7,000,001, which must stop every run alike with no sample left. Run it on purpose (a
# 10-million-row ledger takes about half an hour on two cores); CI runs the smaller cases of
# tests/cli/threads_test.cpp.
#
#   bench/threads_same.sh [ROWS] [BUILD]     (default 10000000 rows, build/)
#
# CODES="NE SP" runs only the commands named (NE and SP take minutes each on ten million rows).
# Exit status 1 when any run differs from the one-thread run.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
ROWS=${1:-10000000}
BUILD=${2:-$ROOT/build}
TW=$BUILD/tarnwick
GEN=$BUILD/bench/generate_ledger
for t in "$TW" "$GEN"; do
  [ -x "$t" ] || { echo "missing $t: build the project first (cmake --build $BUILD)" >&2; exit 2; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-threads.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
LEDGER=$WORK/ledger.tsv
echo "generating $ROWS rows" >&2
"$GEN" --rows "$ROWS" --out "$LEDGER"

# The help's example lines over payments, read from the ledger instead, plus a filtered run.
mapfile -t LINES < <("$TW" HE | sed -n 's/^ *example: tarnwick //p' | grep 'examples/payments.tsv' |
  sed -e "s|examples/payments.tsv|$LEDGER|" -e "s/^'//" -e "s/'\$//" \
      -e "s|sample=/tmp/[a-z]*\.tsv|sample=$WORK/sample.tsv|")
LINES+=("SU file=$LEDGER col=Vendor amount=Amount cond=\"\$Amount > 50000 AND \$InvDate >= 10/1/2023\"")

# A bad amount on data row 7,000,001 (or the middle row of a smaller ledger): every thread count
# stops with the same message and status, and leaves no sample behind.
BADROW=$(( ROWS > 7000001 ? 7000001 : (ROWS + 1) / 2 ))
awk -v r=$((BADROW + 1)) 'BEGIN { FS = OFS = "\t" } NR == r { $4 = "12O.5" } { print }' "$LEDGER" >"$WORK/bad.tsv"
LINES+=("CM file=$WORK/bad.tsv col=Amount J=500000 R=1 RN=1000 sample=$WORK/sample.tsv")

failed=0
for line in "${LINES[@]}"; do
  code=${line%% *}
  if [ -n "${CODES:-}" ] && [[ " $CODES " != *" $code "* ]]; then continue; fi
  case $code in JO) line=${line//examples\//$ROOT/examples/} ;; esac
  base=""
  for threads in 1 2 3 8; do
    out=$WORK/out.$threads
    rm -f "$WORK/sample.tsv"
    t0=$EPOCHREALTIME
    status=0
    "$TW" --raw --threads "$threads" "$line" >"$out.stdout" 2>"$out.stderr" || status=$?
    t1=$EPOCHREALTIME
    echo "$status" >"$out.status"
    if [ -f "$WORK/sample.tsv" ]; then mv "$WORK/sample.tsv" "$out.sample"; else rm -f "$out.sample"; fi
    secs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
    if [ "$threads" = 1 ]; then
      base=$WORK/out.1
      printf '%-3s threads 1: %6s s, status %s\n' "$code" "$secs" "$status" >&2
      continue
    fi
    same=yes
    for part in stdout stderr status sample; do
      if [ -f "$base.$part" ] || [ -f "$out.$part" ]; then
        cmp -s "$base.$part" "$out.$part" || same="no ($part differs)"
      fi
    done
    printf '%-3s threads %s: %6s s, same: %s\n' "$code" "$threads" "$secs" "$same" >&2
    [ "$same" = yes ] || failed=1
  done
done
if [ $failed -ne 0 ]; then
  echo "some runs differ from one thread" >&2
  exit 1
fi
echo "every command gives the same report, messages, status and sample on 1, 2, 3 and 8 threads" >&2
