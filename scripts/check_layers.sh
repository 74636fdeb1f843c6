#!/usr/bin/env bash
# Fails (status 1, each offending include on standard error) when a source under src/tarnwick
# includes a header of a layer above its own, or when a public header includes an internal/ one
# (internal/ is not installed, so the public header would not compile for an outside program).
# The build runs it before any layer is compiled, so an include that climbs fails the build,
# not only a link or a review.
#
# The order is read from the layers' own libraries: src/tarnwick/<layer>/CMakeLists.txt calls
# `tarnwick_layer(<layer> DEPENDS <layer below> ...)` on one line, and a layer may include its
# own headers and those of every layer it reaches through DEPENDS. Today:
#   core -> platform -> expr -> data -> stats -> audit -> shell
# (stats builds on core and platform only; audit on stats; shell on everything below it.)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
order=$(for f in src/tarnwick/*/CMakeLists.txt; do
  folder=${f#src/tarnwick/}; folder=${folder%/CMakeLists.txt}
  sed -n 's/^[[:space:]]*tarnwick_layer(\([^)]*\)).*$/\1/p' "$f" | sed 's/ DEPENDS / /; s/ DEPENDS$//' |
    sed "s|^|$folder |"
done)
breaks=$(find src/tarnwick -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) | sort |
  xargs grep -H '^#include "' /dev/null |
  awk -v order="$order" '
    BEGIN {
      # order: one line per folder, "folder layer below below ..."
      n = split(order, line, "\n")
      for (i = 1; i <= n; i++) {
        k = split(line[i], w, " ")
        if (k < 2) continue
        if (w[1] != w[2]) { bad[w[1]] = "src/tarnwick/" w[1] "/CMakeLists.txt names its layer " w[2]; continue }
        direct[w[1]] = ""
        for (j = 3; j <= k; j++) direct[w[1]] = direct[w[1]] " " w[j]
        may[w[1]] = direct[w[1]] " "
      }
      # What a layer reaches through the layers below it.
      for (round = 0; round < 16; round++)
        for (l in may) {
          k = split(may[l], w, " ")
          for (j = 1; j <= k; j++)
            if (w[j] in may) {
              m = split(may[w[j]], v, " ")
              for (q = 1; q <= m; q++)
                if (!index(may[l], " " v[q] " ")) may[l] = may[l] v[q] " "
            }
        }
      for (l in bad) print bad[l]
    }
    {
      file = substr($0, 1, index($0, ":") - 1)
      inc = $0; sub(/^[^"]*"/, "", inc); sub(/".*$/, "", inc)
      split(file, part, "/"); layer = part[3]
      if (!(layer in may)) { print file ": src/tarnwick/" layer "/ is a folder the layer order does not know"; next }
      n = split(inc, ip, "/")
      if (!(ip[1] == "tarnwick" && n >= 3 && (ip[2] == layer || index(may[layer], " " ip[2] " ")))) {
        print file ": includes " inc ", which a " layer "/ source may not (see docs/architecture.md)"
        next
      }
      if (file ~ /\.h$/ && file !~ /\/internal\// && inc ~ /\/internal\//)
        print file ": a public header includes " inc ", which is not installed (see CONTRIBUTING.md)"
    }')
if [ -n "$breaks" ]; then
  echo "$breaks" >&2
  exit 1
fi
