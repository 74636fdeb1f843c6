#!/usr/bin/env bash
# Installs the built engine into a scratch prefix and builds outside programs against it: one
# with the umbrella header and tarnwick::tarnwick, one with a single layer (tarnwick::core).
# Only public headers are installed: no internal/ folder, and no installed header includes one.
set -euo pipefail
build=$1
src=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
inc=$work/prefix/include/tarnwick
if find "$inc" -path '*/internal*' | grep . >&2; then
  echo "package check: internal headers were installed" >&2
  exit 1
fi
if grep -rn '#include ".*/internal/' "$inc" >&2; then
  echo "package check: an installed header includes an internal one" >&2
  exit 1
fi
cmake -S "$src" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/build" >/dev/null
"$work/build/package_check"
"$work/build/package_check_core"
