#!/usr/bin/env bash
# Checks that every C++ file in the repository is formatted as .clang-format says; exit 1 and
# the files that differ when one is not. --fix rewrites them instead.
#
#   scripts/check_format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
CF=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$CF" ]; then
  echo "clang-format is missing: run scripts/install-deps.sh" >&2
  exit 2
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  "$CF" -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  if ! "$CF" --dry-run --Werror "$f" >/dev/null 2>&1; then bad+=("$f"); fi
done
if [ ${#bad[@]} -gt 0 ]; then
  printf 'not formatted as .clang-format says (scripts/check_format.sh --fix):\n' >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "all ${#files[@]} C++ files formatted"
