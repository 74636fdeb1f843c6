#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests of the runner's ODBC source.
#
#   eval "$(bash scripts/pg-test-server.sh start DIR)"   # prints the export lines
#   bash scripts/pg-test-server.sh stop DIR
#
# start: makes a cluster in DIR (an empty or new folder), run by an unprivileged user (the
# `postgres` system user when started as root, else the caller), listening on a free loopback
# port and on a socket in DIR, with password logins over TCP; creates the database `tarnwick`
# and the table `payments` holding examples/payments.tsv (InvDate a date, Amount a numeric,
# Account and CheckNum integers, the rest text). Prints
#   export TARNWICK_TEST_PG_CONN='Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=...;...'
# stop: stops the server and removes DIR.
set -euo pipefail
cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/initdb" ] || { echo "pg-test-server: PostgreSQL is not installed (package postgresql)" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case $cmd in
  start)
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    if [ "$(id -u)" -eq 0 ]; then
      chown postgres: "$dir" && chmod 700 "$dir"
      runuser -u postgres -- test -w "$dir" ||
        { echo "pg-test-server: user postgres cannot reach $dir (a folder on a path it may enter)" >&2; exit 1; }
    fi
    pass=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
    as_owner bash -c "umask 077; printf '%s\n' '$pass' > '$dir/pwfile'"
    as_owner "$bin/initdb" -D "$dir/data" -U tarnwick --pwfile="$dir/pwfile" -E UTF8 --locale=C \
      --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    rm -f "$dir/pwfile"
    started=
    for _ in 1 2 3 4 5 6 7 8; do
      # a port of the dynamic range; one that is taken makes the server stop, and another is tried
      port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
      if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
           -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null; then
        started=1
        break
      fi
    done
    [ -n "$started" ] || { cat "$dir/server.log" >&2; exit 1; }
    echo "$port" >"$dir/port"
    psql=("$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U tarnwick)
    "${psql[@]}" -d postgres -c "create database tarnwick" >/dev/null
    "${psql[@]}" -d tarnwick >/dev/null <<SQL
set datestyle = 'ISO, MDY';
create table payments ("Vendor" text, "InvNum" text, "InvDate" date, "Amount" numeric,
                       "Account" integer, "CheckNum" integer, "Phone" text);
\\copy payments from '$root/examples/payments.tsv' with (format csv, delimiter E'\\t', header true)
SQL
    echo "export TARNWICK_TEST_PG_CONN='Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=tarnwick;UID=tarnwick;PWD=$pass'"
    echo "export TARNWICK_TEST_PG_SOCKET='$dir'"
    echo "export TARNWICK_TEST_PG_PORT='$port'"
    ;;
  stop)
    if [ -d "$dir/data" ]; then
      as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "pg-test-server: start or stop" >&2
    exit 2
    ;;
esac
