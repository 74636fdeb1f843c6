#!/usr/bin/env bash
# Fails (status 1, each offending include on standard error) when a source under src/tarnwick
# includes a header of a layer above its own. The build runs it before the engine is compiled,
# so an include that climbs fails the build, not only a link or a review.
#   core -> platform -> expr -> data -> stats -> audit -> shell
# (stats builds on core and platform only; audit on stats; shell on everything below it.)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
breaks=$(find src/tarnwick -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) | sort |
  xargs grep -H '^#include "' /dev/null |
  awk '
    BEGIN {
      may["core"] = ""; may["platform"] = "core"; may["expr"] = "core platform"
      may["data"] = "core platform expr"; may["stats"] = "core platform"
      may["audit"] = "core platform stats"; may["shell"] = "core platform expr data stats audit"
    }
    {
      file = substr($0, 1, index($0, ":") - 1)
      inc = $0; sub(/^[^"]*"/, "", inc); sub(/".*$/, "", inc)
      split(file, part, "/"); layer = part[3]
      if (!(layer in may)) { print file ": src/tarnwick/" layer "/ is a folder the layer order does not know"; next }
      n = split(inc, ip, "/")
      if (ip[1] == "tarnwick" && n >= 3 && (ip[2] == layer || index(" " may[layer] " ", " " ip[2] " "))) next
      print file ": includes " inc ", which a " layer "/ source may not (see docs/architecture.md)"
    }')
if [ -n "$breaks" ]; then
  echo "$breaks" >&2
  exit 1
fi
