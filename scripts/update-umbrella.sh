#!/usr/bin/env bash
# Rewrites src/tarnwick/tarnwick.h so that it includes every public header of the engine, layer
# by layer from the bottom. Headers in a layer's internal/ folder are not public: left out.
set -euo pipefail
cd "$(dirname "$0")/../src"
{
  echo '#pragma once'
  echo '// The whole engine in one include: every public class of every subsystem.'
  echo
  # a block per layer: clang-format sorts within a block, so the layers keep their order
  first=1
  for area in core platform expr data stats audit shell; do
    [ $first -eq 1 ] || echo
    first=0
    for h in $(ls tarnwick/$area/*.h 2>/dev/null | sort); do
      echo "#include \"$h\""
    done
  done
} > tarnwick/tarnwick.h
