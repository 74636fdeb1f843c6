#!/usr/bin/env bash
# Rewrites src/tarnwick/tarnwick.h so that it includes every public header of the engine.
set -euo pipefail
cd "$(dirname "$0")/../src"
{
  echo '#pragma once'
  echo '// The whole engine in one include: every public class of every subsystem.'
  echo
  for area in core platform shell expr data stats audit; do
    for h in $(ls tarnwick/$area/*.h 2>/dev/null | sort); do
      case "$h" in *_internal.h|*/int128.h) continue ;; esac
      echo "#include \"$h\""
    done
  done
} > tarnwick/tarnwick.h
