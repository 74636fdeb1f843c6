#!/usr/bin/env bash
# make_db.sh LEDGER.tsv OUT.db: the same rows as an SQLite table `payments` (values as text),
# for the runner's ds=db source. Written under a temporary name and renamed when complete.
set -euo pipefail
src=$1 out=$2
tmp="$out.part.$$"
rm -f "$tmp"
trap 'rm -f "$tmp"' EXIT
if command -v sqlite3 >/dev/null; then
  sqlite3 "$tmp" -cmd '.mode tabs' ".import '$src' payments" </dev/null
elif command -v python3 >/dev/null; then
  python3 - "$src" "$tmp" <<'PY'
import sqlite3, sys
src, out = sys.argv[1], sys.argv[2]
with open(src, newline='') as f:
    rows = [line.rstrip('\r\n').split('\t') for line in f]
db = sqlite3.connect(out)
cols = ', '.join('"%s" TEXT' % c for c in rows[0])
db.execute('CREATE TABLE payments (%s)' % cols)
db.executemany('INSERT INTO payments VALUES (%s)' % ','.join('?' * len(rows[0])), rows[1:])
db.commit()
db.close()
PY
else
  echo "make_db: needs the sqlite3 shell or python3" >&2
  exit 1
fi
mv "$tmp" "$out"
trap - EXIT
