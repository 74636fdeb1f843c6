#!/usr/bin/env bash
# Installs the Debian packages the build needs when they are missing (root, as on CI).
set -euo pipefail
need=()
[ -f /usr/include/sqlite3.h ] || need+=(libsqlite3-dev)
command -v cmake >/dev/null || need+=(cmake)
[ -d /usr/include/gtest ] || need+=(libgtest-dev)
[ -d /usr/include/benchmark ] || need+=(libbenchmark-dev)
[ -f /usr/include/xlsxwriter.h ] || need+=(libxlsxwriter-dev)
[ -f /usr/include/unicode/ucasemap.h ] || need+=(libicu-dev)
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
[ -f /usr/include/openssl/evp.h ] || need+=(libssl-dev)
# Workbook sources (zip container, XML) and databases through ODBC, with the drivers and the
# PostgreSQL server that the tests use; xlsxwriter writes the workbook fixtures.
[ -f /usr/include/zip.h ] || need+=(libzip-dev)
[ -f /usr/include/expat.h ] || need+=(libexpat1-dev)
[ -f /usr/include/sql.h ] || need+=(unixodbc-dev)
# The format check (scripts/check_format.sh) runs clang-format.
command -v clang-format >/dev/null || need+=(clang-format)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in odbc-postgresql libsqliteodbc postgresql python3-xlsxwriter; do
  installed "$p" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${need[*]} (install them with apt-get as root)" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi
